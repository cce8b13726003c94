// The frame at any size: where the band and the overlay land, the size
// option's syntax, and frames at other sizes that show what the 800 x 600
// frame shows.
#include "presentation/demo.h"
#include "offscreen/offscreen.h"
#include "render/render.h"
#include "runtime/gl_setup.h"
#include "runtime/sync.h"
#include "runtime/text.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

TEST(FrameGeometryTest, BandIsFittedAt16By9AndCentred)
{
    struct Case {
        int width, height;
        int band_x, band_y, band_width, band_height;
        int overlay_y, overlay_height;
    };
    const Case cases[] = {
        {800, 600, 0, 75, 800, 450, 0, 600},         // the design: bands above and below
        {1920, 1080, 0, 0, 1920, 1080, -180, 1440},  // 16:9 fills the frame
        {3840, 2160, 0, 0, 3840, 2160, -360, 2880},
        {1600, 1200, 0, 150, 1600, 900, 0, 1200},    // 4:3 at twice the size
        {2400, 600, 666, 0, 1067, 600, -100, 800},   // wider: bars at the sides
        {1366, 768, 0, 0, 1365, 768, -128, 1024},    // 16:9 to within a pixel
        {801, 601, 0, 75, 801, 451, 0, 601},
    };
    for (const Case& c : cases) {
        const FrameGeometry f = frame_geometry(c.width, c.height);
        const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
        EXPECT_EQ(f.band_x, c.band_x) << size;
        EXPECT_EQ(f.band_y, c.band_y) << size;
        EXPECT_EQ(f.band_width, c.band_width) << size;
        EXPECT_EQ(f.band_height, c.band_height) << size;
        EXPECT_EQ(f.overlay_x, c.band_x) << size;
        EXPECT_EQ(f.overlay_width, c.band_width) << size;
        EXPECT_EQ(f.overlay_y, c.overlay_y) << size;
        EXPECT_EQ(f.overlay_height, c.overlay_height) << size;
        EXPECT_FLOAT_EQ(f.scale, c.band_height / 450.0f) << size;
    }
}

TEST(FrameGeometryTest, SizeTakesWidthXHeightInDigitsOnly)
{
    int w = 0, h = 0;
    EXPECT_TRUE(frame_size_parse("1920x1080", &w, &h));
    EXPECT_EQ(w, 1920);
    EXPECT_EQ(h, 1080);
    EXPECT_TRUE(frame_size_parse("1x16384", &w, &h));
    EXPECT_EQ(h, 16384);
    for (const char* bad : {"", "0x600", "800x0", "-800x600", "800x-600", "800", "800x", "x600", "800X600",
                            "800x600x", " 800x600", "800x600 ", "16385x100", "99999999999999999999x1", "1e3x600",
                            "+800x600", "desktop"}) {
        EXPECT_FALSE(frame_size_parse(bad, &w, &h)) << "'" << bad << "'";
    }
}

typedef std::vector<uint8_t> Rgb; // top row first

// One context large enough for every size drawn here: each frame lies in
// its lower left corner.
const int CONTEXT_WIDTH = 2400;
const int CONTEXT_HEIGHT = 1200;

class FrameSizeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static bool loaded = false;
        if (!loaded) {
            std::string error;
            ASSERT_TRUE(offscreen_open(CONTEXT_WIDTH, CONTEXT_HEIGHT, &error)) << error;
            gl_setup_fixed_state(WINDOW_WIDTH, WINDOW_HEIGHT);
            srand(1);
            demo_load();
            loaded = true;
        }
    }
    void TearDown() override
    {
        frame_set_size(WINDOW_WIDTH, WINDOW_HEIGHT);
        sync_reset();
        light_reset();
    }
};

// A fresh frame at `time` (no beat pending) at width x height.
Rgb draw_at(int width, int height, float time)
{
    frame_set_size(width, height);
    sync_reset();
    light_reset();
    srand(1);
    DemoLoop loop;
    demo_loop_init(&loop);
    demo_draw_frame(&loop, time);
    return offscreen_read_rgb(width, height);
}

// The loading screen, with lighting, fog, depth test and blending off as at
// start-up, whatever frames came before.
Rgb loading_at(int width, int height, int done)
{
    frame_set_size(width, height);
    glPushAttrib(GL_ENABLE_BIT);
    for (GLenum cap : {GL_LIGHTING, GL_FOG, GL_DEPTH_TEST, GL_BLEND}) glDisable(cap);
    loading_screen(done, TIMELINE_ENTRIES);
    glPopAttrib();
    return offscreen_read_rgb(width, height);
}

