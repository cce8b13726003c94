// The SDL window with its OpenGL context. Failures print one line and exit 1.
#pragma once

#include <cstdint>

// Opens the window (or switches the display mode when full_screen is 1) and
// sets the fixed GL state. Does not return on failure.
void window_open(uint16_t width, uint16_t height, const char* caption, uint8_t full_screen);
void window_close();
