// Voice rendering: pitch, levels, envelope, clipping, slides, ring wrap, noise.
#include "synth/voice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

const uint32_t TICK = 882; // frames per tick at tempo 125

// An instrument with every oscillator off, no envelope, no filter, gain 1.
Instrument plain_instrument()
{
    Instrument ins;
    memset(&ins, 0, sizeof(ins));
    for (int i = 0; i < OSC_COUNT; i++) {
        ins.osc[i].freq_mul = 1.0f;
        ins.osc[i].waveform = WAVE_SINE;
    }
    ins.envelope_off = 1;
    ins.volume = 1.0f;
    return ins;
}

// One enabled oscillator of the given shape at volume 1, centred.
Instrument one_oscillator(uint8_t shape)
{
    Instrument ins = plain_instrument();
    ins.osc[0].enabled = 1;
    ins.osc[0].volume = 1.0f;
    ins.osc[0].waveform = shape;
    return ins;
}

struct VoiceFixture {
    Voice* voice;
    explicit VoiceFixture(const Instrument* ins, uint8_t note = 69)
    {
        voice = voice_create();
        voice->instrument = ins;
        voice_note_on(voice, note);
    }
    ~VoiceFixture() { voice_destroy(voice); }
    // Renders `ticks` ticks and returns the first samples of the frames.
    std::vector<float> first_samples(int ticks)
    {
        std::vector<float> out;
        for (int t = 0; t < ticks; t++) {
            uint32_t start = voice->write_pos;
            voice_render(voice, TICK);
            for (uint32_t f = 0; f < TICK; f++) out.push_back(voice->ring[start + 2 * f]);
        }
        return out;
    }
    // Renders ticks of the given lengths and returns every sample they wrote,
    // following the ring across its wrap.
    std::vector<float> render_ticks(const std::vector<uint32_t>& ticks)
    {
        std::vector<float> out;
        for (uint32_t frames : ticks) {
            uint32_t pos = voice->write_pos;
            voice_render(voice, frames);
            for (uint32_t i = 0; i < 2 * frames; i++) out.push_back(voice->ring[(pos + i) % RING_FLOATS]);
        }
        return out;
    }
};

// Frames between the first and the last upward zero crossing, over the count.
double mean_period(const std::vector<float>& s, bool falling_jumps)
{
    std::vector<size_t> marks;
    for (size_t i = 1; i < s.size(); i++) {
        bool mark = falling_jumps ? s[i] - s[i - 1] < -1000.0f : s[i - 1] < 0.0f && s[i] >= 0.0f;
        if (mark) marks.push_back(i);
    }
    if (marks.size() < 2) return 0.0;
    return double(marks.back() - marks.front()) / double(marks.size() - 1);
}

} // namespace

TEST(Voice, NoteToHz)
{
    const struct { uint8_t note; uint16_t hz; } cases[] = {
        {69, 440}, {60, 261}, {57, 220}, {9, 13}, {0, 8}, {156, 1440}, {255, 8322},
    };
    for (const auto& c : cases) EXPECT_EQ(note_to_hz(c.note), c.hz) << int(c.note);
}

TEST(Voice, CreationValues)
{
    Voice* voice = voice_create();
    EXPECT_EQ(voice->time, 0.0f);
    EXPECT_EQ(voice->instrument, nullptr);
    EXPECT_EQ(voice->write_pos, 0u);
    EXPECT_EQ(voice->read_pos, 0u);
    EXPECT_EQ(voice->note_freq, 440.0f);
    EXPECT_EQ(voice->volume, 64.0f);
    EXPECT_EQ(voice->pan, 128.0f);
    for (uint32_t i = 0; i < RING_FLOATS; i++) ASSERT_EQ(voice->ring[i], 0.0f);
    for (uint32_t i = 0; i < BLOCK_FLOATS; i++) ASSERT_EQ(voice->block[i], 0.0f);
    voice_destroy(voice);
}

TEST(Voice, SineSoundsAtHalfTheFrequencyRampAtIt)
{
    // One phase cycle takes 2 * 44100 / freq frames: 200.45 frames at 440.
    const struct { uint8_t shape; bool jumps; double period; } cases[] = {
        {WAVE_SINE, false, 44100.0 / 220.0},
        {WAVE_RAMP2, true, 44100.0 / 440.0},
        {WAVE_SQUARE, false, 44100.0 / 220.0},
    };
    for (const auto& c : cases) {
        Instrument ins = one_oscillator(c.shape);
        VoiceFixture v(&ins, 69);
        EXPECT_EQ(v.voice->state->freq[0], 440.0f);
        std::vector<float> s = v.first_samples(25);
        EXPECT_NEAR(mean_period(s, c.jumps), c.period, c.period * 0.005) << int(c.shape);
    }
}

