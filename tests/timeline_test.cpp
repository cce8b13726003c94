// Timeline lookup, fades, first-frame flags, the end of the presentation and
// the sync callback.
#include "presentation/demo.h"
#include "runtime/gl_setup.h"
#include "runtime/sync.h"
#include "support/gl_test.h"

#include <GL/gl.h>
#include <cmath>
#include <vector>

namespace {

TEST(Timeline, FindsTheSceneAtEachEdge)
{
    struct Case {
        float w;
        int scene; // 0 = none
        float t;
    };
    const Case cases[] = {
        {0.0f, 1, 0.0f},     {29.999f, 1, 29.999f}, {30.0f, 2, 0.0f},  {59.99f, 2, 29.99f},
        {60.0f, 3, 0.0f},    {69.9f, 3, 9.9f},      {70.0f, 4, 0.0f},  {95.0f, 5, 0.0f},
        {120.0f, 6, 0.0f},   {145.0f, 7, 0.0f},     {170.0f, 8, 0.0f}, {204.9f, 8, 34.9f},
        {205.0f, 9, 0.0f},   {220.0f, 10, 0.0f},    {224.99f, 10, 4.99f},
        {225.0f, 0, 0.0f},   {299.0f, 0, 0.0f},
    };
    for (const Case& c : cases) {
        const int index = timeline_find(c.w);
        if (c.scene == 0) {
            EXPECT_EQ(index, -1) << c.w;
            continue;
        }
        ASSERT_GE(index, 0) << c.w;
        EXPECT_EQ(TIMELINE[index].scene, c.scene) << c.w;
        EXPECT_NEAR(c.w - TIMELINE[index].start, c.t, 1e-4) << c.w;
    }
}

TEST(Timeline, EntriesAreContiguousAndEndAt225)
{
    float end = 0.0f;
    for (int i = 0; i < TIMELINE_ENTRIES; i++) {
        EXPECT_EQ(TIMELINE[i].scene, i + 1);
        EXPECT_EQ(TIMELINE[i].start, end);
        EXPECT_EQ(TIMELINE[i].end, TIMELINE[i].start + TIMELINE[i].length);
        end = TIMELINE[i].end;
    }
    EXPECT_EQ(end, TIMELINE_END);
}

TEST(Fades, LevelsAtTheEdges)
{
    // Fade in: 255 at the start, 128 levels per second, none from t = 2 on.
    EXPECT_EQ(fade_in_level(0.0f), 255);
    EXPECT_EQ(fade_in_level(1.0f), 127);
    EXPECT_EQ(fade_in_level(1.999f), 0);
    EXPECT_EQ(fade_in_level(2.0f), -1);
    EXPECT_EQ(fade_in_level(15.0f), -1);
    // Fade out over the last 2 s, strictly after length - 2.
    EXPECT_EQ(fade_out_level(29.999f, 30.0f), 255);
    EXPECT_EQ(fade_out_level(28.0f, 30.0f), -1);
    EXPECT_EQ(fade_out_level(29.0f, 30.0f), 128);
    EXPECT_EQ(fade_out_level(8.0f, 10.0f), -1);  // scene 3
    EXPECT_EQ(fade_out_level(8.5f, 10.0f), 64);
    EXPECT_EQ(fade_out_level(3.0f, 5.0f), -1);   // credits
    EXPECT_EQ(fade_out_level(3.25f, 5.0f), 32);
    EXPECT_EQ(fade_out_level(1.0f, 30.0f), -1);
}

TEST(Sync, CallbackSetsPulsesForBeatAndAccentOnly)
{
    sync_reset();
    for (int instrument : {0, 1, 2, 3, 6, 7, 255}) {
        EXPECT_EQ(sync_callback((uint8_t)instrument, 0), instrument);
        EXPECT_EQ(beat_flag, 0);
        EXPECT_EQ(beat_pulse, 0);
        EXPECT_EQ(accent_pulse, 0);
    }
    EXPECT_EQ(sync_callback(4, 0), 4);
    EXPECT_EQ(beat_flag, 1);
    EXPECT_EQ(beat_pulse, 2000);
    EXPECT_EQ(accent_pulse, 0);
    EXPECT_EQ(sync_callback(5, 0), 5);
    EXPECT_EQ(accent_pulse, 16);

    // A repeated report of the same cell sets the same values again.
    beat_pulse = 700;
    beat_flag = 0;
    sync_callback(4, 0);
    EXPECT_EQ(beat_pulse, 2000);
    EXPECT_EQ(beat_flag, 1);
    sync_reset();
}

// A table of ten entries with the real times whose render steps record their
// calls and paint the viewport white, so fades can be measured.
struct RenderCall {
    int scene;
    float t;
    int first_frame;
};
std::vector<RenderCall> g_calls;

template <int Scene>
void recording_step(float t, int first_frame)
{
    g_calls.push_back({Scene, t, first_frame});
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3f(1, 1, 1);
    glRectf(-1, -1, 1, 1);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
}

TimelineEntry recording_table[TIMELINE_ENTRIES];

class FrameTest : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        const RenderStep steps[TIMELINE_ENTRIES] = {
            recording_step<1>, recording_step<2>, recording_step<3>, recording_step<4>,
            recording_step<5>, recording_step<6>, recording_step<7>, recording_step<8>,
            recording_step<9>, recording_step<10>,
        };
        for (int i = 0; i < TIMELINE_ENTRIES; i++) {
            recording_table[i] = TIMELINE[i];
            recording_table[i].render = steps[i];
        }
        g_calls.clear();
        demo_loop_init(&loop);
    }
    void draw(float time) { demo_draw_frame_from(&loop, time, recording_table); }
    DemoLoop loop;
};

