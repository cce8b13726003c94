// Scenes 7, 8 and 9 through the same loading and frame code as the window and
// the capture tool: the urchin's spin, the lattice room, the flakes' motion,
// and the pictures by their colours.
#include "offscreen/offscreen.h"
#include "geometry/mesh.h"
#include "render/render.h"
#include "render/transform.h"
#include "runtime/sync.h"
#include "scenes/scene78.h"
#include "scenes/scene9.h"
#include "scenes/scenes.h"
#include "support/scene_image.h"

#include <GL/gl.h>
#include <cmath>
#include <cstring>

namespace {

// The flakes keep their motion from test to test unless put back.
class Scenes789Test : public SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        memcpy(saved_, scene9_flakes(), sizeof saved_);
    }
    void TearDown() override
    {
        memcpy(scene9_flakes(), saved_, sizeof saved_);
        SceneTest::TearDown();
    }
    Flake saved_[FLAKE_COUNT];
};

// Share of the pixels in the window rectangle [x0, x1) x [y0, y1) (rows from
// the top) for which `test` holds.
template <typename Test> double share(const Image& im, int x0, int y0, int x1, int y1, Test test)
{
    long hits = 0;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++) hits += test(pixel(im, x, y));
    return (double)hits / ((double)(x1 - x0) * (y1 - y0));
}

int level(const Image& im, int x, int y)
{
    const uint8_t* p = pixel(im, x, y);
    return p[0] + p[1] + p[2];
}

const int CENTRE_X = WINDOW_WIDTH / 2;
const int CENTRE_Y = BAND_TOP + PICTURE_HEIGHT / 2;

// Blue to cyan; red to yellow, dark shades included.
bool is_blue(const uint8_t* p) { return p[2] > p[0] + 20; }
bool is_warm(const uint8_t* p) { return p[0] > 20 && 2 * p[2] < p[0]; }

TEST_F(Scenes789Test, SceneSevenIsABlueUrchinInWarmCells)
{
    for (float time : {150.0f, 160.0f}) {
        const Image im = draw_frame(time);
        const BandStats s = band_stats(im);
        EXPECT_EQ(s.outside_lit, 0) << time;
        EXPECT_GT(s.lit, 0.8) << time;
        // The urchin fills the middle; the cells show all round it.
        EXPECT_GT(share(im, CENTRE_X - 40, CENTRE_Y - 40, CENTRE_X + 40, CENTRE_Y + 40, is_blue), 0.5) << time;
        EXPECT_GT(share(im, 0, BAND_TOP, 100, BAND_BOTTOM, is_warm), 0.3) << time;
        EXPECT_GT(share(im, 700, BAND_TOP, WINDOW_WIDTH, BAND_BOTTOM, is_warm), 0.3) << time;
    }
}

TEST_F(Scenes789Test, SceneEightIsTheBlueOrbInOrangeFogWithDarkBars)
{
    const auto fog = [](const uint8_t* p) { return p[0] > 200 && p[1] > 0.4 * p[0] && p[1] < 0.6 * p[0] && p[2] < 40; };
    const auto bar = [](const uint8_t* p) { return p[0] < 200 && p[0] > p[2]; };
    for (float time : {180.0f, 190.0f}) {
        const Image im = draw_frame(time);
        const BandStats s = band_stats(im);
        EXPECT_GT(s.lit, 0.99) << time;
        EXPECT_GT(share(im, CENTRE_X - 40, CENTRE_Y - 40, CENTRE_X + 40, CENTRE_Y + 40, is_blue), 0.5) << time;
        // Left and right of the orb: the fog, and the bars darkening it.
        for (int x0 : {0, 680}) {
            EXPECT_GT(share(im, x0, BAND_TOP, x0 + 120, BAND_BOTTOM, fog), 0.2) << time << " " << x0;
            EXPECT_GT(share(im, x0, BAND_TOP, x0 + 120, BAND_BOTTOM, bar), 0.05) << time << " " << x0;
        }
    }
}

TEST_F(Scenes789Test, SceneNineIsPaleFlakesFallingUnderAnAmberSkyOverGreenGreyHills)
{
    const auto amber = [](const uint8_t* p) { return p[0] > p[1] + 20 && p[1] > p[2] + 60; };
    const auto green_grey = [](const uint8_t* p) { return p[1] >= p[0] && p[1] >= p[2] && p[1] > 40; };
    const auto pale = [](const uint8_t* p) { return p[2] > 120; };
    for (float time : {210.0f, 215.0f}) {
        const Image im = draw_frame(time);
        EXPECT_EQ(band_stats(im).outside_lit, 0) << time;
        EXPECT_GT(share(im, 0, BAND_TOP, WINDOW_WIDTH, BAND_TOP + 40, amber), 0.3) << time;
        EXPECT_GT(share(im, 0, BAND_BOTTOM - 60, WINDOW_WIDTH, BAND_BOTTOM, green_grey), 0.8) << time;
        EXPECT_GT(share(im, 0, BAND_TOP, WINDOW_WIDTH, BAND_TOP + 200, pale), 0.02) << time;
    }
}

