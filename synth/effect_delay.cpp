// Delay-line effect units: two-tap row echo, sine-swept flanger, difference comb.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/base.h"
#include "synth/effect_units.h"
#include "synth/simd_local.h"

// Echo counters past this return their pointer to the line's first frame.
static const uint32_t ECHO_LAST_COUNT = ECHO_LINE_FRAMES - 1;
// Start counters are truncated to 64 bits; hold the double inside that range.
static const double ECHO_COUNT_LIMIT = 4611686018427387904.0; // 2^62

// pi / 44100 in single precision: the flanger's phase step per frame and unit rate.
static const float FLANGER_PHASE_STEP = 7.1237926e-5f;
static const double FRAMES_PER_MS = 44.1;
static const double FLANGER_MAX_FRAMES = 2147483647.0;

// Fast sine: Cody-Waite reduction by pi/2 (first 33 bits plus the tail) and
// Taylor polynomials on [-pi/4, pi/4]; error below 1e-15 for |x| < 1e5.
static const double FAST_SIN_MAX_ARG = 1.0e5;
static const double TWO_OVER_PI = 6.36619772367581382433e-01;
static const double PIO2_HEAD = 1.57079632673412561417e+00;
static const double PIO2_TAIL = 6.07710050650619224932e-11;
static const double ROUND_MAGIC = 6755399441055744.0; // 1.5 * 2^52
// Fractional frames of slack around a delay boundary: far above the fast
// sine's error and the rounding of 44.1 against 44100 / 1000 as they reach
// the delay, far below any real distance.
static const double FLANGER_EXACT_SLACK = 1.0e-6;
// Bound on the fast delay's distance from the exact formula, in frames: the
// fast sine's 1e-15 times at most 1.5e6 frames per unit of sine, and the
// double rounding of results below 3e6 frames, stay far under it.
static const double FLANGER_STEADY_ERROR = 1.0e-7;


// ---- Helpers --------------------------------------------------------------

static void* effect_alloc(size_t record_bytes, size_t line_floats)
{
    return calloc(1, record_bytes + line_floats * sizeof(float));
}

static uint32_t echo_start_count(double start)
{
    if (!(start > -ECHO_COUNT_LIMIT)) {
        start = -ECHO_COUNT_LIMIT;
    }
    if (start > ECHO_COUNT_LIMIT) {
        start = ECHO_COUNT_LIMIT;
    }
    return (uint32_t)(int64_t)start;
}

static double sin_poly(double r)
{
    double z = r * r;
    double p = 1.0 / 1307674368000.0;            // 1/15!
    p = p * z - 1.0 / 6227020800.0;              // 1/13!
    p = p * z + 1.0 / 39916800.0;                // 1/11!
    p = p * z - 1.0 / 362880.0;                  // 1/9!
    p = p * z + 1.0 / 5040.0;                    // 1/7!
    p = p * z - 1.0 / 120.0;                     // 1/5!
    p = p * z + 1.0 / 6.0;                       // 1/3!
    return r - r * z * p;
}

static double cos_poly(double r)
{
    double z = r * r;
    double p = 1.0 / 20922789888000.0;           // 1/16!
    p = p * z - 1.0 / 87178291200.0;             // 1/14!
    p = p * z + 1.0 / 479001600.0;               // 1/12!
    p = p * z - 1.0 / 3628800.0;                 // 1/10!
    p = p * z + 1.0 / 40320.0;                   // 1/8!
    p = p * z - 1.0 / 720.0;                     // 1/6!
    p = p * z + 1.0 / 24.0;                      // 1/4!
    p = p * z - 0.5;                             // 1/2!
    return 1.0 + z * p;
}

static double fast_sin(double x)
{
    if (!(std::fabs(x) < FAST_SIN_MAX_ARG)) {
        return std::sin(x);
    }
    // The rounded quadrant count sits in the low mantissa bits of t.
    double t = x * TWO_OVER_PI + ROUND_MAGIC;
    uint64_t t_bits;
    memcpy(&t_bits, &t, sizeof t_bits);
    double n = t - ROUND_MAGIC;
    double r = (x - n * PIO2_HEAD) - n * PIO2_TAIL;
    switch (t_bits & 3) {
    case 0: return sin_poly(r);
    case 1: return cos_poly(r);
    case 2: return -sin_poly(r);
    default: return -cos_poly(r);
    }
}

