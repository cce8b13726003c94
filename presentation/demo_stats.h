// Frame statistics per scene, for --stats: at exit one line per scene shown
// with the frames drawn, the median and 95th-percentile frame time and the
// slowest frame. Recording a frame is a counter increment; nothing allocates
// after demo_stats_create.
#pragma once

#include <cstdint>
#include <cstdio>

#include "presentation/demo.h"

// Frame times are kept in bins of 0.1 ms up to one second; slower frames
// share the last bin (the slowest is kept exactly).
const int STATS_BIN_COUNT = 10000;
const double STATS_BIN_MS = 0.1;

// Distinct render scales kept per scene; more are not counted.
const int STATS_SCALES = 8;

struct DemoStats {
    uint32_t bins[TIMELINE_ENTRIES][STATS_BIN_COUNT];
    float scales[TIMELINE_ENTRIES][STATS_SCALES]; // in the order first used
    uint32_t scale_frames[TIMELINE_ENTRIES][STATS_SCALES];
    uint32_t frames[TIMELINE_ENTRIES];
    double slowest_ms[TIMELINE_ENTRIES];
    double slowest_at[TIMELINE_ENTRIES]; // timeline seconds of the slowest frame
};

DemoStats* demo_stats_create();
void demo_stats_destroy(DemoStats* stats); // null is ignored
// One frame of `scene` (1..10; others are ignored) that took `ms`, drawn at
// `at` timeline seconds.
void demo_stats_add(DemoStats* stats, int scene, double ms, double at);
// One frame of `scene` drawn at render scale `scale` (only runs that draw at
// another scale than 1, or choose it themselves, count them).
void demo_stats_add_scale(DemoStats* stats, int scene, float scale);
// Frame time in ms below which `fraction` (0..1] of the scene's frames lie,
// to the bin's resolution (its upper edge); 0 without frames.
double demo_stats_percentile(const DemoStats* stats, int scene, double fraction);
// "PROGRAM: renderer ..." (when given), then one line per scene with frames:
// "PROGRAM: scene 1: 1800 frames, median 24.1 ms, 95th percentile 30.2 ms,
// slowest 45.0 ms at 12.3 s" (the credits as "credits"), followed, where
// scales were counted, by "; scale 1: 40 %, 0.85: 60 %" (largest first,
// each one's share of the scene's frames).
void demo_stats_print(const DemoStats* stats, FILE* out, const char* program, const char* renderer);
// The GL renderer and version of the current context, as one phrase.
const char* demo_stats_renderer();
