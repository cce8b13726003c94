// Test support for scenes drawn through the frame code: a fixture that loads
// every scene once, whole-window read-back, and the band's colour statistics.
#pragma once

#include "presentation/demo.h"
#include "runtime/gl_setup.h"
#include "support/gl_test.h"

#include <cstdint>
#include <vector>

const int BAND_TOP = WINDOW_HEIGHT - PICTURE_Y - PICTURE_HEIGHT; // first picture row from the top
const int BAND_BOTTOM = BAND_TOP + PICTURE_HEIGHT;              // first black row below it

// Loads all ten build steps once per test program; sync state and light are
// reset around every test.
class SceneTest : public GlTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

typedef std::vector<uint8_t> Image; // RGB of the 800 x 600 window, top row first

inline const uint8_t* pixel(const Image& im, int x, int y) { return &im[3 * (y * WINDOW_WIDTH + x)]; }

// One frame through the frame code, as a fresh capture draws it at `time`.
Image draw_frame(float time);
// One frame through the frame code at `time`, continuing `loop`.
Image draw_frame_in(DemoLoop* loop, float time);
// The same scene time drawn by the render step alone (first frame, no fade).
Image draw_unfaded(RenderStep step, float t);

struct BandStats {
    double r, g, b;   // band means, 0..255
    double lit;       // share of band pixels with a channel above 8
    long outside_lit; // pixels above or below the band that are not black
    long warm;        // band pixels with red above 60 and at least 30 above blue
};
BandStats band_stats(const Image& im);
