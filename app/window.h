// The SDL window and its OpenGL context. Failures to start the video print
// one line and exit 1.
#pragma once

#include <cstdint>

// What the window's GL context is asked for besides its size.
struct WindowGl {
    int samples; // samples per pixel, 1 = no multisampling
    bool vsync;  // swaps wait for the display's refresh
};

// Starts SDL's video and reads the display's current resolution (0 x 0 when
// SDL cannot tell), before any window exists. Does not return on failure.
void window_start(int* display_width, int* display_height);
// Opens the window (or switches the display mode when full_screen is 1) and
// sets the fixed GL state; window_start must come first. A multisample count
// the display lacks is lowered until one works, with one line on stderr.
// Does not return on failure.
void window_open(uint16_t width, uint16_t height, const char* caption, uint8_t full_screen, WindowGl gl);
void window_close();
// Switches between full screen and the window, keeping the frame's size and
// the GL context; false (with one line on stderr) when the display cannot.
bool window_toggle_full_screen();
bool window_is_full_screen();
// Shows or hides the mouse pointer over the window.
void window_show_cursor(bool shown);
