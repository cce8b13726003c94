// Music-to-picture sync state and the demo clock, shared by the runtime and
// the scenes. Written by the player's reports and by the frame loop, read by
// the render steps; all on the main thread, so no locks.
#pragma once

#include <cstdint>

// Seconds since playback started; written once per drawn frame.
extern float demo_time;

// Set to 1 when the beat instrument (4) is sequenced; a scene that reacts clears it.
extern uint8_t beat_flag;
// 2000 on a beat; scenes count it down per frame.
extern int32_t beat_pulse;
// 16 on an accent (instrument 5); scenes count it down per frame.
extern int32_t accent_pulse;

// Instruments that drive the picture.
const uint8_t SYNC_BEAT_INSTRUMENT = 4;
const uint8_t SYNC_ACCENT_INSTRUMENT = 5;
const int32_t SYNC_BEAT_PULSE = 2000;
const int32_t SYNC_ACCENT_PULSE = 16;

// Row callback of the player, with an instrument byte a cell reported (0 for
// an empty cell). Offline (the capture) it is called as cells are sequenced,
// every tick for every channel; on the sound device the player reports from
// the frame loop instead (player_sync), once per instrument value reported
// by the blocks that came due, whatever the count. Setting the pulses again
// changes nothing, so both ways leave the same state. Returns it unchanged.
uint8_t sync_callback(uint8_t instrument);

// Clears the sync state and the clock (program start, and between test runs).
void sync_reset();
