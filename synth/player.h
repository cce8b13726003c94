// The player: drives a Song through the sequencer, the voices and the effect
// chain, one 2,048-frame block at a time, and hands the blocks to the sound
// device through the process-wide audio queue.
//
// A player on the sound device renders ahead on a thread of its own, keeping
// the queue full, so no slow frame can starve the device. What its cells
// report reaches the row callback only through player_sync, on the frame
// loop's thread, for the music position the frame shows, however far ahead
// the render thread is. An offline player renders on the caller's thread in
// player_pump and reports at once.
//
// Calling order: song_create -> player_create -> player_set_row_callback ->
// (player_keep_checkpoints, to seek fast) -> player_start or player_start_at
// -> player_sync after every video frame (player_pump until it reports a
// full queue, offline), player_seek and player_pause as the viewer asks ->
// player_stop -> player_destroy -> song_destroy.
#pragma once

#include <cstddef>
#include <cstdint>

#include "synth/song.h"
#include "synth/voice.h"

struct EffectChain;
struct PlayerAhead;
struct PlayerSeek;

// Row callback: the instrument byte of each cell, every tick, with the block
// (2,048 frames, counted from the song's first frame) whose rendering
// sequenced it (result ignored).
typedef uint8_t (*PlayerRowCallback)(uint8_t instrument, uint64_t block);
// Effect callback: the effect code and parameter of each cell, every tick.
typedef void (*PlayerEffectCallback)(uint8_t effect, uint8_t param);

struct Player {
    uint8_t playing;         // 1 between player_start and player_stop
    uint8_t loop;            // 1: after the last row the song restarts at row 0
    uint32_t pending_floats; // rendered into the voice rings, not yet taken by the chain
    int32_t row;             // current row, from 0 (row_count once a non-looping song ended)
    float master_gain;       // gain of the chain's master mix; 1.0 at creation
    Song* song;              // not owned; effect 7 writes its speed and tempo
    Voice** voices;          // song->channel_count voices, owned; voice i plays channel i
    EffectChain* chain;      // owned
    uint8_t tick;            // tick within the row, 0..speed-1
    double tick_ms;          // tick length in milliseconds (20.0 at tempo 125)
    uint32_t tick_frames;    // frames per tick, low 16 bits (882 at tempo 125)
    PlayerRowCallback row_callback;       // or null
    PlayerEffectCallback effect_callback; // or null
    uint8_t has_device;      // 1: holds a share of the sound device; 0: offline
    uint64_t origin_bytes;   // the queue's played count when playback started
    PlayerAhead* ahead;      // owned: the blocks' cell records and the render thread
    uint64_t block;          // blocks rendered from the song's first frame
    uint32_t noise_word;     // the voices' noise generator between blocks
    uint8_t paused;          // 1 while player_pause holds the device
    double* chain_config;    // owned copy of the chain configuration
    size_t chain_length;     // its values
    PlayerSeek* seek;        // owned: start state, checkpoints and their builder
};

// Stereo frames the chain turns into one queued block, and its floats.
const uint32_t PLAYER_BLOCK_FRAMES = 2048;
const uint32_t PLAYER_BLOCK_FLOATS = 4096;
const uint32_t PLAYER_OUTPUT_RATE = 44100;  // Hz, 16-bit stereo

// Creation and release
// Opens the sound device if no player holds it yet (44,100 Hz, signed 16-bit,
// stereo, 2,048 frames per request), creates one voice per song channel in
// channel order, builds the effect chain from `chain_config` (chain_length
// values) with rows of 1000 / (tempo / 2.5) x speed ms. Returns null, with nothing allocated, when the device cannot be
// opened or the chain configuration is rejected. The player is not playing.
Player* player_create(Song* song, const double* chain_config, size_t chain_length);
// The same without the sound device, for rendering offline: the blocks go to
// the audio queue and the caller drains them with audio_callback. Returns
// null only when the chain configuration is rejected.
Player* player_create_offline(Song* song, const double* chain_config, size_t chain_length);
// Frees the voices and the chain; the last player holding the device closes it.
void player_destroy(Player* player); // null is ignored

// Row length the chain's echoes are timed by: 1000 / (tempo / 2.5) x speed
// ms from the song's current tempo and speed (120.0 at 125 and 6).
double player_row_ms(const Song* song);

// Callbacks (set before player_start)
// With deferred reports the row callback is called by player_sync instead,
// block by block, once for every instrument value a due block's cells
// reported, in ascending order: enough for a callback whose effect does not
// depend on how often or in what order a block's values come, such as
// setting flags. The effect callback is
// called as cells are sequenced, on the thread that renders.
void player_set_row_callback(Player* player, PlayerRowCallback callback);
void player_set_effect_callback(Player* player, PlayerEffectCallback callback);
// Defers the row reports of the blocks rendered from now on to player_sync.
void player_defer_reports(Player* player);

