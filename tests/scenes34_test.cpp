// Scenes 3 and 4: the star field and balls as built, the swarm's anchors and
// the tubes' motion, and the pictures through the frame code by their colours.
#include "geometry/mesh.h"
#include "render/transform.h"
#include "runtime/sync.h"
#include "scenes/scene34.h"
#include "scenes/scenes.h"
#include "scenes/star_field.h"
#include "support/scene_image.h"

#include <GL/gl.h>
#include <cstdlib>
#include <cstring>

namespace {

typedef SceneTest Scenes34Test;

TEST_F(Scenes34Test, EveryStarLiesAtRadius1000InAPaleColour)
{
    const StarField* field = scene3_stars();
    ASSERT_EQ(field->count, 30000u);
    int lowest = 255, highest = 0;
    for (uint32_t i = 0; i < field->count; i++) {
        const StarPoint& s = field->stars[i];
        ASSERT_NEAR(vec3_length(&s.position), 1000.0f, 0.1f) << i;
        ASSERT_EQ(s.colour >> 24, 0xFFu) << i;
        for (int shift : {0, 8, 16}) {
            const int c = (s.colour >> shift) & 0xFF;
            lowest = std::min(lowest, c);
            highest = std::max(highest, c);
        }
    }
    EXPECT_EQ(lowest, 153);
    EXPECT_EQ(highest, 249);
}

float farthest_vertex(const Mesh* mesh)
{
    float far = 0.0f;
    for (const PolygonGroup* g = mesh->groups; g; g = g->next)
        for (unsigned i = 0; i < g->polygon_count; i++)
            for (unsigned k = 0; k < g->polygons[i]->vertex_count; k++)
                far = std::max(far, vec3_length(&g->polygons[i]->vertices[k].position));
    return far;
}

TEST_F(Scenes34Test, BallsGrowFromRadius10To13AndAHalf)
{
    EXPECT_NEAR(farthest_vertex(scene3_ball(0)), 10.0f, 1e-4f);
    EXPECT_NEAR(farthest_vertex(scene3_ball(1)), 10.5f, 1e-4f);
    EXPECT_NEAR(farthest_vertex(scene3_ball(7)), 13.5f, 1e-4f);
}

// The share of band pixels for which `keep` holds.
template <typename Keep> double band_share(const Image& im, Keep keep)
{
    long n = 0;
    for (int y = BAND_TOP; y < BAND_BOTTOM; y++)
        for (int x = 0; x < WINDOW_WIDTH; x++) n += keep(pixel(im, x, y));
    return (double)n / ((double)WINDOW_WIDTH * PICTURE_HEIGHT);
}

TEST_F(Scenes34Test, SceneThreeShowsStarsThroughARedTranslucentBox)
{
    for (float time : {63.0f, 67.5f}) {
        const Image im = draw_frame(time);
        // 3-pixel stars on the band's edge must not spill onto the black bands.
        EXPECT_EQ(band_stats(im).outside_lit, 0) << time;
        // The box: pure red, darker where its noise alpha lets less through.
        auto red = [](const uint8_t* p) { return p[0] > 20 && p[1] < 10 && p[2] < 10; };
        EXPECT_GT(band_share(im, red), 0.5) << time;
        // Stars: pale points, seen in every part of the band beside the balls.
        for (int x0 : {0, 650}) {
            for (int y0 = BAND_TOP; y0 < BAND_BOTTOM; y0 += 150) {
                int stars = 0;
                for (int y = y0; y < y0 + 150; y++)
                    for (int x = x0; x < x0 + 150; x++) stars += pixel(im, x, y)[1] > 60;
                EXPECT_GT(stars, 100) << time << " at " << x0 << ", " << y0;
            }
        }
    }
}

TEST_F(Scenes34Test, ScenesThreeAndFourLookTheSameWhateverSceneCameBefore)
{
    // A fresh context has 1-pixel points; scene 2's orb leaves 3, and scene 3
    // must draw its stars at 3 either way.
    glPointSize(1);
    for (float time : {63.0f, 80.0f}) {
        srand(6);
        const Image direct = draw_frame(time);
        for (float before : {15.0f, 50.0f, 63.0f, 80.0f}) {
            draw_frame(before);
            srand(6);
            EXPECT_TRUE(draw_frame(time) == direct) << time << " after " << before;
        }
    }
}

TEST_F(Scenes34Test, SceneFourDrawsFreshAnchorsOnEveryEntryOnly)
{
    demo_time = 75.0f;
    srand(2);
    scene4_render(5.0f, 1);
    const SwarmAnchors first = scene4_anchors();
    for (int i = 0; i < SWARM_ANCHORS; i++) {
        EXPECT_TRUE(first.ox[i] >= -8 && first.ox[i] <= 7) << i;
        EXPECT_TRUE(first.oy[i] >= -8 && first.oy[i] <= 7) << i;
        EXPECT_TRUE(first.oz[i] >= 15 && first.oz[i] <= 78) << i;
    }
    scene4_render(5.1f, 0);
    EXPECT_EQ(memcmp(&first, &scene4_anchors(), sizeof first), 0);
    scene4_render(5.2f, 1);
    EXPECT_NE(memcmp(&first, &scene4_anchors(), sizeof first), 0);
}

TEST_F(Scenes34Test, AtSceneFourStartTubeARestsAndTubeBRollsByTheDemoClock)
{
    demo_time = 70.0f;
    scene4_render(0.0f, 1);
    Matrix a, b;
    mat_identity(a);
    mat_rotate_xyz(a, 90, 0, 0);
    mat_identity(b);
    mat_rotate_xyz(b, 90, 0, 70);
    for (int i = 0; i < 16; i++) {
        EXPECT_EQ(scene4_tube_a()->matrix[i], a[i]) << i;
        EXPECT_NEAR(scene4_tube_b()->matrix[i], b[i], 1e-6f) << i;
    }
    EXPECT_EQ(scene4_tube_b()->display_list, scene4_tube_a()->display_list);
}

bool green(const uint8_t* p) { return p[1] > p[0] + 30 && p[1] > p[2] + 30; }
bool magenta(const uint8_t* p) { return p[0] > p[1] + 30 && p[2] > p[1] + 30; }
bool swarm(const uint8_t* p) { return !green(p); } // plates and ribs in front of the tube

TEST_F(Scenes34Test, SceneFourShowsAGreenTubeAndMagentaPlates)
{
    for (float time : {76.0f, 88.0f}) {
        srand(3);
        const Image im = draw_frame(time);
        EXPECT_EQ(band_stats(im).outside_lit, 0) << time;
        EXPECT_GT(band_share(im, green), 0.3) << time;
        EXPECT_GT(band_share(im, magenta), 0.01) << time;
    }
}

TEST_F(Scenes34Test, ABeatSquashesSceneFour)
{
    srand(4);
    const Image before = draw_frame(80.0f);
    const double swarm_before = band_share(before, swarm);
    srand(4);
    beat_pulse = 2000;
    beat_stepped = sync_step_at(80.0f) - 1; // a beat this frame is the first to show
    const Image on_beat = draw_frame(80.0f);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_NEAR(m[10], -0.6f, 1e-6f); // the view base mirrors Z
    EXPECT_EQ(beat_pulse, 1900);
    // Squashed along the view, the swarm comes closer and covers more of the
    // tube: plates and their additive ribs together, whatever their colours.
    EXPECT_GT(band_share(on_beat, swarm), 1.05 * swarm_before);
}

} // namespace
