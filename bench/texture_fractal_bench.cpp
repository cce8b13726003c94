// Fractal cloud operator on the largest texture the scenes make (1024 x 1024),
// with one worker and with every hardware thread, measured in wall time.
#include "texture/texture.h"

#include <benchmark/benchmark.h>
#include <thread>

static const uint16_t BENCH_SIZE = 1024;
static const float BENCH_PERSISTENCE = 0.6f;

static void fractal_with_threads(benchmark::State& state, unsigned threads)
{
    Texture* texture = texture_create(BENCH_SIZE, BENCH_SIZE);
    for (auto _ : state) {
        texture_fractal_threads(texture, false, BENCH_PERSISTENCE, threads);
        benchmark::DoNotOptimize(texture->pixels[0]);
    }
    state.counters["threads"] = threads ? threads : std::thread::hardware_concurrency();
    state.SetItemsProcessed(state.iterations() * BENCH_SIZE * BENCH_SIZE);
    texture_destroy(texture);
}

static void BM_TextureFractal1024OneThread(benchmark::State& state) { fractal_with_threads(state, 1); }
static void BM_TextureFractal1024AllThreads(benchmark::State& state) { fractal_with_threads(state, 0); }

BENCHMARK(BM_TextureFractal1024OneThread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TextureFractal1024AllThreads)->Unit(benchmark::kMillisecond)->UseRealTime();
