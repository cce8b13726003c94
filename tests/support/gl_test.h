// Test support: one offscreen GL context per test program, set up as the
// window would be, and pixel read-back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

// Opens the shared offscreen 800 x 600 context once (closed at exit) and
// applies the window's fixed GL state. Fails the calling test when no
// context can be made.
void gl_test_context();

// RGB of one window pixel, y counted from the top row.
struct Rgb {
    int r, g, b;
};
Rgb gl_read_pixel(int x, int y_from_top);

// Fixture for tests that draw: context ready, buffers cleared to black.
class GlTest : public ::testing::Test {
protected:
    void SetUp() override;
};
