// Offscreen OpenGL: EGL on Mesa's surfaceless platform with a pbuffer and a
// compatibility-profile desktop GL context, so the fixed-function pipeline,
// display lists and GLU work without a display.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Creates the context and makes it current. On failure returns false and
// puts the reason into *error.
bool offscreen_open(int width, int height, std::string* error);
void offscreen_close();

// Reads the whole colour buffer as RGB bytes, top row first.
std::vector<uint8_t> offscreen_read_rgb(int width, int height);
