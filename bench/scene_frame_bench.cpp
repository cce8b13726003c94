// Frame time of every scene on the offscreen context (800 x 600, or the size
// in QH_BENCH_SIZE): frames drawn through the frame code at instants spread
// over the scene's middle, each finished with glFinish. Reports the median
// milliseconds per frame.
// A scene joins by adding one SCENE_FRAMES line below.
#include "app/demo.h"
#include "bench/bench_gl.h"
#include "capture/offscreen.h"
#include "runtime/gl_setup.h"
#include "runtime/sync.h"

#include <GL/gl.h>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

static const int FRAMES_PER_RUN = 60;

// Frames at 1/60 s steps from two seconds into the scene, past its fade-in.
static void BM_SceneFrame(benchmark::State& state, int scene)
{
    if (!bench_scenes_loaded(state)) return;
    const TimelineEntry& entry = TIMELINE[scene - 1];
    DemoLoop loop;
    demo_loop_init(&loop);
    std::vector<double> ms;
    int frame = 0;
    for (auto _ : state) {
        const float time = entry.start + 2.0f + (frame++ % FRAMES_PER_RUN) / 60.0f;
        const auto begin = std::chrono::steady_clock::now();
        demo_draw_frame(&loop, time);
        glFinish();
        const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - begin;
        state.SetIterationTime(spent.count());
        ms.push_back(spent.count() * 1000.0);
    }
    std::sort(ms.begin(), ms.end());
    if (!ms.empty()) state.counters["median_ms"] = ms[ms.size() / 2];
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
