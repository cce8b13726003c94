// Effect unit types: impulse and step responses against the numbers their
// algorithms fix, and independent reference models for the flanger and reverb.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "synth/effect_units.h"

namespace {

const uint32_t BLOCK = 2048;  // frames per call, as the chain runs units

using Process = std::function<void(const float*, float*, uint32_t)>;

// Runs a unit over a whole interleaved signal in chain-sized calls.
std::vector<float> run(const Process& process, const std::vector<float>& in)
{
    std::vector<float> out(in.size(), 123.0f);
    uint32_t frames = (uint32_t)(in.size() / 2);
    for (uint32_t start = 0; start < frames; start += BLOCK) {
        uint32_t n = std::min(BLOCK, frames - start);
        process(in.data() + 2 * start, out.data() + 2 * start, n);
    }
    return out;
}

std::vector<float> impulse(uint32_t frames, uint32_t at, float first, float second)
{
    std::vector<float> s(2 * frames, 0.0f);
    s[2 * at] = first;
    s[2 * at + 1] = second;
    return s;
}

std::vector<float> noise(uint32_t frames, float level, uint32_t seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(-level, level);
    std::vector<float> s(2 * frames);
    for (float& v : s) {
        v = dist(gen);
    }
    return s;
}

// Frames (side 0 = first, 1 = second) whose sample is not zero.
std::vector<uint32_t> nonzero_frames(const std::vector<float>& s, int side)
{
    std::vector<uint32_t> frames;
    for (size_t f = 0; f < s.size() / 2; f++) {
        if (s[2 * f + side] != 0.0f) {
            frames.push_back((uint32_t)f);
        }
    }
    return frames;
}

Process echo(EchoUnit* u)
{
    return [u](const float* in, float* out, uint32_t n) { echo_unit_process(u, in, out, n); };
}

}  // namespace

// ---- Echo -------------------------------------------------------------------

TEST(EchoUnit, FiveRowsRepeatTheSecondInputOnBothTaps)
{
    // Before a tap's first reset it reads the frame just written (delay 0);
    // afterwards its delay is 26,460 (tap A) or 21,168 (tap B) frames.
    struct Case {
        uint32_t at;
        std::vector<uint32_t> first, second;
        std::vector<float> first_values, second_values;
    } cases[] = {
        {0, {0, 26460}, {0, 21168}, {0.5f, 0.5f}, {1.5f, 0.5f}},
        {100, {100, 26560}, {100, 21268}, {0.5f, 0.5f}, {1.5f, 0.5f}},
        {30000, {56460}, {30000, 51168}, {0.5f}, {1.0f, 0.5f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.at);
        EchoUnit* u = echo_unit_create(5, 0.5f, 120.0f);
        std::vector<float> out = run(echo(u), impulse(60000, c.at, 0.0f, 1.0f));
        EXPECT_EQ(nonzero_frames(out, 0), c.first);
        EXPECT_EQ(nonzero_frames(out, 1), c.second);
        for (size_t i = 0; i < c.first.size(); i++) {
            EXPECT_EQ(out[2 * c.first[i]], c.first_values[i]);
        }
        for (size_t i = 0; i < c.second.size(); i++) {
            EXPECT_EQ(out[2 * c.second[i] + 1], c.second_values[i]);
        }
        echo_unit_destroy(u);
    }
}

TEST(EchoUnit, FirstInputIsNeverEchoed)
{
    EchoUnit* u = echo_unit_create(5, 0.5f, 120.0f);
    std::vector<float> out = run(echo(u), impulse(60000, 0, 1.0f, 0.0f));
    EXPECT_EQ(nonzero_frames(out, 0), std::vector<uint32_t>{0});
    EXPECT_EQ(out[0], 1.0f);
    EXPECT_TRUE(nonzero_frames(out, 1).empty());
    echo_unit_destroy(u);
}

TEST(EchoUnit, DelaysOfASecondOrMoreActAsOneFrameEchoes)
{
    // Each tap reads the current second input up to frame `*_until`, the
    // previous frame's afterwards. 1 row of 1000.034 ms puts tap A's start
    // count at -1, which wraps to 0 without a reset.
    struct Case {
        uint8_t rows;
        float row_ms;
        uint32_t a_until, b_until;
    } cases[] = {{10, 120.0f, 0, 0}, {15, 120.0f, 0, 0}, {1, 1000.034f, 44100, 0}};
    const float g = 0.1f;
    const uint32_t frames = 100000;
    std::vector<float> in = noise(frames, 1000.0f, 7);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        EchoUnit* u = echo_unit_create(c.rows, g, c.row_ms);
        std::vector<float> out = run(echo(u), in);
        int mismatches = 0;
        for (uint32_t f = 0; f < frames; f++) {
            float tap_a = in[2 * (f <= c.a_until ? f : f - 1) + 1];
            float tap_b = in[2 * (f <= c.b_until ? f : f - 1) + 1];
            mismatches += out[2 * f] != in[2 * f] + g * tap_a;
            mismatches += out[2 * f + 1] != in[2 * f + 1] + g * tap_b;
        }
        EXPECT_EQ(mismatches, 0);
        echo_unit_destroy(u);
    }
}

