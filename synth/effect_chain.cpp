// Effect chain: building the unit graph from its configuration array and running one block.
#include "synth/effect_chain.h"
#include "synth/simd_local.h"

#include <cassert>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "synth/voice.h"

// Configuration values each unit type reads after its code (codes 0..10).
static const uint8_t UNIT_PARAM_COUNT[] = {0, 2, 6, 4, 1, 1, 1, 12, 4, 1, 0};
static const uint8_t UNIT_LAST_TYPE = UNIT_PHASE_INVERT;
static const int UNIT_MAX_PARAMS = EQUALIZER_BANDS;

static const double BYTE_RANGE = 256.0;
static const double WORD_RANGE = 65536.0;
// Master terms are held here before truncation, so the sum of 128 of them
// stays exact in 64 bits; any term beyond it already clamps the block sample.
static const float MASTER_TERM_LIMIT = 2147483648.0f;  // 2^31
static const int64_t SAMPLE_MIN = -32768;
static const int64_t SAMPLE_MAX = 32767;

// Reads the configuration front to back; the first problem is printed and
// makes every later read fail.
struct ConfigReader {
    const double* data;
    size_t length;
    size_t pos;
    bool failed;
    size_t line_bytes;  // delay lines of the units read so far
};

// ---- Configuration reading ------------------------------------------------

static void config_reject(ConfigReader* r, const char* reason, const char* what)
{
    if (!r->failed) {
        fprintf(stderr, "effect chain: configuration rejected: %s (value %zu, %s)\n",
                reason, r->pos, what);
    }
    r->failed = true;
}

static bool config_next(ConfigReader* r, const char* what, double* value)
{
    if (r->failed) {
        return false;
    }
    if (r->pos >= r->length) {
        config_reject(r, "the array ends early", what);
        return false;
    }
    double v = r->data[r->pos];
    // Every value must fit a 32-bit float (parameters become floats).
    if (!(std::fabs(v) <= FLT_MAX)) {
        config_reject(r, "not a finite number within float range", what);
        return false;
    }
    r->pos++;
    *value = v;
    return true;
}

// Truncated toward zero, low bits of the two's complement kept.
static uint32_t low_bits(double v, double range)
{
    double m = std::fmod(std::trunc(v), range);
    if (m < 0.0) {
        m += range;
    }
    return (uint32_t)m;
}

static uint8_t config_byte(ConfigReader* r, const char* what)
{
    double v = 0.0;
    config_next(r, what, &v);
    return (uint8_t)low_bits(v, BYTE_RANGE);
}

// ---- Building ---------------------------------------------------------------

static EffectUnitState unit_construct(uint8_t type, const double* p, float row_ms)
{
    EffectUnitState s;
    s.any = nullptr;
    switch (type) {
    case UNIT_ECHO:
        s.echo = echo_unit_create((uint8_t)low_bits(p[0], BYTE_RANGE), (float)p[1], row_ms);
        break;
    case UNIT_REVERB:
        s.reverb = reverb_unit_create((float)p[0], (float)p[1], (float)p[2], (float)p[3],
                                      (float)p[4], (float)p[5]);
        break;
    case UNIT_FLANGER:
        s.flanger = flanger_unit_create((uint16_t)low_bits(p[0], WORD_RANGE),
                                        (uint16_t)low_bits(p[1], WORD_RANGE),
                                        (float)p[2], (float)p[3]);
        break;
    case UNIT_COMB: s.comb = comb_unit_create((float)p[0]); break;
    case UNIT_POWER_SHAPER:
        s.power_shaper = power_shaper_unit_create((uint8_t)low_bits(p[0], BYTE_RANGE));
        break;
    case UNIT_OVERDRIVE: s.overdrive = overdrive_unit_create((float)p[0]); break;
    case UNIT_EQUALIZER: {
        float bands[EQUALIZER_BANDS];
        for (int i = 0; i < EQUALIZER_BANDS; i++) {
            bands[i] = (float)p[i];
        }
        s.equalizer = equalizer_placeholder_create(bands);
        break;
    }
    case UNIT_SWEPT_FILTER:
        s.swept_filter = swept_filter_unit_create((float)p[0], (float)p[1], (float)p[2], (float)p[3]);
        break;
    case UNIT_GAIN: s.gain = gain_unit_create((float)p[0]); break;
    default: break;  // phase inversion needs no state; other codes only mix
    }
    return s;
}

