// Scene toolkit: sync reactions, orb recipe and placement, veil nesting, and
// the random numbers each step takes.
#include "scenes/scene_toolkit.h"

#include "geometry/mesh.h"
#include "render/render.h"
#include "render/transform.h"
#include "runtime/sync.h"
#include "scenes/scenes.h"
#include "support/gl_test.h"
#include "texture/texture.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

// The rand() value after skipping `skip` draws from seed.
int rand_after(unsigned seed, int skip)
{
    srand(seed);
    for (int i = 0; i < skip; i++) rand();
    return rand();
}

void modelview(float* m) { glGetFloatv(GL_MODELVIEW_MATRIX, m); }

struct DecayCase {
    int32_t beat, accent;
    int frames_to_zero;
};

TEST(SceneToolkitTest, PulseDecayEmptiesBothPulsesInFixedStepCounts)
{
    const DecayCase cases[] = {{2000, 0, 20}, {0, 16, 2}, {2000, 16, 20}, {100, 8, 1}, {0, 0, 0}};
    for (const DecayCase& c : cases) {
        sync_reset();
        beat_pulse = c.beat;
        accent_pulse = c.accent;
        int frames = 0;
        while (beat_pulse > 0 || accent_pulse > 0) {
            sync_step = frames + 1; // a 60 fps frame each
            pulse_decay();
            frames++;
        }
        EXPECT_EQ(frames, c.frames_to_zero) << c.beat << " / " << c.accent;
        pulse_decay(); // at zero nothing moves
        EXPECT_EQ(beat_pulse, 0);
        EXPECT_EQ(accent_pulse, 0);
    }
    sync_reset();
}

PulseUse every_step_falls(int64_t) { return PulseUse{true, 0, 1}; }
PulseUse no_step_falls(int64_t) { return PulseUse{false, 0, 0}; }

// The beat pulse a scene reads in frames drawn at `times`, a beat having
// been reported in block 964 (first shown at 60 fps by frame 2687, 44.78 s)
// before the first of them: catch-up, read, then the frame's own step.
std::vector<int32_t> beat_seen(const std::vector<double>& times, PulseUse (*falls)(int64_t))
{
    sync_reset();
    sync_callback(SYNC_BEAT_INSTRUMENT, 964);
    std::vector<int32_t> seen;
    for (double t : times) {
        sync_frame_begin((float)t);
        pulse_catch_up(falls);
        seen.push_back(beat_pulse);
        if (falls(sync_step).falls) pulse_decay();
    }
    sync_reset();
    return seen;
}

// The next random number after frames at `times` of a scene that shakes
// after the pulses fall, an accent having come in block 964.
int rand_after_accent(const std::vector<double>& times)
{
    sync_reset();
    srand(5);
    sync_callback(SYNC_ACCENT_INSTRUMENT, 964);
    for (double t : times) {
        sync_frame_begin((float)t);
        pulse_catch_up(every_step_falls);
        pulse_decay();
        accent_tilt();
    }
    sync_reset();
    return rand();
}

std::vector<double> frames_at(double rate, int first, int count)
{
    std::vector<double> times;
    for (int k = first; k < first + count; k++) times.push_back(k / rate);
    return times;
}

TEST(SceneToolkitTest, PulsesFallByTimeSoEveryFrameRateSeesTheSixtyFpsCurve)
{
    EXPECT_EQ(sync_first_step(964), 2687);
    // 60 fps from the first frame that shows it, one step a frame.
    EXPECT_EQ(beat_seen(frames_at(60, 2687, 4), every_step_falls), (std::vector<int32_t>{2000, 1900, 1800, 1700}));
    // 30 fps: frame k shows what the 60 fps frame 2k shows.
    EXPECT_EQ(beat_seen(frames_at(30, 1344, 3), every_step_falls), (std::vector<int32_t>{1900, 1700, 1500}));
    // 144 Hz: the pulse holds between grid steps (steps 2687, 2687, 2687, 2688).
    EXPECT_EQ(beat_seen({44.7834, 44.7903, 44.7972, 44.8042}, every_step_falls),
              (std::vector<int32_t>{2000, 1900, 1900, 1900}));
    // Seen before its first step (a window frame a little early): held whole.
    EXPECT_EQ(beat_seen({44.75, 44.77, 44.7834}, every_step_falls), (std::vector<int32_t>{2000, 2000, 2000}));
    // 10 fps (steps 2688, 2694, 2700): what the 60 fps frames there show.
    EXPECT_EQ(beat_seen(frames_at(10, 448, 3), every_step_falls), (std::vector<int32_t>{1900, 1300, 700}));
    // Frames skipped at 30 fps draw the accent's random numbers all the same,
    // so later frames draw what they draw at 60 fps.
    EXPECT_EQ(rand_after_accent(frames_at(30, 1344, 3)), rand_after_accent(frames_at(60, 2687, 6)));
    EXPECT_NE(rand_after_accent(frames_at(30, 1344, 3)), rand_after(5, 0)) << "the accent drew";
    // A scene that lets no pulse fall (scene 9) holds it, however many steps pass.
    EXPECT_EQ(beat_seen(frames_at(30, 1344, 3), no_step_falls), (std::vector<int32_t>{2000, 2000, 2000}));
}

