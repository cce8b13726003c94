// Drawing the 3D picture at fewer pixels: the render steps draw into an
// offscreen colour and depth target of a share of the band's size, which is
// then scaled up into the band with linear filtering. Fades, captions and
// whatever is drawn after the frame stay at the frame's full resolution.
// At scale 1 (the default) nothing of this is used: the picture is drawn
// straight into the frame, as it always was.
#pragma once

// The range --render-scale takes.
const float RENDER_SCALE_MIN = 0.25f;
const float RENDER_SCALE_MAX = 1.0f;

// Reads a scale: a decimal number from 0.25 to 1. False otherwise.
bool render_scale_parse(const char* text, float* scale);

// The scale for the frames drawn from now on (clamped to 0.25..1).
void render_scale_set(float scale);
float render_scale_get();

// The target's size for the band at `scale`: the band's pixels times the
// scale, rounded, at least 1 each way.
void render_scale_target_size(float scale, int* width, int* height);

// Called by the frame's drawing in place of demo_picture_begin: at a scale
// below 1 binds the target (made or remade when its size changed), clears it, sets
// the viewport, scissor and the size of points and lines to it, and holds
// back the captions drawn from now on. Returns false, doing nothing, at 1.
bool render_scale_begin();
// After the render step: back to the frame that was bound, demo_picture_begin
// (the frame cleared, viewport and scissor on the band), the target's picture
// scaled up into the band, then the held-back captions. Pixel sizes are the
// frame's again.
void render_scale_end();

// Releases the target (the GL context must still be current).
void render_scale_release();