TEST(EchoUnit, MatchesTheFrameByFrameCountersOnAnyCallSizes)
{
    // The model moves every pointer and counter frame by frame: a counter
    // past 44,099 returns its pointer to the line's start, a tap past the
    // line's end goes there too. Call sizes of 1 and odd lengths put call
    // ends next to every kind of reset.
    const struct {
        uint8_t rows;
        float row_ms;
    } cases[] = {{5, 120.0f}, {0, 120.0f}, {1, 120.0f}, {255, 120.0f}, {1, 1000.034f}, {37, 7.3f}};
    const uint32_t sizes[] = {1, 777, 2048, 3, 44100};
    const uint32_t frames = 150000;
    const float g = 0.3f;
    std::vector<float> in = noise(frames, 1000.0f, 5);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.rows) << " rows of " << c.row_ms << " ms");
        EchoUnit* u = echo_unit_create(c.rows, g, c.row_ms);
        std::vector<float> line(2 * ECHO_LINE_FRAMES, 0.0f);
        uint32_t w = 0, a = 0, b = 0, wc = 0, ac = u->tap_a_count, bc = u->tap_b_count;
        std::vector<float> out(2 * frames);
        for (uint32_t f = 0, k = 0; f < frames; k++) {
            uint32_t n = std::min(sizes[k % 5], frames - f);
            echo_unit_process(u, in.data() + 2 * f, out.data() + 2 * f, n);
            f += n;
        }
        int mismatches = 0;
        for (uint32_t f = 0; f < frames; f++) {
            line[2 * w] = in[2 * f + 1];
            line[2 * w + 1] = in[2 * f];
            mismatches += out[2 * f] != in[2 * f] + g * line[2 * a];
            mismatches += out[2 * f + 1] != in[2 * f + 1] + g * line[2 * b];
            w++, a++, b++;
            if (++wc >= ECHO_LINE_FRAMES) wc = 0, w = 0;
            if (++ac >= ECHO_LINE_FRAMES) ac = 0, a = 0;
            if (++bc >= ECHO_LINE_FRAMES) bc = 0, b = 0;
            if (a >= ECHO_LINE_FRAMES) a = 0;
            if (b >= ECHO_LINE_FRAMES) b = 0;
        }
        EXPECT_EQ(mismatches, 0);
        echo_unit_destroy(u);
    }
}

// ---- Flanger ------------------------------------------------------------------

TEST(FlangerUnit, FiveToSevenMsSweepsOverTheWholeLine)
{
    FlangerUnit* u = flanger_unit_create(5, 7, 1.0f, 0.5f);
    EXPECT_EQ(u->length, 308u);
    float frame[2] = {0.0f, 0.0f}, out[2];
    flanger_unit_process(u, frame, out, 1);
    EXPECT_EQ(u->current_delay, 264);
    int lowest = u->current_delay, highest = u->current_delay;
    // rate 1 sweeps at half a cycle per second: 2.5 s covers a full cycle.
    for (int f = 1; f < 110250; f++) {
        flanger_unit_process(u, frame, out, 1);
        lowest = std::min(lowest, (int)u->current_delay);
        highest = std::max(highest, (int)u->current_delay);
    }
    EXPECT_EQ(lowest, 220);
    EXPECT_EQ(highest, 308);
    flanger_unit_destroy(u);
}