// Mean difference per channel (0..255) between a 1600 x 1200 frame reduced
// 2:1 and an 800 x 600 one.
double reduced_difference(const Rgb& large, const Rgb& small)
{
    double sum = 0;
    for (int y = 0; y < WINDOW_HEIGHT; y++)
        for (int x = 0; x < WINDOW_WIDTH; x++)
            for (int c = 0; c < 3; c++) {
                const size_t top = 3 * ((size_t)(2 * y) * 1600 + 2 * x) + c;
                const size_t below = top + 3 * 1600;
                const double mean = (large[top] + large[top + 3] + large[below] + large[below + 3]) / 4.0;
                sum += std::fabs(mean - small[3 * ((size_t)y * WINDOW_WIDTH + x) + c]);
            }
    return sum / (3.0 * WINDOW_WIDTH * WINDOW_HEIGHT);
}

// Non-black pixels in rows [from, to) of a frame `width` wide.
long lit_in_rows(const Rgb& im, int width, int from, int to)
{
    long n = 0;
    for (size_t i = 3 * (size_t)from * width; i < 3 * (size_t)to * width; i += 3) n += (im[i] | im[i + 1] | im[i + 2]) != 0;
    return n;
}

TEST_F(FrameSizeTest, TwiceTheSizeReducedIsTheDesignFrame)
{
    // The star box (points), the orb (points on faces) and the lattice room.
    for (float time : {65.0f, 48.0f, 180.0f}) {
        const Rgb small = draw_at(800, 600, time);
        const Rgb large = draw_at(1600, 1200, time);
        // Edges and texture detail differ by about 0.4; stars left at the
        // design's size would give the star box 0.75.
        EXPECT_LT(reduced_difference(large, small), 0.6) << time;
        EXPECT_EQ(lit_in_rows(small, 800, 0, 75) + lit_in_rows(small, 800, 525, 600), 0) << time;
        EXPECT_EQ(lit_in_rows(large, 1600, 0, 150) + lit_in_rows(large, 1600, 1050, 1200), 0) << time;
        EXPECT_GT(lit_in_rows(large, 1600, 150, 1050), 1600 * 900 / 2) << time;
    }
}

TEST_F(FrameSizeTest, LoadingDiscsKeepTheirPlaceAndSize)
{
    const Rgb small = loading_at(800, 600, 4);
    const Rgb large = loading_at(1600, 1200, 4);
    EXPECT_LT(reduced_difference(large, small), 0.1);
    // Ten discs of radius 8 design pixels: about 2,010 pixels, four times that at twice the size.
    const long lit_small = lit_in_rows(small, 800, 0, 600);
    EXPECT_NEAR(lit_in_rows(large, 1600, 0, 1200) / 4.0, lit_small, lit_small * 0.05);
    // At 16:9 the row keeps its place on the band: 10 design pixels above its middle.
    const Rgb wide = loading_at(1920, 1080, 4);
    const auto white = [&](int x, int y) { return wide[3 * ((size_t)y * 1920 + x)] == 255; };
    EXPECT_TRUE(white(960 - 96, 540 - 24));  // the fourth disc (lit), centre x = 360
    EXPECT_FALSE(white(960 - 96, 540 - 48)); // above it
    EXPECT_FALSE(white(960 + 96, 540 - 24)); // the eighth (grey), centre x = 440
}

TEST_F(FrameSizeTest, SixteenByNineHasNoBandsAndWiderHasBarsAtTheSides)
{
    // Scene 8: an orange room in orange fog, lit to every edge.
    const Rgb full = draw_at(1920, 1080, 180.0f);
    EXPECT_GT(lit_in_rows(full, 1920, 0, 1), 1900);
    EXPECT_GT(lit_in_rows(full, 1920, 1079, 1080), 1900);

    const Rgb wide = draw_at(2400, 600, 180.0f);
    long bars = 0, band_edges = 0;
    for (int y = 0; y < 600; y++)
        for (int x = 0; x < 2400; x++) {
            const uint8_t* p = &wide[3 * ((size_t)y * 2400 + x)];
            const bool lit = (p[0] | p[1] | p[2]) != 0;
            if (x < 666 || x >= 666 + 1067) bars += lit;
            else if (y == 0 || y == 599) band_edges += lit;
        }
    EXPECT_EQ(bars, 0);
    EXPECT_GT(band_edges, 2 * 1067 * 9 / 10);
}

} // namespace
