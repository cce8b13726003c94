// Effect chain: building from the configuration array, the built-in wiring,
// block copies from the voice rings, unit order, master mix and rejection of
// configurations that name nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "synth/effect_chain.h"
#include "synth/voice.h"

// Counts heap allocations by standing in front of the C library's allocator
// (sanitizer builds bring their own and are left alone).
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define QH_COUNT_ALLOCATIONS 1
static std::atomic<long> g_allocations{0};
// Requests above this many bytes fail, as they would with memory exhausted.
static std::atomic<size_t> g_fail_above{SIZE_MAX};
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void* malloc(size_t size)
{
    g_allocations++;
    return size > g_fail_above ? nullptr : __libc_malloc(size);
}
void* calloc(size_t count, size_t size)
{
    g_allocations++;
    return count * size > g_fail_above ? nullptr : __libc_calloc(count, size);
}
void* realloc(void* p, size_t size)
{
    g_allocations++;
    return __libc_realloc(p, size);
}
}
#endif

namespace {

// The player's voices, one per song channel, with hand-filled rings.
struct Voices {
    std::vector<Voice*> list;

    explicit Voices(int count)
    {
        for (int i = 0; i < count; i++) {
            list.push_back(voice_create());
        }
    }
    ~Voices()
    {
        for (Voice* v : list) {
            voice_destroy(v);
        }
    }
    // Channel counted from 1; every frame of the ring set to (first, second).
    void fill(int channel, float first, float second)
    {
        float* ring = list[channel - 1]->ring;
        for (uint32_t f = 0; f < RING_FRAMES; f++) {
            ring[2 * f] = first;
            ring[2 * f + 1] = second;
        }
    }
    void fill_noise(int channel, float level, uint32_t seed)
    {
        std::mt19937 gen(seed);
        std::uniform_real_distribution<float> dist(-level, level);
        for (uint32_t i = 0; i < RING_FLOATS; i++) {
            list[channel - 1]->ring[i] = dist(gen);
        }
    }
    EffectChain* build(const std::vector<double>& config, float row_ms = 120.0f)
    {
        return effect_chain_build(list.data(), (int)list.size(), config.data(), config.size(), row_ms);
    }
};

const int SONG_CHANNELS = 14;

std::vector<double> builtin()
{
    return std::vector<double>(EFFECT_CONFIG_BUILTIN,
                               EFFECT_CONFIG_BUILTIN + EFFECT_CONFIG_BUILTIN_LENGTH);
}

bool silent(const EffectChain* chain)
{
    for (uint32_t i = 0; i < BLOCK_FLOATS; i++) {
        if (chain->output[i] != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

TEST(EffectChain, BuiltInConfigurationHasFifteenUnitsAndTwoMasters)
{
    Voices voices(SONG_CHANNELS);
    EffectChain* chain = voices.build(builtin());
    ASSERT_NE(chain, nullptr);
    ASSERT_EQ(chain->unit_count, 15);
    const uint8_t types[15] = {1, 10, 3, 3, 3, 8, 9, 4, 1, 1, 1, 5, 2, 8, 9};
    const uint8_t input_counts[15] = {1, 2, 7, 1, 1, 1, 1, 2, 2, 1, 1, 3, 2, 1, 1};
    for (int j = 0; j < 15; j++) {
        EXPECT_EQ(chain->units[j]->type, types[j]) << "unit " << 33 + j;
        EXPECT_EQ(chain->units[j]->input_count, input_counts[j]) << "unit " << 33 + j;
    }
    ASSERT_EQ(chain->master_count, 2);
    EXPECT_EQ(chain->master_inputs[0], chain->units[12]->output);
    EXPECT_EQ(chain->master_inputs[1], chain->units[14]->output);
    // Unit 35 gathers 33, 34 and channels 4, 5, 7, 8, 9.
    const float* expected[7] = {chain->units[0]->output, chain->units[1]->output,
                                voices.list[3]->block, voices.list[4]->block,
                                voices.list[6]->block, voices.list[7]->block,
                                voices.list[8]->block};
    for (int i = 0; i < 7; i++) {
        EXPECT_EQ(chain->units[2]->inputs[i], expected[i]) << i;
    }
    // Parameters land in the right records.
    EXPECT_EQ(chain->units[0]->state.echo->rows, 5);
    EXPECT_EQ(chain->units[4]->state.flanger->length, 1014u);   // 23 ms
    EXPECT_EQ(chain->units[7]->state.comb->length, 44u);         // 1 ms
    EXPECT_EQ(chain->units[11]->state.power_shaper->k, 3);
    EXPECT_NEAR(chain->units[12]->state.reverb->wet1, 0.63f, 1e-6f);
    EXPECT_EQ(chain->units[13]->state.swept_filter->depth, 1000.0f);
    EXPECT_EQ(chain->units[14]->state.gain->g, 0.5f);
    effect_chain_release(chain);
}

TEST(EffectChain, EveryBuiltInChannelIsHeardExceptThirteenAndFourteen)
{
    for (int channel = 1; channel <= SONG_CHANNELS; channel++) {
        SCOPED_TRACE(channel);
        Voices voices(SONG_CHANNELS);
        voices.fill_noise(channel, 8000.0f, channel);
        EffectChain* chain = voices.build(builtin());
        ASSERT_NE(chain, nullptr);
        bool heard = false;
        for (int block = 0; block < 4; block++) {
            effect_chain_process(chain, 1.4f);
            heard = heard || !silent(chain);
        }
        EXPECT_EQ(heard, channel <= 12);
        effect_chain_release(chain);
    }
}

TEST(EffectChain, MasterMixTruncatesEachTermThenClamps)
{
    // Two masters: channel 1 and channel `second_id` (2, or 1 again).
    struct Case {
        float a, b;
        int second_id;
        float gain;
        int16_t expected;
    } cases[] = {
        {0.6f, 0.6f, 2, 1.0f, 0},          {-0.6f, -0.6f, 2, 1.0f, 0},
        {0.7f, 0.7f, 2, 2.0f, 2},          {0.7f, 0.0f, 1, 2.0f, 2},
        {-1.9f, 0.0f, 2, 1.0f, -1},        {30000.0f, 30000.0f, 2, 1.0f, 32767},
        {-30000.0f, -30000.0f, 2, 1.0f, -32768}, {1000.0f, -999.5f, 2, 1.4f, 1},
        {1e30f, -1e30f, 2, 1.0f, 0},       {NAN, 5.0f, 2, 1.0f, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a << " " << c.b << " " << c.gain);
        Voices voices(2);
        voices.fill(1, c.a, c.a);
        voices.fill(2, c.b, c.b);
        EffectChain* chain = voices.build({0, 2, 1, (double)c.second_id});
        ASSERT_NE(chain, nullptr);
        effect_chain_process(chain, c.gain);
        EXPECT_EQ(chain->output[0], c.expected);
        EXPECT_EQ(chain->output[BLOCK_FLOATS - 1], c.expected);
        effect_chain_release(chain);
    }
}

TEST(EffectChain, CopiesEachBlockFromTheRingAcrossItsEnd)
{
    Voices voices(1);
    float* ring = voices.list[0]->ring;
    for (uint32_t i = 0; i < RING_FLOATS; i++) {
        ring[i] = (float)i;
    }
    voices.list[0]->read_pos = RING_FLOATS - 100;
    EffectChain* chain = voices.build({0, 0});
    ASSERT_NE(chain, nullptr);
    effect_chain_process(chain, 1.0f);
    const float* block = voices.list[0]->block;
    EXPECT_EQ(block[0], (float)(RING_FLOATS - 100));
    EXPECT_EQ(block[99], (float)(RING_FLOATS - 1));
    EXPECT_EQ(block[100], 0.0f);
    EXPECT_EQ(block[BLOCK_FLOATS - 1], (float)(BLOCK_FLOATS - 101));
    EXPECT_EQ(voices.list[0]->read_pos, BLOCK_FLOATS - 100);
    EXPECT_TRUE(silent(chain));  // no master inputs
    effect_chain_release(chain);
}

TEST(EffectChain, UnknownCodesTakeNoParametersAndStaySilent)
{
    Voices voices(1);
    voices.fill(1, 100.0f, -50.0f);
    // Codes 0 and 11, then a gain of 2; each unit fed by channel 1.
    EffectChain* chain = voices.build({3, 0, 11, 9, 2, 1, 1, 1, 1, 1, 1, 3, 33, 34, 35});
    ASSERT_NE(chain, nullptr);
    EXPECT_EQ(chain->units[1]->type, 11);
    EXPECT_EQ(chain->units[2]->state.gain->g, 2.0f);
    effect_chain_process(chain, 1.0f);
    EXPECT_EQ(chain->units[0]->mix[0], 100.0f);  // mixed, but not processed
    EXPECT_EQ(chain->units[0]->output[0], 0.0f);
    EXPECT_EQ(chain->units[1]->output[1], 0.0f);
    EXPECT_EQ(chain->output[0], 200);
    EXPECT_EQ(chain->output[1], -100);
    effect_chain_release(chain);
}

TEST(EffectChain, UnitsReadLaterUnitsFromThePreviousBlock)
{
    // 33: gain fed by 34 (runs later); 34: gain fed by channel 1; master 33.
    // 35: y = 0.5 * (x + its own previous output), master 35 alone.
    struct Case {
        std::vector<double> config;
        float expected[3];
    } cases[] = {
        {{2, 9, 1, 9, 1, 1, 34, 1, 1, 1, 33}, {0.0f, 1000.0f, 2000.0f}},
        {{1, 9, 0.5, 2, 1, 33, 1, 33}, {500.0f, 1250.0f, 2125.0f}},
        {{1, 9, 3, 0, 1, 33}, {0.0f, 0.0f, 0.0f}},  // no inputs: silence
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.config.size());
        Voices voices(1);
        // Block n of the ring holds 1000 * (n + 1).
        for (uint32_t i = 0; i < 3 * BLOCK_FLOATS; i++) {
            voices.list[0]->ring[i] = 1000.0f * (float)(i / BLOCK_FLOATS + 1);
        }
        EffectChain* chain = voices.build(c.config);
        ASSERT_NE(chain, nullptr);
        for (int block = 0; block < 3; block++) {
            effect_chain_process(chain, 1.0f);
            EXPECT_EQ(chain->output[0], (int16_t)c.expected[block]) << block;
            EXPECT_EQ(chain->output[BLOCK_FLOATS - 1], (int16_t)c.expected[block]) << block;
        }
        effect_chain_release(chain);
    }
}

TEST(EffectChain, RejectsConfigurationsThatNameNothingOrEndEarly)
{
    std::vector<double> wide = {1, 9, 1, 129};
    wide.insert(wide.end(), 129, 1.0);
    wide.push_back(0);
    std::vector<double> wide_master = {0, 200};
    wide_master.insert(wide_master.end(), 200, 1.0);
    // 255 flangers at 65,535 ms would ask for 5.9 GB of delay lines.
    std::vector<double> long_lines = {255};
    for (int j = 0; j < 255; j++) {
        long_lines.insert(long_lines.end(), {3, 65535, 65535, 1, 0.5});
    }
    long_lines.insert(long_lines.end(), 256, 0.0);
    struct Case {
        const char* name;
        std::vector<double> config;
        int voices;
        float row_ms;
    } cases[] = {
        {"input id 0", {1, 9, 1, 1, 0, 0}, 2, 120.0f},
        {"channel beyond the song", {1, 9, 1, 1, 3, 0}, 2, 120.0f},
        {"channel without voices", {0, 1, 1}, 0, 120.0f},
        {"unit beyond N", {1, 9, 1, 1, 34, 0}, 2, 120.0f},
        {"master beyond N", {1, 9, 1, 0, 1, 34}, 2, 120.0f},
        {"129 inputs", wide, 2, 120.0f},
        {"200 masters", wide_master, 2, 120.0f},
        {"parameter not a number", {1, 9, NAN, 0, 0}, 2, 120.0f},
        {"parameter beyond float", {1, 9, 1e300, 0, 0}, 2, 120.0f},
        {"count infinite", {INFINITY}, 2, 120.0f},
        {"empty array", {}, 2, 120.0f},
        {"parameters missing", {1, 2, 0.5, 0.5}, 2, 120.0f},
        {"master list missing", {1, 9, 1, 0}, 2, 120.0f},
        {"negative row length", {0, 0}, 2, -1.0f},
        {"delay lines of 5.9 GB", long_lines, 2, 120.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Voices voices(c.voices);
        testing::internal::CaptureStderr();
        EffectChain* chain = voices.build(c.config, c.row_ms);
        std::string message = testing::internal::GetCapturedStderr();
        EXPECT_EQ(chain, nullptr);
        EXPECT_NE(message.find("effect chain"), std::string::npos);
        effect_chain_release(chain);
    }
    // Every shortened copy of the built-in array announces more than it has.
    Voices voices(SONG_CHANNELS);
    std::vector<double> full = builtin();
    for (size_t length = 0; length < full.size(); length++) {
        testing::internal::CaptureStderr();
        EffectChain* chain = effect_chain_build(voices.list.data(), SONG_CHANNELS,
                                                full.data(), length, 120.0f);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(chain, nullptr) << length;
        effect_chain_release(chain);
    }
}

TEST(EffectChain, AcceptsTheLimitsOfItsTables)
{
    // 128 inputs on a unit and in the master list; the highest voice id, 32.
    std::vector<double> config = {1, 9, 1, 128};
    config.insert(config.end(), 128, 32.0);
    config.push_back(128);
    config.insert(config.end(), 128, 33.0);
    Voices voices(32);
    voices.fill(32, 1.0f, -1.0f);
    EffectChain* chain = voices.build(config);
    ASSERT_NE(chain, nullptr);
    effect_chain_process(chain, 1.0f);
    EXPECT_EQ(chain->output[0], 128 * 128);
    EXPECT_EQ(chain->output[1], -128 * 128);
    effect_chain_release(chain);
    // A flanger and a comb at their longest (22 MiB of line each).
    chain = voices.build({2, 3, 65535, 65535, 1, 0.5, 4, 65535, 1, 32, 1, 33, 1, 34});
    ASSERT_NE(chain, nullptr);
    effect_chain_process(chain, 1.0f);
    EXPECT_EQ(chain->output[0], 1);  // the comb's line is still empty
    effect_chain_release(chain);
}

#ifdef QH_COUNT_ALLOCATIONS
TEST(EffectChain, FailedAllocationRejectsTheConfiguration)
{
    Voices voices(2);
    g_fail_above = 1 << 20;
    testing::internal::CaptureStderr();
    // A 10 s flanger needs 3.5 MB of line.
    EffectChain* chain = voices.build({1, 3, 0, 10000, 1, 0.5, 0, 0});
    std::string message = testing::internal::GetCapturedStderr();
    g_fail_above = SIZE_MAX;
    EXPECT_EQ(chain, nullptr);
    EXPECT_NE(message.find("out of memory"), std::string::npos) << message;
}

TEST(EffectChain, RunningBlocksAllocatesNothing)
{
    Voices voices(SONG_CHANNELS);
    for (int channel = 1; channel <= SONG_CHANNELS; channel++) {
        voices.fill_noise(channel, 2000.0f, channel);
    }
    long before_build = g_allocations.load();
    EffectChain* chain = voices.build(builtin());
    ASSERT_NE(chain, nullptr);
    EXPECT_GT(g_allocations.load(), before_build);  // the counter sees the build
    long before = g_allocations.load();
    for (int block = 0; block < 50; block++) {
        effect_chain_process(chain, 1.4f);
    }
    EXPECT_EQ(g_allocations.load(), before);
    effect_chain_release(chain);
}
#endif
