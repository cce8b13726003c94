// Voice rendering: oscillators, modulation sources, envelope and filter per channel.
#include "synth/voice.h"

#include "base/base.h"
#include "synth/simd_local.h"

#include <cassert>
#include <cmath>
#include <cstdlib>
#include <cstring>

// Single-precision angles (radians).
static const float PI_F = 3.1415927f;
static const float HALF_PI_F = 1.5707964f;
static const float THREE_HALF_PI_F = 4.712389f;
static const float TWO_PI_F = 6.2831855f;
static const float TWO_OVER_PI_F = 0.63661975f;
static const float TWO_PI_SQUARED_F = 19.73921f;
// Taylor coefficients of the sine polynomial in theta^2: 1/9!, 1/7!, 1/5!, 1/3!.
static const float SINE_C9 = 2.7557319e-6f;
static const float SINE_C7 = 0.0001984127f;
static const float SINE_C5 = 0.008333334f;
static const float SINE_C3 = 0.16666667f;
// Phase step per frame per Hz: pi / 44100, so one phase cycle takes
// 2 * 44100 / freq frames.
static const float PHASE_PER_HZ = 7.1237933e-5f;
// Oscillator weights scale to just under full scale.
static const float OSC_FULL_SCALE = 32765.0f;
// The filter runs on samples scaled to about -1..+1.
static const float FILTER_SAMPLE_SCALE = 65534.0f;
// Per-frame glide of the filter coefficient within a tick.
static const float FILTER_GLIDE = 0.99998f;
// Cutoff value to coefficient: c * 6 / scale.
static const float FILTER_CUTOFF_MUL = 6.0f;
static const float SAMPLE_MIN = -32768.0f;
static const float SAMPLE_MAX = 32767.0f;
static const float PAN_FULL = 255.0f;
// Noise: a shift register with feedback, scaled by 9 * 2^28 (not 2^31).
static const uint32_t NOISE_FEEDBACK = 0x1D872B41;
static const double NOISE_DIVISOR = 2415919104.0;
// Frames per oscillator pass over the stack scratch.
static const uint32_t OSC_CHUNK_FRAMES = 512;

// Each thread has its own generator; a player carries its word from one
// thread to another (noise_word_get, noise_word_set).
static thread_local uint32_t noise_word = NOISE_START_WORD;

