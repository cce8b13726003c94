// Reverb unit: eight damped feedback combs and four series stages per side.
#include <cstdlib>
#include <cstring>

#include "synth/effect_units.h"
#include "synth/simd_local.h"

// Line lengths in frames for the first side; the second side adds the spread.
static const uint32_t REVERB_COMB_FRAMES[REVERB_COMBS] = {
    1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617,
};
static const uint32_t REVERB_STAGE_FRAMES[REVERB_STAGES] = {556, 441, 341, 225};
static const uint32_t REVERB_SPREAD = 23;            // frames

static const float REVERB_INPUT_GAIN = 0.015f;
static const float REVERB_ROOM_SCALE = 0.28f;
static const float REVERB_ROOM_OFFSET = 0.7f;
static const float REVERB_DAMP_SCALE = 0.4f;
static const float REVERB_WET_SCALE = 3.0f;
static const float REVERB_DRY_SCALE = 2.0f;
static const float REVERB_FREEZE_MODE = 0.5f;        // mode at or above: freeze

// Frames handled per pass over the lines; bounds the stack scratch.
static const uint32_t REVERB_CHUNK = 256;
static const uint32_t FLOAT_EXPONENT_BITS = 0x7F800000;
// Combs run side by side in groups of this many (one vector lane each).
static const int COMB_GROUP = 4;

static_assert(REVERB_COMBS % COMB_GROUP == 0, "combs form whole groups");

// Zero and denormals (all exponent bits clear) become 0, keeping the
// decaying feedback loops out of slow denormal arithmetic.
static inline float flush(float x)
{
    uint32_t bits;
    memcpy(&bits, &x, sizeof bits);
    return (bits & FLOAT_EXPONENT_BITS) ? x : 0.0f;
}

// flush on four lanes at once.
static inline Float4 flush4(Float4 x)
{
    Int4 bits;
    memcpy(&bits, &x, sizeof bits);
    const Float4 zero = {0.0f, 0.0f, 0.0f, 0.0f};
    return (bits & (int32_t)FLOAT_EXPONENT_BITS) != 0 ? x : zero;
}

// A comb's state held in locals while a group of combs runs.
struct CombLive {
    float* line;
    uint32_t position;
    uint32_t length;
    float store;
    float feedback;
    float damp1;
    float damp2;
};

static inline CombLive comb_live(const ReverbComb* comb)
{
    CombLive c = {comb->line, comb->position, comb->length, comb->store,
                  comb->feedback, comb->damp1, comb->damp2};
    return c;
}

static inline void comb_keep(const CombLive* c, ReverbComb* comb)
{
    comb->store = c->store;
    comb->position = c->position;
}

// Frames the comb can run before its position wraps.
static inline uint32_t comb_room(const CombLive* c)
{
    return c->length - c->position;
}

static inline void comb_advance(CombLive* c, uint32_t frames)
{
    c->position += frames;
    if (c->position == c->length) {
        c->position = 0;
    }
}

// Adds the outputs of COMB_GROUP consecutive combs for each of n inputs to
// acc, in comb order per frame (as running them one after the other would).
// The combs' feedback loops are independent: one vector lane per comb runs
// them side by side, each lane rounding as the scalar loop would. Runs stop
// where any line wraps.
static void comb_group_run(ReverbComb* combs, const float* in, float* acc, uint32_t n)
{
    CombLive c0 = comb_live(&combs[0]), c1 = comb_live(&combs[1]);
    CombLive c2 = comb_live(&combs[2]), c3 = comb_live(&combs[3]);
    Float4 store = {c0.store, c1.store, c2.store, c3.store};
    const Float4 feedback = {c0.feedback, c1.feedback, c2.feedback, c3.feedback};
    const Float4 damp1 = {c0.damp1, c1.damp1, c2.damp1, c3.damp1};
    const Float4 damp2 = {c0.damp2, c1.damp2, c2.damp2, c3.damp2};
    uint32_t i = 0;
    while (i < n) {
        uint32_t run = n - i;
        run = comb_room(&c0) < run ? comb_room(&c0) : run;
        run = comb_room(&c1) < run ? comb_room(&c1) : run;
        run = comb_room(&c2) < run ? comb_room(&c2) : run;
        run = comb_room(&c3) < run ? comb_room(&c3) : run;
        float* l0 = c0.line + c0.position;
        float* l1 = c1.line + c1.position;
        float* l2 = c2.line + c2.position;
        float* l3 = c3.line + c3.position;
        for (uint32_t f = 0; f < run; f++) {
            Float4 out = {l0[f], l1[f], l2[f], l3[f]};
            out = flush4(out);
            store = flush4(out * damp2 + store * damp1);
            float x = in[i + f];
            Float4 written = Float4{x, x, x, x} + store * feedback;
            l0[f] = written[0], l1[f] = written[1], l2[f] = written[2], l3[f] = written[3];
            acc[i + f] = acc[i + f] + out[0] + out[1] + out[2] + out[3];
        }
        comb_advance(&c0, run), comb_advance(&c1, run);
        comb_advance(&c2, run), comb_advance(&c3, run);
        i += run;
    }
    c0.store = store[0], c1.store = store[1], c2.store = store[2], c3.store = store[3];
    comb_keep(&c0, &combs[0]), comb_keep(&c1, &combs[1]);
    comb_keep(&c2, &combs[2]), comb_keep(&c3, &combs[3]);
}

