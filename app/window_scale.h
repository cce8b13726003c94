// The window's --render-scale: a fixed scale, or one chosen frame by frame
// from how long the frames take (auto).
#pragma once

#include "presentation/demo.h"
#include "presentation/demo_stats.h"
#include "presentation/options.h"

// Before the first frame: the scale asked for, and where --stats counts the
// scales used (null without --stats).
void window_scale_start(const SharedOptions& shared, DemoStats* stats);
// Draws one frame as demo_draw_frame does, at the scale asked for or, with
// auto, at the one the frames so far chose; then, with auto, waits for the
// frame to be finished and takes its time into the next choice.
void window_scale_draw_frame(DemoLoop* loop, float time);