// The flanger's delay in frames for one frame's phase:
// trunc((((sin(phase) + 1) / 2) * span + min_ms) * 44100 / 1000), the sine in
// double precision. The fast sine decides it unless the result lies within
// a hair of a whole frame; there the library sine and the exact formula
// settle it, so the delay is exactly the one the library would give.
// *margin: how far the fast result lies inside the band (whole + slack,
// whole + 1 - slack) that let it decide; 0 when the exact path decided.
static int32_t flanger_delay(float phase, float span, float min_ms, double* margin)
{
    *margin = 0.0;
    double ms = ((fast_sin(phase) + 1.0) / 2.0) * span + min_ms;
    double frames = ms * FRAMES_PER_MS;
    if (frames >= 0.0 && frames < FLANGER_MAX_FRAMES) {
        int32_t whole = (int32_t)frames;
        double fraction = frames - whole;
        if (fraction > FLANGER_EXACT_SLACK && fraction < 1.0 - FLANGER_EXACT_SLACK) {
            double below = fraction - FLANGER_EXACT_SLACK;
            double above = 1.0 - FLANGER_EXACT_SLACK - fraction;
            *margin = below < above ? below : above;
            return whole;
        }
    }
    ms = ((std::sin((double)phase) + 1.0) / 2.0) * span + min_ms;
    frames = ms * EFFECT_SAMPLE_RATE / MS_PER_SECOND;
    // A phase beyond float range has no sine: no delay then.
    return frames >= 0.0 && frames < FLANGER_MAX_FRAMES ? (int32_t)frames : 0;
}

// Frames after `clock` (at most `limit`) that are sure to get the same delay
// as clock, whose phase and margin are given; slope: delay frames per radian
// at most, 44.1 * |span| / 2. The phases of the frames up to clock + j lie
// between those of clock and clock + j ((float)clock * k is monotonic while
// the clock does not wrap), the sine moves no faster than its argument, and
// the fast result is within FLANGER_STEADY_ERROR of the exact formula: so a
// move smaller than margin - FLANGER_STEADY_ERROR keeps every one of those
// frames on the fast path with the same whole delay.
static uint32_t flanger_steady_frames(uint32_t clock, float k, float phase, double slope,
                                      double margin, uint32_t limit)
{
    double room = margin - FLANGER_STEADY_ERROR;
    if (!(room > 0.0) || limit == 0 || clock > UINT32_MAX - limit) {
        return 0;
    }
    uint32_t j = limit;
    double per_frame = slope * std::fabs((double)k);
    if (per_frame * limit > room) {
        j = (uint32_t)(room / per_frame);
    }
    while (j > 0) {
        float end = (float)(clock + j) * k;
        if (slope * std::fabs((double)end - (double)phase) < room) {
            return j;
        }
        j /= 2;
    }
    return 0;
}

// ---- Echo -----------------------------------------------------------------

EchoUnit* echo_unit_create(uint8_t rows, float gain, float row_ms)
{
    EchoUnit* unit = (EchoUnit*)effect_alloc(sizeof(EchoUnit), 2 * ECHO_LINE_FRAMES);
    if (!unit) {
        return nullptr;
    }
    unit->rows = rows;
    unit->gain = gain;
    unit->line = (float*)(unit + 1);
    // Each tap's counter starts one second minus its delay before the reset
    // that puts it that delay behind the write pointer.
    double line_frames = ECHO_LINE_FRAMES;
    double rate = EFFECT_SAMPLE_RATE;
    unit->tap_a_count = echo_start_count(line_frames - rows * (double)row_ms / MS_PER_SECOND * rate);
    unit->tap_b_count = echo_start_count(line_frames - (rows - 1) * (double)row_ms / MS_PER_SECOND * rate);
    return unit;
}

// Frames from here on that move every pointer and counter by one without
// any reset (each counter stays at or below 44,099, each tap inside the line).
static uint32_t echo_quiet_frames(uint32_t wc, uint32_t ac, uint32_t bc, uint32_t a, uint32_t b)
{
    if (wc > ECHO_LAST_COUNT || ac > ECHO_LAST_COUNT || bc > ECHO_LAST_COUNT
        || a >= ECHO_LINE_FRAMES || b >= ECHO_LINE_FRAMES) {
        return 0;
    }
    uint32_t q = ECHO_LAST_COUNT - wc;
    q = ECHO_LAST_COUNT - ac < q ? ECHO_LAST_COUNT - ac : q;
    q = ECHO_LAST_COUNT - bc < q ? ECHO_LAST_COUNT - bc : q;
    q = ECHO_LINE_FRAMES - 1 - a < q ? ECHO_LINE_FRAMES - 1 - a : q;
    q = ECHO_LINE_FRAMES - 1 - b < q ? ECHO_LINE_FRAMES - 1 - b : q;
    return q;
}