TEST_F(FrameTest, FirstFrameIsSetOncePerEntryIntoAScene)
{
    for (float time : {0.0f, 1.0f, 29.999f, 30.0f, 31.0f, 60.5f, 30.5f})
        draw(time);
    const RenderCall expected[] = {
        {1, 0.0f, 1}, {1, 1.0f, 0}, {1, 29.999f, 0}, {2, 0.0f, 1}, {2, 1.0f, 0}, {3, 0.5f, 1}, {2, 0.5f, 1},
    };
    ASSERT_EQ(g_calls.size(), std::size(expected));
    for (size_t i = 0; i < g_calls.size(); i++) {
        EXPECT_EQ(g_calls[i].scene, expected[i].scene) << i;
        EXPECT_NEAR(g_calls[i].t, expected[i].t, 1e-4) << i;
        EXPECT_EQ(g_calls[i].first_frame, expected[i].first_frame) << i;
    }
    EXPECT_FALSE(loop.stop);
    EXPECT_FLOAT_EQ(demo_time, 30.5f);
}

TEST_F(FrameTest, TheEndAt225DrawsOnlyTheClearedFrameAndStops)
{
    draw(224.9f);
    EXPECT_FALSE(loop.stop);
    g_calls.clear();
    draw(225.0f);
    EXPECT_TRUE(loop.stop);
    EXPECT_TRUE(g_calls.empty());
    const Rgb centre = gl_read_pixel(400, 300);
    EXPECT_EQ(centre.r + centre.g + centre.b, 0);
}

TEST_F(FrameTest, PictureStaysInTheLetterboxBand)
{
    draw(15.0f); // mid scene 1: no fade
    EXPECT_EQ(gl_read_pixel(400, 300).g, 255);
    EXPECT_EQ(gl_read_pixel(0, 75).g, 255);
    EXPECT_EQ(gl_read_pixel(799, 524).g, 255);
    EXPECT_EQ(gl_read_pixel(400, 74).g, 0);
    EXPECT_EQ(gl_read_pixel(400, 525).g, 0);
    EXPECT_EQ(gl_read_pixel(0, 0).g, 0);
    EXPECT_EQ(gl_read_pixel(799, 599).g, 0);
}

// A careless scene: paints the whole window white, letterbox bands included.
void spilling_step(float, int)
{
    glViewport(0, 0, 800, 600);
    recording_step<1>(0.0f, 0);
}

