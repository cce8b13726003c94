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

// Samples per pixel the renderer gives for a request of `wanted` (2 or
// more): the smallest count it has at or above it, else the most it has;
// 1 when it has no multisampling. Needs the context.
int offscreen_samples_for(int wanted);
// Draws from now on into a multisampled framebuffer of width x height with
// `samples` per pixel (a count offscreen_samples_for gave); reading stays on
// the single-sampled surface, which offscreen_resolve fills. False with a
// reason when the framebuffer cannot be made.
bool offscreen_multisample(int width, int height, int samples, std::string* error);
// Resolves the multisampled frame into the surface, for glReadPixels.
// Does nothing without offscreen_multisample. The scissor test must be off.
void offscreen_resolve(int width, int height);

// Reads the whole colour buffer as RGB bytes, top row first.
std::vector<uint8_t> offscreen_read_rgb(int width, int height);
