// Load-time cost of the scene textures of 256 x 256 and 512 x 512: each
// recipe's operator chain from texture_create to just before the upload.
#include "texture/texture.h"

#include <benchmark/benchmark.h>

// Scene 1: the veil, 512 x 512 fractal clouds tiled to 1024 x 1024.
static Texture* recipe_veil()
{
    Texture* t = texture_create(512, 512);
    texture_fractal(t, true, 0.65f);
    texture_min_color(t, 0xFF00C0FF);
    texture_brightness(t, 1.3f);
    texture_mirror_tile(t);
    return t;
}

// Scene 5: the blue ground.
static Texture* recipe_ring_run_ground()
{
    Texture* t = texture_create(256, 256);
    texture_noise(t, 128, false, false);
    texture_min_color(t, 0xFF0080FF);
    return t;
}

// Scene 6: the embossed room.
static Texture* recipe_peg_board_room()
{
    Texture* t = texture_create(256, 256);
    texture_clouds(t);
    texture_emboss(t, 64);
    texture_min_color(t, 0xFF0080FF);
    return t;
}

// Scene 7: the orange embossed cells.
static Texture* recipe_urchin_cells()
{
    Texture* t = texture_create(256, 256);
    texture_clouds(t);
    texture_emboss(t, 64);
    texture_min_color(t, 0xFFFF8000);
    return t;
}

// Scene 7: the urchin.
static Texture* recipe_urchin()
{
    Texture* t = texture_create(256, 256);
    texture_fill_rect(t, 0, 0, 255, 255, 0xFF000000);
    texture_noise(t, 32, false, false);
    texture_min_color(t, 0xFF0080FF);
    return t;
}

// Scene 8: the lattice, 32 x 32 noise enlarged to 256 x 256.
static Texture* recipe_lattice()
{
    Texture* t = texture_create(32, 32);
    texture_fill_rect(t, 0, 0, 31, 31, 0xFF0000A0);
    texture_noise(t, 32, false, false);
    texture_resize(t, 256, 256, TEXTURE_RESIZE_BILINEAR);
    return t;
}

// Scene 9: the ground under the snowfall.
static Texture* recipe_snowfall_ground()
{
    Texture* t = texture_create(256, 256);
    texture_fractal(t, false, 0.6f);
    texture_min_color(t, 0xFFFFFFFF);
    return t;
}

static void run_recipe(benchmark::State& state, Texture* (*recipe)())
{
    int64_t pixels = 0;
    for (auto _ : state) {
        Texture* t = recipe();
        benchmark::DoNotOptimize(t->pixels[0]);
        pixels = (int64_t)t->width * t->height;
        texture_destroy(t);
    }
    state.SetItemsProcessed(state.iterations() * pixels);
}

static void BM_Scene1Veil512(benchmark::State& s) { run_recipe(s, recipe_veil); }
static void BM_Scene5Ground256(benchmark::State& s) { run_recipe(s, recipe_ring_run_ground); }
static void BM_Scene6Room256(benchmark::State& s) { run_recipe(s, recipe_peg_board_room); }
static void BM_Scene7Cells256(benchmark::State& s) { run_recipe(s, recipe_urchin_cells); }
static void BM_Scene7Urchin256(benchmark::State& s) { run_recipe(s, recipe_urchin); }
static void BM_Scene8Lattice256(benchmark::State& s) { run_recipe(s, recipe_lattice); }
static void BM_Scene9Ground256(benchmark::State& s) { run_recipe(s, recipe_snowfall_ground); }

// The fractal recipes use every hardware thread: measure wall time.
BENCHMARK(BM_Scene1Veil512)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Scene5Ground256)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Scene6Room256)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Scene7Cells256)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Scene7Urchin256)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Scene8Lattice256)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Scene9Ground256)->Unit(benchmark::kMillisecond)->UseRealTime();