TEST(Voice, SquareLevelThroughChannelGain)
{
    Instrument ins = one_oscillator(WAVE_SQUARE);
    VoiceFixture v(&ins, 69);
    v.voice->volume = 64.0f;
    v.voice->pan = 128.0f;
    voice_render(v.voice, TICK);
    // Accumulated side: 32765 / 2 / 3 = 5460.83; written x 128/255 and x 127/255.
    EXPECT_NEAR(v.voice->ring[0], 2741.12f, 0.01f);
    EXPECT_NEAR(v.voice->ring[1], 2719.71f, 0.01f);
    // Half a cycle later (100 frames at 220 Hz) the square is negative.
    EXPECT_NEAR(v.voice->ring[2 * 150], -2741.12f, 0.01f);
    EXPECT_NEAR(v.voice->ring[2 * 150 + 1], -2719.71f, 0.01f);
}

TEST(Voice, PanSendsSidesSwapped)
{
    // Oscillator pan -1 puts everything in side a, which is written second.
    Instrument ins = one_oscillator(WAVE_SQUARE);
    ins.osc[0].pan = -1.0f;
    VoiceFixture v(&ins, 69);
    v.voice->pan = 255.0f; // channel pan: all in the first sample
    voice_render(v.voice, TICK);
    EXPECT_EQ(v.voice->ring[0], 0.0f);
    EXPECT_EQ(v.voice->ring[1], 0.0f);
    v.voice->pan = 0.0f;
    uint32_t at = v.voice->write_pos;
    voice_render(v.voice, TICK);
    EXPECT_EQ(v.voice->ring[at], 0.0f);
    EXPECT_NEAR(std::fabs(v.voice->ring[at + 1]), 32765.0f / 3.0f, 0.01f);
}

TEST(Voice, FixedFrequencyIgnoresTheNote)
{
    Instrument ins = one_oscillator(WAVE_SINE);
    ins.osc[0].fixed_freq = 350.0f;
    ins.osc[0].freq_mul = 2.0f;
    ins.osc[1].freq_mul = 0.5f; // follows the note
    for (uint8_t note : {20, 69, 100}) {
        VoiceFixture v(&ins, note);
        EXPECT_EQ(v.voice->state->freq[0], 700.0f) << int(note);
        EXPECT_EQ(v.voice->state->freq[1], note_to_hz(note) * 0.5f) << int(note);
    }
}

TEST(Voice, EnvelopeStagesAndEnd)
{
    // 882-frame ticks are 20 ms. Attack 0 starts in decay at level 1.
    Instrument ins = one_oscillator(WAVE_SQUARE);
    ins.envelope_off = 0;
    ins.attack_ms = 0.0f;
    ins.decay_ms = 40.0f;
    ins.sustain_ms = 20.0f;
    ins.release_ms = 40.0f;
    ins.sustain_level = 0.5f;
    // Levels at tick starts 0, 20, 40, 60, 80 ms, then the end at 100 ms.
    const float level[] = {1.0f, 0.75f, 0.5f, 0.5f, 0.25f};
    VoiceFixture v(&ins, 69);
    for (int t = 0; t < 5; t++) {
        uint32_t at = v.voice->write_pos;
        EXPECT_TRUE(voice_render(v.voice, TICK)) << t;
        EXPECT_NEAR(std::fabs(v.voice->ring[at]), 2741.124f * level[t], 0.01f) << t;
    }
    uint32_t at = v.voice->write_pos;
    EXPECT_FALSE(voice_render(v.voice, TICK));
    for (uint32_t i = 0; i < 2 * TICK; i++) ASSERT_EQ(v.voice->ring[at + i], 0.0f);
    EXPECT_EQ(v.voice->write_pos, at + 2 * TICK);
}

TEST(Voice, EnvelopeOffNeverEnds)
{
    Instrument ins = one_oscillator(WAVE_SINE);
    VoiceFixture v(&ins, 69);
    for (int t = 0; t < 500; t++) ASSERT_TRUE(voice_render(v.voice, TICK)) << t;
}