TEST(SceneToolkitTest, LightFlashSetsDiffuseColourToPulsePlusBase)
{
    light_reset();
    beat_pulse = 2000;
    light_flash(1500);
    EXPECT_EQ(g_light.diffuse[0], 1.0f); // alpha untouched
    for (int i = 1; i < 4; i++) EXPECT_EQ(g_light.diffuse[i], 3500.0f);
    beat_pulse = 0;
    light_flash(1500);
    for (int i = 1; i < 4; i++) EXPECT_EQ(g_light.diffuse[i], 1500.0f);
    light_reset();
    sync_reset();
}

class SceneToolkitGlTest : public GlTest {};

struct ZoomCase {
    int32_t pulse;
    int sign;
    float z_scale;
};

TEST_F(SceneToolkitGlTest, BeatZoomStretchesOrSquashesAlongZ)
{
    const ZoomCase cases[] = {{2000, 1, 1.4f}, {2000, -1, 0.6f}, {1000, 1, 1.2f}, {0, 1, 1.0f}};
    for (const ZoomCase& c : cases) {
        beat_pulse = c.pulse;
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        beat_zoom(c.sign);
        float m[16];
        modelview(m);
        EXPECT_FLOAT_EQ(m[0], 1.0f);
        EXPECT_FLOAT_EQ(m[5], 1.0f);
        EXPECT_FLOAT_EQ(m[10], c.z_scale) << c.pulse << " x " << c.sign;
    }
    glLoadIdentity();
    sync_reset();
}

TEST_F(SceneToolkitGlTest, AccentShakeWithoutPulseDrawsNoRandomNumbers)
{
    accent_pulse = 0;
    const int expected = rand_after(7, 0);
    glLoadIdentity();
    srand(7);
    accent_shake();
    EXPECT_EQ(rand(), expected);
    float m[16];
    modelview(m);
    for (int i = 0; i < 16; i++) EXPECT_EQ(m[i], (i % 5 == 0) ? 1.0f : 0.0f) << i;
}

// A tilt drawn once turns the matrix as accent_shake would, every time it is applied.
TEST_F(SceneToolkitGlTest, AccentTiltAppliedTwiceMatchesTheShake)
{
    accent_pulse = 16;
    const int fourth = rand_after(11, 3);
    glLoadIdentity();
    srand(11);
    accent_shake();
    float shaken[16];
    modelview(shaken);

    srand(11);
    const Tilt tilt = accent_tilt();
    EXPECT_EQ(rand(), fourth);
    for (int pass = 0; pass < 2; pass++) {
        glLoadIdentity();
        tilt_apply(tilt);
        float m[16];
        modelview(m);
        for (int i = 0; i < 16; i++) EXPECT_EQ(m[i], shaken[i]) << "pass " << pass << " element " << i;
    }
    glLoadIdentity();
    sync_reset();
}

TEST_F(SceneToolkitGlTest, AccentShakeDrawsThreeNumbersForATiltUnderOnePointSixDegrees)
{
    accent_pulse = 16;
    const int fourth = rand_after(11, 3);
    glLoadIdentity();
    srand(11);
    accent_shake();
    EXPECT_EQ(rand(), fourth);
    // Each angle is at most 1.5 degrees, so every off-diagonal entry of the
    // rotation stays below about 2 x sin(1.5 degrees).
    float m[16];
    modelview(m);
    const float limit = 2.0f * std::sin(1.5f * 3.1415927f / 180.0f) + 1e-6f;
    for (int c = 0; c < 3; c++) {
        for (int r = 0; r < 3; r++) {
            if (r != c) { EXPECT_LT(std::fabs(m[4 * c + r]), limit) << r << ", " << c; }
        }
    }
    glLoadIdentity();
    sync_reset();
}

class OrbTest : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        core_texture = texture_create(8, 8);
        dots_texture = texture_create(8, 8);
        orb = orb_build(core_texture, dots_texture);
    }
    void TearDown() override
    {
        orb_free(orb);
        texture_destroy(core_texture);
        texture_destroy(dots_texture);
    }
    Texture* core_texture = nullptr;
    Texture* dots_texture = nullptr;
    Orb* orb = nullptr;
};

unsigned polygon_total(const Mesh* mesh)
{
    unsigned n = 0;
    for (const PolygonGroup* g = mesh->groups; g; g = g->next) n += g->polygon_count;
    return n;
}

