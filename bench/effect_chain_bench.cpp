// One block through the built-in effect chain with every voice sounding, and
// the two per-sample transcendental units beside the library-call forms they
// replace. A block is 2,048 frames: 46.4 ms of audio.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "synth/effect_chain.h"
#include "synth/voice.h"

namespace {

const int SONG_CHANNELS = 14;
const double BLOCK_SECONDS = (double)BLOCK_FRAMES / SAMPLE_RATE;

// Each ring holds a chord-like tone at a level a sounding voice reaches.
void fill_ring(Voice* voice, int channel)
{
    double hz = 55.0 * (channel + 1);
    for (uint32_t f = 0; f < RING_FRAMES; f++) {
        double t = (double)f / SAMPLE_RATE;
        float s = (float)(2700.0 * std::sin(2.0 * M_PI * hz * t) +
                          600.0 * std::sin(2.0 * M_PI * 3.01 * hz * t));
        voice->ring[2 * f] = s;
        voice->ring[2 * f + 1] = -0.8f * s;
    }
}

std::vector<float> test_block()
{
    std::vector<float> block(BLOCK_FLOATS);
    for (uint32_t i = 0; i < BLOCK_FLOATS; i++) {
        block[i] = (float)(9000.0 * std::sin(0.013 * i) * std::cos(0.0007 * i));
    }
    return block;
}

void block_rate(benchmark::State& state)
{
    state.counters["blocks_per_s"] =
        benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
    state.counters["audio_x_realtime"] = benchmark::Counter(
        (double)state.iterations() * BLOCK_SECONDS, benchmark::Counter::kIsRate);
}

}  // namespace

static void BM_BuiltInChainBlock(benchmark::State& state)
{
    std::vector<Voice*> voices;
    for (int c = 0; c < SONG_CHANNELS; c++) {
        voices.push_back(voice_create());
        fill_ring(voices.back(), c);
    }
    EffectChain* chain = effect_chain_build(voices.data(), SONG_CHANNELS, EFFECT_CONFIG_BUILTIN,
                                            EFFECT_CONFIG_BUILTIN_LENGTH, 120.0f);
    for (auto _ : state) {
        effect_chain_process(chain, 1.4f);
        benchmark::DoNotOptimize(chain->output);
    }
    block_rate(state);
    effect_chain_release(chain);
    for (Voice* v : voices) {
        voice_destroy(v);
    }
}
BENCHMARK(BM_BuiltInChainBlock)->Unit(benchmark::kMicrosecond);

static void BM_FlangerBlock(benchmark::State& state)
{
    FlangerUnit* unit = flanger_unit_create(20, 23, 3.0f, 0.5f);
    std::vector<float> in = test_block(), out(BLOCK_FLOATS);
    for (auto _ : state) {
        flanger_unit_process(unit, in.data(), out.data(), BLOCK_FRAMES);
        benchmark::DoNotOptimize(out.data());
    }
    flanger_unit_destroy(unit);
}
BENCHMARK(BM_FlangerBlock)->Unit(benchmark::kMicrosecond);

// The same flanger written plainly with the library sine per frame, for comparison.
static void BM_FlangerBlockLibrarySine(benchmark::State& state)
{
    const int length = 23 * 44100 / 1000;
    const float k = 3.0f * 7.1237926e-5f, span = 3.0f, min_ms = 20.0f, gain = 0.5f;
    std::vector<float> line(2 * length), in = test_block(), out(BLOCK_FLOATS);
    uint32_t clock = 0;
    int w = 0;
    for (auto _ : state) {
        for (uint32_t f = 0; f < BLOCK_FRAMES; f++) {
            clock++;
            double ms = ((std::sin((double)((float)clock * k)) + 1.0) / 2.0) * span + min_ms;
            int d = (int)(ms * 44100 / 1000);
            int j = w - d < 0 ? w - d + length : w - d;
            float s1 = line[2 * j], s2 = line[2 * j + 1];
            line[2 * w] = in[2 * f + 1] * gain;
            line[2 * w + 1] = -in[2 * f] * gain;
            w = w + 1 == length ? 0 : w + 1;
            out[2 * f] = in[2 * f] + s2;
            out[2 * f + 1] = in[2 * f + 1] + s1;
        }
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_FlangerBlockLibrarySine)->Unit(benchmark::kMicrosecond);

static void BM_PowerShaperBlock(benchmark::State& state)
{
    PowerShaperUnit* unit = power_shaper_unit_create(3);
    std::vector<float> in = test_block(), out(BLOCK_FLOATS);
    for (auto _ : state) {
        power_shaper_unit_process(unit, in.data(), out.data(), BLOCK_FRAMES);
        benchmark::DoNotOptimize(out.data());
    }
    power_shaper_unit_destroy(unit);
}
BENCHMARK(BM_PowerShaperBlock)->Unit(benchmark::kMicrosecond);

// The power shaper written with the library power function, for comparison.
static void BM_PowerShaperLibraryPow(benchmark::State& state)
{
    std::vector<float> in = test_block(), out(BLOCK_FLOATS);
    for (auto _ : state) {
        for (uint32_t i = 0; i < BLOCK_FLOATS; i++) {
            double x = in[i];
            double sign = (x > 0) - (x < 0);
            out[i] = (float)(sign * 32767.0 * std::pow(std::fabs(x) / 32767.0, 0.7));
        }
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_PowerShaperLibraryPow)->Unit(benchmark::kMicrosecond);

static void BM_ReverbBlock(benchmark::State& state)
{
    ReverbUnit* unit = reverb_unit_create(0.5f, 0.5f, 0.3f, 0.8f, 0.4f, 0.1f);
    std::vector<float> in = test_block(), out(BLOCK_FLOATS);
    for (auto _ : state) {
        reverb_unit_process(unit, in.data(), out.data(), BLOCK_FRAMES);
        benchmark::DoNotOptimize(out.data());
    }
    reverb_unit_destroy(unit);
}
BENCHMARK(BM_ReverbBlock)->Unit(benchmark::kMicrosecond);
