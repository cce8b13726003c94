// The process-wide audio queue between the thread that renders blocks and the
// sound device's thread, which plays them. Sixteen blocks of 2,048 stereo
// frames of signed 16-bit little-endian samples: about 743 ms of sound, so a
// producer held up by a slow frame or by other programs does not leave the
// device without sound.
//
// Lock-free, single producer (audio_queue_full, audio_queue_push) and single
// consumer (audio_callback, on the device thread): a block's bytes are
// written before the fill count that hands it over, and read before the
// count that hands it back. Nothing on either side waits for the other.
//
// The consumer also keeps the account of what the device has played: the
// sound taken, when the last request came and what it took (so the frame loop
// can follow the device between requests), and the requests the queue could
// not fill. On a sound server it also counts the requests that came later
// than the sound the device had handed over could last: the server then ran
// dry and played silence of its own, which the queue never sees. It publishes the account under a version number, so a reader on
// another thread gets a consistent copy without ever holding the device up.
#pragma once

#include "base/base.h"

#include <atomic>
#include <cstdint>

const uint32_t AUDIO_QUEUE_BLOCKS = 16;
const uint32_t AUDIO_BLOCK_BYTES = 8192;  // 2,048 frames x 2 channels x 2 bytes

struct AudioQueue {
    uint8_t blocks[AUDIO_QUEUE_BLOCKS][AUDIO_BLOCK_BYTES];
    std::atomic<uint8_t> write_index;  // next block to fill, 0..15
    std::atomic<uint8_t> read_index;   // next block to play, 0..15
    std::atomic<uint8_t> filled;       // filled blocks, 0..16 (one being played counts)
    std::atomic<uint32_t> read_offset; // bytes already played of block read_index, 0..8191
    uint16_t skip[AUDIO_QUEUE_BLOCKS]; // leading bytes of each block that are never played
    std::atomic<uint64_t> pushed;      // blocks handed over since the last reset
    std::atomic<uint64_t> taken;       // blocks played out since the last reset

    // Playback account, written by the consumer only. `version` is odd while
    // the consumer updates it.
    std::atomic<uint32_t> version;
    std::atomic<uint64_t> played_bytes;   // sound taken from blocks since the last reset
    std::atomic<uint64_t> request_us;     // clock_us() when the last request came
    std::atomic<uint32_t> request_bytes;  // sound that request took (the rest was silence)
    std::atomic<bool> counting;           // unfilled requests count as underruns (set by the producer)
    std::atomic<uint32_t> underruns;      // requests the queue could not fill while counting
    std::atomic<uint64_t> underrun_bytes; // silence those requests played
    std::atomic<uint32_t> late_requests;  // requests later than late_after_us while counting
    std::atomic<uint64_t> late_bytes;     // the silence the server played before them, at least

    // Set by the producer side.
    std::atomic<uint64_t> late_after_us;  // a request this long after the last is late; 0: never
    std::atomic<bool> fresh;              // the next request follows none (a start or a resume)
};

// What the device has played, as audio_queue_played reports it.
struct AudioPlayed {
    uint64_t bytes;          // sound played, interpolated within the last request
    uint32_t underruns;      // requests the queue could not fill, and late requests, while counting
    uint64_t underrun_bytes; // silence played in their place
    uint32_t late_requests;  // of the underruns, the late requests: gaps in the server
    uint64_t late_bytes;     // and their silence (at least this much)
};

// Sound is 44,100 frames of 4 bytes per second.
const uint32_t AUDIO_BYTES_PER_SECOND = 176400;

// The one queue of the process; all fields start at 0.
extern AudioQueue g_audio_queue;

// Producer side (one thread at a time)
// True when all sixteen blocks hold unplayed sound. A stale answer can only
// be "full" too often, never "room" too early.
bool audio_queue_full();
// Appends one block of len bytes (1..8192; a shorter block is padded with
// silence) whose first `skip` bytes (0..len-1, whole frames) are never played.
// Returns false, changing nothing, when the queue is full or len or skip is
// out of range. Never waits and never takes the device's lock.
bool audio_queue_push(const void* block, uint32_t len, uint32_t skip = 0);
// Blocks handed over since the last reset.
uint64_t audio_queue_pushed();

// Any thread
// Blocks the device has played out since the last reset.
uint64_t audio_queue_taken();
// Empties the queue and clears its playback account; the device must not be
// playing from it (takes the device's lock to make sure).
void audio_queue_reset();
// Drops the sound not yet played (the device's current request keeps what
// it took) and counts the dropped blocks as taken; the playback account and
// the underruns stay. Takes the device's lock.
void audio_queue_drop();
// Underruns are counted only while this is on: from the first block of a song
// until it ends or stops, so the device's lead-in and run-out are not counted.
void audio_queue_count_underruns(bool on);
// A request that comes more than `us` microseconds after the one before it
// is late: the sound handed over before could not last until then, so the
// sound server played silence of its own for the difference (at least). It
// counts among the underruns while counting is on. 0 (the default): no
// request is late, for devices that wait for the callback rather than play
// on without it.
void audio_queue_set_late_after(uint64_t us);
// The next request follows no other (the device was held): it cannot be late.
void audio_queue_mark_fresh();
// What the device has played by `now_us` (a clock_us() reading): the
// sound taken up to the last request, plus as much of that request's sound as
// it can have played since, at 176,400 bytes per second. Never decreases
// while `now_us` does not. Never holds the device up.
AudioPlayed audio_queue_played(uint64_t now_us);

// Consumer side (device thread)
// Fills len bytes of stream from the queue in order, spanning blocks as
// needed, whatever len the device asks for; pads with silence only when the
// queue runs dry. Keeps the playback account. Copies and counts only: never
// waits, allocates or takes a lock. userdata is unused.
void audio_callback(void* userdata, uint8_t* stream, int len);