TEST(Voice, ClipsBeforeTheChannelGain)
{
    // Three squares at volume 4 sum to twice full scale.
    Instrument ins = plain_instrument();
    for (int i = 0; i < OSC_COUNT; i++) {
        ins.osc[i].enabled = 1;
        ins.osc[i].volume = 4.0f;
        ins.osc[i].waveform = WAVE_SQUARE;
    }
    VoiceFixture v(&ins, 69);
    std::vector<float> s = v.first_samples(2);
    float high = *std::max_element(s.begin(), s.end());
    float low = *std::min_element(s.begin(), s.end());
    EXPECT_NEAR(high, 32767.0f * 128.0f / 255.0f, 0.01f);
    EXPECT_NEAR(low, -32768.0f * 128.0f / 255.0f, 0.01f);
}

TEST(Voice, SlideAccelerationGrowsAndStopsAt20000)
{
    Instrument ins = one_oscillator(WAVE_SINE);
    ins.osc[0].fixed_freq = 100.0f;
    ins.osc[0].slide = 5.0f;
    ins.osc[0].slide_accel = 10.0f;
    VoiceFixture v(&ins, 69);
    float previous = v.voice->state->freq[0];
    for (int t = 1; t <= 4; t++) {
        voice_render(v.voice, TICK);
        float now = v.voice->state->freq[0];
        EXPECT_FLOAT_EQ(now - previous, 5.0f + 10.0f * t) << t;
        previous = now;
    }
    ins.osc[0].slide = 9000.0f;
    voice_trigger(v.voice, false);
    for (int t = 0; t < 4; t++) voice_render(v.voice, TICK);
    EXPECT_EQ(v.voice->state->freq[0], 20000.0f);
    // And a falling slide stops at 0.
    ins.osc[0].slide = -9000.0f;
    voice_trigger(v.voice, false);
    voice_render(v.voice, TICK);
    EXPECT_EQ(v.voice->state->freq[0], 0.0f);
}

TEST(Voice, TriggerRestartsButKeepsMixUnlessAsked)
{
    Instrument ins = one_oscillator(WAVE_SINE);
    ins.osc[0].slide = 3.0f;
    VoiceFixture v(&ins, 69);
    voice_render(v.voice, TICK);
    v.voice->volume = 20.0f;
    v.voice->pan = 30.0f;
    voice_trigger(v.voice, false);
    EXPECT_EQ(v.voice->time, 0.0f);
    EXPECT_EQ(v.voice->state->phase[0], 0.0f);
    EXPECT_EQ(v.voice->state->freq[0], 440.0f);
    EXPECT_EQ(v.voice->volume, 20.0f);
    EXPECT_EQ(v.voice->pan, 30.0f);
    EXPECT_EQ(v.voice->state->filter_scale_a, 22500.0f);
    voice_trigger(v.voice, true);
    EXPECT_EQ(v.voice->volume, 64.0f);
    EXPECT_EQ(v.voice->pan, 128.0f);
}

TEST(Voice, FilterCoefficientGlidesWithinATick)
{
    Instrument ins = one_oscillator(WAVE_SINE);
    ins.filter_on = 1;
    ins.cutoff = 2000;
    VoiceFixture v(&ins, 69);
    voice_render(v.voice, TICK);
    // c * 6 / 22500 at the tick's start, times 0.99998 per frame.
    EXPECT_NEAR(v.voice->state->coef_a, 2000.0 * 6 / 22500 * std::pow(0.99998, TICK), 1e-4);
    EXPECT_EQ(v.voice->state->coef_a, v.voice->state->coef_b);
    // A cutoff source clamps the modulated cutoff at 0: no coefficient at all.
    ins.cutoff_lfo = 1;
    ins.lfo[0] = {WAVE_FALL, 0.0f, -5000.0f}; // value -5000 at time 0
    voice_trigger(v.voice, false);
    voice_render(v.voice, TICK);
    EXPECT_EQ(v.voice->state->coef_a, 0.0f);
}