TEST_F(OrbTest, BuildGivesOpaqueCoreAdditiveDotsAndSpikedHusk)
{
    EXPECT_EQ(polygon_total(orb->core), 1024u);
    EXPECT_EQ(orb->core->blend, 0);
    EXPECT_EQ(orb->core->groups->polygons[0]->texture, core_texture);
    // A sphere of radius 16: the last polygon is a north-cap triangle led by the pole.
    EXPECT_FLOAT_EQ(orb->core->groups->polygons[1023]->vertices[0].position.y, 16.0f);

    EXPECT_EQ(polygon_total(orb->dots), 1024u);
    EXPECT_EQ(orb->dots->blend, 1);
    EXPECT_EQ(orb->dots->blend_src, (uint32_t)GL_ONE);
    EXPECT_EQ(orb->dots->blend_dst, (uint32_t)GL_ONE);
    EXPECT_EQ(orb->dots->groups->polygons[0]->texture, dots_texture);

    // One extrusion step turns each of the 1024 triangles into a group of
    // the moved cap and three side quads.
    EXPECT_EQ(orb->husk->group_count, 1024u);
    EXPECT_EQ(polygon_total(orb->husk), 4096u);
    EXPECT_EQ(orb->husk->blend, 1);
    EXPECT_EQ(orb->husk->groups->polygons[0]->texture, dots_texture);
    // Each side quad ends (vertices 2 and 3) on the sphere scaled 1.1 to radius 17.6.
    const Polygon* side = orb->husk->groups->polygons[1];
    EXPECT_NEAR(vec3_length(&side->vertices[2].position), 17.6f, 1e-3);
    EXPECT_NEAR(vec3_length(&side->vertices[3].position), 17.6f, 1e-3);

    // Copied before the core was compiled, so each has a list of its own.
    EXPECT_NE(orb->core->display_list, 0u);
    EXPECT_NE(orb->dots->display_list, 0u);
    EXPECT_NE(orb->husk->display_list, 0u);
    EXPECT_NE(orb->core->display_list, orb->dots->display_list);
    EXPECT_NE(orb->core->display_list, orb->husk->display_list);
}

// Maps a point through a column-major matrix.
Vec3 transform(const float* m, float x, float y, float z)
{
    return vec3_make(m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
                     m[2] * x + m[6] * y + m[10] * z + m[14]);
}

TEST_F(OrbTest, PlaceBobsTheTumblingPointAheadOfTheCamera)
{
    const float times[] = {0.0f, 1.0f, 7.5f, 29.0f};
    for (float t : times) {
        orb_place(orb, t);
        const Vec3 expected = vec3_make(2 * std::sin(0.2f * t), 2 * std::cos(0.3f * t), 20 * std::sin(t) + 65);
        for (const Mesh* mesh : {orb->core, orb->dots, orb->husk}) {
            // The point 3 units behind the orb's centre is the tumbling point.
            const Vec3 pivot = transform(mesh->matrix, 0, 0, -3);
            EXPECT_NEAR(pivot.x, expected.x, 1e-4) << t;
            EXPECT_NEAR(pivot.y, expected.y, 1e-4) << t;
            EXPECT_NEAR(pivot.z, expected.z, 1e-4) << t;
            const Vec3 centre = transform(mesh->matrix, 0, 0, 0);
            EXPECT_NEAR(std::hypot(centre.x - pivot.x, centre.y - pivot.y, centre.z - pivot.z), 3.0f, 1e-4);
        }
    }
    orb_place(orb, 0);
    const float* m = orb->core->matrix;
    EXPECT_NEAR(m[12], 0.0f, 1e-6);
    EXPECT_NEAR(m[13], 2.0f, 1e-6);
    EXPECT_NEAR(m[14], 68.0f, 1e-5);
}

TEST_F(OrbTest, DrawLeavesPointSizeThreeAndSphereMapOff)
{
    orb_place(orb, 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    orb_draw(orb);
    float size = 0;
    glGetFloatv(GL_POINT_SIZE, &size);
    EXPECT_EQ(size, 3.0f);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint mode[2] = {0, 0};
    glGetIntegerv(GL_POLYGON_MODE, mode);
    EXPECT_EQ(mode[0], GL_FILL);
    glPointSize(1);
}

TEST_F(SceneToolkitGlTest, VeilDrawNestsFourShrinkingCopiesAndRestoresTheMatrix)
{
    Mesh* veil = mesh_box(1, 1, 1, nullptr, 0xFFFFFFFF);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1, 2, 3);
    veil_draw(veil, 0);
    float m[16];
    modelview(m);
    EXPECT_EQ(m[12], 1.0f);
    EXPECT_EQ(m[13], 2.0f);
    EXPECT_EQ(m[14], 3.0f);
    const float last_scale = 0.95f * 0.95f * 0.95f * 0.95f;
    EXPECT_NEAR(veil->matrix[0], last_scale, 1e-6);
    EXPECT_NEAR(veil->matrix[5], last_scale, 1e-6);
    EXPECT_NEAR(veil->matrix[10], last_scale, 1e-6);
    // At t = 10 the last copy is turned: its X axis no longer lies along X.
    veil_draw(veil, 10);
    EXPECT_LT(veil->matrix[0], last_scale - 1e-3);
    glLoadIdentity();
    mesh_free(veil);
}

TEST_F(SceneToolkitGlTest, HiddenBuildTakesOneRandomNumberPerColourChannel)
{
    // 8 x 8 independent colour noise without alpha: 3 draws per pixel.
    const int after = rand_after(3, 8 * 8 * 3);
    srand(3);
    hidden_build();
    EXPECT_EQ(rand(), after);
}

} // namespace