// One frame: store it swapped at w, then read tap A (first output) and tap B.
static inline void echo_frame(float* line, const float* mix, float* output, uint32_t f,
                              float gain, uint32_t w, uint32_t a, uint32_t b)
{
    float x1 = mix[2 * f];
    float x2 = mix[2 * f + 1];
    line[2 * w] = x2;
    line[2 * w + 1] = x1;
    output[2 * f] = x1 + gain * line[2 * a];
    output[2 * f + 1] = x2 + gain * line[2 * b];
}

void echo_unit_process(EchoUnit* unit, const float* mix, float* output, uint32_t frames)
{
    const float gain = unit->gain;
    float* line = unit->line;
    uint32_t w = unit->write_pos, a = unit->tap_a_pos, b = unit->tap_b_pos;
    uint32_t wc = unit->write_count, ac = unit->tap_a_count, bc = unit->tap_b_count;
    uint32_t f = 0;
    while (f < frames) {
        // A stretch of frames that need no checks, then one frame with them.
        uint32_t quiet = echo_quiet_frames(wc, ac, bc, a, b);
        if (quiet > frames - f - 1) {
            quiet = frames - f - 1;
        }
        wc += quiet, ac += quiet, bc += quiet;
        for (uint32_t end = f + quiet; f < end; f++) {
            echo_frame(line, mix, output, f, gain, w++, a++, b++);
        }
        echo_frame(line, mix, output, f, gain, w++, a++, b++);
        if (++wc > ECHO_LAST_COUNT) { wc = 0; w = 0; }
        if (++ac > ECHO_LAST_COUNT) { ac = 0; a = 0; }
        if (++bc > ECHO_LAST_COUNT) { bc = 0; b = 0; }
        // A counter starting at 2^32 - 1 wraps to 0 without a reset, leaving
        // its tap one frame ahead of it: keep the tap inside the line.
        if (a >= ECHO_LINE_FRAMES) { a = 0; }
        if (b >= ECHO_LINE_FRAMES) { b = 0; }
        f++;
    }
    unit->write_pos = w, unit->tap_a_pos = a, unit->tap_b_pos = b;
    unit->write_count = wc, unit->tap_a_count = ac, unit->tap_b_count = bc;
}

void echo_unit_destroy(EchoUnit* unit)
{
    free(unit);
}

// ---- Flanger --------------------------------------------------------------

uint32_t flanger_line_frames(uint16_t max_ms)
{
    uint32_t length = (uint32_t)max_ms * EFFECT_SAMPLE_RATE / 1000;
    // A zero-length line has nothing to read; one frame delays by one frame.
    return length == 0 ? 1 : length;
}

FlangerUnit* flanger_unit_create(uint16_t min_ms, uint16_t max_ms, float rate, float gain)
{
    uint32_t length = flanger_line_frames(max_ms);
    FlangerUnit* unit = (FlangerUnit*)effect_alloc(sizeof(FlangerUnit), 2 * (size_t)length);
    if (!unit) {
        return nullptr;
    }
    unit->min_ms = min_ms;
    unit->max_ms = max_ms;
    unit->rate = rate;
    unit->gain = gain;
    unit->length = length;
    unit->line = (float*)(unit + 1);
    return unit;
}

