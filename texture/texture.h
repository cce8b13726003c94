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
// Called, when set, with every texture just before it is uploaded: the data
// hashes test compares what the generators made across architectures.
extern void (*texture_upload_observer)(const Texture* texture);
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

// Mode codes of texture_resize; other codes give an all-zero image.
enum {
    TEXTURE_RESIZE_NEAREST = 1,  // nearest source pixel
    TEXTURE_RESIZE_BILINEAR = 2, // bilinear, edge samples clamped
    TEXTURE_RESIZE_BOX = 3,      // truncated mean of the covered source pixels
};
// Mode codes of texture_combine, each per channel on all four channels;
// other codes do nothing.
enum {
    TEXTURE_COMBINE_ADD = 1,      // min(a + b, 255)
    TEXTURE_COMBINE_SUBTRACT = 2, // max(a - b, 0)
    TEXTURE_COMBINE_AVERAGE = 3,  // (a + b) / 2, truncated
};

// Whole-image operators; colours are 0xAARRGGBB. They draw rand() numbers in
// a fixed order, so an unseeded generator gives the same image on every run.
// R, G, B each = min(channel + n, 255), n = rand() % amplitude: one n per
// pixel (grey) or one per channel (independent); alpha likewise with alpha_too.
// amplitude 1..255; 0 leaves the image unchanged.
void texture_noise(Texture* texture, uint8_t amplitude, bool independent, bool alpha_too);
// Adds four layers of upscaled grey noise (1/2 .. 1/8 of the width); alpha kept.
// On a black image no channel exceeds 129. Meant for square images.
void texture_clouds(Texture* texture);
// R, G, B each = min(channel, colour channel); alpha kept.
void texture_min_color(Texture* texture, uint32_t colour);
// R, G, B each = channel * factor, clamped to 0..255 and truncated; alpha kept.
void texture_brightness(Texture* texture, float factor);
// R, G, B each = (channel - 128) * factor + 128, clamped as brightness; alpha kept.
void texture_contrast(Texture* texture, float factor);
// R, G, B = 255 - channel; alpha kept.
void texture_invert(Texture* texture);
// R = G = B = grey value (0.3 R + 0.6 G + 0.1 B, each term truncated); alpha kept.
void texture_greyscale(Texture* texture);
// Grey relief from the left/right and up/down neighbours of the image read as
// one wrapped line of pixels; a flat image gives 127. strength 0..255
// (64 is the usual); alpha kept.
void texture_emboss(Texture* texture, uint8_t strength);
// alpha = (R + G + B) / 3; R, G, B kept.
void texture_alpha_from_brightness(Texture* texture);
// Moves a pixel halfway to colour (all four channels) when rand() % 255 <
// chance: chance 0 changes nothing, 255 every pixel.
void texture_speckle(Texture* texture, uint8_t chance, uint32_t colour);
// alpha = 255 or 0 (hard), 200 or 50 (soft) by the lowest bit of rand().
void texture_random_alpha_hard(Texture* texture);
void texture_random_alpha_soft(Texture* texture);

// Operators that change the size or read a second image
// Doubles both sizes: the image, then mirrored copies to the right, below and
// diagonally, so the result tiles without seams. Sizes up to 32767.
void texture_mirror_tile(Texture* texture);
// Resamples to new_width x new_height with a TEXTURE_RESIZE_* mode.
void texture_resize(Texture* texture, uint16_t new_width, uint16_t new_height, int mode);
// texture = texture (mode) second, per pixel with a TEXTURE_COMBINE_* mode;
// does nothing when the sizes differ.
void texture_combine(Texture* texture, const Texture* second, int mode);
// Copies every pixel into destination; does nothing when the sizes differ.
void texture_copy_pixels(const Texture* texture, Texture* destination);

// Drawing toolbox. Coordinates in pixels; whatever falls outside the image
// is clipped, nothing is written outside the pixel block.
// x0..x1 and y0..y1 inclusive, corners in either order.
void texture_fill_rect(Texture* texture, uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1,
                       uint32_t colour);
void texture_put_pixel(Texture* texture, uint16_t x, uint16_t y, uint32_t colour);
// 8-connected line, both end points drawn.
void texture_draw_line(Texture* texture, uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1,
                       uint32_t colour);
// (x, y) to (x + length, y): length + 1 pixels.
void texture_draw_hspan(Texture* texture, uint16_t x, uint16_t y, uint16_t length, uint32_t colour);
// (x, y) to (x, y + length): length + 1 pixels.
void texture_draw_vspan(Texture* texture, uint16_t x, uint16_t y, uint16_t length, uint32_t colour);
// The four edges of the inclusive rectangle, corners in either order.
void texture_draw_rect(Texture* texture, uint16_t x0, uint16_t y0, uint16_t x1, uint16_t y1,
                       uint32_t colour);
// Outline of 629 line segments (angle steps of 0.01 radians).
void texture_draw_circle(Texture* texture, uint16_t cx, uint16_t cy, uint16_t radius,
                         uint32_t colour);
// Filled disc of horizontal spans (angle steps of 0.005 radians).
void texture_fill_disc(Texture* texture, uint16_t cx, uint16_t cy, uint16_t radius,
                       uint32_t colour);
// Copies rows r0..r1, columns c0..c1 (inclusive, r0 <= r1 and c0 <= c1, else
// nothing) so that (r0, c0) lands at row tr, column tc; source and target may
// overlap (the copy reads the block as it was).
void texture_copy_block(Texture* texture, uint16_t r0, uint16_t c0, uint16_t r1, uint16_t c1,
                        uint16_t tr, uint16_t tc);
// texture_copy_block to (r0 + k * row_step, c0 + k * column_step), k = 1..count;
// steps may be negative.
void texture_repeat_block(Texture* texture, uint16_t r0, uint16_t c0, uint16_t r1, uint16_t c1,
                          int16_t row_step, int16_t column_step, uint8_t count);
