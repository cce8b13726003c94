// Scene toolkit: sync reactions, the orb, the veil, and the build step of no shown scene.
#include "scenes/scene_toolkit.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdlib>

#include "geometry/mesh.h"
#include "render/render.h"
#include "render/transform.h"
#include "runtime/sync.h"
#include "scenes/scenes.h"
#include "texture/texture.h"

// Fall of the sync pulses per grid step (a frame at 60 fps).
static const int32_t BEAT_DECAY_PER_STEP = 100;
static const int32_t ACCENT_DECAY_PER_STEP = 8;
// beat_pulse units per unit of Z stretch: 2000 / 5000 = 40 %.
static const float BEAT_ZOOM_DIVISOR = 5000.0f;
// accent_shake: three random numbers; each's remainder, in tenths of a degree.
static const int SHAKE_DRAWS = 3;
static const float SHAKE_TENTHS_PER_DEGREE = 10.0f;

// Orb recipe: sphere of radius 16 with 16 divisions, husk 10 % larger with one
// step of spikes scaled 0.6 and pushed out 1 unit; tumbling point 3 units behind.
static const float ORB_RADIUS = 16.0f;
static const unsigned ORB_SPHERE_DIVISIONS = 16;
static const uint32_t ORB_COLOUR = 0xFFFFFFFF;
static const float HUSK_SCALE = 1.1f;
static const float HUSK_SPIKE_SCALE = 0.6f;
static const float HUSK_SPIKE_DISTANCE = 1.0f;
static const float ORB_CENTRE_OFFSET = 3.0f;
static const float ORB_MEAN_DISTANCE = 65.0f;

// Veil copies 2 to 5: turn rates in degrees per second about X, Y, Z.
static const float VEIL_TURN_RATES[4][3] = {
    {0.41f, 0.77f, 0.0f},
    {0.0f, 0.3f, 2.0f},
    {3.01f, 0.11f, 0.96f},
    {-2.11f, 2.32f, 0.67f},
};
static const float VEIL_COPY_SCALE = 0.95f;

// The build step of no shown scene: an 8 x 8 colour-noise texture magnified
// without filtering on a unit box.
static const uint16_t HIDDEN_TEXTURE_SIZE = 8;
static const uint8_t HIDDEN_NOISE_AMPLITUDE = 255;
static const uint32_t HIDDEN_BOX_COLOUR = 0xFFFFFFFF;

// Nothing reads these; volatile keeps the stores, so the objects stay
// reachable for the whole run like every scene's (a leak checker looks for
// the pointers in memory, and the compiler would drop write-only ones).
static Texture* volatile s_hidden_texture = nullptr;
static Mesh* volatile s_hidden_box = nullptr;

// Sync reactions

// One step of a pulse, for grid step `step`, unless taken already.
static void pulse_step(int32_t* pulse, int64_t* stepped, int32_t decay, int64_t step)
{
    if (*stepped >= step) return;
    if (*pulse > 0) *pulse -= decay;
    *stepped = step;
}

void pulse_decay()
{
    pulse_step(&beat_pulse, &beat_stepped, BEAT_DECAY_PER_STEP, sync_step);
    pulse_step(&accent_pulse, &accent_stepped, ACCENT_DECAY_PER_STEP, sync_step);
}

// The random numbers `shakes` accent shakes of a skipped frame would have
// drawn.
static void shakes_skip(int shakes)
{
    for (int i = 0; i < shakes * SHAKE_DRAWS && accent_pulse != 0; i++) rand();
}

// The grid steps from the last one taken to sync_step - 1: those a 60 fps
// run would have taken in the frames this one skipped, with the accent
// shakes' random numbers those frames would have drawn, so that the draws
// of later frames are the same at any frame rate.
void pulse_catch_up(PulseUse (*use_at)(int64_t step))
{
    for (int64_t step = beat_stepped + 1; step < sync_step && beat_pulse > 0; step++) {
        if (use_at(step).falls) beat_pulse -= BEAT_DECAY_PER_STEP;
    }
    for (int64_t step = accent_stepped + 1; step < sync_step && accent_pulse > 0; step++) {
        const PulseUse use = use_at(step);
        if (!use.falls) continue;
        shakes_skip(use.shakes_before_fall);
        accent_pulse -= ACCENT_DECAY_PER_STEP;
        shakes_skip(use.shakes_after_fall);
    }
    if (beat_stepped < sync_step - 1) beat_stepped = sync_step - 1;
    if (accent_stepped < sync_step - 1) accent_stepped = sync_step - 1;
}

void beat_zoom(int sign)
{
    gl_scale(1.0f, 1.0f, 1.0f + (float)(sign * beat_pulse) / BEAT_ZOOM_DIVISOR);
}

void accent_shake() { tilt_apply(accent_tilt()); }

// The accent shakes of one grid step, drawn by its first frame. A later
// frame within the step (a sub-frame of a motion-blurred capture, a display
// above 60 Hz) shows them again and draws no random numbers, as the pulses
// hold between steps, so the random numbers of every later frame, and what
// a scene draws from them (scene 4's anchors), are those of 60 fps.
static const int STEP_SHAKES_MAX = 8;
struct StepShakes {
    int64_t step;  // grid step they were drawn on
    int64_t frame; // frame (sync_frame) that drew or last showed them
    bool again;    // that frame is not the step's first: it shows them again
    int count;     // kept
    int next;      // the one to show next in this frame
    Tilt tilts[STEP_SHAKES_MAX];
};
static StepShakes s_step_shakes = {-1, 0, false, 0, 0, {}};

