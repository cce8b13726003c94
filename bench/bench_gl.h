// Benchmark support: the offscreen context, opened once per program outside
// every measurement, optionally with every scene loaded. Frames are 800 x 600
// unless QH_BENCH_SIZE names another size ("1920x1080").
#pragma once

#include "presentation/demo.h"
#include "offscreen/offscreen.h"
#include "runtime/gl_setup.h"
#include "runtime/seed.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <ctime>
#include <vector>
#include <cstdlib>
#include <string>

// True when the context is ready; otherwise marks the benchmark as skipped.
inline bool bench_context_ready(benchmark::State& state)
{
    static bool opened = false;
    static std::string error;
    if (!opened && error.empty()) {
        int width = WINDOW_WIDTH, height = WINDOW_HEIGHT;
        const char* size = getenv("QH_BENCH_SIZE");
        if (size && !frame_size_parse(size, &width, &height)) error = std::string("bad QH_BENCH_SIZE ") + size;
        if (error.empty() && offscreen_open(width, height, &error)) {
            frame_set_size(width, height);
            gl_setup_fixed_state(WINDOW_WIDTH, WINDOW_HEIGHT);
            opened = true;
        }
    }
    if (!opened) state.SkipWithError(("no offscreen GL: " + error).c_str());
    return opened;
}

// The same with the ten build steps run once, from the load-time random seed.
inline bool bench_scenes_loaded(benchmark::State& state)
{
    static bool loaded = false;
    if (!bench_context_ready(state)) return false;
    if (!loaded) {
        seed_for_loading();
        demo_load();
        loaded = true;
    }
    return true;
}

// Processor seconds used so far by every thread of this process.
inline double process_cpu_seconds()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return (double)now.tv_sec + (double)now.tv_nsec * 1e-9;
}

inline double median(std::vector<double>* values)
{
    if (values->empty()) return 0.0;
    std::sort(values->begin(), values->end());
    return (*values)[values->size() / 2];
}