TEST_F(Scenes789Test, SceneNineFlakesSinkBetweenTwoFrames)
{
    // One scene time drawn again 0.02 s later: with the cameras held, only the
    // flakes have moved. The least-squares vertical shift of what changed
    // (rows, positive downwards) is their fall.
    Image frames[2];
    for (int k = 0; k < 2; k++) {
        demo_time = 210.0f + 0.02f * k;
        viewport(0, 0, WINDOW_WIDTH, WINDOW_HEIGHT);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        viewport(0, PICTURE_Y, WINDOW_WIDTH, PICTURE_HEIGHT);
        scene9_render(5.0f, k == 0);
        frames[k] = offscreen_read_rgb(WINDOW_WIDTH, WINDOW_HEIGHT);
    }
    double flow = 0, gradient = 0;
    for (int y = BAND_TOP + 1; y < BAND_BOTTOM - 1; y++) {
        for (int x = 0; x < WINDOW_WIDTH; x++) {
            const int change = level(frames[1], x, y) - level(frames[0], x, y);
            if (change == 0) continue; // the hills and the sky stand still
            const int g = level(frames[0], x, y + 1) - level(frames[0], x, y - 1);
            flow -= 2.0 * change * g; // g spans two rows
            gradient += (double)g * g;
        }
    }
    EXPECT_GT(flow / gradient, 0.3); // about 1 row in 0.02 s
}

// A box group's centre: midway between its first two faces, +Y and -Y.
Vec3 box_centre(const PolygonGroup* g)
{
    const Vec3 top = polygon_centroid(g->polygons[0]), bottom = polygon_centroid(g->polygons[1]);
    return {(top.x + bottom.x) / 2, (top.y + bottom.y) / 2, (top.z + bottom.z) / 2};
}

TEST_F(Scenes789Test, LatticeRoomIsTheBoxAndOneSixQuadGroupPerBar)
{
    const Mesh* room = scene8_lattice_room();
    ASSERT_EQ(room->group_count, 1 + 1536);
    unsigned groups = 0, quads = 0, other = 0;
    for (const PolygonGroup* g = room->groups; g; g = g->next, groups++) {
        EXPECT_EQ(g->polygon_count, 6);
        for (unsigned i = 0; i < g->polygon_count; i++) (g->polygons[i]->vertex_count == 4 ? quads : other)++;
    }
    EXPECT_EQ(groups, 1537u);
    EXPECT_EQ(quads, 6u + 1536u * 6u);
    EXPECT_EQ(other, 0u);

    // Cell (0, 0): Z bars on the near and far faces, X bars, Y bars; the last
    // group is cell (15, 15)'s Y bar on the bottom face.
    const uint16_t at[] = {1, 2, 3, 4, 5, 6, 1536};
    const Vec3 centres[] = {{-128, -128, 128}, {-128, -128, -128}, {128, -128, -128}, {-128, -128, -128},
                            {-128, 128, -128}, {-128, -128, -128}, {112, -128, 112}};
    for (int i = 0; i < 7; i++) {
        const Vec3 c = box_centre(mesh_group_at(room, at[i]));
        EXPECT_NEAR(c.x, centres[i].x, 1e-3) << at[i];
        EXPECT_NEAR(c.y, centres[i].y, 1e-3) << at[i];
        EXPECT_NEAR(c.z, centres[i].z, 1e-3) << at[i];
    }
}

// The urchin 40 units ahead, turned by a degrees about every axis.
void expect_urchin_turned(float a, const char* when)
{
    Matrix m;
    mat_identity(m);
    mat_translate(m, 0, 0, 40);
    mat_rotate_xyz(m, a, a, a);
    for (int i = 0; i < 16; i++) EXPECT_NEAR(scene7_urchin()->matrix[i], m[i], 1e-5) << when << " " << i;
}

TEST_F(Scenes789Test, UrchinTurnsTwentyDegreesASecondAndFortyMoreOnTheBeatFrame)
{
    const float spin = scene7_spin();
    viewport(0, PICTURE_Y, WINDOW_WIDTH, PICTURE_HEIGHT);
    scene7_render(1.0f, 1);
    expect_urchin_turned(20 + spin, "no beat, t = 1");
    scene7_render(2.0f, 0);
    expect_urchin_turned(40 + spin, "no beat, t = 2");

    beat_flag = 1;
    beat_pulse = 2000;
    scene7_render(2.0f, 0);
    EXPECT_EQ(beat_flag, 0);
    EXPECT_EQ(scene7_spin(), spin + 40);
    expect_urchin_turned(80 + spin, "beat frame");
    scene7_render(2.0f, 0);
    EXPECT_EQ(scene7_spin(), spin + 40); // the flag was used up

    // The light leaves as the next scene expects it: resting level, at the eye.
    for (int i = 1; i < 4; i++) EXPECT_EQ(g_light.diffuse[i], 500.0f);
    for (int i = 0; i < 3; i++) EXPECT_EQ(g_light.position[i], 0.0f);
}