TEST(FlangerUnit, MatchesAStraightforwardModelExactly)
{
    // The model keeps the whole input history and takes the library sine.
    // Backward and still sweeps, a clock about to wrap, a slow sweep over a
    // long line (where one delay holds for thousands of frames) and delays
    // of 0 and 1 frame (reading the cell being written, or the one just
    // written) too.
    struct Case {
        uint16_t min_ms, max_ms;
        float rate;
        uint32_t clock;  // frames processed before the first call
    } cases[] = {{5, 7, 1.0f, 0},       {10, 12, 2.0f, 0},     {20, 23, 3.0f, 0},
                 {1, 40, 37.0f, 0},     {5, 7, -1.0f, 0},      {5, 7, 0.0f, 0},
                 {5, 7, 1.0f, 4294900000u}, {0, 1000, 0.01f, 0}, {2, 9, 0.5f, 16777000u},
                 {0, 1, 5.0f, 0}};
    const float gain = 0.5f;
    const uint32_t frames = 441000;  // ten seconds
    std::vector<float> in = noise(frames, 20000.0f, 11);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.min_ms << ".." << c.max_ms << " ms, rate " << c.rate
                                        << ", clock " << c.clock);
        FlangerUnit* u = flanger_unit_create(c.min_ms, c.max_ms, c.rate, gain);
        u->clock = c.clock;
        std::vector<float> out = run([u](const float* i, float* o, uint32_t n) {
            flanger_unit_process(u, i, o, n);
        }, in);
        const int length = c.max_ms * 44100 / 1000;
        const float k = c.rate * 7.1237926e-5f;
        const float span = (float)c.max_ms - (float)c.min_ms;
        int mismatches = 0;
        for (uint32_t f = 0; f < frames; f++) {
            uint32_t clock = c.clock + f + 1;
            double ms = ((std::sin((double)((float)clock * k)) + 1.0) / 2.0) * span + c.min_ms;
            int d = (int)(ms * 44100.0 / 1000.0);
            // d = 0 reads the frame written a whole line ago.
            int back = d == 0 ? length : d;
            float s1 = 0.0f, s2 = 0.0f;
            if ((int)f >= back) {
                s1 = in[2 * (f - back) + 1] * gain;
                s2 = -in[2 * (f - back)] * gain;
            }
            mismatches += out[2 * f] != in[2 * f] + s2;
            mismatches += out[2 * f + 1] != in[2 * f + 1] + s1;
        }
        EXPECT_EQ(mismatches, 0);
        flanger_unit_destroy(u);
    }
}

TEST(FlangerUnit, BadRangesStayInsideTheLine)
{
    // A minimum above the maximum, an empty line, a rate with no sine.
    struct Case {
        uint16_t min_ms, max_ms;
        float rate;
        uint32_t length;
    } cases[] = {{10, 5, 1.0f, 220}, {0, 0, 1.0f, 1}, {3, 0, 1.0f, 1},
                 {5, 7, INFINITY, 308}, {5, 7, NAN, 308}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.min_ms << " " << c.max_ms << " " << c.rate);
        FlangerUnit* u = flanger_unit_create(c.min_ms, c.max_ms, c.rate, 0.5f);
        EXPECT_EQ(u->length, c.length);
        std::vector<float> in = noise(50000, 100.0f, 3);
        std::vector<float> out = run([u](const float* i, float* o, uint32_t n) {
            flanger_unit_process(u, i, o, n);
        }, in);
        EXPECT_GE(u->current_delay, 0);
        EXPECT_LE(u->current_delay, (int32_t)u->length);
        for (uint32_t f = 0; f < 50000; f++) {
            ASSERT_LE(std::fabs(out[2 * f]), 150.0f);
            ASSERT_LE(std::fabs(out[2 * f + 1]), 150.0f);
        }
        flanger_unit_destroy(u);
    }
}

// ---- Comb -------------------------------------------------------------------

TEST(CombUnit, ConstantInputPassesForOneDelayThenCancels)
{
    struct Case {
        float ms;
        uint32_t length;
    } cases[] = {{1.0f, 44}, {1.9f, 44}, {10.0f, 441}, {0.5f, 0}, {-3.0f, 0}, {NAN, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ms);
        CombUnit* u = comb_unit_create(c.ms);
        EXPECT_EQ(u->length, c.length);
        std::vector<float> in(2 * 1000);
        for (size_t f = 0; f < 1000; f++) {
            in[2 * f] = 300.0f;
            in[2 * f + 1] = -7.0f;
        }
        std::vector<float> out = run([u](const float* i, float* o, uint32_t n) {
            comb_unit_process(u, i, o, n);
        }, in);
        for (uint32_t f = 0; f < 1000; f++) {
            bool early = f < c.length;
            ASSERT_EQ(out[2 * f], early ? 300.0f : 0.0f) << f;
            ASSERT_EQ(out[2 * f + 1], early ? -7.0f : 0.0f) << f;
        }
        comb_unit_destroy(u);
    }
}