// Bytes of delay line the unit's constructor will allocate for these parameters.
static size_t unit_line_bytes(uint8_t type, const double* p)
{
    switch (type) {
    case UNIT_ECHO: return 2 * (size_t)ECHO_LINE_FRAMES * sizeof(float);
    case UNIT_REVERB: return REVERB_LINE_FLOATS * sizeof(float);
    case UNIT_FLANGER:
        return 2 * (size_t)flanger_line_frames((uint16_t)low_bits(p[1], WORD_RANGE)) * sizeof(float);
    case UNIT_COMB: return 2 * (size_t)comb_line_frames((float)p[0]) * sizeof(float);
    default: return 0;
    }
}

// Null only when the record itself cannot be had; other failures are in r.
static EffectUnit* unit_read(ConfigReader* r, float row_ms)
{
    EffectUnit* unit = (EffectUnit*)calloc(1, sizeof(EffectUnit));
    if (!unit) {
        config_reject(r, "out of memory", "unit");
        return nullptr;
    }
    unit->mix = (float*)calloc(BLOCK_FLOATS, sizeof(float));
    unit->output = (float*)calloc(BLOCK_FLOATS, sizeof(float));
    unit->type = config_byte(r, "unit type");
    double params[UNIT_MAX_PARAMS];
    int count = unit->type <= UNIT_LAST_TYPE ? UNIT_PARAM_COUNT[unit->type] : 0;
    for (int i = 0; i < count; i++) {
        config_next(r, "unit parameter", &params[i]);
    }
    if (r->failed) {
        return unit;
    }
    size_t line = unit_line_bytes(unit->type, params);
    if (line > CHAIN_MAX_LINE_BYTES - r->line_bytes) {
        config_reject(r, "delay lines above 128 MiB", "unit parameter");
        return unit;
    }
    r->line_bytes += line;
    unit->state = unit_construct(unit->type, params, row_ms);
    bool stateful = unit->type >= UNIT_ECHO && unit->type <= UNIT_GAIN;
    if (!unit->mix || !unit->output || (stateful && !unit->state.any)) {
        config_reject(r, "out of memory", "unit");
    }
    return unit;
}

// The buffer an input id names, or null (reported) for an id naming nothing.
static const float* chain_resolve(ConfigReader* r, const EffectChain* chain, uint8_t id)
{
    if (r->failed) {
        return nullptr;
    }
    if (id == 0) {
        config_reject(r, "input id 0 names nothing", "input id");
        return nullptr;
    }
    if (id <= CHAIN_MAX_VOICE_ID) {
        int channel = id - 1;
        if (channel >= chain->voice_count || !chain->voices[channel]) {
            config_reject(r, "input id names a channel the song does not have", "input id");
            return nullptr;
        }
        return chain->voices[channel]->block;
    }
    int index = id - CHAIN_FIRST_UNIT_ID;
    if (index >= chain->unit_count) {
        config_reject(r, "input id names a unit beyond the unit count", "input id");
        return nullptr;
    }
    return chain->units[index]->output;
}

// Reads a count and that many ids into a new table; returns the table.
static const float** inputs_read(ConfigReader* r, const EffectChain* chain, uint8_t* count)
{
    *count = config_byte(r, "input count");
    if (*count > CHAIN_MAX_INPUTS) {
        config_reject(r, "more than 128 inputs", "input count");
    }
    if (r->failed) {
        *count = 0;
        return nullptr;
    }
    const float** inputs = (const float**)calloc(*count ? *count : 1, sizeof(float*));
    if (!inputs) {
        config_reject(r, "out of memory", "input count");
        *count = 0;
        return nullptr;
    }
    for (int i = 0; i < *count; i++) {
        inputs[i] = chain_resolve(r, chain, config_byte(r, "input id"));
    }
    return inputs;
}

