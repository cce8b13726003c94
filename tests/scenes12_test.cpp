// Scenes 1 and 2 through the same loading and frame code as the window and the
// capture tool: light and zoom reactions, and the pictures by their properties.
#include "presentation/demo.h"
#include "offscreen/offscreen.h"
#include "render/render.h"
#include "render/transform.h"
#include "runtime/gl_setup.h"
#include "runtime/sync.h"
#include "scenes/scenes.h"
#include "support/scene_image.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdlib>

namespace {

typedef SceneTest Scenes12Test;

TEST_F(Scenes12Test, SceneOneIsACyanBlueLandscapeInsideTheBand)
{
    for (float time : {5.0f, 15.0f, 25.0f}) {
        const BandStats s = band_stats(draw_frame(time));
        EXPECT_EQ(s.outside_lit, 0) << time;
        EXPECT_GT(s.lit, 0.8) << time;
        EXPECT_GT(s.g, 60.0) << time;
        EXPECT_GT(s.b, s.g) << time;     // blue leads green a little
        EXPECT_LT(s.r, 0.1 * s.g) << time; // next to no red: cyan, not grey
        EXPECT_EQ(s.warm, 0) << time;
    }
}

// Where the orb's centre lands in the window at scene 2 time t, from its
// placement and the fixed projection (30 degrees vertical, 4:3, 800 x 450
// band), and the half-axes in pixels of the disc a radius-16 core covers there.
struct OrbView {
    float x, y_from_top; // centre
    float rx, ry;        // core half-axes
};

OrbView orb_screen_view(float t)
{
    Matrix m;
    mat_identity(m);
    mat_translate(m, 2 * sinf(0.2f * t), 2 * cosf(0.3f * t), 20 * sinf(t) + 65);
    mat_rotate_xyz(m, 10 * t, 20 * t, 30 * t);
    mat_translate(m, 0, 0, 3);
    const double core_radius = 16.0;
    const double tan_half = std::tan(15.0 * M_PI / 180.0);
    const double x_scale = WINDOW_WIDTH / 2 / (tan_half * WINDOW_WIDTH / WINDOW_HEIGHT);
    const double y_scale = PICTURE_HEIGHT / 2 / tan_half;
    OrbView v;
    v.x = (float)(WINDOW_WIDTH / 2 + x_scale * m[12] / m[14]);
    v.y_from_top = (float)(BAND_TOP + PICTURE_HEIGHT / 2 - y_scale * m[13] / m[14]);
    v.rx = (float)(x_scale * core_radius / m[14]);
    v.ry = (float)(y_scale * core_radius / m[14]);
    return v;
}

TEST_F(Scenes12Test, SceneTwoShowsAWarmOrbOfRadiusSixteenInTheVeil)
{
    // Times at which the whole orb is in the band: 79 and 83 units away.
    for (float time : {44.0f, 50.0f}) {
        const Image im = draw_frame(time);
        const BandStats s = band_stats(im);
        EXPECT_EQ(s.outside_lit, 0) << time;
        EXPECT_GT(s.lit, 0.95) << time;

        // The opaque core hides the cyan veil across its disc; around the
        // husk the veil shows again. Warm core pixels centre on the orb.
        const OrbView o = orb_screen_view(time - 30.0f);
        long inner = 0, inner_veil = 0, outer = 0, outer_veil = 0, warm = 0;
        double wx = 0, wy = 0;
        for (int y = BAND_TOP; y < BAND_BOTTOM; y++) {
            for (int x = 0; x < WINDOW_WIDTH; x++) {
                const uint8_t* p = pixel(im, x, y);
                const double e = std::hypot((x - o.x) / o.rx, (y - o.y_from_top) / o.ry);
                const bool veil = p[1] > p[0] + 60;
                if (e < 0.8) inner++, inner_veil += veil;
                if (e > 1.4 && e < 1.6) outer++, outer_veil += veil;
                if (p[0] > 60 && p[0] >= p[2] + 30) wx += x, wy += y, warm++;
            }
        }
        ASSERT_GT(inner, 0) << time;
        EXPECT_LT((double)inner_veil / inner, 0.02) << time;
        EXPECT_GT((double)outer_veil / outer, 0.5) << time;
        ASSERT_GT(warm, 20) << time;
        // Their spread follows the cloud texture, so allow a tenth of the disc.
        EXPECT_LT(std::hypot(wx / warm - o.x, wy / warm - o.y_from_top), 0.1 * o.rx) << time;
    }
}

struct FadeCase {
    float time;      // demo time
    RenderStep step; // the scene drawn then
    float t;         // its scene time
    int level;       // darkening level 0..255
};

TEST_F(Scenes12Test, FirstAndLastTwoSecondsOfEachSceneFade)
{
    const FadeCase cases[] = {
        {0.5f, scene1_render, 0.5f, 191},   {1.0f, scene1_render, 1.0f, 127},
        {15.0f, scene1_render, 15.0f, 0},   {28.5f, scene1_render, 28.5f, 64},
        {29.9f, scene1_render, 29.9f, 243}, {30.5f, scene2_render, 0.5f, 191},
        {45.0f, scene2_render, 15.0f, 0},   {59.0f, scene2_render, 29.0f, 128},
    };
    for (const FadeCase& c : cases) {
        const Image plain = draw_unfaded(c.step, c.t);
        const Image faded = draw_frame(c.time);
        const double keep = (255 - c.level) / 255.0;
        int worst = 0;
        double plain_sum = 0;
        for (size_t i = 0; i < plain.size(); i++) {
            worst = std::max(worst, std::abs(faded[i] - (int)(plain[i] * keep + 0.5)));
            plain_sum += plain[i];
        }
        EXPECT_GT(plain_sum / plain.size(), 20.0) << c.time; // something to fade
        EXPECT_LE(worst, 2) << "time " << c.time << " level " << c.level;
    }
}

TEST_F(Scenes12Test, SceneOneHandsTheLightOnAtRestAtTheEye)
{
    beat_flag = 1;
    beat_pulse = 2000;
    scene1_render(0.0f, 1);
    EXPECT_EQ(beat_flag, 0);
    EXPECT_EQ(beat_pulse, 1900);
    for (int i = 1; i < 4; i++) EXPECT_EQ(g_light.diffuse[i], 500.0f);
    for (int i = 0; i < 3; i++) EXPECT_EQ(g_light.position[i], 0.0f);
    // Uploaded last from (3 sin 0, 10 cos 0, 0): eye coordinates.
    float position[4], diffuse[4];
    glGetLightfv(GL_LIGHT0, GL_POSITION, position);
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    EXPECT_NEAR(position[0], 0.0f, 1e-6);
    EXPECT_NEAR(position[1], 10.0f, 1e-5);
    EXPECT_NEAR(position[2], 0.0f, 1e-6);
    EXPECT_EQ(diffuse[0], 500.0f);
    // The switches come back through the attribute stack; the lights stay
    // on, as the switch's memory of them says.
    EXPECT_TRUE(lights_are_on());
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

struct BeatCase {
    int frame;     // frames drawn after the beat, 0 = the beat's own frame
    float diffuse; // light level drawn in that frame
    float zoom;    // Z scale of the view in that frame
};

TEST_F(Scenes12Test, SceneTwoFlashesAndZoomsOnTheBeatAndRelaxesIn20Frames)
{
    const BeatCase cases[] = {{0, 3500, 1.4f}, {1, 3400, 1.38f}, {10, 2500, 1.2f}, {19, 1600, 1.02f},
                              {20, 1500, 1.0f}, {21, 1500, 1.0f}};
    sync_reset();
    beat_pulse = 2000;
    int frame = 0;
    for (const BeatCase& c : cases) {
        for (; frame <= c.frame; frame++) {
            sync_step = frame; // a 60 fps frame each: one step of the pulse
            viewport(0, PICTURE_Y, WINDOW_WIDTH, PICTURE_HEIGHT);
            scene2_render(1.0f + frame * 0.02f, frame == 0);
        }
        float diffuse[4], m[16];
        glGetLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        EXPECT_EQ(g_light.diffuse[1], c.diffuse) << c.frame;
        EXPECT_EQ(diffuse[0], c.diffuse) << c.frame;
        EXPECT_EQ(diffuse[2], c.diffuse) << c.frame;
        // The view base mirrors Z, so the zoom shows as -scale.
        EXPECT_NEAR(m[10], -c.zoom, 1e-6) << c.frame;
        EXPECT_EQ(m[0], 1.0f);
    }
}

} // namespace
