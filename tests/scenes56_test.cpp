// Scenes 5 and 6 through the same loading and frame code as the window and the
// capture tool: their colours, the rings' approach, and the music reactions.
#include "presentation/demo.h"
#include "render/render.h"
#include "runtime/gl_setup.h"
#include "runtime/sync.h"
#include "scenes/scenes.h"
#include "support/scene_image.h"

#include <GL/gl.h>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

typedef SceneTest Scenes56Test;

struct Shares {
    double yellow; // red and green alike, well above blue
    double blue;   // blue well above red and green
    double green;  // green well above red and blue
    double tinted; // red and green more than 10 apart
};

Shares colour_shares(const Image& im)
{
    long y = 0, b = 0, g = 0, t = 0;
    for (int row = BAND_TOP; row < BAND_BOTTOM; row++) {
        for (int x = 0; x < WINDOW_WIDTH; x++) {
            const uint8_t* p = pixel(im, x, row);
            y += p[0] > 60 && std::abs(p[0] - p[1]) < 20 && p[2] + 25 < p[0];
            b += p[2] > p[0] + 40 && p[2] > p[1] + 20;
            g += p[1] > p[0] + 40 && p[1] > p[2] + 20;
            t += std::abs(p[0] - p[1]) > 10;
        }
    }
    const double n = (double)WINDOW_WIDTH * PICTURE_HEIGHT;
    return {y / n, b / n, g / n, t / n};
}

struct LookCase {
    float time;
    double yellow, blue, green; // least shares of the band
    bool untinted;              // yellow, grey and blue only: red and green alike
    bool red_free;              // blue, green and the fog: no red at all
};

TEST_F(Scenes56Test, YellowTubeOverBlueFloorThenGreenRoomWithBlueBlocks)
{
    const LookCase cases[] = {
        // Scene 5 while the near tube is in view (it has passed by t = 22.2).
        {99, 0.01, 0.1, 0, true, false},
        {111, 0.01, 0.1, 0, true, false},
        {125, 0, 0.3, 0.01, false, true},
        {133, 0, 0.3, 0.01, false, true},
        {141, 0, 0.3, 0.01, false, true},
    };
    for (const LookCase& c : cases) {
        const Image im = draw_frame(c.time);
        const BandStats s = band_stats(im);
        const Shares shares = colour_shares(im);
        EXPECT_EQ(s.outside_lit, 0) << c.time;
        EXPECT_GT(s.lit, 0.98) << c.time;
        EXPECT_GT(s.b, s.r + 10) << c.time;
        EXPECT_GE(shares.yellow, c.yellow) << c.time;
        EXPECT_GE(shares.blue, c.blue) << c.time;
        EXPECT_GE(shares.green, c.green) << c.time;
        EXPECT_TRUE(!c.untinted || shares.tinted < 0.001) << c.time;
        EXPECT_TRUE(!c.red_free || s.r < 1.0) << c.time;
        EXPECT_EQ(draw_frame(c.time), im) << c.time; // the same again
    }
}

// Eye distance of the nearest opaque surface in the band: the depth buffer's
// minimum under the window's 1 .. 10000 projection.
float nearest_in_band()
{
    std::vector<float> depth((size_t)WINDOW_WIDTH * PICTURE_HEIGHT);
    glReadPixels(0, PICTURE_Y, WINDOW_WIDTH, PICTURE_HEIGHT, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    const double d = *std::min_element(depth.begin(), depth.end());
    const double n = 1, f = 10000;
    return (float)(n * f / (f - d * (f - n)));
}

TEST_F(Scenes56Test, SceneFiveRingsComeOnAt78UnitsPerSecondSpaced100Apart)
{
    // Ring k has just passed the camera; ring k + 1, at 100 (k + 1) - 78 t,
    // is the nearest opaque thing, tilted so one edge comes up to 20 units
    // nearer. The floor and ceiling lie 250 units away or more.
    for (int k : {3, 10}) {
        float last = 1e9f;
        for (float after : {0.35f, 0.65f}) {
            const float t = k * 100.0f / 78.0f + after;
            draw_unfaded(scene5_render, t);
            const float ring = 100.0f * (k + 1) - 78.0f * t;
            const float nearest = nearest_in_band();
            EXPECT_GT(nearest, ring - 20.5f) << t;
            EXPECT_LT(nearest, ring) << t;
            EXPECT_LT(nearest, last - 15) << t;
            last = nearest;
        }
    }
}

struct ReactionCase {
    RenderStep step;
    float diffuse;   // light drawn on the beat's frame
    float zoom;      // Z scale of the view left by the frame
    float camera[2]; // x and y of the view's translation
    float light[3];  // light position in eye space
    int beat_flag;   // flag after the frame
    float fog_start, fog_end;
};

TEST_F(Scenes56Test, BeatFlashesTheLightSceneFiveSquashesTheViewAndSceneSixTakesTheFlag)
{
    const float t = 2.0f;
    const ReactionCase cases[] = {
        // Scene 5's camera circles the axis at radius 12.
        {scene5_render, 3500, 0.6f, {12 * sinf(t), 12 * cosf(t)}, {0, 0, 0}, 1, 100, 1000},
        {scene6_render, 2500, 1.0f, {0, 0}, {10 * sinf(t), 0, 10 * sinf(t)}, 0, 1, 20},
    };
    for (const ReactionCase& c : cases) {
        sync_reset();
        light_reset();
        beat_flag = 1;
        beat_pulse = SYNC_BEAT_PULSE;
        draw_unfaded(c.step, t);
        EXPECT_EQ(beat_flag, c.beat_flag);
        EXPECT_EQ(beat_pulse, SYNC_BEAT_PULSE - 100);
        float diffuse[4], position[4], m[16], start, end;
        glGetLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
        glGetLightfv(GL_LIGHT0, GL_POSITION, position);
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        glGetFloatv(GL_FOG_START, &start);
        glGetFloatv(GL_FOG_END, &end);
        EXPECT_EQ(diffuse[0], c.diffuse);
        for (int i = 0; i < 3; i++) EXPECT_NEAR(position[i], c.light[i], 1e-5) << i;
        EXPECT_NEAR(m[10], -c.zoom, 1e-6); // the view base mirrors Z
        EXPECT_NEAR(m[12], c.camera[0], 1e-5);
        EXPECT_NEAR(m[13], c.camera[1], 1e-5);
        EXPECT_EQ(start, c.fog_start);
        EXPECT_EQ(end, c.fog_end);
        EXPECT_TRUE(glIsEnabled(GL_FOG) && glIsEnabled(GL_LIGHTING) && glIsEnabled(GL_DEPTH_TEST));
    }
}

} // namespace