static void unit_destroy(EffectUnit* unit)
{
    if (!unit) {
        return;
    }
    switch (unit->type) {
    case UNIT_ECHO: echo_unit_destroy(unit->state.echo); break;
    case UNIT_REVERB: reverb_unit_destroy(unit->state.reverb); break;
    case UNIT_FLANGER: flanger_unit_destroy(unit->state.flanger); break;
    case UNIT_COMB: comb_unit_destroy(unit->state.comb); break;
    case UNIT_POWER_SHAPER: power_shaper_unit_destroy(unit->state.power_shaper); break;
    case UNIT_OVERDRIVE: overdrive_unit_destroy(unit->state.overdrive); break;
    case UNIT_EQUALIZER: equalizer_placeholder_destroy(unit->state.equalizer); break;
    case UNIT_SWEPT_FILTER: swept_filter_unit_destroy(unit->state.swept_filter); break;
    case UNIT_GAIN: gain_unit_destroy(unit->state.gain); break;
    default: break;
    }
    free(unit->inputs);
    free(unit->mix);
    free(unit->output);
    free(unit);
}

// ---- Running ------------------------------------------------------------------

static void voice_block_fill(Voice* voice)
{
    uint32_t pos = voice->read_pos % RING_FLOATS;
    uint32_t first = RING_FLOATS - pos < BLOCK_FLOATS ? RING_FLOATS - pos : BLOCK_FLOATS;
    memcpy(voice->block, voice->ring + pos, first * sizeof(float));
    memcpy(voice->block + first, voice->ring, (BLOCK_FLOATS - first) * sizeof(float));
    voice->read_pos = (pos + BLOCK_FLOATS) % RING_FLOATS;
}

// out[i] = a[i] + b[i] for n floats, four per vector step; out may be a.
// The vector steps end at n rounded down to four, an index that never wraps
// (`i + 4 <= n` would for n near 2^32).
static void buffers_add(float* out, const float* a, const float* b, uint32_t n)
{
    const uint32_t whole = n - n % 4;
    uint32_t i = 0;
    for (; i < whole; i += 4) {
        Float4 x, y;
        memcpy(&x, a + i, sizeof x);
        memcpy(&y, b + i, sizeof y);
        x += y;
        memcpy(out + i, &x, sizeof x);
    }
    for (; i < n; i++) {
        out[i] = a[i] + b[i];
    }
}

static void unit_process(EffectUnit* unit, uint32_t frames)
{
    const float* mix = unit->mix;
    float* out = unit->output;
    switch (unit->type) {
    case UNIT_ECHO: echo_unit_process(unit->state.echo, mix, out, frames); break;
    case UNIT_REVERB: reverb_unit_process(unit->state.reverb, mix, out, frames); break;
    case UNIT_FLANGER: flanger_unit_process(unit->state.flanger, mix, out, frames); break;
    case UNIT_COMB: comb_unit_process(unit->state.comb, mix, out, frames); break;
    case UNIT_POWER_SHAPER:
        power_shaper_unit_process(unit->state.power_shaper, mix, out, frames);
        break;
    case UNIT_OVERDRIVE: overdrive_unit_process(unit->state.overdrive, mix, out, frames); break;
    case UNIT_SWEPT_FILTER:
        swept_filter_unit_process(unit->state.swept_filter, mix, out, frames);
        break;
    case UNIT_GAIN: gain_unit_process(unit->state.gain, mix, out, frames); break;
    case UNIT_PHASE_INVERT: phase_invert_unit_process(mix, out, frames); break;
    default: break;  // the equalizer placeholder and unknown codes write nothing
    }
}

// One master term: sample times gain truncated toward zero, held to +-2^31
// (not a number counts as 0).
static inline int64_t master_term(float v)
{
    if (v < MASTER_TERM_LIMIT && v > -MASTER_TERM_LIMIT) {
        return (int64_t)v;
    }
    if (v != v) {
        return 0;
    }
    return v > 0.0f ? (int64_t)MASTER_TERM_LIMIT : -(int64_t)MASTER_TERM_LIMIT;
}

