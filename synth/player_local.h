// Shared by the player's source files: the record of what the blocks rendered
// ahead reported, the render thread, and the queueing of one block.
#pragma once

#include "synth/audio_queue.h"
#include "synth/player.h"

#include <atomic>
#include <pthread.h>

// Every value a cell's instrument byte can take.
const uint32_t AHEAD_INSTRUMENTS = 256;
// Records kept of the blocks rendered: well over the queue's length, so the
// one player_sync reads cannot be rewritten while it reads it.
const uint32_t AHEAD_RECORDS = 4 * AUDIO_QUEUE_BLOCKS;
// A record's block count while the render thread rewrites it.
const uint64_t RECORD_REWRITING = UINT64_MAX;

// What the cells of a player's first `made` blocks reported: running counts
// of the reports of each instrument value (wrapping), which the frame loop
// compares with the counts it has already passed on.
struct CellRecord {
    std::atomic<uint64_t> made;
    std::atomic<uint32_t> reports[AHEAD_INSTRUMENTS];
};

struct PlayerAhead {
    // The rendering side: the render thread, or the caller of player_start
    // and player_pump before and without it.
    bool deferred;                        // row reports go to records, not the callback
    uint32_t reports[AHEAD_INSTRUMENTS];  // running counts of the reports so far
    std::atomic<uint64_t> made;           // blocks queued since the start
    std::atomic<uint64_t> ended_at;       // `made` once the song ended; UINT64_MAX before
    CellRecord records[AHEAD_RECORDS];    // record of `made` blocks at made % AHEAD_RECORDS

    // The frame loop's side.
    PlayerRowCallback callback;           // the caller's row callback
    uint64_t origin;                      // the queue's pushed count at the start
    uint64_t first_block;                 // the song's block queued first since the start
    uint64_t synced;                      // blocks whose reports have been passed on
    uint32_t passed[AHEAD_INSTRUMENTS];   // report counts of those blocks

    pthread_t thread;                     // renders ahead while the device plays
    bool running;                         // the thread was started and not yet joined
    std::atomic<bool> stop;               // tells the thread to end
    pthread_mutex_t wake_lock;            // with wake: ends the thread's pause at once
    pthread_cond_t wake;                  // on a monotonic clock
};

PlayerAhead* ahead_create();
void ahead_destroy(PlayerAhead* ahead);
// Clears the records and counts for a start with the queue's pushed count,
// the first block to be queued being the song's block `first_block`.
void ahead_restart(PlayerAhead* ahead, uint64_t origin, uint64_t first_block);
// The row callback that stands for the caller's while reports are deferred.
uint8_t ahead_record_row(uint8_t instrument, uint64_t block);
// Starts the render thread; false when the system cannot start one.
bool ahead_thread_start(Player* player);
void ahead_thread_stop(Player* player); // nothing when it does not run
bool ahead_thread_running(const Player* player);

// The state at the first start, the checkpoints and the thread building them.
struct PlayerSeek {
    PlayerSnapshot* start;              // state at the song's first frame
    bool keep;                          // build checkpoints from the next start
    Song song;                          // the builder's copy: its tempo and speed are its own
    uint8_t loop;                       // the loop flag the builder plays with
    PlayerSnapshot** checkpoints;       // entry i: state at block i * PLAYER_CHECKPOINT_BLOCKS
    uint32_t slots;                     // entries the table holds
    std::atomic<uint32_t> ready;        // entries published by the builder
    pthread_t thread;
    bool running;                       // the builder was started and not yet joined
    std::atomic<bool> stop;             // tells the builder to end
};

PlayerSeek* seek_create();
// Stops the builder and frees the snapshots.
void seek_destroy(PlayerSeek* seek);
// At a start: keeps the state of the song's first frame (only the first
// time) and starts the builder when asked to.
void seek_start(Player* player);

// Everything of player_create but the device: record, voices, chain.
Player* player_build(Song* song, const double* chain_config, size_t chain_length);
// Renders and throws away whole blocks, telling nobody of their cells.
void player_discard_blocks(Player* player, uint64_t blocks);

// Renders whole ticks until the chain can take a block, then lets the chain
// make it (player.cpp). Returns false when the song ended during the block.
bool player_render_block(Player* player);
// Renders one block and queues it (its first `skip` bytes never played),
// recording what its cells reported. The queue must have room. Returns false
// when the song ended during the block.
bool player_queue_block(Player* player, uint32_t skip);
