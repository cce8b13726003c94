// Effect unit types of the mixing chain: two-tap echo, flanger, comb, reverb,
// swept low-pass, two waveshapers, gain, phase inverter and the equalizer
// placeholder. Each type is one record of stored parameters and live state,
// made once by its constructor; its process operation reads `frames` stereo
// frames from a mix buffer and writes them to an output buffer (2 * frames
// floats each, interleaved (first, second), floats on the 16-bit scale).
// Constructors allocate everything a unit needs and return null when the
// memory cannot be had; processing allocates nothing. Every record, including
// its delay lines, is one allocation released by the type's destroy function
// (null is ignored).
#pragma once

#include <cstdint>

// Unit type codes of the chain configuration; other codes are skipped.
const uint8_t UNIT_ECHO = 1;
const uint8_t UNIT_REVERB = 2;
const uint8_t UNIT_FLANGER = 3;
const uint8_t UNIT_COMB = 4;
const uint8_t UNIT_POWER_SHAPER = 5;
const uint8_t UNIT_OVERDRIVE = 6;
const uint8_t UNIT_EQUALIZER = 7;
const uint8_t UNIT_SWEPT_FILTER = 8;
const uint8_t UNIT_GAIN = 9;
const uint8_t UNIT_PHASE_INVERT = 10;

const uint32_t EFFECT_SAMPLE_RATE = 44100;  // frames per second
const uint32_t ECHO_LINE_FRAMES = 44100;    // one second of stereo frames
const uint32_t COMB_MAX_MS = 65535;         // longest comb delay, ms
const uint8_t POWER_SHAPER_MAX_K = 10;      // exponent 1 - k / 10 stays >= 0
const float OVERDRIVE_MAX_AMOUNT = 0.999f;  // kappa = 2a / (1 - a) <= 1998
const int EQUALIZER_BANDS = 12;             // stored, never read
const int REVERB_COMBS = 8;                 // parallel combs per side
const int REVERB_STAGES = 4;                // series stages per side
const uint32_t REVERB_LINE_FLOATS = 25450;  // all 24 reverb lines together

// Two-tap echo of the second input sample. Tap A (rows) feeds the first
// output, tap B (rows - 1) the second. Each tap's counter starts where its
// delay puts it and returns the tap to the line's start past 44,099.
struct EchoUnit {
    uint8_t rows;          // delay of tap A in pattern rows
    float gain;            // level of the echoes
    float* line;           // ECHO_LINE_FRAMES frames stored swapped (x2, x1)
    uint32_t write_pos;    // frame index of the next write
    uint32_t tap_a_pos;    // frame index tap A reads
    uint32_t tap_b_pos;    // frame index tap B reads
    uint32_t write_count;  // 0..44099
    uint32_t tap_a_count;  // starts at c_A (may be far above 44099)
    uint32_t tap_b_count;  // starts at c_B
};

// Short delay swept by a sine: first = x1 - gain * x1 delayed,
// second = x2 + gain * x2 delayed.
struct FlangerUnit {
    float min_ms;           // sweep range, ms
    float max_ms;
    float rate;             // the delay sweeps at rate / 2 cycles per second
    float gain;             // level of the delayed signal
    uint32_t clock;         // frames processed; the sweep's time base
    uint32_t length;        // frames in the line: max_ms * 44100 / 1000, at least 1
    float* line;            // 2 * length floats: (x2 * gain, -x1 * gain)
    uint32_t write_index;   // frame index of the next write
    int32_t current_delay;  // frames, used for the last frame; 0..length
};

// Feed-forward difference comb: output = x - x delayed by length frames.
struct CombUnit {
    float delay_ms;   // as configured
    uint32_t length;  // trunc(delay_ms) * 44100 / 1000 frames; 0 gives silence
    float* line;      // 2 * length floats, stored swapped (x2, x1)
    uint32_t index;   // frame position
};

struct ReverbComb {
    float feedback;    // room size, or 1 in freeze mode
    float store;       // one-pole low-pass state
    float damp1;       // damping in use
    float damp2;       // 1 - damp1
    float* line;       // length floats (one side)
    uint32_t length;   // frames
    uint32_t position;
};

struct ReverbStage {
    float feedback;    // 0: the stage yields line - input
    float* line;
    uint32_t length;   // frames
    uint32_t position;
};

// Stereo reverberator: eight low-pass-feedback combs and four series stages
// per side, the second side's lines 23 frames longer.
struct ReverbUnit {
    float gain;        // input gain: 0.015, or 0 in freeze mode
    float room_size;   // room * 0.28 + 0.7
    float feedback;    // room_size, or 1 in freeze mode
    float damp;        // damping * 0.4
    float damp_in_use; // damp, or 0 in freeze mode
    float wet;         // wet * 3
    float wet1;        // (width / 2 + 0.5) * wet
    float wet2;        // (1 - width) / 2 * wet
    float dry;         // dry * 2
    float width;
    float mode;        // 0.5 or more: freeze
    ReverbComb combs_a[REVERB_COMBS];   // first side
    ReverbComb combs_b[REVERB_COMBS];   // second side
    ReverbStage stages_a[REVERB_STAGES];
    ReverbStage stages_b[REVERB_STAGES];
};

