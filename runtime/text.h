// Text layer, loading screen and end credits. Without captions (the
// default) the text layer draws nothing; the loading discs are plain
// triangles.
#pragma once

#include <cstdint>

// Captions on or off (off at start); must be set before the fonts are created.
void text_enable_captions(bool on);
bool text_captions_enabled();
// With captions: a font for the face (found by fontconfig, nearest match) at
// `size` pixels of the 800 x 600 overlay, its printable ASCII glyphs
// rasterised once into a texture; returns a handle from 1. Returns 0 without
// captions, and when no font can be found or rasterised (then one line on
// stderr, once). The flag bytes are unused.
int32_t font_create(const char* face, int size, uint8_t f0, uint8_t f1, uint8_t f2, uint8_t f3);
// The same whether captions are on or not, for text of the window's own
// (its on-screen line); `quiet`: a failure returns 0 without a word.
int32_t font_load(const char* face, int size, bool quiet);
// Releases the font's texture; 0 and unknown handles are ignored.
void font_free(int32_t font);
// Draws `text` with (x, y), in overlay pixels, its top left: capitals hang
// from y (the baseline lies one cap height lower; descenders reach below
// it), in colour 0xAARRGGBB, alpha-blended over the whole frame (neither
// the picture band's viewport nor its clip apply), on whole frame pixels.
// Where the overlay reaches past the frame (16:9 and wider frames have no
// black bands), a line that would leave it is moved back inside, 8 pixels
// of the overlay from its edge. Leaves every GL state as it was. Font 0
// draws nothing and touches nothing.
void text_draw(int x, int y, uint32_t colour, int32_t font, const char* text);

// The two fonts held from start-up to shutdown.
extern int32_t g_font_large; // "Arial", 40
extern int32_t g_font_small; // "Arial", 16

// Filled disc centred at (cx, 600 - cy) in overlay pixels (cy measured upwards).
void disc_draw(int cx, int cy, int radius, uint32_t colour);
// One loading frame with done of total discs lit, then swap_buffers. Clears
// the whole frame and leaves the viewport on the overlay's area.
void loading_screen(int done, int total);
// The timeline's tenth render step (220..225 s).
void credits_render(int seconds, int first_frame);
