// Loading screen discs, the silent text layer and the credits step, read back
// from the offscreen window.
#include "offscreen/offscreen.h"
#include "render/render.h"
#include "render/transform.h"
#include "runtime/gl_setup.h"
#include "runtime/text.h"
#include "support/gl_test.h"

#include <GL/gl.h>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Disc i of ten is centred at overlay (300 + 20 i, 290): 310 up from the bottom.
const int DISC_ROW_Y = 290;
int disc_x(int i) { return 300 + 20 * i; }

int s_swaps = 0;
void count_swap() { s_swaps++; }

struct MatrixDepths {
    int modelview, projection, mode;
};

MatrixDepths matrix_depths()
{
    MatrixDepths d;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &d.modelview);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &d.projection);
    glGetIntegerv(GL_MATRIX_MODE, &d.mode);
    return d;
}

void expect_same_matrix_state(const MatrixDepths& before)
{
    const MatrixDepths after = matrix_depths();
    EXPECT_EQ(after.modelview, before.modelview);
    EXPECT_EQ(after.projection, before.projection);
    EXPECT_EQ(after.mode, GL_MODELVIEW);
}

class LoadingTest : public GlTest {};

TEST_F(LoadingTest, DoneDiscsAreWhiteAndTheRestGrey)
{
    const int dones[] = {1, 5, 10};
    for (int done : dones) {
        loading_screen(done, 10);
        for (int i = 0; i < 10; i++) {
            const Rgb c = gl_read_pixel(disc_x(i), DISC_ROW_Y);
            const int expected = i < done ? 255 : 128;
            EXPECT_EQ(c.r, expected) << "done " << done << " disc " << i;
            EXPECT_EQ(c.g, expected) << "done " << done << " disc " << i;
            EXPECT_EQ(c.b, expected) << "done " << done << " disc " << i;
            // Black gap halfway to the next disc.
            EXPECT_EQ(gl_read_pixel(disc_x(i) + 10, DISC_ROW_Y).r, 0) << "gap after disc " << i;
        }
        EXPECT_EQ(gl_read_pixel(disc_x(0) - 20, DISC_ROW_Y).r, 0) << "no disc before the first";
        EXPECT_EQ(gl_read_pixel(disc_x(10), DISC_ROW_Y).r, 0) << "no disc after the last";
    }
}

TEST_F(LoadingTest, RowStaysCentredForOtherTotals)
{
    loading_screen(2, 4); // centres 360, 380, 400, 420
    EXPECT_EQ(gl_read_pixel(360, DISC_ROW_Y).r, 255);
    EXPECT_EQ(gl_read_pixel(380, DISC_ROW_Y).r, 255);
    EXPECT_EQ(gl_read_pixel(400, DISC_ROW_Y).r, 128);
    EXPECT_EQ(gl_read_pixel(420, DISC_ROW_Y).r, 128);
    EXPECT_EQ(gl_read_pixel(340, DISC_ROW_Y).r, 0);
    EXPECT_EQ(gl_read_pixel(440, DISC_ROW_Y).r, 0);
}

TEST_F(LoadingTest, ClearsTheOldFrameShowsItOnceAndRestoresState)
{
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    const MatrixDepths before = matrix_depths();
    s_swaps = 0;
    swap_buffers_set_hook(count_swap);
    loading_screen(3, 10);
    swap_buffers_set_hook(nullptr);
    EXPECT_EQ(s_swaps, 1);
    EXPECT_EQ(gl_read_pixel(10, 10).r, 0);
    EXPECT_EQ(gl_read_pixel(360, 270).r, 0) << "the caption draws nothing";
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    expect_same_matrix_state(before);
}

