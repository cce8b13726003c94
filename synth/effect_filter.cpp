// Filter, shaper and gain units: swept low-pass, power shaper, overdrive,
// gain, phase inverter and the equalizer placeholder.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "synth/effect_units.h"

// 2 * pi * 2048 / 44100: sweep phase per 2,048-frame call at rate 1.
static const float SWEEP_STEP = 0.29179054f;
static const float FILTER_SCALE = 22500.0f;   // coefficient = cutoff * 6 / scale
static const float FILTER_COEF_SCALE = 6.0f;
static const float FILTER_GLIDE = 0.99998f;   // per-frame coefficient decay
static const float FILTER_LEVEL = 65534.0f;   // 16-bit scale <-> filter's +-1

static const double SHAPER_FULL_SCALE = 32767.0;
static const double SHAPER_K_STEP = 10.0;     // exponent 1 - k / 10
static const float OVERDRIVE_FULL_SCALE = 32767.0f;

// Fast power for positive normal doubles: natural log through the atanh
// series around 1 (mantissa folded into [sqrt(1/2), sqrt(2))), exponential
// by a Taylor polynomial on |r| <= ln2 / 2. Relative error a few 1e-15, far
// below the float the result is stored in.
static const double SQRT2 = 1.41421356237309504880;
static const double LN2_HI = 6.93147180369123816490e-01;  // low bits zero
static const double LN2_LO = 1.90821492927058770002e-10;
static const double INV_LN2 = 1.44269504088896338700e+00;
static const double ROUND_MAGIC = 6755399441055744.0;     // 1.5 * 2^52
static const uint64_t DOUBLE_MANTISSA = 0x000FFFFFFFFFFFFFull;
static const uint64_t DOUBLE_ONE_BITS = 0x3FF0000000000000ull;
static const int DOUBLE_EXPONENT_BIAS = 1023;
static const int DOUBLE_MANTISSA_BITS = 52;

// ---- Helpers --------------------------------------------------------------

static double log_mantissa(double f)
{
    double z = (f - 1.0) / (f + 1.0);
    double z2 = z * z;
    double s = 2.0 / 19.0;
    s = s * z2 + 2.0 / 17.0;
    s = s * z2 + 2.0 / 15.0;
    s = s * z2 + 2.0 / 13.0;
    s = s * z2 + 2.0 / 11.0;
    s = s * z2 + 2.0 / 9.0;
    s = s * z2 + 2.0 / 7.0;
    s = s * z2 + 2.0 / 5.0;
    s = s * z2 + 2.0 / 3.0;
    return z * 2.0 + z * z2 * s;
}

static double exp_small(double r)
{
    double p = 1.0 / 6227020800.0;   // 1/13!
    p = p * r + 1.0 / 479001600.0;   // 1/12!
    p = p * r + 1.0 / 39916800.0;
    p = p * r + 1.0 / 3628800.0;
    p = p * r + 1.0 / 362880.0;
    p = p * r + 1.0 / 40320.0;
    p = p * r + 1.0 / 5040.0;
    p = p * r + 1.0 / 720.0;
    p = p * r + 1.0 / 120.0;
    p = p * r + 1.0 / 24.0;
    p = p * r + 1.0 / 6.0;
    p = p * r + 0.5;
    p = p * r + 1.0;
    return p * r + 1.0;
}

// u^e for u in [1e-300, 1e300] and |e| <= 1.
static double fast_pow(double u, double e)
{
    uint64_t bits;
    memcpy(&bits, &u, sizeof bits);
    int m = (int)(bits >> DOUBLE_MANTISSA_BITS) - DOUBLE_EXPONENT_BIAS;
    bits = (bits & DOUBLE_MANTISSA) | DOUBLE_ONE_BITS;
    double f;
    memcpy(&f, &bits, sizeof f);
    if (f > SQRT2) {
        f *= 0.5;
        m += 1;
    }
    double t = e * (m * LN2_HI + (m * LN2_LO + log_mantissa(f)));
    double n = (t * INV_LN2 + ROUND_MAGIC) - ROUND_MAGIC;
    double r = (t - n * LN2_HI) - n * LN2_LO;
    uint64_t scale_bits = (uint64_t)((int64_t)n + DOUBLE_EXPONENT_BIAS) << DOUBLE_MANTISSA_BITS;
    double scale;
    memcpy(&scale, &scale_bits, sizeof scale);
    return exp_small(r) * scale;
}

// One side of the state-variable low-pass over `frames` frames (stride 2).
static void svf_side(const float* in, float* out, uint32_t frames, float damping,
                     float* high, float* low, float* band, float* coef)
{
    float h = *high, l = *low, b = *band, c = *coef;
    for (uint32_t f = 0; f < frames; f++) {
        h = in[2 * f] / FILTER_LEVEL - l - damping * b;
        b = c * h + b;
        l = c * b + l;
        l = l < -1.0f ? -1.0f : (l > 1.0f ? 1.0f : l);
        c = c * FILTER_GLIDE;
        out[2 * f] = l * FILTER_LEVEL;
    }
    *high = h, *low = l, *band = b, *coef = c;
}

