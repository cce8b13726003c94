// What --render-scale's path adds to a frame on the offscreen context
// (800 x 600, or the size in QH_BENCH_SIZE): frames whose render step draws
// nothing, so that what is measured is the frame's own path: at a scale
// below 1 the target bound and cleared, its picture scaled up into the band;
// at 1 (argument 100) the frame cleared, as without the option. Arguments
// are scales in hundredths; each frame is finished with glFinish. Reports
// the median wall milliseconds per frame and the median processor
// milliseconds of the whole process (the renderer's threads included),
// which other work on the machine disturbs far less.
#include "bench/bench_gl.h"
#include "presentation/demo.h"
#include "presentation/render_scale.h"

#include <GL/gl.h>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <time.h>
#include <vector>

static void nothing(float, int) {}

static void BM_ScaleUp(benchmark::State& state)
{
    if (!bench_context_ready(state)) return;
    TimelineEntry table[TIMELINE_ENTRIES];
    for (int i = 0; i < TIMELINE_ENTRIES; i++) table[i] = {i + 1, 30.0f * i, 30.0f, 30.0f * (i + 1), nothing};
    DemoLoop loop;
    demo_loop_init(&loop);
    render_scale_set((float)state.range(0) / 100.0f);
    std::vector<double> wall_ms, cpu_ms;
    for (auto _ : state) {
        const double cpu_begin = process_cpu_seconds();
        const auto begin = std::chrono::steady_clock::now();
        // 10 s into the first entry: no fade.
        demo_draw_frame_from(&loop, 10.0f, table);
        glFinish();
        const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - begin;
        cpu_ms.push_back((process_cpu_seconds() - cpu_begin) * 1000.0);
        state.SetIterationTime(spent.count());
        wall_ms.push_back(spent.count() * 1000.0);
    }
    state.counters["median_ms"] = median(&wall_ms);
    state.counters["median_cpu_ms"] = median(&cpu_ms);
    render_scale_set(1.0f);
}
BENCHMARK(BM_ScaleUp)->Arg(100)->Arg(85)->Arg(70)->Arg(50)->UseManualTime()->Unit(benchmark::kMillisecond);
