// What the frame loop plays with, and what a viewer can do to it: pause,
// seek, save the frame on screen, read where the show is.
#pragma once

#include "presentation/demo.h"
#include "presentation/demo_audio.h"
#include "presentation/demo_stats.h"

#include <cstdint>
#include <string>

// Frame times for --stats: what the viewer sees, the interval from one drawn
// frame's swap to the next, counted for the scene the later frame shows.
struct FrameTimes {
    DemoStats* stats; // null without --stats
    double last_swap; // monotonic seconds of the last swap; negative before the first
};

struct Playback {
    DemoAudio* audio;
    DemoClock clock;
    DemoLoop loop;
    FrameTimes* times;
    bool looping;         // --loop: the timeline starts again at its end
    bool stop;            // Escape, a close request, or the end without looping
    bool paused;          // Space
    bool redraw;          // paused, but the frame must be drawn once (after a seek)
    float shown_time;     // presentation seconds of the frame on screen; negative before the first
    double line_until;    // monotonic seconds until which the on-screen line shows after a seek
    int32_t line_font;    // the on-screen line's face, loaded at the first key; 0 without one
    bool line_font_tried;
    bool screenshot;      // S: save the next frame drawn (drawn at once while paused)
};

// Seeks: where each key goes from `now` seconds (Left/Right 5 s, Down/Up
// 60 s, Page Up/Down the previous and next scene's start, Home 0). Targets
// are clamped to 0; one at or past 225 is the end.
const float SEEK_SHORT_SECONDS = 5.0f;
const float SEEK_LONG_SECONDS = 60.0f;
enum SeekKind { SEEK_BACK, SEEK_FORWARD, SEEK_BACK_LONG, SEEK_FORWARD_LONG, SEEK_PREVIOUS_SCENE,
                SEEK_NEXT_SCENE, SEEK_HOME };
float seek_target(int kind, float now);

// Starts playback at `start` seconds.
void playback_start(Playback* p, DemoAudio* audio, float start, bool looping, FrameTimes* times);
// Picture and music stop together, and go on from where they stopped.
void playback_pause(Playback* p, bool paused);
// Goes to `seconds`, picture and music: the music from the very sample
// --start would give there, what the scenes build up starting fresh, a
// paused show staying paused with the new frame on screen. At or past the
// end: the end (or, looping, the start again).
void playback_seek(Playback* p, float seconds);
// At the timeline's end: stop, or start again from 0 as at the first start.
void playback_timeline_ended(Playback* p);

// The on-screen line: "2:05 / 3:45  scene 6", with "  paused" while paused.
std::string playback_line_text(float seconds, bool paused);
// Draws it in the lower band when due: for 1.5 s after a seek and while
// paused, once a key was pressed. Nothing without the face.
void playback_line_draw(Playback* p);
// Saves the frame just drawn (before the on-screen line) as
// quiet-harbor-MMmSS.mmm.png in the current folder (-1, -2, ... added rather
// than overwrite); a failure is one line on stderr and the show goes on.
void playback_screenshot(const Playback& p);
// "quiet-harbor-02m05.250.png", and with `copy` 1 or more "...-1.png".
std::string screenshot_name(float seconds, int copy);