TEST_F(LoadingTest, DiscCoversRadiusEightAroundItsCentre)
{
    state_disable(RS_TEXTURE);
    overlay_begin();
    disc_draw(300, 310, 8, 0xFFFFFFFF);
    overlay_end();
    state_enable(RS_TEXTURE);
    // Distances from pixel centres; the truncated rim may sit up to one
    // pixel inside or outside the exact circle.
    int lit = 0;
    for (int y = 270; y <= 310; y++)
        for (int x = 280; x <= 320; x++) {
            const double d = std::hypot(x + 0.5 - 300.0, y + 0.5 - 290.0);
            const bool on = gl_read_pixel(x, y).r == 255;
            lit += on;
            if (d <= 7) {
                EXPECT_TRUE(on) << x << ", " << y;
            } else if (d >= 9) {
                EXPECT_FALSE(on) << x << ", " << y;
            }
        }
    // Area of a radius-8 disc is about 201 pixels.
    EXPECT_GT(lit, 180);
    EXPECT_LT(lit, 215);
}

TEST_F(LoadingTest, DiscColourTakesRgbAndIgnoresAlpha)
{
    state_disable(RS_TEXTURE);
    overlay_begin();
    disc_draw(100, 500, 8, 0x00FF8040);
    overlay_end();
    state_enable(RS_TEXTURE);
    const Rgb c = gl_read_pixel(100, 100);
    EXPECT_EQ(c.r, 255);
    EXPECT_EQ(c.g, 128);
    EXPECT_EQ(c.b, 64);
}

TEST_F(LoadingTest, WithoutCaptionsTheTextLayerDrawsNothing)
{
    EXPECT_EQ(font_create("Arial", 40, 0, 0, 0, 0), 0);
    EXPECT_EQ(font_create("Arial", 16, 1, 2, 3, 4), 0);
    EXPECT_EQ(font_create("", -5, 255, 255, 255, 255), 0);

    state_disable(RS_TEXTURE);
    overlay_begin();
    disc_draw(400, 300, 8, 0xFF808080);
    const std::vector<uint8_t> before = offscreen_read_rgb(WINDOW_WIDTH, WINDOW_HEIGHT);
    text_draw(390, 295, 0xFFFFFFFF, 0, "quiet harbor");
    text_draw(0, 0, 0xFFFF0000, 7, "Loading...");
    font_free(0);
    overlay_end();
    state_enable(RS_TEXTURE);
    EXPECT_TRUE(offscreen_read_rgb(WINDOW_WIDTH, WINDOW_HEIGHT) == before);
}

// "Loading..." hangs from (360, 270), clear of the discs' tops at row 282
// but for the tail of its g, and the discs keep their colours.
TEST_F(LoadingTest, WithCaptionsLoadingSitsAboveTheDiscs)
{
    text_enable_captions(true);
    g_font_small = font_create("Arial", 16, 0, 0, 0, 0);
    ASSERT_NE(g_font_small, 0);
    loading_screen(1, 10);
    font_free(g_font_small);
    g_font_small = 0;
    text_enable_captions(false);
    int lit = 0, lowest = 0;
    for (int y = 240; y < 282; y++) {
        for (int x = 340; x < 460; x++) {
            if (gl_read_pixel(x, y).r == 0) continue;
            EXPECT_TRUE(x >= 360 && y >= 268) << x << ", " << y;
            lit++;
            lowest = y;
        }
    }
    EXPECT_GT(lit, 100);
    EXPECT_GE(lowest, 278);
    EXPECT_EQ(gl_read_pixel(disc_x(0), DISC_ROW_Y).r, 255);
    EXPECT_EQ(gl_read_pixel(disc_x(5), DISC_ROW_Y).r, 128);
}

TEST_F(LoadingTest, CreditsLeaveTheFrameBlackAndTexturingOn)
{
    state_enable(RS_LIGHTING);
    const MatrixDepths before = matrix_depths();
    credits_render(0, 1);
    credits_render(4, 0);
    const std::vector<uint8_t> frame = offscreen_read_rgb(WINDOW_WIDTH, WINDOW_HEIGHT);
    EXPECT_TRUE(std::all_of(frame.begin(), frame.end(), [](uint8_t v) { return v == 0; }));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    expect_same_matrix_state(before);
}

} // namespace
