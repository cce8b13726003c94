// Music-to-picture sync state and the demo clock, shared by the runtime and
// the scenes. Written by the player's reports and by the frame loop, read by
// the render steps; all on the main thread, so no locks.
#pragma once

#include <cstdint>

// Seconds since playback started; written once per drawn frame.
extern float demo_time;

// Set to 1 when the beat instrument (4) is sequenced; a scene that reacts clears it.
extern uint8_t beat_flag;
// 2000 on a beat; scenes count it down by time (pulse_decay).
extern int32_t beat_pulse;
// 16 on an accent (instrument 5); scenes count it down by time.
extern int32_t accent_pulse;

// The pulses fall by presentation time, in steps on a grid of 60 a second
// (the display rate the look was made for), so that every frame rate shows
// the same curve: a 60 fps capture takes one step a frame, a 30 fps one two
// at a time, and a faster display holds the pulse between grid steps. A
// pulse's steps count from the grid instant at which a 60 fps capture first
// shows the block whose cells set it.
const int SYNC_STEPS_PER_SECOND = 60;
// Grid step of the frame being drawn: floor(time x 60), to within a
// hundredth of a step (times are floats).
extern int64_t sync_step;
// The last grid step each pulse has taken (or is not to take, before its
// first): a step is taken once, at a frame on or past it.
extern int64_t beat_stepped;
extern int64_t accent_stepped;

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
// `block` is the 2,048-frame block of the song whose cells are reported.
uint8_t sync_callback(uint8_t instrument, uint64_t block);

// The grid step of a time in seconds.
int64_t sync_step_at(float seconds);
// The first grid step at which a 60 fps capture shows what block `block`
// reported: frame k sees the blocks that start before its music position
// k x 735 frames, so floor(block x 2048 / 735) + 1.
int64_t sync_first_step(uint64_t block);
// Frames begun (sync_frame_begin) since the program started, never reset,
// and its value at the last sync_reset: what a frame drew before that is
// of another run.
extern int64_t sync_frame;
extern int64_t sync_reset_frame;
// Before a frame is drawn at `seconds`: sets sync_step, counts sync_frame.
void sync_frame_begin(float seconds);

// Clears the sync state and the clock (program start, and between test runs).
void sync_reset();
