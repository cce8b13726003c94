// Benchmark support: the offscreen 800 x 600 context, opened once per
// program outside every measurement, optionally with every scene loaded.
#pragma once

#include "app/demo.h"
#include "capture/offscreen.h"
#include "runtime/gl_setup.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>

// True when the context is ready; otherwise marks the benchmark as skipped.
inline bool bench_context_ready(benchmark::State& state)
{
    static bool opened = false;
    static std::string error;
    if (!opened && error.empty()) {
        if (offscreen_open(WINDOW_WIDTH, WINDOW_HEIGHT, &error)) {
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
        srand(1);
        demo_load();
        loaded = true;
    }
    return true;
}
