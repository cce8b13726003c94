// Effect chain: a small graph of effect units built once from a flat array
// of numbers, run once per block of 2,048 stereo frames. Each unit sums its
// inputs (voice blocks or unit outputs) into its mix and processes it; the
// master inputs are summed with the master gain into signed 16-bit frames.
//
// Configuration array (64-bit floats, read front to back; counts, codes and
// ids are truncated toward zero and keep their low 8 bits, flanger delays
// their low 16 bits, other parameters become 32-bit floats):
//   N, the unit count
//   per unit: type code, then that type's parameters
//     1 echo: rows, gain          2 reverb: room, damping, wet, dry, width, mode
//     3 flanger: min ms, max ms, rate, gain          4 comb: delay ms
//     5 power shaper: k           6 overdrive: amount  7 equalizer: 12 values
//     8 swept filter: cutoff, resonance, rate, depth 9 gain: gain
//     10 phase invert and every other code: none
//   per unit: input count (0..128), then that many input ids
//   master input count (0..128), then that many input ids
// Input ids: 1..32 name the block of voice id - 1 (song channel from 1);
// 33 + j names the output of unit j. A unit running later than the one that
// reads it (or the unit itself) is seen as it was after the previous block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "synth/effect_units.h"

struct Voice;

const int CHAIN_MAX_INPUTS = 128;      // per unit and for the master list
const int CHAIN_MAX_VOICE_ID = 32;     // ids 1..32 name voices
const int CHAIN_FIRST_UNIT_ID = 33;    // ids 33.. name units
// Delay lines of all units together: 128 MiB. The built-in chain takes
// 1.5 MiB; one flanger or comb at its longest 22 MiB, 255 echoes 86 MiB.
const size_t CHAIN_MAX_LINE_BYTES = (size_t)128 << 20;

// A unit's type-specific record; which member is live follows `type`.
union EffectUnitState {
    void* any;
    EchoUnit* echo;
    ReverbUnit* reverb;
    FlangerUnit* flanger;
    CombUnit* comb;
    PowerShaperUnit* power_shaper;
    OverdriveUnit* overdrive;
    EqualizerPlaceholder* equalizer;
    SweptFilterUnit* swept_filter;
    GainUnit* gain;
};

struct EffectUnit {
    uint8_t type;          // UNIT_* code; other codes only mix
    uint8_t input_count;   // 0..CHAIN_MAX_INPUTS
    const float** inputs;  // input_count buffers of BLOCK_FLOATS, not owned
    float* mix;            // BLOCK_FLOATS, owned: sum of the inputs this block
    float* output;         // BLOCK_FLOATS, owned: the result; silent until written
    EffectUnitState state; // owned; null for types without state
};

struct EffectChain {
    uint8_t unit_count;           // units, ids 33 .. 33 + unit_count - 1
    EffectUnit** units;           // owned, in processing order
    uint8_t master_count;         // 0..CHAIN_MAX_INPUTS
    const float** master_inputs;  // buffers summed into output, not owned
    int16_t* output;              // BLOCK_FLOATS interleaved 16-bit samples, owned
    Voice* const* voices;         // the player's voices, not owned
    int voice_count;              // song channels
};

// The built-in 15-unit configuration (ids 33..47, masters 45 and 47).
extern const double EFFECT_CONFIG_BUILTIN[];
extern const size_t EFFECT_CONFIG_BUILTIN_LENGTH;

// Building and release
// voices: voice_count voices (one per song channel, 0..32 used), which must
// outlive the chain; row_ms: one pattern row in ms (>= 0; 120 for the song).
// Returns the chain, or null after printing the reason to stderr when the
// array ends early, holds a value that is not a finite number, a count above
// 128, an id of 0, a channel beyond voice_count or a unit beyond N, asks for
// more than CHAIN_MAX_LINE_BYTES of delay lines, or memory runs out.
EffectChain* effect_chain_build(Voice* const* voices, int voice_count,
                                const double* config, size_t config_length, float row_ms);
void effect_chain_release(EffectChain* chain);  // frees all; null is ignored

// Running
// One block: copies BLOCK_FRAMES frames from every voice's ring (from
// read_pos, wrapping) into its block, runs the units in order, and mixes the
// master inputs times master_gain into chain->output, truncating each term
// toward zero before summing and clamping the sum to -32768..32767. The
// caller takes BLOCK_FLOATS off its count of pending floats.
void effect_chain_process(EffectChain* chain, float master_gain);
// Sums the unit's inputs, in list order, into its mix (silence without inputs).
void unit_mix_inputs(EffectUnit* unit, uint32_t frames);
