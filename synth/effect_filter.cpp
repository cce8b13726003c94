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
// Relative band around the fast power's result within which the library
// formula's result surely lies: far wider than their difference (under
// 2e-14 over the whole float range), far narrower than a float step (6e-8).
static const double SHAPER_BAND_BELOW = 1.0 - 1.0e-12;
static const double SHAPER_BAND_ABOVE = 1.0 + 1.0e-12;
static const float OVERDRIVE_FULL_SCALE = 32767.0f;

// Fast power for positive normal doubles, u^e = exp(e * log u), each half
// from a table and a short polynomial: log u = m ln2 - log(1/c) +
// log1p(f/c - 1) with c the centre of the mantissa f's 1/256 slice, and
// exp v = 2^(q + j/256) * exp(x) with |x| <= ln2/512. Relative error a few
// 1e-15, far below the float the result is stored in. The tables come from
// the library's log and exp2, once.
static const int POW_LOG_BITS = 8;
static const int POW_LOG_SIZE = 1 << POW_LOG_BITS;
static const int POW_EXP_SIZE = 256;
static const double LN2_HI = 6.93147180369123816490e-01;  // low bits zero
static const double LN2_LO = 1.90821492927058770002e-10;
static const double EXP_STEPS_PER_LN2 = POW_EXP_SIZE / 6.93147180559945309417e-01;
static const double ROUND_MAGIC = 6755399441055744.0;     // 1.5 * 2^52
static const uint64_t DOUBLE_MANTISSA = 0x000FFFFFFFFFFFFFull;
static const uint64_t DOUBLE_ONE_BITS = 0x3FF0000000000000ull;
static const int DOUBLE_EXPONENT_BIAS = 1023;
static const int DOUBLE_MANTISSA_BITS = 52;

struct PowTables {
    double inv_centre[POW_LOG_SIZE];  // 1 / c, rounded
    double log_centre[POW_LOG_SIZE];  // -log of that rounded 1 / c
    double exp2_step[POW_EXP_SIZE];   // 2^(j / 256)
};

// ---- Helpers --------------------------------------------------------------

static PowTables pow_tables_make()
{
    PowTables t;
    for (int i = 0; i < POW_LOG_SIZE; i++) {
        t.inv_centre[i] = 1.0 / (1.0 + (i + 0.5) / POW_LOG_SIZE);
        t.log_centre[i] = -std::log(t.inv_centre[i]);
    }
    for (int j = 0; j < POW_EXP_SIZE; j++) {
        t.exp2_step[j] = std::exp2((double)j / POW_EXP_SIZE);
    }
    return t;
}

static const PowTables& pow_tables()
{
    static const PowTables tables = pow_tables_make();
    return tables;
}

static double bits_to_double(uint64_t bits)
{
    double d;
    memcpy(&d, &bits, sizeof d);
    return d;
}

// u^e for u in [1e-300, 1e300] and |e| <= 1.
static double fast_pow(const PowTables& t, double u, double e)
{
    uint64_t bits;
    memcpy(&bits, &u, sizeof bits);
    int m = (int)(bits >> DOUBLE_MANTISSA_BITS) - DOUBLE_EXPONENT_BIAS;
    int i = (int)((bits & DOUBLE_MANTISSA) >> (DOUBLE_MANTISSA_BITS - POW_LOG_BITS));
    double f = bits_to_double((bits & DOUBLE_MANTISSA) | DOUBLE_ONE_BITS);
    // |r| <= 2^-9: log1p to r^5 leaves 1e-17.
    double r = f * t.inv_centre[i] - 1.0;
    double r2 = r * r;
    double log1p_r = r * ((1.0 - 0.5 * r) + r2 * ((1.0 / 3 - 0.25 * r) + r2 * 0.2));
    double log_u = m * LN2_HI + (m * LN2_LO + t.log_centre[i] + log1p_r);

    // |x| <= ln2/512: exp to x^4 leaves 4e-17.
    double v = e * log_u;
    double n = (v * EXP_STEPS_PER_LN2 + ROUND_MAGIC) - ROUND_MAGIC;
    double x = (v - n * (LN2_HI / POW_EXP_SIZE)) - n * (LN2_LO / POW_EXP_SIZE);
    double x2 = x * x;
    double exp_x = (1.0 + x) + x2 * ((0.5 + x * (1.0 / 6)) + x2 * (1.0 / 24));
    int steps = (int)n;
    int j = steps & (POW_EXP_SIZE - 1);
    int q = (steps - j) / POW_EXP_SIZE;
    double scale = bits_to_double((uint64_t)(q + DOUBLE_EXPONENT_BIAS) << DOUBLE_MANTISSA_BITS);
    return t.exp2_step[j] * exp_x * scale;
}

// Live state of one side of the state-variable low-pass.
struct SvfLive {
    float high, low, band, coef;
};

