// Frame time of every scene on the offscreen context (800 x 600, or the size
// in QH_BENCH_SIZE): frames drawn through the frame code at instants spread
// over the scene's middle, each finished with glFinish. Reports the median
// wall milliseconds per frame and the median processor milliseconds per
// frame of the whole process (the renderer's own threads included), which
// other work on the machine disturbs far less than the wall time. A scene
// joins by adding one SCENE_FRAMES line below. QH_BENCH_RENDER_SCALE draws
// the scenes at that render scale ("0.5"), as --render-scale does.
#include "presentation/demo.h"
#include "presentation/render_scale.h"
#include "bench/bench_gl.h"
#include "offscreen/offscreen.h"
#include "runtime/gl_setup.h"
#include "runtime/sync.h"

#include <GL/gl.h>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <string>
#include <time.h>
#include <vector>

static const int FRAMES_PER_RUN = 60;

// Frames at 1/60 s steps from two seconds into the scene, past its fade-in.
static void BM_SceneFrame(benchmark::State& state, int scene)
{
    if (!bench_scenes_loaded(state)) return;
    float scale = 1.0f;
    const char* scale_text = getenv("QH_BENCH_RENDER_SCALE");
    if (scale_text && !render_scale_parse(scale_text, &scale)) {
        state.SkipWithError((std::string("bad QH_BENCH_RENDER_SCALE ") + scale_text).c_str());
        return;
    }
    render_scale_set(scale);
    const TimelineEntry& entry = TIMELINE[scene - 1];
    DemoLoop loop;
    demo_loop_init(&loop);
    std::vector<double> wall_ms, cpu_ms;
    int frame = 0;
    for (auto _ : state) {
        const float time = entry.start + 2.0f + (frame++ % FRAMES_PER_RUN) / 60.0f;
        const double cpu_begin = process_cpu_seconds();
        const auto begin = std::chrono::steady_clock::now();
        demo_draw_frame(&loop, time);
        glFinish();
        const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - begin;
        cpu_ms.push_back((process_cpu_seconds() - cpu_begin) * 1000.0);
        state.SetIterationTime(spent.count());
        wall_ms.push_back(spent.count() * 1000.0);
    }
    state.counters["median_ms"] = median(&wall_ms);
    state.counters["median_cpu_ms"] = median(&cpu_ms);
    sync_reset();
}

#define SCENE_FRAMES(name, scene)                                                                 \
    BENCHMARK_CAPTURE(BM_SceneFrame, name, scene)                                                 \
        ->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(FRAMES_PER_RUN)

SCENE_FRAMES(scene1, 1);
SCENE_FRAMES(scene2, 2);
SCENE_FRAMES(scene3, 3);
SCENE_FRAMES(scene4, 4);
SCENE_FRAMES(scene5, 5);
SCENE_FRAMES(scene6, 6);
SCENE_FRAMES(scene7, 7);
SCENE_FRAMES(scene8, 8);
SCENE_FRAMES(scene9, 9);