// ---- Reverb -----------------------------------------------------------------

namespace {

// The reverb written out plainly from its tunings: per side eight damped
// combs summed, then four stages each giving (input M frames ago) - input.
struct ReferenceReverb {
    std::vector<std::vector<float>> comb[2], stage[2];
    std::vector<float> store[2];
    std::vector<size_t> comb_pos[2], stage_pos[2];
    float gain, feedback, damp, wet1, wet2, dry;

    static float flush(float x)
    {
        return std::fpclassify(x) == FP_NORMAL || std::isinf(x) || std::isnan(x) ? x : 0.0f;
    }

    ReferenceReverb(float room, float damping, float wet, float dry_in, float width, bool freeze)
    {
        const int combs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
        const int stages[4] = {556, 441, 341, 225};
        for (int side = 0; side < 2; side++) {
            for (int len : combs) {
                comb[side].push_back(std::vector<float>(len + 23 * side, 0.0f));
            }
            for (int len : stages) {
                stage[side].push_back(std::vector<float>(len + 23 * side, 0.0f));
            }
            store[side].assign(8, 0.0f);
            comb_pos[side].assign(8, 0);
            stage_pos[side].assign(4, 0);
        }
        float w = wet * 3.0f;
        gain = freeze ? 0.0f : 0.015f;
        feedback = freeze ? 1.0f : room * 0.28f + 0.7f;
        damp = freeze ? 0.0f : damping * 0.4f;
        wet1 = (width / 2.0f + 0.5f) * w;
        wet2 = (1.0f - width) / 2.0f * w;
        dry = dry_in * 2.0f;
    }

    float side_step(int side, float v)
    {
        float sum = 0.0f;
        for (int i = 0; i < 8; i++) {
            std::vector<float>& line = comb[side][i];
            size_t& p = comb_pos[side][i];
            float out = flush(line[p]);
            store[side][i] = flush(out * (1.0f - damp) + store[side][i] * damp);
            line[p] = v + store[side][i] * feedback;
            p = (p + 1) % line.size();
            sum += out;
        }
        for (int i = 0; i < 4; i++) {
            std::vector<float>& line = stage[side][i];
            size_t& p = stage_pos[side][i];
            float delayed = flush(line[p]);
            line[p] = sum + delayed * 0.0f;  // feedback factor 0
            p = (p + 1) % line.size();
            sum = delayed - sum;
        }
        return sum;
    }

    void frame(float x1, float x2, float* y1, float* y2)
    {
        float v = (x1 + x2) * gain;
        float a = side_step(0, v);
        float b = side_step(1, v);
        *y1 = a * wet1 + b * wet2 + x1 * dry;
        *y2 = b * wet1 + a * wet2 + x2 * dry;
    }
};

Process reverb(ReverbUnit* u)
{
    return [u](const float* in, float* out, uint32_t n) { reverb_unit_process(u, in, out, n); };
}

}  // namespace

TEST(ReverbUnit, BuiltInParametersGiveTheScaledSettings)
{
    ReverbUnit* u = reverb_unit_create(0.5f, 0.5f, 0.3f, 0.8f, 0.4f, 0.1f);
    struct Field {
        const char* name;
        float value, expected;
    } fields[] = {
        {"feedback", u->feedback, 0.84f},  {"damp1", u->combs_a[0].damp1, 0.2f},
        {"damp2", u->combs_b[7].damp2, 0.8f}, {"wet1", u->wet1, 0.63f},
        {"wet2", u->wet2, 0.27f},          {"dry", u->dry, 1.6f},
        {"gain", u->gain, 0.015f},         {"stage", u->stages_b[3].feedback, 0.0f},
    };
    for (const Field& f : fields) {
        EXPECT_NEAR(f.value, f.expected, 1e-6f) << f.name;
    }
    EXPECT_EQ(u->combs_b[0].length, 1139u);
    EXPECT_EQ(u->stages_b[0].length, 579u);
    reverb_unit_destroy(u);
}