TEST_F(Scenes789Test, FlakesStartInTheirRangesInThePaleColours)
{
    const uint32_t palette[] = {0xFFFFFFFF, 0xFF80FFFF, 0xFF80C0FF, 0xFFC0E0FF};
    bool seen[4] = {};
    for (int i = 0; i < FLAKE_COUNT; i++) {
        const Flake& f = scene9_flakes()[i];
        // Whole units of position, tenths of velocity.
        const float values[] = {f.position.x, f.position.y, f.position.z, 10 * f.velocity.x, 10 * f.velocity.y};
        const float low[] = {-8, 0, 3, -10, -25}, high[] = {8, 10, 40, 10, -5};
        for (int k = 0; k < 5; k++) {
            EXPECT_NEAR(values[k], std::round(values[k]), 1e-4) << i << " " << k;
            EXPECT_TRUE(values[k] > low[k] - 1e-4 && values[k] < high[k] + 1e-4) << i << " " << k;
        }
        EXPECT_EQ(f.velocity.z, 0.0f) << i;
        const uint32_t colour = mesh_group_at(f.mesh, 0)->polygons[0]->vertices[0].colour;
        bool known = false;
        for (int c = 0; c < 4; c++)
            if (colour == palette[c]) seen[c] = known = true;
        EXPECT_TRUE(known) << i;
    }
    EXPECT_GE(seen[0] + seen[1] + seen[2] + seen[3], 2);
}

TEST_F(Scenes789Test, FlakesMoveByTheFrameTimeAtMostAFifthOfASecondAndWrapBelowMinusEight)
{
    // y, y velocity, time step, y after: below -8 a flake starts again at 14.
    const float wraps[][4] = {{-7.9f, -2.5f, 0.1f, 14.0f}, {-7.5f, -2.5f, 0.1f, -7.75f}, {-8, -1, 0, -8}};
    for (const float* c : wraps) {
        Flake f = {{1, c[0], 5}, {0.5f, c[1], 0}, nullptr};
        flake_move(&f, c[2]);
        EXPECT_FLOAT_EQ(f.position.y, c[3]) << c[0];
        EXPECT_FLOAT_EQ(f.position.x, 1 + 0.5f * c[2]) << c[0]; // x moves on, wrapped or not
    }

    // Through the scene: the first frame steps 0.01 s, a 1 s stall 0.2 s.
    const Flake start = scene9_flakes()[0];
    const float times[] = {210.0f, 211.0f, 211.1f}, moved[] = {0.01f, 0.21f, 0.31f};
    for (int k = 0; k < 3; k++) {
        demo_time = times[k];
        viewport(0, PICTURE_Y, WINDOW_WIDTH, PICTURE_HEIGHT);
        scene9_render(times[k] - 205.0f, k == 0);
        EXPECT_NEAR(scene9_flakes()[0].position.y, start.position.y + moved[k] * start.velocity.y, 1e-4) << k;
        EXPECT_NEAR(scene9_flakes()[0].position.x, start.position.x + moved[k] * start.velocity.x, 1e-4) << k;
    }
}

} // namespace

// What the scenes build up over time (scene 7's spin, scene 9's flakes) and
// the GL state the frames leave are put back: after a pass through beats,
// falling flakes and the credits, the same frames come out again.
TEST_F(Scenes789Test, RewindDrawsTheTimelineAgainAsFromItsStart)
{
    const float times[] = {0.5f, 150.0f, 210.0f};
    DemoLoop loop;
    demo_rewind(&loop);
    std::vector<Image> first;
    for (float t : times) first.push_back(draw_frame_in(&loop, t));
    for (float t : {151.0f, 152.0f, 211.0f, 215.0f, 221.0f, 224.0f}) {
        beat_flag = 1;
        accent_pulse = 16;
        demo_draw_frame(&loop, t);
    }
    EXPECT_NE(scene7_spin(), 0.0f);
    demo_rewind(&loop);
    EXPECT_EQ(scene7_spin(), 0.0f);
    EXPECT_EQ(loop.last_scene, 0);
    for (size_t i = 0; i < first.size(); i++)
        EXPECT_TRUE(draw_frame_in(&loop, times[i]) == first[i]) << "frame at " << times[i] << " s";
}