static void master_mix(EffectChain* chain, float gain)
{
    for (uint32_t i = 0; i < BLOCK_FLOATS; i++) {
        int64_t sum = 0;
        for (int m = 0; m < chain->master_count; m++) {
            sum += master_term(chain->master_inputs[m][i] * gain);
        }
        sum = sum < SAMPLE_MIN ? SAMPLE_MIN : (sum > SAMPLE_MAX ? SAMPLE_MAX : sum);
        chain->output[i] = (int16_t)sum;
    }
}

// ---- Public -------------------------------------------------------------------

EffectChain* effect_chain_build(Voice* const* voices, int voice_count,
                                const double* config, size_t config_length, float row_ms)
{
    if (!(row_ms >= 0.0f && row_ms <= FLT_MAX)) {
        fprintf(stderr, "effect chain: row length %g ms is not usable\n", (double)row_ms);
        return nullptr;
    }
    ConfigReader r = {config, config ? config_length : 0, 0, false, 0};
    EffectChain* chain = (EffectChain*)calloc(1, sizeof(EffectChain));
    if (!chain) {
        fprintf(stderr, "effect chain: out of memory\n");
        return nullptr;
    }
    chain->voices = voices;
    chain->voice_count = voices ? voice_count : 0;
    chain->output = (int16_t*)calloc(BLOCK_FLOATS, sizeof(int16_t));
    uint8_t unit_count = config_byte(&r, "unit count");
    chain->units = (EffectUnit**)calloc(unit_count ? unit_count : 1, sizeof(EffectUnit*));
    if (!chain->output || !chain->units) {
        config_reject(&r, "out of memory", "unit count");
    } else {
        chain->unit_count = unit_count;
    }
    for (int j = 0; j < chain->unit_count && !r.failed; j++) {
        chain->units[j] = unit_read(&r, row_ms);
    }
    for (int j = 0; j < chain->unit_count && !r.failed; j++) {
        EffectUnit* unit = chain->units[j];
        unit->inputs = inputs_read(&r, chain, &unit->input_count);
    }
    chain->master_inputs = inputs_read(&r, chain, &chain->master_count);
    if (r.failed) {
        effect_chain_release(chain);
        return nullptr;
    }
    return chain;
}

void effect_chain_release(EffectChain* chain)
{
    if (!chain) {
        return;
    }
    for (int j = 0; j < chain->unit_count; j++) {
        unit_destroy(chain->units[j]);
    }
    free(chain->units);
    free(chain->master_inputs);
    free(chain->output);
    free(chain);
}

void unit_mix_inputs(EffectUnit* unit, uint32_t frames)
{
    // The mix holds one block; more would overrun it (and 2 * frames floats
    // in bytes would wrap a 32-bit size_t long before 2^32 frames).
    assert(frames <= BLOCK_FRAMES);
    const uint32_t n = 2 * frames;
    float* mix = unit->mix;
    if (unit->input_count == 0) {
        memset(mix, 0, n * sizeof(float));
        return;
    }
    if (unit->input_count == 1) {
        memcpy(mix, unit->inputs[0], n * sizeof(float));
        return;
    }
    // (in0 + in1) + in2 + ...: the sums of copying the first and adding the rest.
    buffers_add(mix, unit->inputs[0], unit->inputs[1], n);
    for (int k = 2; k < unit->input_count; k++) {
        buffers_add(mix, mix, unit->inputs[k], n);
    }
}

void effect_chain_process(EffectChain* chain, float master_gain)
{
    for (int v = 0; v < chain->voice_count; v++) {
        if (chain->voices[v]) {
            voice_block_fill(chain->voices[v]);
        }
    }
    for (int j = 0; j < chain->unit_count; j++) {
        unit_mix_inputs(chain->units[j], BLOCK_FRAMES);
        unit_process(chain->units[j], BLOCK_FRAMES);
    }
    master_mix(chain, master_gain);
}