TEST(ReverbUnit, ImpulseReachesTheOutputAfterTheShortestComb)
{
    // Width 1 leaves wet2 = 0: no cross-mixing of the two sides.
    struct Case {
        float width;
        std::vector<uint32_t> first, second;
    } cases[] = {
        {0.4f, {0, 1116, 1139}, {0, 1116, 1139}},
        {1.0f, {0, 1116}, {0, 1139}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        ReverbUnit* u = reverb_unit_create(0.5f, 0.5f, 0.3f, 0.8f, c.width, 0.1f);
        // Up to the second comb's first output at frame 1188.
        std::vector<float> out = run(reverb(u), impulse(1188, 0, 1.0f, 1.0f));
        const float wet = 0.03f;  // (1 + 1) * 0.015 out of one comb, sign kept by four stages
        EXPECT_FLOAT_EQ(out[0], 1.6f);
        EXPECT_FLOAT_EQ(out[1], 1.6f);
        EXPECT_FLOAT_EQ(out[2 * 1116], wet * u->wet1);
        EXPECT_FLOAT_EQ(out[2 * 1116 + 1], wet * u->wet2);
        EXPECT_FLOAT_EQ(out[2 * 1139], wet * u->wet2);
        EXPECT_FLOAT_EQ(out[2 * 1139 + 1], wet * u->wet1);
        EXPECT_EQ(nonzero_frames(out, 0), c.first);
        EXPECT_EQ(nonzero_frames(out, 1), c.second);
        reverb_unit_destroy(u);
    }
}

TEST(ReverbUnit, SilenceInGivesSilenceOut)
{
    ReverbUnit* u = reverb_unit_create(0.5f, 0.5f, 0.3f, 0.8f, 0.4f, 0.1f);
    std::vector<float> out = run(reverb(u), std::vector<float>(2 * 20000, 0.0f));
    EXPECT_TRUE(nonzero_frames(out, 0).empty());
    EXPECT_TRUE(nonzero_frames(out, 1).empty());
    reverb_unit_destroy(u);
}

TEST(ReverbUnit, MatchesAnIndependentModelOnANoiseBurst)
{
    struct Case {
        float room, damping, wet, dry, width, mode;
    } cases[] = {
        {0.5f, 0.5f, 0.3f, 0.8f, 0.4f, 0.1f},
        {0.9f, 0.1f, 0.6f, 0.2f, 0.0f, 0.0f},
        {1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.3f},
    };
    const uint32_t frames = 20 * BLOCK;
    std::vector<float> in = noise(frames, 16000.0f, 5);
    std::fill(in.begin() + 2 * 3000, in.end(), 0.0f);  // burst, then the tail
    for (const Case& c : cases) {
        SCOPED_TRACE(c.room);
        ReverbUnit* u = reverb_unit_create(c.room, c.damping, c.wet, c.dry, c.width, c.mode);
        std::vector<float> out = run(reverb(u), in);
        ReferenceReverb ref(c.room, c.damping, c.wet, c.dry, c.width, c.mode >= 0.5f);
        double tail = 0.0;
        int mismatches = 0;
        for (uint32_t f = 0; f < frames; f++) {
            float y1, y2;
            ref.frame(in[2 * f], in[2 * f + 1], &y1, &y2);
            mismatches += memcmp(&out[2 * f], &y1, sizeof(float)) != 0;
            mismatches += memcmp(&out[2 * f + 1], &y2, sizeof(float)) != 0;
            if (f > 10000) {
                tail += std::fabs(y1) + std::fabs(y2);
            }
        }
        EXPECT_EQ(mismatches, 0);
        EXPECT_GT(tail, 0.0);  // the tail is really there to compare
        reverb_unit_destroy(u);
    }
}

TEST(ReverbUnit, FreezeIgnoresInputAndKeepsTheTail)
{
    ReverbUnit* u = reverb_unit_create(0.5f, 0.5f, 0.3f, 0.8f, 0.4f, 0.5f);
    EXPECT_EQ(u->gain, 0.0f);
    EXPECT_EQ(u->combs_a[3].feedback, 1.0f);
    EXPECT_EQ(u->combs_a[3].damp1, 0.0f);
    EXPECT_EQ(u->combs_a[3].damp2, 1.0f);
    std::vector<float> in = noise(4 * BLOCK, 10000.0f, 9);
    std::vector<float> out = run(reverb(u), in);
    for (size_t i = 0; i < in.size(); i++) {
        ASSERT_EQ(out[i], in[i] * u->dry);  // empty lines: the dry signal only
    }
    // A value placed in a comb comes round unchanged, period after period.
    u->combs_a[0].line[u->combs_a[0].position] = 1.0f;
    std::vector<float> silence(2 * 1116 * 10, 0.0f);
    run(reverb(u), silence);
    EXPECT_EQ(u->combs_a[0].line[u->combs_a[0].position], 1.0f);
    reverb_unit_destroy(u);
}

// ---- Swept filter -------------------------------------------------------------

TEST(SweptFilterUnit, BuiltInSweepStartsNearCoefficientPoint5488)
{
    SweptFilterUnit* u = swept_filter_unit_create(2000.0f, 0.2f, 0.5f, 400.0f);
    std::vector<float> in = impulse(BLOCK, 0, 65534.0f, 0.0f);
    std::vector<float> out(in.size());
    swept_filter_unit_process(u, in.data(), out.data(), BLOCK);
    float coef = u->cutoff * 6.0f / 22500.0f;
    EXPECT_NEAR(coef, (2000.0 + 400.0 * std::sin(0.14589527)) * 6.0 / 22500.0, 1e-6);
    EXPECT_NEAR(coef, 0.5488, 1e-4);
    // First frame at full input: high 1, band coef, low coef^2.
    EXPECT_FLOAT_EQ(out[0], coef * coef * 65534.0f);
    EXPECT_EQ(out[1], 0.0f);
    // The cutoff then moves between 1600 and 2400 once every 2 seconds.
    float lowest = u->cutoff, highest = u->cutoff;
    for (int block = 1; block < 44; block++) {
        swept_filter_unit_process(u, in.data(), out.data(), BLOCK);
        lowest = std::min(lowest, u->cutoff);
        highest = std::max(highest, u->cutoff);
    }
    EXPECT_NEAR(lowest, 1600.0f, 2.0f);
    EXPECT_NEAR(highest, 2400.0f, 2.0f);
    swept_filter_unit_destroy(u);
}

TEST(SweptFilterUnit, CutoffIsTheDoublePrecisionSineOfTheFloatPhase)
{
    SweptFilterUnit* u = swept_filter_unit_create(2000.0f, 0.2f, 0.37f, 400.0f);
    std::vector<float> in(2 * BLOCK, 0.0f), out(in.size());
    float phase = 0.0f;
    int single_precision_differs = 0;
    for (int block = 0; block < 400; block++) {
        swept_filter_unit_process(u, in.data(), out.data(), BLOCK);
        phase += 0.37f * 0.29179054f;
        const float want = (float)(sin((double)phase) * 400.0f + 2000.0f);
        ASSERT_EQ(u->cutoff, want) << "block " << block;
        single_precision_differs += (float)(sinf(phase) * 400.0f + 2000.0f) != want;
    }
    // The case must be able to tell the two precisions apart.
    EXPECT_GT(single_precision_differs, 0);
    swept_filter_unit_destroy(u);
}

// ---- Shapers, gain, phase inversion --------------------------------------------

TEST(PowerShaperUnit, RaisesQuietPartsTowardFullScale)
{
    struct Case {
        uint8_t k;
        float x, y, tolerance;
    } cases[] = {
        {3, 32767.0f, 32767.0f, 0.0f},     {3, -8192.0f, -12416.6f, 0.2f},
        {3, 0.0f, 0.0f, 0.0f},             {0, 1234.5f, 1234.5f, 0.0f},
        {0, -0.001f, -0.001f, 0.0f},       {10, 5.0f, 32767.0f, 0.0f},
        {10, -1e-30f, -32767.0f, 0.0f},    {10, 0.0f, 0.0f, 0.0f},
        {200, 0.0f, 0.0f, 0.0f},           {200, 5.0f, 32767.0f, 0.0f},
        {3, 65534.0f, 32767.0f * 1.6245048f, 0.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (int)c.k << " " << c.x);
        PowerShaperUnit* u = power_shaper_unit_create(c.k);
        float in[2] = {c.x, -c.x}, out[2];
        power_shaper_unit_process(u, in, out, 1);
        EXPECT_NEAR(out[0], c.y, c.tolerance);
        EXPECT_NEAR(out[1], -c.y, c.tolerance);
        power_shaper_unit_destroy(u);
    }
}

TEST(PowerShaperUnit, AgreesWithTheLibraryPowerToTheFloat)
{
    std::mt19937 gen(21);
    std::uniform_real_distribution<double> magnitude(-40.0, 18.0);
    std::vector<float> in(2 * 50000);
    for (float& v : in) {
        v = (float)(std::exp2(magnitude(gen)) * (gen() & 1 ? 1.0 : -1.0));
    }
    // Inputs whose result lies within 5e-15 of a midpoint between two
    // floats, where a power merely accurate to 1e-14 rounds the other way.
    const float near_ties[] = {1.94947056e+11f, 33553406.0f,     1.83814802e+14f,
                               1.04787136e+14f, 1.21756416e+10f, -33553406.0f};
    in.insert(in.end(), std::begin(near_ties), std::end(near_ties));
    for (uint8_t k = 0; k <= 10; k++) {
        SCOPED_TRACE((int)k);
        PowerShaperUnit* u = power_shaper_unit_create(k);
        std::vector<float> out(in.size());
        power_shaper_unit_process(u, in.data(), out.data(), (uint32_t)in.size() / 2);
        int wrong = 0;
        for (size_t i = 0; i < in.size(); i++) {
            double x = in[i];
            double sign = (x > 0) - (x < 0);
            float expected = (float)(sign * 32767.0 * std::pow(std::fabs(x) / 32767.0, 1.0 - k / 10.0));
            wrong += memcmp(&out[i], &expected, sizeof(float)) != 0;
        }
        EXPECT_EQ(wrong, 0);
        power_shaper_unit_destroy(u);
    }
    // Two of the near ties pinned by value (k = 5 and k = 8).
    const struct {
        uint8_t k;
        float x, y;
    } pinned[] = {{5, 33553406.0f, 1048543.94f}, {8, 1.21756416e+10f, 426037.406f}};
    for (const auto& c : pinned) {
        PowerShaperUnit* u = power_shaper_unit_create(c.k);
        float pair[2] = {c.x, -c.x}, out[2];
        power_shaper_unit_process(u, pair, out, 1);
        EXPECT_EQ(out[0], c.y) << (int)c.k;
        EXPECT_EQ(out[1], -c.y) << (int)c.k;
        power_shaper_unit_destroy(u);
    }
}

TEST(OverdriveUnit, CompressesTowardFullScale)
{
    struct Case {
        float a, x, y;
    } cases[] = {
        {0.5f, 16383.5f, 24575.25f}, {0.5f, 32767.0f, 32767.0f}, {0.5f, -32767.0f, -32767.0f},
        {0.5f, 0.0f, 0.0f},          {0.0f, 1234.0f, 1234.0f},   {-3.0f, 1234.0f, 1234.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a << " " << c.x);
        OverdriveUnit* u = overdrive_unit_create(c.a);
        float in[2] = {c.x, c.x}, out[2];
        overdrive_unit_process(u, in, out, 1);
        EXPECT_NEAR(out[0], c.y, std::fabs(c.y) * 1e-6f);
        overdrive_unit_destroy(u);
    }
}

TEST(OverdriveUnit, AmountsOfOneOrMoreStayFinite)
{
    const float amounts[] = {1.0f, 2.0f, INFINITY, NAN};
    const float inputs[] = {0.0f, 1.0f, -16383.5f, 32767.0f, 1.0e6f};
    for (float a : amounts) {
        SCOPED_TRACE(a);
        OverdriveUnit* u = overdrive_unit_create(a);
        EXPECT_LT(u->a, 1.0f);
        for (float x : inputs) {
            float in[2] = {x, -x}, out[2];
            overdrive_unit_process(u, in, out, 1);
            EXPECT_TRUE(std::isfinite(out[0]) && std::isfinite(out[1])) << x;
            EXPECT_LE(std::fabs(out[0]), std::max(std::fabs(x), 32767.0f) * 1.0001f);
        }
        overdrive_unit_destroy(u);
    }
}

TEST(PhaseInvertUnit, SummedWithItsInputCancelsTheSecondSide)
{
    std::vector<float> in = noise(BLOCK, 5000.0f, 4);
    in[1] = 0.0f;
    std::vector<float> out(in.size());
    phase_invert_unit_process(in.data(), out.data(), BLOCK);
    for (uint32_t f = 0; f < BLOCK; f++) {
        ASSERT_EQ(in[2 * f] + out[2 * f], 2.0f * in[2 * f]);
        ASSERT_EQ(in[2 * f + 1] + out[2 * f + 1], 0.0f);
    }
    EXPECT_TRUE(std::signbit(out[1]));  // the sign bit flips: 0 becomes -0
}