// Playback
// Starts playing with the master gain (1.4 in the presentation) and loop flag:
// queues the first block; on the sound device, also renders the queue full,
// starts the render thread and unpauses the device. Does nothing when already
// playing.
void player_start(Player* player, float gain, uint8_t loop);
// The same, `frame` frames into the song (at 44,100 per second), with the
// state playing from the start would have given: everything before is
// rendered and thrown away with the callbacks silenced, and the device's first
// frame is exactly `frame`. About 1 s of work per 100 s skipped.
void player_start_at(Player* player, float gain, uint8_t loop, uint64_t frame);
// Tick 0, tick length from the song's tempo, device unpaused. A tempo change
// takes effect only here (player_start does the same around its first block).
void player_begin(Player* player);
// Renders one block into the queue if it has room. Writes 1 to *more while
// the queue still has room afterwards, else 0. Returns 0 when the song ended
// (only without looping), else 1. Allocates nothing. While the render thread
// runs it renders nothing and writes 0 to *more.
int player_pump(Player* player, int* more);
// Renders blocks until the queue is full: the render thread's work, one
// thread at a time. Allocates nothing and never waits.
void player_render_ahead(Player* player);
// Frame loop: reports to the row callback the cells of the blocks that start
// before `frame` (44,100 per second from the song's first frame), the music
// position the frame shows, as far as they are rendered: block by block in
// order, once per instrument value each block reported, with its block. A
// frame thus sees the very cells an offline player rendered up to its time
// reports. Returns 0 once the block in which the song ended (only without
// looping) is due, else 1. Never waits for the render thread; renders the
// queue full itself when the system would not start one.
int player_sync(Player* player, uint64_t frame);
// Stops the render thread and pauses the device; does nothing when not playing.
void player_stop(Player* player);
// Holds the sound device (paused is true) or lets it play on from the very
// frame where it stopped. The queue stays full meanwhile and nothing played
// is lost or repeated; a held device counts no underruns. Does nothing
// offline or when not playing.
void player_pause(Player* player, bool paused);
// Seconds of this player's sound the device has played by now, following it
// between its requests; stands still while the device plays silence.
// Counts from the last start or seek.
double player_played_seconds(const Player* player);

// Snapshots
// A player's whole state between two blocks: song position, tick length,
// tempo and speed, the noise generator, every voice with the sound it has
// rendered but the chain has not yet taken, and every effect unit's live
// state (of a delay line only what is still to be read). Restoring one and
// rendering on gives byte for byte the blocks the saved player gave. Master
// gain, loop flag, callbacks and queue are playback settings, not state.
struct PlayerSnapshot {
    uint64_t block;   // blocks rendered from the song's first frame when saved
    size_t capacity;  // bytes of data
    size_t used;      // bytes of data in use
    uint8_t* data;    // owned
};

// Bytes a snapshot of this player may need between any two blocks.
size_t player_snapshot_capacity(const Player* player);
PlayerSnapshot* player_snapshot_create(size_t capacity); // null when out of memory
void player_snapshot_destroy(PlayerSnapshot* snapshot);  // null is ignored
// Saves the player's state; false, with `used` 0, when it does not fit.
// Reads the player only: call it between blocks, on the thread rendering.
bool player_snapshot_save(const Player* player, PlayerSnapshot* snapshot);
// Puts the player in the saved state. The snapshot must come from a player
// of the same song and chain configuration; the render thread must not run.
void player_snapshot_restore(Player* player, const PlayerSnapshot* snapshot);

// Seeking
// Blocks between two checkpoints: 107 x 2,048 frames = 4.97 s, the most
// whole blocks within 5 s, so a seek renders at most 5 s of music.
const uint32_t PLAYER_CHECKPOINT_BLOCKS = 107;
// From the next start on, a thread of its own at low priority renders the
// song once more from its first frame and keeps a checkpoint every
// PLAYER_CHECKPOINT_BLOCKS blocks, up to the song's end (or first loop).
// Call before player_start; costs about 1.5 s of one core in all.
void player_keep_checkpoints(Player* player);
// Checkpoints ready so far, their total bytes, and waiting for all of them
// (tests and benchmarks; nothing when none are being built).
uint32_t player_checkpoints_ready(const Player* player);
size_t player_checkpoints_bytes(const Player* player);
void player_checkpoints_wait(Player* player);
// Plays on from `frame` (44,100 per second from the song's first frame),
// forwards or backwards, with the sound player_start_at(frame) would give,
// byte for byte: stops the render thread, drops the queued sound, puts the
// state back to the nearest checkpoint at or before the block holding
// `frame` (or goes on from the current state when that is nearer), renders
// and throws away the blocks up to it with the callbacks silenced, queues it
// from `frame` on, then restarts the render thread, which refills the queue.
// A paused device stays paused. The played seconds count from here, the
// cells' reports start afresh, underruns keep counting. Frame loop thread
// only; does nothing when not playing.
void player_seek(Player* player, uint64_t frame);

// Device
// Opens the sound device with audio_callback; false when it cannot be opened,
// and audio_open_error() then says why (empty after a success).
// Through a sound server (SDL's pulseaudio or pipewire backend) it asks for
// requests of 8,192 frames, so the server holds enough to ride out a busy
// desktop, and counts the requests that come too late as underruns
// (audio_queue_set_late_after); otherwise 2,048.
bool audio_open();
const char* audio_open_error();
// Seconds from the moment the device takes sound from the queue (a request
// of audio_callback) until the request's first frame is heard, as far as it
// can be known: what the output still held before the request. For a device
// one buffer more (its frames per request at 44,100 Hz); through a sound
// server its target, which the request fills up, less the request. The
// frames subtract it from the sound taken to follow the sound heard.
// Constant while the device is open; 0 when it is not.
double audio_output_latency_seconds();
void audio_close();
// True while a player holds the sound device open.
bool audio_device_is_open();