TEST(Voice, RingWrapsAtTickBoundaryAndMidTick)
{
    Instrument ins = one_oscillator(WAVE_SINE);
    VoiceFixture v(&ins, 69);
    for (int t = 0; t < 49; t++) voice_render(v.voice, TICK);
    EXPECT_EQ(v.voice->write_pos, 88200u - 2 * TICK);
    voice_render(v.voice, TICK);
    EXPECT_EQ(v.voice->write_pos, 0u);
    EXPECT_NE(v.voice->ring[88198], 0.0f);

    // A tick that straddles the end wraps frame by frame: the same samples as
    // rendering from the ring's start.
    VoiceFixture straight(&ins, 69);
    VoiceFixture wrapped(&ins, 69);
    wrapped.voice->write_pos = 88000;
    voice_render(straight.voice, 1000);
    voice_render(wrapped.voice, 1000);
    EXPECT_EQ(wrapped.voice->write_pos, 1800u);
    for (uint32_t i = 0; i < 2000; i++) {
        ASSERT_EQ(wrapped.voice->ring[(88000 + i) % 88200], straight.voice->ring[i]) << i;
    }
}

TEST(Voice, NoiseSequenceAndRange)
{
    noise_reset();
    EXPECT_FLOAT_EQ(noise_next(), -0.3859435f); // 0x2C364A12 << 1
    EXPECT_FLOAT_EQ(noise_next(), 0.228113f);
    float low = 1.0f, high = -1.0f;
    for (int i = 0; i < 200000; i++) {
        float n = noise_next();
        low = std::min(low, n);
        high = std::max(high, n);
    }
    EXPECT_GE(low, -1.0f);
    EXPECT_LT(high, 0.7778f);
    EXPECT_LT(low, -0.99f);
    EXPECT_GT(high, 0.77f);
    noise_reset();
}

TEST(Voice, WaveformShapes)
{
    const float pi = 3.1415927f;
    const struct { uint8_t shape; float theta; float value; } cases[] = {
        {WAVE_SINE, pi / 2, -1.0f},          {WAVE_SINE, 3 * pi / 2, 1.0f},
        {WAVE_SINE, 0.0f, 0.0f},             {WAVE_RAMP2, 0.0f, 0.0f},
        {WAVE_RAMP2, pi / 4, 0.5f},          {WAVE_RAMP2, pi, 0.0f},
        {WAVE_RAMP2, 7 * pi / 4, -0.5f},     {WAVE_SQUARE, 0.1f, 1.0f},
        {WAVE_SQUARE, pi + 0.1f, -1.0f},     {WAVE_TRIANGLE, pi / 2, 1.0f},
        {WAVE_TRIANGLE, pi, 0.0f},           {WAVE_TRIANGLE, 3 * pi / 2, -1.0f},
        {WAVE_RISE, 0.0f, -1.0f},            {WAVE_RISE, 2 * pi, 1.0f},
        {WAVE_FALL, 0.0f, 1.0f},             {WAVE_FALL, pi, 0.5f},
        {0, 1.0f, 0.0f},                     {8, 1.0f, 0.0f},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(waveform_value(c.shape, c.theta), c.value, 2e-4)
            << int(c.shape) << " at " << c.theta;
    }
}

TEST(Voice, WrapPhaseMatchesFmodfExactly)
{
    const float two_pi = 6.2831855f;
    std::vector<float> xs = {0.0f, -0.0f, 1e-30f, two_pi, -two_pi, 2 * two_pi, 1e7f, -1e7f,
                             6.7e7f, 1e9f, 3.4e38f};
    // Values on and next to multiples of 2pi, where the quotient rounds.
    for (int k = 1; k < 5000000; k = k * 3 + 1) {
        float m = (float)((double)k * two_pi);
        xs.push_back(m);
        xs.push_back(std::nextafter(m, 0.0f));
        xs.push_back(std::nextafter(m, 1e30f));
        xs.push_back(-m);
    }
    // A long accumulated phase, as an oscillator builds it.
    float phase = 0.0f;
    for (int i = 0; i < 2000000; i++) {
        phase += 0.031344690f;
        if (i % 7 == 0) xs.push_back(phase);
    }
    for (float x : xs) {
        float want = fmodf(x, two_pi);
        float got = voice_wrap_phase(x);
        ASSERT_EQ(memcmp(&want, &got, sizeof(float)) == 0 || (want == 0.0f && got == 0.0f), true)
            << x << ": " << want << " vs " << got;
    }
}

