// Instrument table: the seven compiled-in patches, 66 values each after the count.
#include "synth/song.h"

// Per instrument, one block of six lines:
//   osc 1..3: enabled, volume, volume_lfo, fixed_freq, freq_mul, freq_lfo, slide,
//             slide_accel, waveform, pan, pan_lfo, spare
//   envelope: envelope_off, attack_ms, decay_ms, sustain_ms, release_ms,
//             sustain_level, filter_on, cutoff, resonance, cutoff_lfo, resonance_lfo
//   lfo 0..5: waveform, freq (Hz), amount (three values each)
//   gain:     volume
// Flags are on only for exactly 1; modulation-source bytes are 0 (none) or
// 1..6 (lfo 0..5).
const double INSTRUMENT_TABLE[] = {
    7,
    // 1: pad: two sines and a triangle, slow tremolo, filtered, no envelope
    1, 0.7, 4, 0, 4, 0, 0, 0, 1, 0, 2, 0,
    1, 0.3, 4, 0, 4, 0, 0, 0, 4, 0, 0, 0,
    1, 0.3, 4, 0, 2, 0, 0, 0, 1, 0, 2, 0,
    1, 0, 0, 0, 1000, 0.8, 1, 2000, 0.8, 0, 0,
    1, 0.2, 500, 1, 0.5, 0.2, 0, 4, 1, 1, 0.5, 0.2, 0, 1, 0, 0, 1, 0,
    0.2,
    // 2: lead and bass: triangle plus two squares, 4 Hz tremolo, 600 ms release
    1, 0.7, 1, 0, 4, 0, 0, 0, 4, 0, 0, 0,
    1, 0.2, 1, 0, 8, 0, 0, 0, 3, 0, 0, 1,
    1, 0.3, 1, 0, 2, 0, 0, 0, 3, 0, 0, 0,
    0, 0, 0, 0, 600, 1, 0, 1000, 0.6, 0, 0,
    1, 4, 0.1, 1, 0.2, 0.25, 1, 0.2, 0.25, 3, 8, 0.5, 0, 1, 0, 0, 1, 0,
    0.35,
    // 3: snare: falling sine thump plus noise, 40 ms release
    1, 2, 0, 600, 1, 0, -60, 0, 1, 0, 0, 0,
    1, 1, 0, 0, 1, 0, 0, 0, 7, 0, 0, 1,
    0, 0.1, 0, 0, 4, 0, 0, 0, 2, 0, 2, 1,
    0, 0, 0, 0, 40, 1, 0, 1000, 0, 0, 0,
    1, 6, 2000, 0, 4, 0.5, 0, 1, 0, 0, 0.3, 4, 0, 1, 0, 0, 1, 0,
    1,
    // 4: beat: sliding 350 Hz thump plus 100 Hz, filtered at 200
    1, 4, 0, 350, 1, 0, -70, 4, 1, 0, 0, 0,
    1, 2, 0, 100, 1, 0, 0, 0, 1, 0, 0, 1,
    0, 0.1, 0, 0, 4, 0, 0, 0, 2, 0, 2, 1,
    0, 0, 0, 0, 400, 1, 1, 200, 0, 0, 0,
    0, 6, 0.4, 0, 4, 0.5, 0, 1, 0, 0, 0.3, 4, 0, 1, 0, 0, 1, 0,
    0.6,
    // 5: accent: short quiet noise burst
    1, 0.1, 0, 0, 1, 0, 0, 0, 7, 0, 0, 0,
    0, 0.2, 0, 0, 0.5, 0, 0, 0, 3, 0, 0, 1,
    0, 0.1, 0, 0, 4, 0, 0, 0, 2, 0, 2, 1,
    0, 0, 0, 0, 100, 1, 0, 2000, 0.5, 0, 0,
    0, 6, 0.4, 0, 4, 0.5, 0, 1, 0, 0, 0.3, 4, 0, 1, 0, 0, 1, 0,
    1,
    // 6: low bass: ramps and a sine two and three octaves down, filtered
    1, 3, 0, 0, 0.25, 0, 0, 0, 2, 0.5, 0, 0,
    1, 1, 0, 0, 0.25, 0, 0, 0, 1, -0.5, 0, 1,
    1, 3, 0, 0, 0.125, 0, 0, 0, 2, 0, 0, 1,
    0, 0, 0, 0, 200, 0.8, 1, 200, 0, 0, 0,
    1, 1, 600, 1, 4, 0.1, 0, 1, 0, 0, 0.3, 4, 0, 1, 0, 0, 1, 0,
    1,
    // 7: organ: two squares (unused by the song)
    1, 1, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0,
    1, 0.2, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0,
    0, 0.8, 0, 0, 0.5, 0, 0, 0, 1, 0, 0, 0,
    0, 0, 0, 0, 100, 1, 0, 3000, 0, 1, 0,
    1, 2, -2000, 1, 4, 0.6, 0, 1, 0, 0, 0.3, 4, 0, 1, 0, 0, 1, 0,
    0.2,
};

const size_t INSTRUMENT_TABLE_SIZE = sizeof(INSTRUMENT_TABLE) / sizeof(INSTRUMENT_TABLE[0]);