// Stereo resonant low-pass; a slow sine moves the cutoff once per call.
struct SweptFilterUnit {
    float base_cutoff;  // centre of the sweep
    float resonance;    // 0..1; damping is 1 - resonance
    float rate;         // sweep cycles per second (at 2,048-frame calls)
    float depth;        // sweep amplitude
    float sweep_phase;  // radians, never wrapped
    float cutoff;       // value for the current call
    float scale_a;      // 22500
    float high_a, low_a, band_a, coef_a;
    float scale_b;      // 22500
    float high_b, low_b, band_b, coef_b;
};

// y = sign(x) * 32767 * (|x| / 32767)^(1 - k / 10), per side.
struct PowerShaperUnit {
    uint8_t k;          // strength 0..10
};

// y = (kappa + 1) * x / (kappa * |x / 32767| + 1), kappa = 2a / (1 - a).
struct OverdriveUnit {
    float a;            // amount 0..OVERDRIVE_MAX_AMOUNT
};

struct GainUnit {
    float g;
};

// Reserves type 7; its output stays silent.
struct EqualizerPlaceholder {
    float bands[EQUALIZER_BANDS];
};

// Echo
// rows: tap A delay in pattern rows; row_ms: row length in ms (120 for the
// song). Delays of a second or more act as one-frame echoes.
EchoUnit* echo_unit_create(uint8_t rows, float gain, float row_ms);
void echo_unit_process(EchoUnit* unit, const float* mix, float* output, uint32_t frames);
void echo_unit_destroy(EchoUnit* unit);

// Flanger
// min_ms, max_ms: delay range in ms (min_ms > max_ms reads no further back
// than the line); rate: sweep speed (rate / 2 cycles per second).
FlangerUnit* flanger_unit_create(uint16_t min_ms, uint16_t max_ms, float rate, float gain);
// Frames in the line for max_ms: max_ms * 44100 / 1000, at least 1.
uint32_t flanger_line_frames(uint16_t max_ms);
void flanger_unit_process(FlangerUnit* unit, const float* mix, float* output, uint32_t frames);
void flanger_unit_destroy(FlangerUnit* unit);

// Comb
// delay_ms: 0..COMB_MAX_MS (outside, or not a number, is held to that range).
CombUnit* comb_unit_create(float delay_ms);
// Frames in the line for delay_ms (held to 0..COMB_MAX_MS, truncated).
uint32_t comb_line_frames(float delay_ms);
void comb_unit_process(CombUnit* unit, const float* mix, float* output, uint32_t frames);
void comb_unit_destroy(CombUnit* unit);

// Reverb
// room, damping, wet, dry, width: 0..1 in the usual setting; mode >= 0.5
// freezes the tail (input ignored, combs recirculate without loss).
ReverbUnit* reverb_unit_create(float room, float damping, float wet, float dry,
                               float width, float mode);
void reverb_unit_process(ReverbUnit* unit, const float* mix, float* output, uint32_t frames);
void reverb_unit_destroy(ReverbUnit* unit);

// Swept filter
// base_cutoff and depth in the voice filter's cutoff units (coefficient =
// cutoff * 6 / 22500); rate in cycles per second for 2,048-frame calls.
SweptFilterUnit* swept_filter_unit_create(float base_cutoff, float resonance,
                                          float rate, float depth);
void swept_filter_unit_process(SweptFilterUnit* unit, const float* mix, float* output,
                               uint32_t frames);
void swept_filter_unit_destroy(SweptFilterUnit* unit);

// Shapers
// k above 10 is held at 10 (a negative exponent would turn silence infinite).
PowerShaperUnit* power_shaper_unit_create(uint8_t k);
void power_shaper_unit_process(PowerShaperUnit* unit, const float* mix, float* output,
                               uint32_t frames);
void power_shaper_unit_destroy(PowerShaperUnit* unit);
// a is held to 0..OVERDRIVE_MAX_AMOUNT (a = 1 divides by zero; negative
// amounts put a pole inside the signal range); not a number gives 0.
OverdriveUnit* overdrive_unit_create(float a);
void overdrive_unit_process(OverdriveUnit* unit, const float* mix, float* output,
                            uint32_t frames);
void overdrive_unit_destroy(OverdriveUnit* unit);

// Gain, phase inversion, placeholder
GainUnit* gain_unit_create(float g);
void gain_unit_process(GainUnit* unit, const float* mix, float* output, uint32_t frames);
void gain_unit_destroy(GainUnit* unit);
// y1 = x1, y2 = -x2 (sign bit flipped; needs no state).
void phase_invert_unit_process(const float* mix, float* output, uint32_t frames);
EqualizerPlaceholder* equalizer_placeholder_create(const float bands[EQUALIZER_BANDS]);
void equalizer_placeholder_destroy(EqualizerPlaceholder* unit);
