// The four-block audio queue and the sound device's callback.
#include "synth/audio_queue.h"

#include <SDL/SDL.h>
#include <cstring>

AudioQueue g_audio_queue;

bool audio_queue_full()
{
    return g_audio_queue.filled.load() >= AUDIO_QUEUE_BLOCKS;
}

bool audio_queue_push(const void* block, uint32_t len)
{
    if (len == 0 || len > AUDIO_BLOCK_BYTES) return false;
    AudioQueue* q = &g_audio_queue;
    bool pushed = false;
    SDL_LockAudio();
    if (q->filled.load() < AUDIO_QUEUE_BLOCKS) {
        const uint8_t index = q->write_index.load();
        memcpy(q->blocks[index], block, len);
        memset(q->blocks[index] + len, 0, AUDIO_BLOCK_BYTES - len);
        q->write_index.store((uint8_t)((index + 1) % AUDIO_QUEUE_BLOCKS));
        q->filled.fetch_add(1);
        pushed = true;
    }
    SDL_UnlockAudio();
    return pushed;
}

void audio_queue_reset()
{
    AudioQueue* q = &g_audio_queue;
    SDL_LockAudio();
    q->write_index.store(0);
    q->read_index.store(0);
    q->filled.store(0);
    q->read_offset.store(0);
    SDL_UnlockAudio();
}

void audio_callback(void* userdata, uint8_t* stream, int len)
{
    (void)userdata;
    AudioQueue* q = &g_audio_queue;
    uint32_t wanted = len > 0 ? (uint32_t)len : 0;
    while (wanted > 0 && q->filled.load() > 0) {
        const uint8_t index = q->read_index.load();
        const uint32_t offset = q->read_offset.load();
        const uint32_t left = AUDIO_BLOCK_BYTES - offset;
        const uint32_t take = wanted < left ? wanted : left;
        memcpy(stream, q->blocks[index] + offset, take);
        stream += take;
        wanted -= take;
        if (take < left) {
            q->read_offset.store(offset + take);
        } else {
            // Block played out: hand it back to the producer.
            q->read_offset.store(0);
            q->read_index.store((uint8_t)((index + 1) % AUDIO_QUEUE_BLOCKS));
            q->filled.fetch_sub(1);
        }
    }
    if (wanted > 0) memset(stream, 0, wanted);
}
