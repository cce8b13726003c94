// Texture generator: the Texture record, its upload with mipmaps, and the
// operators with which scenes compose images at load time. Pixels are 32-bit
// words 0xAARRGGBB (bytes B, G, R, A in memory: GL_BGRA / GL_UNSIGNED_BYTE),
// row-major, pixel (x, y) at word x + y * width.
#pragma once

#include <cstdint>

struct Texture {
    uint16_t width;      // pixels per row
    uint16_t height;     // rows
    uint32_t* pixels;    // width * height words, owned
    uint32_t gl_name;    // GL texture object; valid while uploaded is 1
    uint8_t uploaded;    // 1 from a successful upload until released
    uint32_t mag_filter; // GL magnification filter used at upload; GL_LINEAR after creation
};

// Creation and upload (GL context required for upload, release and bind)
Texture* texture_create(uint16_t width, uint16_t height); // all pixels 0
Texture* texture_create_dot();                             // the fixed 4 x 4 dot sprite
void texture_destroy(Texture* texture);
void texture_upload(Texture* texture);  // mipmaps through GLU; re-upload replaces the object
void texture_release(Texture* texture); // deletes the GL object, keeps the pixels
void texture_bind(const Texture* texture); // null binds texture 0

// Operators
// Adds a 16-octave value-noise brightness to R, G, B (and to alpha with add_alpha).
void texture_fractal(Texture* texture, bool add_alpha, float persistence);
// Same result with an explicit thread count (0 = all hardware threads).
void texture_fractal_threads(Texture* texture, bool add_alpha, float persistence, unsigned threads);