// Replaces each of n samples by the stage's output (line value minus input).
// Within a run that does not wrap, every frame touches only its own cell,
// so four frames go per vector step (each lane rounding as the scalar
// tail does).
static void stage_run(ReverbStage* stage, float* x, uint32_t n)
{
    const float feedback = stage->feedback;
    const Float4 feedback4 = {feedback, feedback, feedback, feedback};
    const uint32_t length = stage->length;
    uint32_t pos = stage->position;
    uint32_t i = 0;
    while (i < n) {
        uint32_t run = length - pos < n - i ? length - pos : n - i;
        float* cell = stage->line + pos;
        float* xs = x + i;
        uint32_t f = 0;
        for (; f + 4 <= run; f += 4) {
            Float4 out, in;
            memcpy(&out, cell + f, sizeof out);
            memcpy(&in, xs + f, sizeof in);
            out = flush4(out);
            Float4 written = in + out * feedback4;
            Float4 result = out - in;
            memcpy(cell + f, &written, sizeof written);
            memcpy(xs + f, &result, sizeof result);
        }
        for (; f < run; f++) {
            float out = flush(cell[f]);
            cell[f] = xs[f] + out * feedback;
            xs[f] = out - xs[f];
        }
        pos += run;
        if (pos == length) {
            pos = 0;
        }
        i += run;
    }
    stage->position = pos;
}

static float* comb_init(ReverbComb* comb, float* line, uint32_t length,
                        float feedback, float damp)
{
    comb->feedback = feedback;
    comb->damp1 = damp;
    comb->damp2 = 1.0f - damp;
    comb->line = line;
    comb->length = length;
    return line + length;
}

static float* stage_init(ReverbStage* stage, float* line, uint32_t length)
{
    stage->feedback = 0.0f;
    stage->line = line;
    stage->length = length;
    return line + length;
}

ReverbUnit* reverb_unit_create(float room, float damping, float wet, float dry,
                               float width, float mode)
{
    ReverbUnit* u = (ReverbUnit*)calloc(1, sizeof(ReverbUnit) + REVERB_LINE_FLOATS * sizeof(float));
    if (!u) {
        return nullptr;
    }
    bool freeze = mode >= REVERB_FREEZE_MODE;
    u->room_size = room * REVERB_ROOM_SCALE + REVERB_ROOM_OFFSET;
    u->damp = damping * REVERB_DAMP_SCALE;
    u->wet = wet * REVERB_WET_SCALE;
    u->width = width;
    u->wet1 = (width / 2.0f + 0.5f) * u->wet;
    u->wet2 = (1.0f - width) / 2.0f * u->wet;
    u->dry = dry * REVERB_DRY_SCALE;
    u->mode = mode;
    u->feedback = freeze ? 1.0f : u->room_size;
    u->damp_in_use = freeze ? 0.0f : u->damp;
    u->gain = freeze ? 0.0f : REVERB_INPUT_GAIN;
    float* line = (float*)(u + 1);
    for (int i = 0; i < REVERB_COMBS; i++) {
        line = comb_init(&u->combs_a[i], line, REVERB_COMB_FRAMES[i], u->feedback, u->damp_in_use);
        line = comb_init(&u->combs_b[i], line, REVERB_COMB_FRAMES[i] + REVERB_SPREAD,
                         u->feedback, u->damp_in_use);
    }
    for (int i = 0; i < REVERB_STAGES; i++) {
        line = stage_init(&u->stages_a[i], line, REVERB_STAGE_FRAMES[i]);
        line = stage_init(&u->stages_b[i], line, REVERB_STAGE_FRAMES[i] + REVERB_SPREAD);
    }
    return u;
}

void reverb_unit_process(ReverbUnit* unit, const float* mix, float* output, uint32_t frames)
{
    float v[REVERB_CHUNK], a[REVERB_CHUNK], b[REVERB_CHUNK];
    for (uint32_t start = 0; start < frames; start += REVERB_CHUNK) {
        uint32_t n = frames - start < REVERB_CHUNK ? frames - start : REVERB_CHUNK;
        const float* in = mix + 2 * start;
        float* out = output + 2 * start;
        for (uint32_t i = 0; i < n; i++) {
            v[i] = (in[2 * i] + in[2 * i + 1]) * unit->gain;
            a[i] = 0.0f;
            b[i] = 0.0f;
        }
        // Each comb depends only on its own line, so running them one after
        // the other over the chunk sums in the same order as frame by frame.
        for (int c = 0; c < REVERB_COMBS; c += COMB_GROUP) {
            comb_group_run(&unit->combs_a[c], v, a, n);
            comb_group_run(&unit->combs_b[c], v, b, n);
        }
        for (int s = 0; s < REVERB_STAGES; s++) {
            stage_run(&unit->stages_a[s], a, n);
            stage_run(&unit->stages_b[s], b, n);
        }
        const float wet1 = unit->wet1, wet2 = unit->wet2, dry = unit->dry;
        for (uint32_t i = 0; i < n; i++) {
            out[2 * i] = a[i] * wet1 + b[i] * wet2 + in[2 * i] * dry;
            out[2 * i + 1] = b[i] * wet1 + a[i] * wet2 + in[2 * i + 1] * dry;
        }
    }
}

void reverb_unit_destroy(ReverbUnit* unit)
{
    free(unit);
}