// ---- Swept filter -----------------------------------------------------------

SweptFilterUnit* swept_filter_unit_create(float base_cutoff, float resonance,
                                          float rate, float depth)
{
    SweptFilterUnit* unit = (SweptFilterUnit*)calloc(1, sizeof(SweptFilterUnit));
    unit->base_cutoff = base_cutoff;
    unit->resonance = resonance;
    unit->rate = rate;
    unit->depth = depth;
    unit->scale_a = FILTER_SCALE;
    unit->scale_b = FILTER_SCALE;
    return unit;
}

void swept_filter_unit_process(SweptFilterUnit* unit, const float* mix, float* output,
                               uint32_t frames)
{
    // The sweep moves once per call; the first call already uses the
    // advanced phase.
    unit->sweep_phase += unit->rate * SWEEP_STEP;
    unit->cutoff = std::sin(unit->sweep_phase) * unit->depth + unit->base_cutoff;
    unit->coef_a = unit->cutoff * FILTER_COEF_SCALE / unit->scale_a;
    unit->coef_b = unit->cutoff * FILTER_COEF_SCALE / unit->scale_b;
    const float damping = 1.0f - unit->resonance;
    svf_side(mix, output, frames, damping,
             &unit->high_a, &unit->low_a, &unit->band_a, &unit->coef_a);
    svf_side(mix + 1, output + 1, frames, damping,
             &unit->high_b, &unit->low_b, &unit->band_b, &unit->coef_b);
}

void swept_filter_unit_destroy(SweptFilterUnit* unit)
{
    free(unit);
}

// ---- Shapers ----------------------------------------------------------------

PowerShaperUnit* power_shaper_unit_create(uint8_t k)
{
    PowerShaperUnit* unit = (PowerShaperUnit*)calloc(1, sizeof(PowerShaperUnit));
    unit->k = k > POWER_SHAPER_MAX_K ? POWER_SHAPER_MAX_K : k;
    return unit;
}

void power_shaper_unit_process(PowerShaperUnit* unit, const float* mix, float* output,
                               uint32_t frames)
{
    const double exponent = 1.0 - unit->k / SHAPER_K_STEP;
    for (uint32_t i = 0; i < 2 * frames; i++) {
        float x = mix[i];
        double sign = (double)((x > 0.0f) - (x < 0.0f));
        double u = std::fabs((double)x) / SHAPER_FULL_SCALE;
        double p;
        if (x == 0.0f) {
            p = 0.0;  // sign 0: the result is 0 whatever the power
        } else if (std::isfinite(x)) {
            p = fast_pow(u, exponent);
        } else {
            p = std::pow(u, exponent);
        }
        output[i] = (float)(sign * SHAPER_FULL_SCALE * p);
    }
}

void power_shaper_unit_destroy(PowerShaperUnit* unit)
{
    free(unit);
}

OverdriveUnit* overdrive_unit_create(float a)
{
    OverdriveUnit* unit = (OverdriveUnit*)calloc(1, sizeof(OverdriveUnit));
    if (!(a >= 0.0f)) {
        a = 0.0f;
    }
    unit->a = a > OVERDRIVE_MAX_AMOUNT ? OVERDRIVE_MAX_AMOUNT : a;
    return unit;
}

void overdrive_unit_process(OverdriveUnit* unit, const float* mix, float* output,
                            uint32_t frames)
{
    const float kappa = 2.0f * unit->a / (1.0f - unit->a);
    for (uint32_t i = 0; i < 2 * frames; i++) {
        float u = mix[i] / OVERDRIVE_FULL_SCALE;
        output[i] = (kappa + 1.0f) * OVERDRIVE_FULL_SCALE * u / (kappa * std::fabs(u) + 1.0f);
    }
}

void overdrive_unit_destroy(OverdriveUnit* unit)
{
    free(unit);
}

// ---- Gain, phase inversion, placeholder --------------------------------------

GainUnit* gain_unit_create(float g)
{
    GainUnit* unit = (GainUnit*)calloc(1, sizeof(GainUnit));
    unit->g = g;
    return unit;
}

void gain_unit_process(GainUnit* unit, const float* mix, float* output, uint32_t frames)
{
    const float g = unit->g;
    for (uint32_t i = 0; i < 2 * frames; i++) {
        output[i] = mix[i] * g;
    }
}

void gain_unit_destroy(GainUnit* unit)
{
    free(unit);
}

void phase_invert_unit_process(const float* mix, float* output, uint32_t frames)
{
    for (uint32_t f = 0; f < frames; f++) {
        output[2 * f] = mix[2 * f];
        output[2 * f + 1] = -mix[2 * f + 1];
    }
}

EqualizerPlaceholder* equalizer_placeholder_create(const float bands[EQUALIZER_BANDS])
{
    EqualizerPlaceholder* unit = (EqualizerPlaceholder*)calloc(1, sizeof(EqualizerPlaceholder));
    memcpy(unit->bands, bands, sizeof unit->bands);
    return unit;
}

void equalizer_placeholder_destroy(EqualizerPlaceholder* unit)
{
    free(unit);
}
