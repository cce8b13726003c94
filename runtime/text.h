// Text layer, loading screen and end credits. The text layer keeps its
// interface but draws nothing; the loading discs are plain triangles.
#pragma once

#include <cstdint>

// Font handles: 0 is the only value ever produced.
int32_t font_create(const char* face, int size, uint8_t f0, uint8_t f1, uint8_t f2, uint8_t f3);
void font_free(int32_t font);
// x, y in overlay pixels; colour 0xAARRGGBB. Draws nothing.
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
