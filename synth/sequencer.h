// The sequencer: advances the player's song by one tick.
#pragma once

#include "synth/player.h"

// Effect codes of a cell (p = the cell's param byte).
const uint8_t FX_NONE = 0;
const uint8_t FX_SLIDE_UP = 1;       // every tick: enabled oscillators' freq += p Hz
const uint8_t FX_SLIDE_DOWN = 2;     // every tick: freq -= p Hz, not below 1 Hz
const uint8_t FX_PORTAMENTO = 3;     // every tick: freq moves 4 x p Hz towards the cell's note
const uint8_t FX_SET_PAN = 4;        // tick 0: pan = p (0..255)
const uint8_t FX_VOLUME_SLIDE = 5;   // every tick: volume + p / 16 - p mod 16, within 0..64
const uint8_t FX_RETRIGGER = 6;      // ticks where tick mod p = 0 (p = 0: nothing)
const uint8_t FX_SPEED_TEMPO = 7;    // tick 0: p < 32 sets speed, p >= 32 sets tempo

// Runs one tick: for every channel reports the cell to the callbacks, starts
// notes and applies the volume column and effects (notes on tick 0), then
// every voice renders tick_frames frames into its ring and pending_floats
// grows by 2 x tick_frames. Moves tick, row and loop position on. Returns
// false on the tick that finishes the last row when not looping, and on every
// later call: those ticks read no cells and write silence on every voice.
bool sequencer_tick(Player* player);