TEST(Voice, OscillatorsMatchThePlainPerFrameFormula)
{
    // Each frame: phase += increment, theta = fmodf(phase, 2pi), the shape's
    // value weighted onto both sides, then level, clamp, swap and pan. The
    // cases take phases below zero, standing still, near 2^26 and crossing
    // multiples of 2pi both ways; odd tick lengths and a ring wrap leave
    // partial vectors at every seam.
    const float two_pi = 6.2831855f;
    const struct {
        float freq;     // Hz
        float lower;    // Hz taken off by a constant modulation source
        float phase;    // start phase, radians
    } cases[] = {
        {440.0f, 0.0f, 0.0f},       {0.0f, 0.0f, 0.0f},          {19999.0f, 0.0f, 1000.5f},
        {440.0f, 880.0f, 0.0f},     {440.0f, 440.0f, -3.0f},     {20000.0f, 0.0f, 67108000.0f},
        {440.0f, 0.0f, two_pi},     {100.0f, 300.0f, 12.5f},     {3.0f, 0.0f, 1.0e7f},
        {440.0f, 0.0f, -40.0f},     {19999.0f, 0.0f, -1000.5f},
    };
    const std::vector<uint32_t> ticks = {883, 101, 882, 5};
    for (uint8_t shape = WAVE_SINE; shape <= WAVE_NOISE; shape++) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "shape " << int(shape) << ", " << c.freq << " Hz - "
                                            << c.lower << ", phase " << c.phase);
            Instrument ins = one_oscillator(shape);
            ins.volume = 8.0f; // loud enough to clip
            ins.osc[0].fixed_freq = 1.0f; // times the multiplier: any frequency, 0 too
            ins.osc[0].freq_mul = c.freq;
            ins.osc[0].freq_lfo = 1;
            ins.lfo[0] = {WAVE_RISE, 0.0f, c.lower}; // -1 x lower at every tick
            VoiceFixture v(&ins);
            v.voice->state->phase[0] = c.phase;
            v.voice->write_pos = RING_FLOATS - 2 * 1001; // the second tick wraps
            noise_reset();
            const std::vector<float> got = v.render_ticks(ticks);
            noise_reset();
            const float increment = (c.freq + -1.0f * c.lower) * 7.1237933e-5f;
            const float weight = 0.5f * 1.0f * 32765.0f;
            const float gain_first = 128.0f / 255.0f * 64.0f;
            const float gain_second = (255.0f - 128.0f) / 255.0f * 64.0f;
            float phase = c.phase;
            std::vector<float> want;
            for (uint32_t frames : ticks) {
                for (uint32_t f = 0; f < frames; f++) {
                    float s = shape == WAVE_NOISE ? noise_next() : 0.0f;
                    if (shape != WAVE_NOISE) {
                        phase += increment;
                        s = waveform_value(shape, fmodf(phase, two_pi));
                    }
                    float side = (0.0f + s * weight / 3.0f) * 8.0f;
                    side = std::min(std::max(side, -32768.0f), 32767.0f);
                    want.push_back(side * gain_first / 64.0f);
                    want.push_back(side * gain_second / 64.0f);
                }
            }
            ASSERT_EQ(got.size(), want.size());
            int mismatches = 0;
            for (size_t i = 0; i < got.size(); i++) {
                mismatches += memcmp(&got[i], &want[i], sizeof(float)) != 0;
            }
            EXPECT_EQ(mismatches, 0);
            EXPECT_EQ(memcmp(&phase, &v.voice->state->phase[0], sizeof phase), 0);
        }
    }
}

TEST(Voice, ClockMovesAsOneAdditionPerFrame)
{
    // The clock is a float: it stops at 2^24, and odd starts round their own way.
    const float starts[] = {0.0f, 16777000.0f, 16777216.0f, 0.5f, -2.5f, 1.0e9f, 16776334.0f};
    Instrument ins = one_oscillator(WAVE_SINE);
    for (float start : starts) {
        VoiceFixture v(&ins);
        v.voice->time = start;
        voice_render(v.voice, TICK);
        float want = start;
        for (uint32_t f = 0; f < TICK; f++) want += 1.0f;
        EXPECT_EQ(v.voice->time, want) << start;
    }
}

