// The GL state every scene takes for granted, and the end of a frame. Shared
// by the SDL window and the offscreen capture context.
#pragma once

// Window and picture geometry in pixels.
const int WINDOW_WIDTH = 800;
const int WINDOW_HEIGHT = 600;
const int PICTURE_Y = 75;       // bottom of the letterbox band
const int PICTURE_HEIGHT = 450; // 800 x 450 band

// Projection (30 degree field of view, window aspect, near 1, far 10000),
// identity model-view, material, hints, depth function and face culling mode.
// Needs a current GL context.
void gl_setup_fixed_state(int width, int height);

// Ends a frame: the host's buffer swap (SDL window), or whatever the host set.
void swap_buffers();
// The host's way to show a finished frame; null makes swap_buffers do nothing.
void swap_buffers_set_hook(void (*hook)());
