// The GL state every scene takes for granted, the frame's size with its
// picture band, and the end of a frame. Shared by the SDL window and the
// offscreen capture context.
#pragma once

// The design's frame in pixels: an 800 x 600 window with its 800 x 450 band
// from y = 75. It is the default size, and every measure in pixels (overlay
// units, point sizes, line widths) is given at this size.
const int WINDOW_WIDTH = 800;
const int WINDOW_HEIGHT = 600;
const int PICTURE_Y = 75;       // bottom of the letterbox band
const int PICTURE_HEIGHT = 450; // 800 x 450 band

// Largest width or height a size option takes; the GL context may give less.
const int FRAME_SIZE_MAX = 16384;
// Most samples per pixel --msaa takes; renderers give at most 16 or 32.
const int FRAME_SAMPLES_MAX = 64;

// The frame actually drawn (the window, or the captured image) and the 16:9
// band fitted inside it and centred: full height when the frame is as wide
// as 16:9 or wider (bars at the sides), full width otherwise (bands above
// and below). Pixels, origin bottom left as GL counts them.
struct FrameGeometry {
    int width, height;
    int band_x, band_y, band_width, band_height;
    // Where the overlay's 800 x 600 units land: the band's scale and centre,
    // so the band sits on overlay rows 75..525. May reach past the frame.
    int overlay_x, overlay_y, overlay_width, overlay_height;
    float scale; // band pixels per design pixel: band_height / 450
};

// The frame in use: 800 x 600 until frame_set_size changes it.
extern FrameGeometry g_frame;

// Sets the frame's size (1..FRAME_SIZE_MAX each way), its band and overlay,
// and the scale of points and lines, for everything drawn after.
void frame_set_size(int width, int height);
// The geometry of a frame of that size, without using it.
FrameGeometry frame_geometry(int width, int height);
// Reads "WIDTHxHEIGHT" (each 1..FRAME_SIZE_MAX, digits only); false otherwise.
bool frame_size_parse(const char* text, int* width, int* height);
// Reads a count of samples per pixel (1..FRAME_SAMPLES_MAX, digits only).
bool frame_samples_parse(const char* text, int* samples);

// Projection (30 degree field of view, near 1, far 10000) with the aspect of
// width / height, identity model-view, material, hints, depth function and
// face culling mode. Every caller passes the design's 800 x 600, whatever
// the frame's size: the picture keeps its designed sideways stretch.
// Needs a current GL context.
void gl_setup_fixed_state(int width, int height);

// State for a frame with more than one sample per pixel. Multisampled
// points are discs unless point sprites are on; with them they stay the
// squares a single-sampled frame shows. Needs a current GL context.
void gl_setup_multisample();

// Ends a frame: the host's buffer swap (SDL window), or whatever the host set.
void swap_buffers();
// The host's way to show a finished frame; null makes swap_buffers do nothing.
void swap_buffers_set_hook(void (*hook)());