// n frames at delay d (0..length) from write index w; returns the new index.
// Frame f reads the cell d frames behind its write, then writes its own.
// Two frames go per vector step when the second frame's read is not the
// first frame's write (a delay other than 1 on a line longer than one frame)
// and neither index wraps inside the step.
static int32_t flanger_stretch(float* line, int32_t length, float gain, int32_t d, int32_t w,
                               const float* mix, float* output, uint32_t n)
{
    const bool pairs = length > 1 && d != 1;
    const Float4 gain4 = {gain, gain, gain, gain};
    const Int4 second_sign = {0, INT32_MIN, 0, INT32_MIN};
    while (n > 0) {
        int32_t j = w - d;
        if (j < 0) {
            j += length;
        }
        uint32_t run = (uint32_t)(length - w) < n ? (uint32_t)(length - w) : n;
        run = (uint32_t)(length - j) < run ? (uint32_t)(length - j) : run;
        uint32_t g = 0;
        for (; pairs && g + 2 <= run; g += 2) {
            Float4 x, s;
            memcpy(&x, mix + 2 * g, sizeof x);
            memcpy(&s, line + 2 * (j + g), sizeof s);
            // (x2, -x1) per frame, the sign flipped as unary minus does.
            Float4 swapped = {x[1], x[0], x[3], x[2]};
            Int4 bits;
            memcpy(&bits, &swapped, sizeof bits);
            bits ^= second_sign;
            memcpy(&swapped, &bits, sizeof bits);
            Float4 written = swapped * gain4;
            Float4 out = x + Float4{s[1], s[0], s[3], s[2]};
            memcpy(line + 2 * (w + g), &written, sizeof written);
            memcpy(output + 2 * g, &out, sizeof out);
        }
        for (; g < run; g++) {
            float x1 = mix[2 * g];
            float x2 = mix[2 * g + 1];
            float s1 = line[2 * (j + g)];
            float s2 = line[2 * (j + g) + 1];
            line[2 * (w + g)] = x2 * gain;
            line[2 * (w + g) + 1] = -x1 * gain;
            output[2 * g] = x1 + s2;
            output[2 * g + 1] = x2 + s1;
        }
        w += (int32_t)run;
        if (w == length) {
            w = 0;
        }
        mix += 2 * run;
        output += 2 * run;
        n -= run;
    }
    return w;
}

void flanger_unit_process(FlangerUnit* unit, const float* mix, float* output, uint32_t frames)
{
    const float k = unit->rate * FLANGER_PHASE_STEP;
    const float span = unit->max_ms - unit->min_ms;
    const float min_ms = unit->min_ms;
    const float gain = unit->gain;
    const int32_t length = (int32_t)unit->length;
    const double slope = FRAMES_PER_MS * std::fabs((double)span) / 2.0;
    float* line = unit->line;
    int32_t w = (int32_t)unit->write_index;
    int32_t d = unit->current_delay;
    uint32_t clock = unit->clock;
    uint32_t f = 0;
    while (f < frames) {
        // The delay of this frame, and of the frames after it that surely share it.
        clock++;
        float phase = (float)clock * k;
        double margin = 0.0;
        d = flanger_delay(phase, span, min_ms, &margin);
        // A minimum above the maximum would reach behind the line's start.
        if (d > length) {
            d = length;
        }
        uint32_t run = 1 + flanger_steady_frames(clock, k, phase, slope, margin, frames - f - 1);
        clock += run - 1;
        w = flanger_stretch(line, length, gain, d, w, mix + 2 * f, output + 2 * f, run);
        f += run;
    }
    unit->clock = clock;
    unit->write_index = (uint32_t)w;
    unit->current_delay = d;
}

void flanger_unit_destroy(FlangerUnit* unit)
{
    free(unit);
}

// ---- Comb -----------------------------------------------------------------

uint32_t comb_line_frames(float delay_ms)
{
    float held = delay_ms;
    if (!(held >= 0.0f)) {
        held = 0.0f;
    }
    if (held > (float)COMB_MAX_MS) {
        held = (float)COMB_MAX_MS;
    }
    return (uint32_t)held * EFFECT_SAMPLE_RATE / 1000;
}

CombUnit* comb_unit_create(float delay_ms)
{
    uint32_t length = comb_line_frames(delay_ms);
    CombUnit* unit = (CombUnit*)effect_alloc(sizeof(CombUnit), 2 * (size_t)length);
    if (!unit) {
        return nullptr;
    }
    unit->delay_ms = delay_ms;
    unit->length = length;
    unit->line = (float*)(unit + 1);
    return unit;
}

void comb_unit_process(CombUnit* unit, const float* mix, float* output, uint32_t frames)
{
    const uint32_t length = unit->length;
    if (length == 0) {
        // No delay: each side minus itself.
        for (uint32_t i = 0; i < 2 * frames; i++) {
            output[i] = 0.0f;
        }
        return;
    }
    float* line = unit->line;
    uint32_t index = unit->index;
    for (uint32_t f = 0; f < frames; f++) {
        float x1 = mix[2 * f];
        float x2 = mix[2 * f + 1];
        float s1 = line[2 * index];
        float s2 = line[2 * index + 1];
        line[2 * index] = x2;
        line[2 * index + 1] = x1;
        if (++index == length) {
            index = 0;
        }
        output[2 * f] = x1 - s2;
        output[2 * f + 1] = x2 - s1;
    }
    unit->index = index;
}

void comb_unit_destroy(CombUnit* unit)
{
    free(unit);
}