static Tilt tilt_draw()
{
    const int32_t p = accent_pulse;
    if (p == 0) return Tilt{false, 0.0f, 0.0f, 0.0f};
    const int r1 = rand();
    const int r2 = rand();
    const int r3 = rand();
    return Tilt{true, (float)(r3 % p) / SHAKE_TENTHS_PER_DEGREE, (float)(r2 % p) / SHAKE_TENTHS_PER_DEGREE,
                (float)(r1 % p) / SHAKE_TENTHS_PER_DEGREE};
}

Tilt accent_tilt()
{
    StepShakes& s = s_step_shakes;
    if (s.frame != sync_frame) {
        s.again = s.step == sync_step && s.frame > sync_reset_frame;
        if (!s.again) s.step = sync_step, s.count = 0;
        s.frame = sync_frame;
        s.next = 0;
    }
    if (s.again && s.next < s.count) return s.tilts[s.next++];
    const Tilt tilt = tilt_draw();
    if (!s.again && s.count < STEP_SHAKES_MAX) s.tilts[s.count++] = tilt;
    return tilt;
}

void tilt_apply(const Tilt& tilt)
{
    if (tilt.active) gl_rotate_xyz(tilt.ax, tilt.ay, tilt.az);
}

void light_flash(float base)
{
    const float level = (float)beat_pulse + base;
    g_light.diffuse[1] = level;
    g_light.diffuse[2] = level;
    g_light.diffuse[3] = level;
}

// The orb

Orb* orb_build(const Texture* core_texture, const Texture* dots_texture)
{
    Orb* orb = new Orb;
    orb->core = mesh_sphere(ORB_RADIUS, ORB_SPHERE_DIVISIONS, ORB_COLOUR, core_texture);
    orb->core->blend = 0;
    mesh_flat_normals(orb->core);

    orb->dots = mesh_copy(orb->core);
    orb->dots->blend = 1;
    mesh_set_texture(orb->dots, dots_texture);

    orb->husk = mesh_copy(orb->core);
    mesh_scale(orb->husk, HUSK_SCALE, HUSK_SCALE, HUSK_SCALE);
    orb->husk->blend = 1;
    mesh_set_texture(orb->husk, dots_texture);
    mesh_extrude(orb->husk, HUSK_SPIKE_SCALE, HUSK_SPIKE_DISTANCE, 0, 0, 0, 1);

    // Dots and husk keep the additive (GL_ONE, GL_ONE) factors of a new mesh.
    mesh_compile(orb->core);
    mesh_compile(orb->husk);
    mesh_compile(orb->dots);
    return orb;
}

void orb_free(Orb* orb)
{
    mesh_free(orb->core);
    mesh_free(orb->dots);
    mesh_free(orb->husk);
    delete orb;
}

static void orb_place_mesh(Mesh* mesh, float t)
{
    mat_identity(mesh->matrix);
    mat_translate(mesh->matrix, 2.0f * sinf(0.2f * t), 2.0f * cosf(0.3f * t),
                  20.0f * sinf(t) + ORB_MEAN_DISTANCE);
    mat_rotate_xyz(mesh->matrix, 10.0f * t, 20.0f * t, 30.0f * t);
    mat_translate(mesh->matrix, 0.0f, 0.0f, ORB_CENTRE_OFFSET);
}

void orb_place(Orb* orb, float t)
{
    orb_place_mesh(orb->core, t);
    orb_place_mesh(orb->husk, t);
    orb_place_mesh(orb->dots, t);
}

void orb_draw(Orb* orb)
{
    orb_draw_core(orb);
    orb_draw_glow(orb);
}

void orb_draw_core(Orb* orb)
{
    state_enable(RS_SPHERE_MAP);
    state_enable(RS_POLYGON_OFFSET);
    polygon_offset(1.0f, 1.0f);
    mesh_draw(orb->core);
    state_disable(RS_POLYGON_OFFSET);
    state_disable(RS_SPHERE_MAP);
}

void orb_draw_glow(Orb* orb)
{
    state_enable(RS_SPHERE_MAP);
    polygon_mode(POLY_POINT);
    mesh_draw(orb->dots);
    polygon_mode(POLY_FILL);
    mesh_draw(orb->husk);
    state_disable(RS_SPHERE_MAP);
}

// The veil

void veil_draw(Mesh* veil, float t)
{
    mat_identity(veil->matrix);
    mesh_draw(veil);
    gl_push();
    mesh_draw(veil);
    for (const float* rate : VEIL_TURN_RATES) {
        mat_rotate_xyz(veil->matrix, rate[0] * t, rate[1] * t, rate[2] * t);
        mat_scale(veil->matrix, VEIL_COPY_SCALE, VEIL_COPY_SCALE, VEIL_COPY_SCALE);
        mesh_draw(veil);
    }
    gl_pop();
}

// The build step of no shown scene: nothing draws these; it keeps the
// loading screen at ten steps and its noise keeps its place in the rand() order.

void hidden_build()
{
    Texture* texture = texture_create(HIDDEN_TEXTURE_SIZE, HIDDEN_TEXTURE_SIZE);
    texture_noise(texture, HIDDEN_NOISE_AMPLITUDE, true, false);
    texture->mag_filter = GL_NEAREST;
    texture_upload(texture);

    Mesh* box = mesh_box(1.0f, 1.0f, 1.0f, texture, HIDDEN_BOX_COLOUR);
    box->blend = 0;
    mesh_compile(box);
    s_hidden_texture = texture;
    s_hidden_box = box;
}