TEST(Voice, UnknownShapesAddNothingToWhatTheRingHeld)
{
    // The tick starts from silence whatever the ring held, and an enabled
    // oscillator of an unknown shape neither sounds nor clears the way.
    Instrument sine = one_oscillator(WAVE_SINE);
    sine.osc[0].enabled = 0;
    sine.osc[1] = one_oscillator(WAVE_SINE).osc[0];
    Instrument unknown_first = sine;
    unknown_first.osc[0].enabled = 1;
    unknown_first.osc[0].waveform = 9;
    Instrument unknown_only = unknown_first;
    unknown_only.osc[1].enabled = 0;
    const struct {
        const Instrument* ins;
        bool silent;
    } cases[] = {{&unknown_first, false}, {&unknown_only, true}};
    for (const auto& c : cases) {
        VoiceFixture want(&sine);
        VoiceFixture got(c.ins);
        std::fill(got.voice->ring, got.voice->ring + RING_FLOATS, 123.0f);
        voice_render(want.voice, TICK);
        voice_render(got.voice, TICK);
        int mismatches = 0;
        for (uint32_t i = 0; i < 2 * TICK; i++) {
            float expected = c.silent ? 0.0f : want.voice->ring[i];
            mismatches += memcmp(&got.voice->ring[i], &expected, sizeof(float)) != 0;
        }
        EXPECT_EQ(mismatches, 0) << c.silent;
        EXPECT_EQ(got.voice->ring[2 * TICK], 123.0f);
    }
}

TEST(Voice, OscillatorsSumInOrderAndDrawNoiseOneAfterAnother)
{
    // Per tick each oscillator in turn takes its frames (noise oscillators
    // their own runs of the shared generator), and each sample sums them in
    // oscillator order onto silence. Unknown shapes (0, 9) add nothing.
    const float two_pi = 6.2831855f;
    const struct {
        uint8_t shape[OSC_COUNT];
    } cases[] = {
        {{WAVE_SINE, WAVE_SQUARE, WAVE_TRIANGLE}}, {{WAVE_NOISE, WAVE_SINE, WAVE_NOISE}},
        {{WAVE_NOISE, WAVE_NOISE, WAVE_NOISE}},    {{9, WAVE_NOISE, WAVE_RISE}},
        {{WAVE_SINE, 0, WAVE_FALL}},               {{WAVE_RAMP2, WAVE_NOISE, 9}},
    };
    const float freq[OSC_COUNT] = {440.0f, 1234.5f, 61.0f};
    const float volume[OSC_COUNT] = {0.9f, 0.35f, 0.6f};
    const std::vector<uint32_t> ticks = {883, 1201, 882};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.shape[0]) << " " << int(c.shape[1]) << " "
                                        << int(c.shape[2]));
        Instrument ins = plain_instrument();
        for (int i = 0; i < OSC_COUNT; i++) {
            ins.osc[i] = one_oscillator(c.shape[i]).osc[0];
            ins.osc[i].fixed_freq = 1.0f;
            ins.osc[i].freq_mul = freq[i];
            ins.osc[i].volume = volume[i];
        }
        VoiceFixture v(&ins);
        v.voice->write_pos = RING_FLOATS - 2 * 1500; // the second tick wraps
        noise_reset();
        const std::vector<float> got = v.render_ticks(ticks);
        noise_reset();
        float phase[OSC_COUNT] = {0.0f, 0.0f, 0.0f};
        std::vector<float> want;
        for (uint32_t frames : ticks) {
            std::vector<float> value[OSC_COUNT];
            for (int i = 0; i < OSC_COUNT; i++) {
                for (uint32_t f = 0; f < frames; f++) {
                    if (c.shape[i] == WAVE_NOISE) {
                        value[i].push_back(noise_next());
                        continue;
                    }
                    phase[i] += freq[i] * 7.1237933e-5f;
                    value[i].push_back(waveform_value(c.shape[i], fmodf(phase[i], two_pi)));
                }
            }
            for (uint32_t f = 0; f < frames; f++) {
                float side = 0.0f;
                for (int i = 0; i < OSC_COUNT; i++) {
                    bool known = c.shape[i] >= WAVE_SINE && c.shape[i] <= WAVE_NOISE;
                    if (known) side = side + value[i][f] * (0.5f * volume[i] * 32765.0f) / 3.0f;
                }
                side = std::min(std::max(side, -32768.0f), 32767.0f);
                want.push_back(side * (128.0f / 255.0f * 64.0f) / 64.0f);
                want.push_back(side * ((255.0f - 128.0f) / 255.0f * 64.0f) / 64.0f);
            }
        }
        ASSERT_EQ(got.size(), want.size());
        int mismatches = 0;
        for (size_t i = 0; i < got.size(); i++) {
            mismatches += memcmp(&got[i], &want[i], sizeof(float)) != 0;
        }
        EXPECT_EQ(mismatches, 0);
    }
}
