// The audio queue, the sound device's callback and its account of what was played.
#include "synth/audio_queue.h"

#include <SDL/SDL.h>
#include <cstring>
#include <ctime>
#include <sched.h>

static const uint32_t BYTES_PER_FRAME = 4;
static const uint64_t US_PER_SECOND = 1000000;
// Reads of the account that find the device mid-update before the reader
// yields the processor (the update is a handful of stores).
static const int ACCOUNT_SPINS = 64;

AudioQueue g_audio_queue;

bool audio_queue_full()
{
    return g_audio_queue.filled.load() >= AUDIO_QUEUE_BLOCKS;
}

bool audio_queue_push(const void* block, uint32_t len, uint32_t skip)
{
    if (len == 0 || len > AUDIO_BLOCK_BYTES || skip >= len || skip % BYTES_PER_FRAME) return false;
    AudioQueue* q = &g_audio_queue;
    if (q->filled.load() >= AUDIO_QUEUE_BLOCKS) return false;
    // The consumer has handed this block back (the fill count says so), and
    // it sees none of it until the fill count below hands it over.
    const uint8_t index = q->write_index.load();
    memcpy(q->blocks[index], block, len);
    memset(q->blocks[index] + len, 0, AUDIO_BLOCK_BYTES - len);
    q->skip[index] = (uint16_t)skip;
    q->write_index.store((uint8_t)((index + 1) % AUDIO_QUEUE_BLOCKS));
    q->pushed.fetch_add(1);
    q->filled.fetch_add(1);
    return true;
}

uint64_t audio_queue_pushed() { return g_audio_queue.pushed.load(); }

uint64_t audio_queue_taken() { return g_audio_queue.taken.load(); }

void audio_queue_reset()
{
    AudioQueue* q = &g_audio_queue;
    SDL_LockAudio();
    q->write_index.store(0);
    q->read_index.store(0);
    q->filled.store(0);
    q->read_offset.store(0);
    q->pushed.store(0);
    q->taken.store(0);
    q->version.store(0);
    q->played_bytes.store(0);
    q->request_us.store(0);
    q->request_bytes.store(0);
    q->counting.store(false);
    q->underruns.store(0);
    q->underrun_bytes.store(0);
    q->late_requests.store(0);
    q->late_bytes.store(0);
    q->fresh.store(true);
    SDL_UnlockAudio();
}

void audio_queue_drop()
{
    AudioQueue* q = &g_audio_queue;
    SDL_LockAudio();
    q->read_index.store(q->write_index.load());
    q->read_offset.store(0);
    q->taken.store(q->pushed.load());
    q->filled.store(0);
    SDL_UnlockAudio();
}

void audio_queue_count_underruns(bool on)
{
    // The device may have been held or idle before the counting starts.
    if (on) g_audio_queue.fresh.store(true);
    g_audio_queue.counting.store(on);
}

void audio_queue_set_late_after(uint64_t us) { g_audio_queue.late_after_us.store(us); }

void audio_queue_mark_fresh() { g_audio_queue.fresh.store(true); }

// A consistent copy of the account: read again whenever the consumer updated
// it meanwhile (its version moved, or was odd).
static void account_read(uint64_t* played, uint64_t* request_us, uint32_t* request_bytes, AudioPlayed* counts)
{
    const AudioQueue* q = &g_audio_queue;
    for (int attempt = 1;; attempt++) {
        const uint32_t before = q->version.load();
        *played = q->played_bytes.load();
        *request_us = q->request_us.load();
        *request_bytes = q->request_bytes.load();
        counts->underruns = q->underruns.load();
        counts->underrun_bytes = q->underrun_bytes.load();
        counts->late_requests = q->late_requests.load();
        counts->late_bytes = q->late_bytes.load();
        if (before % 2 == 0 && q->version.load() == before) return;
        if (attempt % ACCOUNT_SPINS == 0) sched_yield();
    }
}

AudioPlayed audio_queue_played(uint64_t now_us)
{
    uint64_t played, request_us;
    uint32_t request_bytes;
    AudioPlayed counts = {};
    account_read(&played, &request_us, &request_bytes, &counts);
    const uint64_t before = played - request_bytes;
    const uint64_t since = now_us > request_us ? now_us - request_us : 0;
    const uint64_t lasts = (uint64_t)request_bytes * US_PER_SECOND / AUDIO_BYTES_PER_SECOND;
    const uint64_t part = since >= lasts ? request_bytes : since * AUDIO_BYTES_PER_SECOND / US_PER_SECOND;
    counts.bytes = before + part;
    counts.underruns += counts.late_requests;
    counts.underrun_bytes += counts.late_bytes;
    return counts;
}

// The device starts playing a request's sound when it asks for it; a request
// the queue cannot fill is an underrun while counting is on, and so is one
// that comes too late after the one before.
static void account_request(AudioQueue* q, uint32_t taken, uint32_t silence)
{
    const uint64_t now = clock_us();
    const uint64_t since = now - q->request_us.load();
    const uint64_t late_after = q->late_after_us.load();
    const bool late = late_after > 0 && !q->fresh.exchange(false) && since > late_after && q->counting.load();
    const uint32_t version = q->version.load();
    q->version.store(version + 1);
    q->played_bytes.store(q->played_bytes.load() + taken);
    q->request_us.store(now);
    if (late) {
        const uint64_t gap = (since - late_after) * AUDIO_BYTES_PER_SECOND / US_PER_SECOND / BYTES_PER_FRAME;
        q->late_requests.store(q->late_requests.load() + 1);
        q->late_bytes.store(q->late_bytes.load() + gap * BYTES_PER_FRAME);
    }
    q->request_bytes.store(taken);
    if (silence > 0 && q->counting.load()) {
        q->underruns.store(q->underruns.load() + 1);
        q->underrun_bytes.store(q->underrun_bytes.load() + silence);
    }
    q->version.store(version + 2);
}

void audio_callback(void* userdata, uint8_t* stream, int len)
{
    (void)userdata;
    AudioQueue* q = &g_audio_queue;
    const uint32_t asked = len > 0 ? (uint32_t)len : 0;
    uint32_t wanted = asked;
    while (wanted > 0 && q->filled.load() > 0) {
        const uint8_t index = q->read_index.load();
        uint32_t offset = q->read_offset.load();
        if (offset < q->skip[index]) offset = q->skip[index];
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
            q->taken.fetch_add(1);
            q->filled.fetch_sub(1);
        }
    }
    if (wanted > 0) memset(stream, 0, wanted);
    if (asked > 0) account_request(q, asked - wanted, wanted);
}