TEST_F(FrameTest, NothingASceneDrawsReachesTheBands)
{
    recording_table[0].render = spilling_step;
    draw(15.0f);
    for (int y : {75, 300, 524}) EXPECT_EQ(gl_read_pixel(400, y).g, 255) << y;
    for (int y : {0, 74, 525, 599}) EXPECT_EQ(gl_read_pixel(400, y).g, 0) << y;
    // Clipping ends with the frame: the next clear, the loading screen and
    // the capture's reads see the whole window.
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

TEST_F(FrameTest, FadesDarkenThePictureByTheirLevel)
{
    struct Case {
        float time;
        int level;
    };
    const Case cases[] = {
        {0.0f, 255}, {1.0f, 127}, {1.5f, 63}, {2.0f, 0}, {29.0f, 128}, {29.999f, 255}, {30.0f, 255},
    };
    for (const Case& c : cases) {
        draw(c.time);
        const int expected = (int)std::lround(255.0 * (1.0 - c.level / 255.0));
        EXPECT_NEAR(gl_read_pixel(400, 300).r, expected, 1) << "time " << c.time;
    }
}

TEST_F(FrameTest, FadeOverlayRestoresStateButKeepsItsBlendFunction)
{
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glViewport(0, 75, 800, 450);
    fade_overlay(0xFF808080);

    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint value = 0;
    glGetIntegerv(GL_BLEND_SRC, &value);
    EXPECT_EQ(value, GL_ZERO);
    glGetIntegerv(GL_BLEND_DST, &value);
    EXPECT_EQ(value, GL_ONE_MINUS_SRC_COLOR);
    GLboolean mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
    EXPECT_EQ(mask, GL_TRUE);
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);
    GLint box[4];
    glGetIntegerv(GL_VIEWPORT, box);
    EXPECT_EQ(box[1], 0);
    EXPECT_EQ(box[3], 600);
    GLint depth = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
}

TEST_F(FrameTest, FadeOverlayCoversTheBandsToo)
{
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    fade_overlay(0xFF808080); // level 128: 255 * 127 / 255 = 127
    for (int y : {0, 300, 599}) EXPECT_NEAR(gl_read_pixel(10, y).b, 127, 1) << y;
    fade_overlay(0xFFFFFFFF);
    EXPECT_EQ(gl_read_pixel(10, 300).b, 0);
}

// The window's fixed GL state, checked on a fresh context.
TEST(FixedState, AfterSetUpTexturingIsOnAndTheRestOff)
{
    gl_test_context();
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    for (GLenum cap : {GL_DEPTH_TEST, GL_LIGHTING, GL_BLEND, GL_FOG, GL_CULL_FACE})
        EXPECT_FALSE(glIsEnabled(cap)) << std::hex << cap;
    GLint value = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LESS);
    glGetIntegerv(GL_CULL_FACE_MODE, &value);
    EXPECT_EQ(value, GL_BACK);
    glGetIntegerv(GL_FRONT_FACE, &value);
    EXPECT_EQ(value, GL_CW);
    for (GLenum hint : {GL_PERSPECTIVE_CORRECTION_HINT, GL_FOG_HINT, GL_POLYGON_SMOOTH_HINT,
                        GL_LINE_SMOOTH_HINT, GL_POINT_SMOOTH_HINT}) {
        glGetIntegerv(hint, &value);
        EXPECT_EQ(value, GL_NICEST) << std::hex << hint;
    }
    GLfloat material[4];
    glGetMaterialfv(GL_FRONT, GL_SHININESS, material);
    EXPECT_FLOAT_EQ(material[0], 128);
    for (GLenum face : {GL_FRONT, GL_BACK}) {
        glGetMaterialfv(face, GL_DIFFUSE, material);
        EXPECT_FLOAT_EQ(material[0], 500);
        EXPECT_FLOAT_EQ(material[3], 1);
        glGetMaterialfv(face, GL_SPECULAR, material);
        EXPECT_FLOAT_EQ(material[2], 100);
        glGetMaterialfv(face, GL_AMBIENT, material);
        EXPECT_FLOAT_EQ(material[1], 0);
        EXPECT_FLOAT_EQ(material[3], 1);
    }
}

TEST(FixedState, ProjectionIs30DegreesAtTheWindowAspect)
{
    gl_test_context();
    GLfloat m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    const double f = 1.0 / tan(15.0 * M_PI / 180.0);
    const double near_plane = 1.0, far_plane = 10000.0;
    EXPECT_NEAR(m[0], f / (800.0 / 600.0), 1e-5);
    EXPECT_NEAR(m[5], f, 1e-5);
    EXPECT_NEAR(m[10], (far_plane + near_plane) / (near_plane - far_plane), 1e-5);
    EXPECT_NEAR(m[14], 2 * far_plane * near_plane / (near_plane - far_plane), 1e-4);
    EXPECT_FLOAT_EQ(m[11], -1);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

} // namespace
