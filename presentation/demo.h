// The timeline of ten entries, its fades, loading, and the drawing of one
// frame from a time in seconds. The real window and the capture tool both run
// frames through demo_draw_frame, so they show the same pictures.
#pragma once

#include <cstdint>

#include "scenes/scene_toolkit.h"

typedef void (*RenderStep)(float t, int first_frame);

struct TimelineEntry {
    int scene;    // 1..10 (10 = credits)
    float start;  // seconds
    float length; // seconds
    float end;    // start + length
    RenderStep render;
    PulseUse pulses = {false, 0, 0}; // what its render step does with the sync pulses
};

const int TIMELINE_ENTRIES = 10;
extern const TimelineEntry TIMELINE[TIMELINE_ENTRIES];
const float TIMELINE_END = 225.0f;  // the presentation stops here
const double TIMELINE_WRAP = 300.0; // the table repeats in principle
const float FADE_SECONDS = 2.0f;

// Index of the first entry whose end lies beyond w, or -1 when w >= 225.
int timeline_find(float w);
int timeline_find_in(const TimelineEntry* table, float w);
// Darkening level 0..255 at scene time t, or -1 when that fade is not drawn.
int fade_in_level(float t);
int fade_out_level(float t, float length);
// Multiplies the whole window by the complement of a grey (0xFF000000 + c * 0x010101).
void fade_overlay(uint32_t colour);

// Loop state of the frame loop.
struct DemoLoop {
    bool stop;      // set when the timeline has ended
    int last_scene; // scene drawn in the previous frame, 0 before the first
    float t;        // scene time of the last frame
    float length;   // length of the current scene
};

void demo_loop_init(DemoLoop* loop);
// Draws one frame at `time` seconds after playback started: clear, letterbox,
// the timeline's render step, fades, all between demo_picture_begin and
// demo_picture_end. Sets loop->stop (drawing only the cleared frame) once the
// timeline has ended. Does not swap or pump audio.
void demo_draw_frame(DemoLoop* loop, float time);
// The same with another table of ten entries in place of TIMELINE.
void demo_draw_frame_from(DemoLoop* loop, float time, const TimelineEntry* table);
// Clears the whole frame, then sets the viewport to the 16:9 picture band
// (800 x 450 in the 800 x 600 frame) and clips all drawing to it (scissor
// test), so the bands or bars around it stay black.
void demo_picture_begin();
// Ends the clipping, so whole-window drawing (loading screen, clears) works.
void demo_picture_end();

// Start-up before playback: the two fonts, then ten loading screens each
// followed by a build step in load order, then the light reset; the GL state
// is then kept on the attribute stack for demo_rewind. `after_step`,
// when given, is called after each build step with its number 1..10.
void demo_load(void (*after_step)(int step) = nullptr);
// Shutdown counterpart of demo_load: frees the large font.
void demo_unload();
// Makes the timeline ready to play again from its start as at the first
// start, without loading again: the GL state loading left (kept by
// demo_load), the light, the sync state, what the scenes build up over time
// and the loop state. The music starts again apart (demo_audio_restart).
void demo_rewind(DemoLoop* loop);
