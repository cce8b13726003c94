// Voice rendering: one three-oscillator subtractive synthesizer per song
// channel, rendering one tick at a time into its own one-second ring.
// Samples are 32-bit floats on the 16-bit scale (full scale about +-32767),
// interleaved stereo at 44,100 frames per second.
#pragma once

#include <cstdint>

#include "synth/song.h"

const uint32_t SAMPLE_RATE = 44100;     // frames per second
const uint32_t RING_FRAMES = 44100;     // one second of stereo frames
const uint32_t RING_FLOATS = 88200;     // one second of interleaved stereo
const uint32_t BLOCK_FRAMES = 2048;     // frames the effect chain takes per block
const uint32_t BLOCK_FLOATS = 4096;     // BLOCK_FRAMES interleaved stereo
const float VOICE_START_FREQ = 440.0f;  // Hz
const float VOICE_FULL_VOLUME = 64.0f;  // channel volume 0..64
const float VOICE_CENTRE_PAN = 128.0f;  // channel pan 0..255
const float VOICE_MAX_FREQ = 20000.0f;  // Hz; oscillator and cutoff ceiling
const float FILTER_SCALE = 22500.0f;    // divisor of the filter coefficient
const uint32_t NOISE_START_WORD = 0x2C364A12;

// Waveform codes of oscillators and modulation sources.
const uint8_t WAVE_SINE = 1;        // inverted sine (approximates -sin)
const uint8_t WAVE_RAMP2 = 2;       // two rising ramps per cycle
const uint8_t WAVE_SQUARE = 3;
const uint8_t WAVE_TRIANGLE = 4;
const uint8_t WAVE_RISE = 5;        // rising parabola
const uint8_t WAVE_FALL = 6;        // falling parabola
const uint8_t WAVE_NOISE = 7;       // oscillators only

// Oscillator phases, filter state and coefficients (19 floats).
struct VoiceState {
    float freq[OSC_COUNT];  // Hz, kept within 0..20000
    float slide[OSC_COUNT]; // Hz added to freq every tick
    float phase[OSC_COUNT]; // radians; never wrapped
    float filter_scale_a;   // 22500
    float high_a;
    float low_a;
    float band_a;
    float coef_a;
    float filter_scale_b;   // 22500
    float high_b;
    float low_b;
    float band_b;
    float coef_b;
};

struct Voice {
    float time;                   // frames rendered since the last trigger
    VoiceState* state;            // owned
    const Instrument* instrument; // owned by the Song; null = silent
    float* ring;                  // RING_FLOATS, owned, zeroed at creation
    float* block;                 // BLOCK_FLOATS, owned, filled by the effect chain
    uint32_t write_pos;           // float index of the next rendered frame; even
    uint32_t read_pos;            // float index of the next float the chain takes
    float note_freq;              // Hz of the current note; 440 at creation
    float volume;                 // channel volume 0..64; 64 at creation
    float pan;                    // 0..255; 255 = all in the first sample of a frame
};

// Creation and release
Voice* voice_create();             // idle voice, ring and block zeroed
void voice_destroy(Voice* voice);  // null is ignored

// Notes
// 13.75 * 2^((note - 9) / 12) truncated; low 16 bits above note 155.
uint16_t note_to_hz(uint8_t note);
// Sets note_freq from the note and restarts with volume 64 and pan 128.
// The caller sets voice->instrument first.
void voice_note_on(Voice* voice, uint8_t note);
// Restarts the note on the current instrument and note_freq (time, phases,
// slides, filter); reset_mix also puts volume to 64 and pan to 128.
void voice_trigger(Voice* voice, bool reset_mix);

// Rendering
// Renders one tick of `frames` stereo frames (1..RING_FRAMES) at write_pos and
// advances write_pos, wrapping at the ring's end. Returns false when the
// envelope ran out at this tick's start (the tick is written silent).
// Requires a non-null instrument.
bool voice_render(Voice* voice, uint32_t frames);
// fmodf(phase, 2pi) bit for bit, without the library call (the per-frame
// oscillator path).
float voice_wrap_phase(float phase);
// Value of waveform `shape` at theta in [0, 2pi); unknown codes give 0.
// Shape 7 draws from the shared noise generator.
float waveform_value(uint8_t shape, float theta);
// Next value of the calling thread's noise generator, in [-1, 0.7778).
// Every thread has its own, starting at NOISE_START_WORD; the voices
// rendered on one thread share it.
float noise_next();
// Puts the calling thread's noise word back to its start value.
void noise_reset();
// The calling thread's noise word: a player keeps its own between blocks, so
// its sound does not depend on which thread renders it or on what else does.
uint32_t noise_word_get();
void noise_word_set(uint32_t word);
