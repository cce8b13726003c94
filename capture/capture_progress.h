// Progress of a capture on standard error: on a terminal one line that
// rewrites itself (phase, done of total, rate, elapsed time, time left);
// elsewhere nothing until one summary line at the end; --quiet silences both.
#pragma once

#include "base/base.h"

#include <cstdint>
#include <string>

struct Progress {
    bool live;          // standard error is a terminal and not quiet
    bool summary;       // print the summary line at the end
    double start;       // seconds on the monotonic clock
    double phase_start; // when the current phase began
    double last_shown;  // when the live line was last drawn
    const char* phase;  // "loading", "playing through", "capturing", "encoding", ...
    const char* unit;   // "frames", "steps", "s of music"
    int64_t done;
    int64_t total;      // 0: a phase without counts
};

// Processor seconds used so far by this process and the children it has
// waited for (and theirs).
double progress_processor_seconds();
void progress_init(Progress* progress, bool quiet);
// Starts a phase of `total` units (0 for a phase without counts).
void progress_phase(Progress* progress, const char* phase, int64_t total, const char* unit);
// Records `done` units; the live line is redrawn at most ten times a second.
void progress_step(Progress* progress, int64_t done);
// Erases the live line, so an error message starts on a clean line.
void progress_interrupt();
// Erases the live line and prints "quiet-harbor-capture: <text>" unless quiet.
void progress_finish(Progress* progress, const std::string& text);
