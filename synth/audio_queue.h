// The process-wide audio queue between the main thread, which renders blocks,
// and the sound device's thread, which plays them. Four blocks of 2,048
// stereo frames of signed 16-bit little-endian samples: about 186 ms of margin
// between two video frames.
//
// Single producer (the main thread: audio_queue_full, audio_queue_push) and
// single consumer (audio_callback, on the device thread). The device holds its
// audio lock while the callback runs and the producer takes the same lock
// around each push, so block contents and index updates never interleave.
// The indexes and the fill count are atomic besides, because the producer
// tests for room without the lock.
#pragma once

#include <atomic>
#include <cstdint>

const uint32_t AUDIO_QUEUE_BLOCKS = 4;
const uint32_t AUDIO_BLOCK_BYTES = 8192;  // 2,048 frames x 2 channels x 2 bytes

struct AudioQueue {
    uint8_t blocks[AUDIO_QUEUE_BLOCKS][AUDIO_BLOCK_BYTES];
    std::atomic<uint8_t> write_index; // next block to fill, 0..3
    std::atomic<uint8_t> read_index;  // next block to play, 0..3
    std::atomic<uint8_t> filled;      // filled blocks, 0..4 (one being played counts)
    std::atomic<uint32_t> read_offset;// bytes already played of block read_index, 0..8191
};

// The one queue of the process; all fields start at 0.
extern AudioQueue g_audio_queue;

// Producer side (main thread)
// True when all four blocks hold unplayed sound. Read without the lock: a
// stale answer can only be "full" too often, never "room" too early.
bool audio_queue_full();
// Appends one block of len bytes (1..8192; a shorter block is padded with
// silence). Takes the device's audio lock around the copy and the update.
// Returns false, changing nothing, when the queue is full or len is out of range.
bool audio_queue_push(const void* block, uint32_t len);
// Empties the queue (no device may be playing from it).
void audio_queue_reset();

// Consumer side (device thread, called with the audio lock held)
// Fills len bytes of stream from the queue in order, spanning blocks as
// needed, whatever len the device asks for; pads with silence only when the
// queue runs dry. userdata is unused.
void audio_callback(void* userdata, uint8_t* stream, int len);