// One frame of one side; returns the output sample.
static inline float svf_step(SvfLive* s, float x, float damping)
{
    s->high = x / FILTER_LEVEL - s->low - damping * s->band;
    s->band = s->coef * s->high + s->band;
    s->low = s->coef * s->band + s->low;
    s->low = s->low < -1.0f ? -1.0f : (s->low > 1.0f ? 1.0f : s->low);
    s->coef = s->coef * FILTER_GLIDE;
    return s->low * FILTER_LEVEL;
}

// Both sides of the state-variable low-pass over `frames` interleaved frames.
// The sides are independent, so one loop overlaps their feedback latencies.
static void svf_run(SweptFilterUnit* unit, const float* in, float* out, uint32_t frames,
                    float damping)
{
    SvfLive a = {unit->high_a, unit->low_a, unit->band_a, unit->coef_a};
    SvfLive b = {unit->high_b, unit->low_b, unit->band_b, unit->coef_b};
    for (uint32_t f = 0; f < frames; f++) {
        float y1 = svf_step(&a, in[2 * f], damping);
        float y2 = svf_step(&b, in[2 * f + 1], damping);
        out[2 * f] = y1;
        out[2 * f + 1] = y2;
    }
    unit->high_a = a.high, unit->low_a = a.low, unit->band_a = a.band, unit->coef_a = a.coef;
    unit->high_b = b.high, unit->low_b = b.low, unit->band_b = b.band, unit->coef_b = b.coef;
}

// ---- Swept filter -----------------------------------------------------------

SweptFilterUnit* swept_filter_unit_create(float base_cutoff, float resonance,
                                          float rate, float depth)
{
    SweptFilterUnit* unit = (SweptFilterUnit*)calloc(1, sizeof(SweptFilterUnit));
    if (!unit) {
        return nullptr;
    }
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
    // The sine of the float phase in double precision, stored as a float.
    unit->cutoff = (float)(sin((double)unit->sweep_phase) * unit->depth + unit->base_cutoff);
    unit->coef_a = unit->cutoff * FILTER_COEF_SCALE / unit->scale_a;
    unit->coef_b = unit->cutoff * FILTER_COEF_SCALE / unit->scale_b;
    const float damping = 1.0f - unit->resonance;
    svf_run(unit, mix, output, frames, damping);
}

void swept_filter_unit_destroy(SweptFilterUnit* unit)
{
    free(unit);
}

// ---- Shapers ----------------------------------------------------------------

PowerShaperUnit* power_shaper_unit_create(uint8_t k)
{
    PowerShaperUnit* unit = (PowerShaperUnit*)calloc(1, sizeof(PowerShaperUnit));
    if (!unit) {
        return nullptr;
    }
    unit->k = k > POWER_SHAPER_MAX_K ? POWER_SHAPER_MAX_K : k;
    return unit;
}

void power_shaper_unit_process(PowerShaperUnit* unit, const float* mix, float* output,
                               uint32_t frames)
{
    const double exponent = 1.0 - unit->k / SHAPER_K_STEP;
    const PowTables& tables = pow_tables();
    // 32767 * (|x| / 32767)^e = 32767^(1 - e) * |x|^e: no division per sample.
    // The fast result gives the float when its whole band rounds to one
    // float; a band holding a rounding boundary is settled by the library
    // formula, so every sample is exactly the float of the plain formula.
    const double scale = std::pow(SHAPER_FULL_SCALE, 1.0 - exponent);
    for (uint32_t i = 0; i < 2 * frames; i++) {
        float x = mix[i];
        double sign = (double)((x > 0.0f) - (x < 0.0f));
        double y = 0.0;  // x = 0: sign 0, the result is 0 whatever the power
        bool settled = x == 0.0f;
        if (!settled && std::isfinite(x)) {
            y = sign * scale * fast_pow(tables, std::fabs((double)x), exponent);
            settled = (float)(y * SHAPER_BAND_BELOW) == (float)(y * SHAPER_BAND_ABOVE);
        }
        if (!settled) {
            y = sign * SHAPER_FULL_SCALE * std::pow(std::fabs((double)x) / SHAPER_FULL_SCALE, exponent);
        }
        output[i] = (float)y;
    }
}

void power_shaper_unit_destroy(PowerShaperUnit* unit)
{
    free(unit);
}

OverdriveUnit* overdrive_unit_create(float a)
{
    OverdriveUnit* unit = (OverdriveUnit*)calloc(1, sizeof(OverdriveUnit));
    if (!unit) {
        return nullptr;
    }
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
    if (!unit) {
        return nullptr;
    }
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
    if (!unit) {
        return nullptr;
    }
    memcpy(unit->bands, bands, sizeof unit->bands);
    return unit;
}

void equalizer_placeholder_destroy(EqualizerPlaceholder* unit)
{
    free(unit);
}
