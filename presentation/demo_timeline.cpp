// The timeline, its fades and the drawing of one frame.
#include "presentation/demo.h"

#include "base/base.h"
#include "presentation/render_scale.h"
#include "render/render.h"
#include "runtime/gl_setup.h"
#include "runtime/seed.h"
#include "runtime/sync.h"
#include "runtime/text.h"
#include "scenes/scene_toolkit.h"
#include "scenes/scenes.h"

#include <GL/gl.h>
#include <cmath>
#include <ctime>

// Fade rate: 128 darkening levels per second over a scene's first and last 2 s.
static const float FADE_LEVELS_PER_SECOND = 128.0f;

static void credits_step(float t, int first_frame) { credits_render((int)t, first_frame); }

const TimelineEntry TIMELINE[TIMELINE_ENTRIES] = {
    {1, 0, 30, 30, scene1_render, {true, 0, 0}},
    {2, 30, 30, 60, scene2_render, {true, 0, 1}},
    {3, 60, 10, 70, scene3_render, {true, 2, 0}},
    {4, 70, 25, 95, scene4_render, {true, 0, 1}},
    {5, 95, 25, 120, scene5_render, {true, 0, 1}},
    {6, 120, 25, 145, scene6_render, {true, 0, 0}},
    {7, 145, 25, 170, scene7_render, {true, 0, 0}},
    {8, 170, 35, 205, scene8_render, {true, 0, 1}},
    {9, 205, 15, 220, scene9_render, {false, 0, 0}},
    {10, 220, 5, 225, credits_step, {false, 0, 0}},
};

// Build steps in load order; scene 2 draws scene 1's veil, so 1 comes first.
static void (*const LOAD_ORDER[TIMELINE_ENTRIES])() = {
    scene8_build, scene4_build, scene5_build, scene7_build, scene6_build,
    hidden_build, scene3_build, scene1_build, scene2_build, scene9_build,
};

int timeline_find_in(const TimelineEntry* table, float w)
{
    for (int i = 0; i < TIMELINE_ENTRIES; i++) {
        if (w < table[i].end) return i;
    }
    return -1;
}

int timeline_find(float w) { return timeline_find_in(TIMELINE, w); }

int fade_in_level(float t)
{
    if (!(t < FADE_SECONDS)) return -1;
    return (int)(255.0f - FADE_LEVELS_PER_SECOND * t);
}

int fade_out_level(float t, float length)
{
    if (!(t > length - FADE_SECONDS)) return -1;
    return (int)(FADE_LEVELS_PER_SECOND * (t - (length - FADE_SECONDS)));
}

void fade_overlay(uint32_t colour)
{
    state_disable(RS_DEPTH_WRITE);
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    viewport(0, 0, g_frame.width, g_frame.height);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, 1, 1, 0, 0, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    // pixel * (1 - colour / 255) per channel
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    glColor4ub(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF, (colour >> 24) & 0xFF);
    glBegin(GL_TRIANGLE_STRIP);
    glVertex3f(0, 0, 0);
    glVertex3f(1, 0, 0);
    glVertex3f(0, 1, 0);
    glVertex3f(1, 1, 0);
    glEnd();

    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
    glMatrixMode(GL_MODELVIEW);
    state_enable(RS_DEPTH_WRITE);
}

static uint32_t fade_grey(int level) { return 0xFF000000u + (uint32_t)level * 0x010101u; }

void demo_loop_init(DemoLoop* loop)
{
    loop->stop = false;
    loop->last_scene = 0;
    loop->t = 0.0f;
    loop->length = 0.0f;
}

void demo_draw_frame(DemoLoop* loop, float time) { demo_draw_frame_from(loop, time, TIMELINE); }

// The table being drawn from, for the pulses' catch-up.
static const TimelineEntry* s_drawn_table = TIMELINE;

// What the scene shown at grid step `step` does with the pulses.
static PulseUse pulses_at(int64_t step)
{
    const int index = timeline_find_in(s_drawn_table, (float)((double)step / SYNC_STEPS_PER_SECOND));
    return index >= 0 ? s_drawn_table[index].pulses : PulseUse{false, 0, 0};
}

void demo_draw_frame_from(DemoLoop* loop, float time, const TimelineEntry* table)
{
    demo_time = time;
    sync_frame_begin(time);
    s_drawn_table = table;
    const float w = (float)fmod((double)demo_time, TIMELINE_WRAP);
    const int index = timeline_find_in(table, w);
    if (index < 0 || w >= TIMELINE_END) {
        demo_picture_begin();
        loop->stop = true;
        demo_picture_end();
        return;
    }
    const TimelineEntry& entry = table[index];
    pulse_catch_up(pulses_at);
    loop->t = w - entry.start;
    loop->length = entry.length;
    // At fewer pixels the render step draws into the smaller target, and the
    // frame is cleared only when the target's picture is scaled up into it.
    const bool scaled = render_scale_begin();
    if (!scaled) demo_picture_begin();
    entry.render(loop->t, loop->last_scene != entry.scene);
    if (scaled) render_scale_end();
    loop->last_scene = entry.scene;

    const int in = fade_in_level(loop->t);
    if (in >= 0) fade_overlay(fade_grey(in));
    const int out = fade_out_level(loop->t, loop->length);
    if (out >= 0) fade_overlay(fade_grey(out));
    demo_picture_end();
}

void demo_picture_begin()
{
    const FrameGeometry& f = g_frame;
    viewport(0, 0, f.width, f.height);
    glDisable(GL_SCISSOR_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    viewport(f.band_x, f.band_y, f.band_width, f.band_height);
    // Nothing a scene draws reaches the black bands: wide points and lines
    // near the band's edge would otherwise light rows outside the viewport.
    glScissor(f.band_x, f.band_y, f.band_width, f.band_height);
    glEnable(GL_SCISSOR_TEST);
}

void demo_picture_end() { glDisable(GL_SCISSOR_TEST); }

void demo_load(void (*after_step)(int step))
{
    heap_keep_freed();
    seed_for_loading();
    g_font_large = font_create("Arial", 40, 0, 0, 0, 0);
    g_font_small = font_create("Arial", 16, 0, 0, 0, 0);
    for (int k = 1; k <= TIMELINE_ENTRIES; k++) {
        loading_screen(k, TIMELINE_ENTRIES);
        LOAD_ORDER[k - 1]();
        if (after_step) after_step(k);
    }
    light_reset();
    // Every pass of the timeline starts from this state (demo_rewind).
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    heap_release_free();
}

void demo_unload()
{
    glPopAttrib();
    render_scale_release();
    font_free(g_font_large);
}

void demo_rewind(DemoLoop* loop)
{
    // The lights' switch remembers what it did: off first, so that it agrees
    // with the state put back.
    lights_enable(0);
    glPopAttrib();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    light_reset();
    sync_reset();
    scenes_rewind();
    demo_loop_init(loop);
}