static float clampf(float v, float lo, float hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

// Polynomial of the inverted sine: each half approximates -sin.
static float sine_poly(float u)
{
    return (((u * SINE_C9 - SINE_C7) * u + SINE_C5) * u - SINE_C3) * u + 1.0f;
}

// Value of modulation-source byte `source` (1..6); 0 and unknown bytes are unset.
static bool source_set(uint8_t source)
{
    return source >= 1 && source <= LFO_COUNT;
}

// Step 2: every modulation source once per tick, from the tick's start time.
static void modulation_values(const Voice* voice, float* value)
{
    float seconds_angle = voice->time * TWO_PI_F / (float)SAMPLE_RATE;
    for (int k = 0; k < LFO_COUNT; k++) {
        const InstrumentLfo* lfo = &voice->instrument->lfo[k];
        float theta = fmodf(seconds_angle * lfo->freq, TWO_PI_F);
        bool shaped = lfo->waveform >= WAVE_SINE && lfo->waveform <= WAVE_FALL;
        value[k] = shaped ? waveform_value(lfo->waveform, theta) * lfo->amount : 0.0f;
    }
}

// Step 6: envelope level at the tick's start; sets *ended past the release.
static float envelope_level(const Voice* voice, bool* ended)
{
    const Instrument* ins = voice->instrument;
    *ended = false;
    if (ins->envelope_off) {
        return 1.0f;
    }
    float t = voice->time * (float)MS_PER_SECOND / (float)SAMPLE_RATE;
    float a = ins->attack_ms;
    float d = ins->decay_ms;
    float s = ins->sustain_ms;
    float r = ins->release_ms;
    float level = ins->sustain_level;
    if (t < a) {
        return t / a;
    }
    if (t < a + d) {
        return 1.0f - (1.0f - level) * (t - a) / d;
    }
    if (t < a + d + s) {
        return level;
    }
    if (t < a + d + s + r) {
        return (1.0f - (t - (a + d + s)) / r) * level;
    }
    *ended = true;
    return 0.0f;
}

// fmodf(x, 2pi) bit for bit for any x (see voice_wrap_phase).
static inline float wrap_phase_exact(float x)
{
    const double period = (double)TWO_PI_F;
    const double inverse = 1.0 / period;
    const float exact_limit = 67108864.0f; // 2^26
    if (!(x < exact_limit && x > -exact_limit)) {
        return fmodf(x, TWO_PI_F);
    }
    double q = trunc((double)x * inverse);
    double r = (double)x - q * period;
    if (x >= 0.0f) {
        r = r < 0.0 ? r + period : (r >= period ? r - period : r);
    } else {
        r = r > 0.0 ? r - period : (r <= -period ? r + period : r);
    }
    return (float)r;
}

// Waveform value; with a constant shape the switch folds away.
static inline float wave_at(uint8_t shape, float theta)
{
    switch (shape) {
    case WAVE_SINE:
        if (theta < PI_F) {
            return -theta * sine_poly(theta * theta);
        } else {
            float d = theta - PI_F;
            return d * sine_poly(d * d);
        }
    case WAVE_RAMP2:
        if (theta < HALF_PI_F) {
            return theta * TWO_OVER_PI_F;
        }
        if (theta < THREE_HALF_PI_F) {
            return (theta - HALF_PI_F) * TWO_OVER_PI_F - 1.0f;
        }
        return (theta - THREE_HALF_PI_F) * TWO_OVER_PI_F - 1.0f;
    case WAVE_SQUARE:
        return theta < PI_F ? 1.0f : -1.0f;
    case WAVE_TRIANGLE:
        if (theta < HALF_PI_F) {
            return theta * TWO_OVER_PI_F;
        }
        if (theta < THREE_HALF_PI_F) {
            return 1.0f - (theta - HALF_PI_F) * TWO_OVER_PI_F;
        }
        return (theta - THREE_HALF_PI_F) * TWO_OVER_PI_F - 1.0f;
    case WAVE_RISE:
        return theta * theta / TWO_PI_SQUARED_F - 1.0f;
    case WAVE_FALL:
        return 1.0f - theta * theta / TWO_PI_SQUARED_F;
    case WAVE_NOISE:
        return noise_next();
    default:
        return 0.0f;
    }
}

// Incremental form of wrap_phase_exact for a phase that moves in small
// steps. base is k * 2pi in double, exact for k < 2^29, and never negative.
// With k = 0, r = x; with k >= 1 and x >= base, x and base are both
// multiples of 2^-21 (the spacing of floats from 4 to 8, 2pi among them),
// so r = x - base is exact. When 0 <= r < 2pi, k is floor(x / 2pi), r is
// fmod's exact result and (float)r loses nothing (0 included: x - x is +0,
// -0 - 0 is -0, as fmodf gives). A phase that is negative, too large, not a
// number or more than one period past base takes the general path, which
// also sets base again.
static inline float wrap_phase_step(float x, double* base)
{
    const double period = (double)TWO_PI_F;
    const float base_limit = 67108864.0f; // 2^26
    double r = (double)x - *base;
    if (r >= period) {
        r -= period;
        *base += period;
    }
    if (r >= 0.0 && r < period) {
        return (float)r;
    }
    float theta = wrap_phase_exact(x);
    // x - theta is k * 2pi exactly (both are multiples of x's spacing).
    *base = x >= 0.0f && x < base_limit ? (double)x - (double)theta : 0.0;
    return theta;
}


// region[2f] += s[f] * weight_a / 3 and region[2f + 1] += s[f] * weight_b / 3
// for n frames, two frames per vector step (same operations, same order).
// first: the region is taken as silence (+0) instead of being read, so the
// first oscillator needs no cleared region.
static void oscillator_add(float* region, const float* s, uint32_t n, float weight_a,
                           float weight_b, bool first)
{
    const Float4 w = {weight_a, weight_b, weight_a, weight_b};
    const Float4 three = {3.0f, 3.0f, 3.0f, 3.0f};
    uint32_t f = 0;
    for (; f + 2 <= n; f += 2) {
        Float4 sv = {s[f], s[f], s[f + 1], s[f + 1]};
        Float4 r = {0.0f, 0.0f, 0.0f, 0.0f};
        if (!first) {
            memcpy(&r, region + 2 * f, sizeof r);
        }
        r += sv * w / three;
        memcpy(region + 2 * f, &r, sizeof r);
    }
    for (; f < n; f++) {
        float a = first ? 0.0f : region[2 * f];
        float b = first ? 0.0f : region[2 * f + 1];
        region[2 * f] = a + s[f] * weight_a / 3.0f;
        region[2 * f + 1] = b + s[f] * weight_b / 3.0f;
    }
}

static inline Float4 splat4(float v)
{
    Float4 r = {v, v, v, v};
    return r;
}

// wave_at on four phases at once: every branch is computed and the lanes
// pick theirs, each lane rounding as the scalar branch does. Negating a
// product equals the product of the negated factor, so the sine's first
// half takes -(theta * poly) for (-theta) * poly.
template <uint8_t SHAPE>
static inline Float4 wave4(Float4 t)
{
    const Float4 one = splat4(1.0f);
    if (SHAPE == WAVE_SINE) {
        auto first = t < splat4(PI_F);
        Float4 u = first ? t : t - splat4(PI_F);
        Float4 z = u * u;
        Float4 p = (((z * splat4(SINE_C9) - splat4(SINE_C7)) * z + splat4(SINE_C5)) * z
                    - splat4(SINE_C3)) * z + one;
        Float4 v = u * p;
        return first ? -v : v;
    }
    if (SHAPE == WAVE_RAMP2 || SHAPE == WAVE_TRIANGLE) {
        Float4 rise = t * splat4(TWO_OVER_PI_F);
        Float4 middle = SHAPE == WAVE_RAMP2
                            ? (t - splat4(HALF_PI_F)) * splat4(TWO_OVER_PI_F) - one
                            : one - (t - splat4(HALF_PI_F)) * splat4(TWO_OVER_PI_F);
        Float4 last = (t - splat4(THREE_HALF_PI_F)) * splat4(TWO_OVER_PI_F) - one;
        return t < splat4(HALF_PI_F) ? rise : (t < splat4(THREE_HALF_PI_F) ? middle : last);
    }
    if (SHAPE == WAVE_SQUARE) {
        return t < splat4(PI_F) ? one : -one;
    }
    if (SHAPE == WAVE_RISE) {
        return t * t / splat4(TWO_PI_SQUARED_F) - one;
    }
    if (SHAPE == WAVE_FALL) {
        return one - t * t / splat4(TWO_PI_SQUARED_F);
    }
    return splat4(0.0f);
}

// s[f] = wave_at(SHAPE, s[f]) for n phases, four per vector step.
template <uint8_t SHAPE>
static void wave_fill(float* s, uint32_t n)
{
    uint32_t f = 0;
    for (; f + 4 <= n; f += 4) {
        Float4 t;
        memcpy(&t, s + f, sizeof t);
        t = wave4<SHAPE>(t);
        memcpy(s + f, &t, sizeof t);
    }
    for (; f < n; f++) {
        s[f] = wave_at(SHAPE, s[f]);
    }
}

// oscillator_add for the square wave, straight from the phases: its two
// values weighted once (the same products and quotients every frame gives).
static void square_add(float* region, const float* theta, uint32_t n, float weight_a,
                       float weight_b, bool first)
{
    const Float4 w = {weight_a, weight_b, weight_a, weight_b};
    const Float4 three = splat4(3.0f);
    const Float4 high = splat4(1.0f) * w / three;
    const Float4 low = splat4(-1.0f) * w / three;
    uint32_t f = 0;
    for (; f + 2 <= n; f += 2) {
        Float4 t = {theta[f], theta[f], theta[f + 1], theta[f + 1]};
        Float4 r = splat4(0.0f);
        if (!first) {
            memcpy(&r, region + 2 * f, sizeof r);
        }
        r += t < splat4(PI_F) ? high : low;
        memcpy(region + 2 * f, &r, sizeof r);
    }
    for (; f < n; f++) {
        float s = wave_at(WAVE_SQUARE, theta[f]);
        float a = first ? 0.0f : region[2 * f];
        float b = first ? 0.0f : region[2 * f + 1];
        region[2 * f] = a + s * weight_a / 3.0f;
        region[2 * f + 1] = b + s * weight_b / 3.0f;
    }
}

// Step 7 for one oscillator over `frames` frames of a contiguous region.
// The shape is a template argument so the switch leaves the frame loop.
// Only the phase is serial: it goes through a small scratch first, so the
// waveform and the weighting run on whole vectors.
template <uint8_t SHAPE>
static void oscillator_run(float* region, uint32_t frames, float* phase, float increment,
                           float weight_a, float weight_b, bool first)
{
    float s[OSC_CHUNK_FRAMES];
    float ph = *phase;
    double base = 0.0;
    for (uint32_t start = 0; start < frames; start += OSC_CHUNK_FRAMES) {
        uint32_t n = frames - start < OSC_CHUNK_FRAMES ? frames - start : OSC_CHUNK_FRAMES;
        if (SHAPE == WAVE_NOISE) {
            for (uint32_t f = 0; f < n; f++) {
                s[f] = noise_next();
            }
        } else {
            for (uint32_t f = 0; f < n; f++) {
                ph += increment;
                s[f] = wrap_phase_step(ph, &base);
            }
            if (SHAPE == WAVE_SQUARE) {
                square_add(region + 2 * start, s, n, weight_a, weight_b, first);
                continue;
            }
            wave_fill<SHAPE>(s, n);
        }
        oscillator_add(region + 2 * start, s, n, weight_a, weight_b, first);
    }
    *phase = ph;
}

// Adds one oscillator to the region (or, when first, writes it over the
// region as if added to silence). Returns false for unknown shapes, which
// add nothing.
static bool oscillator_accumulate(uint8_t shape, float* region, uint32_t frames, float* phase,
                                  float increment, float weight_a, float weight_b, bool first)
{
    switch (shape) {
    case WAVE_SINE:
        oscillator_run<WAVE_SINE>(region, frames, phase, increment, weight_a, weight_b, first);
        return true;
    case WAVE_RAMP2:
        oscillator_run<WAVE_RAMP2>(region, frames, phase, increment, weight_a, weight_b, first);
        return true;
    case WAVE_SQUARE:
        oscillator_run<WAVE_SQUARE>(region, frames, phase, increment, weight_a, weight_b, first);
        return true;
    case WAVE_TRIANGLE:
        oscillator_run<WAVE_TRIANGLE>(region, frames, phase, increment, weight_a, weight_b, first);
        return true;
    case WAVE_RISE:
        oscillator_run<WAVE_RISE>(region, frames, phase, increment, weight_a, weight_b, first);
        return true;
    case WAVE_FALL:
        oscillator_run<WAVE_FALL>(region, frames, phase, increment, weight_a, weight_b, first);
        return true;
    case WAVE_NOISE:
        oscillator_run<WAVE_NOISE>(region, frames, phase, increment, weight_a, weight_b, first);
        return true;
    default:
        return false;
    }
}

// One side of the two-pole state-variable low-pass; returns the new sample.
static inline float filter_side(float sample, float damping, float* high, float* low,
                                float* band, float* coef)
{
    float x = sample / FILTER_SAMPLE_SCALE;
    *high = x - *low - damping * *band;
    *band = *coef * *high + *band;
    *low = clampf(*coef * *band + *low, -1.0f, 1.0f);
    *coef = *coef * FILTER_GLIDE;
    return *low * FILTER_SAMPLE_SCALE;
}

// Tick-level values the per-frame passes need.
struct TickMix {
    float level;        // instrument volume x envelope
    bool filter;        // filter both sides
    float damping;      // 1 - resonance for this tick
    float gain_first;   // channel gain of the first output sample
    float gain_second;  // channel gain of the second output sample
};

// The clock after `frames` more frames, as that many additions of 1 leave
// it. A whole clock that stays within 2^24 moves exactly (each sum is a
// float); any other takes the additions one by one.
static float clock_advance(float time, uint32_t frames)
{
    const float exact_limit = 16777216.0f; // 2^24
    if (time >= 0.0f && time <= exact_limit - (float)frames
        && time == (float)(int32_t)time) {
        return time + (float)frames;
    }
    for (uint32_t f = 0; f < frames; f++) {
        time += 1.0f;
    }
    return time;
}

// Step 8 without the filter: level, clamp, swap and pan, two frames per
// vector step (each lane rounds as the scalar code below does).
static void output_plain(float* region, uint32_t frames, const TickMix* mix)
{
    const float level = mix->level;
    const Float4 level4 = {level, level, level, level};
    const Float4 lo = {SAMPLE_MIN, SAMPLE_MIN, SAMPLE_MIN, SAMPLE_MIN};
    const Float4 hi = {SAMPLE_MAX, SAMPLE_MAX, SAMPLE_MAX, SAMPLE_MAX};
    const Float4 gain = {mix->gain_first, mix->gain_second, mix->gain_first, mix->gain_second};
    const Float4 full = {VOICE_FULL_VOLUME, VOICE_FULL_VOLUME, VOICE_FULL_VOLUME,
                         VOICE_FULL_VOLUME};
    uint32_t f = 0;
    for (; f + 2 <= frames; f += 2) {
        Float4 r;
        memcpy(&r, region + 2 * f, sizeof r);
        r = r * level4;
        r = r < lo ? lo : (r > hi ? hi : r);
        Float4 swapped = {r[1], r[0], r[3], r[2]};
        r = swapped * gain / full;
        memcpy(region + 2 * f, &r, sizeof r);
    }
    for (; f < frames; f++) {
        float a = clampf(region[2 * f] * level, SAMPLE_MIN, SAMPLE_MAX);
        float b = clampf(region[2 * f + 1] * level, SAMPLE_MIN, SAMPLE_MAX);
        region[2 * f] = b * mix->gain_first / VOICE_FULL_VOLUME;
        region[2 * f + 1] = a * mix->gain_second / VOICE_FULL_VOLUME;
    }
}

// Step 8 with the filter: level, filter, clamp, swap and pan. The filter
// state lives in locals during the loop (the region could alias it as far
// as the compiler knows) and is stored back after.
static void output_filtered(VoiceState* st, float* region, uint32_t frames, const TickMix* mix)
{
    float high_a = st->high_a, low_a = st->low_a, band_a = st->band_a, coef_a = st->coef_a;
    float high_b = st->high_b, low_b = st->low_b, band_b = st->band_b, coef_b = st->coef_b;
    const float level = mix->level, damping = mix->damping;
    const float gain_first = mix->gain_first, gain_second = mix->gain_second;
    for (uint32_t f = 0; f < frames; f++) {
        float a = region[2 * f] * level;
        float b = region[2 * f + 1] * level;
        a = filter_side(a, damping, &high_a, &low_a, &band_a, &coef_a);
        b = filter_side(b, damping, &high_b, &low_b, &band_b, &coef_b);
        a = clampf(a, SAMPLE_MIN, SAMPLE_MAX);
        b = clampf(b, SAMPLE_MIN, SAMPLE_MAX);
        region[2 * f] = b * gain_first / VOICE_FULL_VOLUME;
        region[2 * f + 1] = a * gain_second / VOICE_FULL_VOLUME;
    }
    st->high_a = high_a, st->low_a = low_a, st->band_a = band_a, st->coef_a = coef_a;
    st->high_b = high_b, st->low_b = low_b, st->band_b = band_b, st->coef_b = coef_b;
}

// Step 8 over one contiguous region; the clock moves one per frame.
static void output_pass(Voice* voice, float* region, uint32_t frames, const TickMix* mix)
{
    if (mix->filter) {
        output_filtered(voice->state, region, frames, mix);
    } else {
        output_plain(region, frames, mix);
    }
    voice->time = clock_advance(voice->time, frames);
}

// Step 3: filter coefficients and damping for this tick (modulated copies only).
static void filter_setup(Voice* voice, const float* mod, TickMix* mix)
{
    const Instrument* ins = voice->instrument;
    mix->filter = ins->filter_on != 0;
    mix->damping = 1.0f - ins->resonance;
    if (!mix->filter) {
        return;
    }
    float c = (float)ins->cutoff;
    float r = ins->resonance;
    if (source_set(ins->cutoff_lfo)) {
        c = clampf(c + mod[ins->cutoff_lfo - 1], 0.0f, VOICE_MAX_FREQ);
    }
    if (source_set(ins->resonance_lfo)) {
        r = clampf(r + mod[ins->resonance_lfo - 1], 0.0f, 1.0f);
    }
    VoiceState* st = voice->state;
    st->coef_a = c * FILTER_CUTOFF_MUL / st->filter_scale_a;
    st->coef_b = c * FILTER_CUTOFF_MUL / st->filter_scale_b;
    mix->damping = 1.0f - r;
}

// Step 5 for oscillator i: its side weights, then this tick's slide.
static void oscillator_setup(Voice* voice, int i, const float* mod, float* weight_a,
                             float* weight_b)
{
    const InstrumentOscillator* osc = &voice->instrument->osc[i];
    float v = osc->volume;
    float p = osc->pan;
    if (source_set(osc->volume_lfo)) {
        v = clampf(v + mod[osc->volume_lfo - 1], 0.0f, 1.0f);
    }
    if (source_set(osc->pan_lfo)) {
        p = clampf(p + mod[osc->pan_lfo - 1], -1.0f, 1.0f);
    }
    *weight_a = (1.0f - p) / 2.0f * v * OSC_FULL_SCALE;
    *weight_b = (1.0f + p) / 2.0f * v * OSC_FULL_SCALE;
    VoiceState* st = voice->state;
    st->slide[i] += osc->slide_accel;
    st->freq[i] = clampf(st->freq[i] + st->slide[i], 0.0f, VOICE_MAX_FREQ);
}

Voice* voice_create()
{
    Voice* voice = (Voice*)calloc(1, sizeof(Voice));
    voice->state = (VoiceState*)calloc(1, sizeof(VoiceState));
    voice->ring = (float*)calloc(RING_FLOATS, sizeof(float));
    voice->block = (float*)calloc(BLOCK_FLOATS, sizeof(float));
    voice->note_freq = VOICE_START_FREQ;
    voice->volume = VOICE_FULL_VOLUME;
    voice->pan = VOICE_CENTRE_PAN;
    return voice;
}

void voice_destroy(Voice* voice)
{
    if (!voice) {
        return;
    }
    free(voice->state);
    free(voice->ring);
    free(voice->block);
    free(voice);
}

uint16_t note_to_hz(uint8_t note)
{
    double hz = 13.75 * pow(2.0, (note - 9) / 12.0);
    return (uint16_t)((uint32_t)hz & 0xFFFF);
}

void voice_note_on(Voice* voice, uint8_t note)
{
    voice->note_freq = (float)note_to_hz(note);
    voice_trigger(voice, true);
}

void voice_trigger(Voice* voice, bool reset_mix)
{
    voice->time = 0.0f;
    if (reset_mix) {
        voice->volume = VOICE_FULL_VOLUME;
        voice->pan = VOICE_CENTRE_PAN;
    }
    VoiceState* st = voice->state;
    const Instrument* ins = voice->instrument;
    for (int i = 0; i < OSC_COUNT; i++) {
        // Without an instrument there is nothing to restart but the clock.
        if (!ins) {
            break;
        }
        const InstrumentOscillator* osc = &ins->osc[i];
        float base = osc->fixed_freq != 0.0f ? osc->fixed_freq : voice->note_freq;
        st->freq[i] = base * osc->freq_mul;
        st->slide[i] = osc->slide;
        st->phase[i] = 0.0f;
    }
    st->filter_scale_a = FILTER_SCALE;
    st->filter_scale_b = FILTER_SCALE;
    st->high_a = st->low_a = st->band_a = st->coef_a = 0.0f;
    st->high_b = st->low_b = st->band_b = st->coef_b = 0.0f;
}

bool voice_render(Voice* voice, uint32_t frames)
{
    assert(voice->instrument && frames <= RING_FRAMES && voice->write_pos < RING_FLOATS);
    const Instrument* ins = voice->instrument;
    VoiceState* st = voice->state;

    // The tick is rendered as up to two contiguous pieces so that a tick
    // length that does not divide the ring still wraps frame by frame.
    float* piece[2] = {voice->ring + voice->write_pos, voice->ring};
    uint32_t piece_frames[2];
    piece_frames[0] = frames < (RING_FLOATS - voice->write_pos) / 2
                          ? frames : (RING_FLOATS - voice->write_pos) / 2;
    piece_frames[1] = frames - piece_frames[0];

    float mod[LFO_COUNT];
    modulation_values(voice, mod);
    TickMix mix;
    filter_setup(voice, mod, &mix);
    mix.gain_first = voice->pan / PAN_FULL * voice->volume;
    mix.gain_second = (PAN_FULL - voice->pan) / PAN_FULL * voice->volume;
    float weight_a[OSC_COUNT];
    float weight_b[OSC_COUNT];
    for (int i = 0; i < OSC_COUNT; i++) {
        oscillator_setup(voice, i, mod, &weight_a[i], &weight_b[i]);
    }
    bool ended = false;
    float envelope = envelope_level(voice, &ended);
    mix.level = ins->volume * envelope;

    // The oscillators sum onto silence: the first that sounds writes it.
    bool written = false;
    for (int i = 0; i < OSC_COUNT; i++) {
        const InstrumentOscillator* osc = &ins->osc[i];
        if (!osc->enabled) {
            continue;
        }
        float m = source_set(osc->freq_lfo) ? mod[osc->freq_lfo - 1] : 0.0f;
        float increment = (st->freq[i] + m) * PHASE_PER_HZ;
        bool sounded = false;
        for (int k = 0; k < 2; k++) {
            sounded = oscillator_accumulate(osc->waveform, piece[k], piece_frames[k],
                                            &st->phase[i], increment, weight_a[i],
                                            weight_b[i], !written);
        }
        written = written || sounded;
    }
    if (!written) {
        for (int k = 0; k < 2; k++) {
            memset(piece[k], 0, piece_frames[k] * 2 * sizeof(float));
        }
    }
    for (int k = 0; k < 2; k++) {
        output_pass(voice, piece[k], piece_frames[k], &mix);
    }
    voice->write_pos = (voice->write_pos + 2 * frames) % RING_FLOATS;
    return !ended;
}

// fmodf(x, 2pi) without the library call. q * 2pi (at most 24 x 26 bits) and
// x - q * 2pi are exact in double precision, and fmod's result is always a
// float, so this returns fmodf's value bit for bit; q off by one from the
// rounded quotient is put right by one exact step. Phases beyond 2^26 (never
// reached: a phase stops growing long before) take the library path.
float voice_wrap_phase(float x)
{
    return wrap_phase_exact(x);
}

float waveform_value(uint8_t shape, float theta)
{
    return wave_at(shape, theta);
}

float noise_next()
{
    if (noise_word & 0x80000000u) {
        noise_word = (noise_word << 1) ^ NOISE_FEEDBACK;
    } else {
        noise_word = noise_word << 1;
    }
    return (float)((double)noise_word / NOISE_DIVISOR - 1.0);
}

void noise_reset()
{
    noise_word = NOISE_START_WORD;
}

uint32_t noise_word_get() { return noise_word; }

void noise_word_set(uint32_t word) { noise_word = word; }
