// Wall time of the loading phase on the offscreen context: each build step in
// load order, scenes 1 and 2 together, the solid subtractions inside scenes 5
// and 6, and the whole phase with its loading screens. The context is opened
// once, outside every measurement.
#include "presentation/demo.h"
#include "bench/bench_gl.h"
#include "offscreen/offscreen.h"
#include "geometry/mesh.h"
#include "runtime/gl_setup.h"
#include "scenes/scenes.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>

// Build steps allocate their objects afresh on every call and never release
// them, so a few iterations keep the leaked textures and lists small.
static const int BUILD_ITERATIONS = 5;
static const int PHASE_ITERATIONS = 3;

// glFinish makes the uploads count: the driver may defer texture copies.
static void BM_BuildStep(benchmark::State& state, void (*step)())
{
    if (!bench_context_ready(state)) return;
    for (auto _ : state) {
        seed_for_loading();
        step();
        glFinish();
    }
}

static void BM_BuildScenes1And2(benchmark::State& state)
{
    if (!bench_context_ready(state)) return;
    for (auto _ : state) {
        seed_for_loading();
        scene1_build();
        scene2_build();
        glFinish();
    }
}

static void BM_LoadingPhase(benchmark::State& state)
{
    if (!bench_context_ready(state)) return;
    for (auto _ : state) {
        seed_for_loading();
        demo_load();
        glFinish();
    }
}

// The operands of scene 5's ring and scene 6's pierced block.
static void hoop_operands(Mesh** a, Mesh** b)
{
    *a = mesh_cylinder(20, 8, 1, 16, 0xFFFFFFFF, nullptr);
    *b = mesh_cylinder(18, 10, 1, 16, 0xFFFFFFFF, nullptr);
}

static void pierced_block_operands(Mesh** a, Mesh** b)
{
    *a = mesh_box(1, 1, 1, nullptr, 0xFFFFFFFF);
    *b = mesh_cylinder(0.8f, 2, 1, 8, 0xFFFFFFFF, nullptr);
    mesh_rotate(*b, 90, 0, 0);
}

// One subtraction, the release of its result included.
static void BM_Subtract(benchmark::State& state, void (*operands)(Mesh**, Mesh**))
{
    Mesh *a, *b;
    operands(&a, &b);
    for (auto _ : state) mesh_free(mesh_subtract(a, b));
    mesh_free(a);
    mesh_free(b);
}

BENCHMARK_CAPTURE(BM_Subtract, hoop, hoop_operands)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Subtract, pierced_block, pierced_block_operands)->Unit(benchmark::kMicrosecond)->UseRealTime();

#define BUILD_STEP(name, step)                                                                    \
    BENCHMARK_CAPTURE(BM_BuildStep, name, step)                                                   \
        ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(BUILD_ITERATIONS)

// Load order.
BUILD_STEP(1_scene8, scene8_build);
BUILD_STEP(2_scene4, scene4_build);
BUILD_STEP(3_scene5, scene5_build);
BUILD_STEP(4_scene7, scene7_build);
BUILD_STEP(5_scene6, scene6_build);
BUILD_STEP(6_hidden, hidden_build);
BUILD_STEP(7_scene3, scene3_build);
BUILD_STEP(8_scene1, scene1_build);
BUILD_STEP(9_scene2, scene2_build);
BUILD_STEP(10_scene9, scene9_build);
BENCHMARK(BM_BuildScenes1And2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(BUILD_ITERATIONS);
BENCHMARK(BM_LoadingPhase)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(PHASE_ITERATIONS);
