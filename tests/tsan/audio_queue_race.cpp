// The audio queue under ThreadSanitizer: the main thread pushes numbered
// blocks while SDL's audio thread drains them through audio_callback with an
// odd request size, as a real device would. Built with -fsanitize=thread and
// with the queue's source compiled in, so every queue access is checked; a
// race makes the sanitizer fail the run, also against the main thread's
// reading of what was played. Also checks that the device thread
// hears every sample, in order, with silence only between runs of sound.
#include "synth/audio_queue.h"

#include <SDL/SDL.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

// 300 frames per request: 1,200 bytes, which never divides a block evenly.
static const int REQUEST_FRAMES = 300;
static const uint32_t BLOCKS_TO_PLAY = 48; // about 2.2 s of sound
static const uint32_t SAMPLES_PER_BLOCK = AUDIO_BLOCK_BYTES / 2;
static const int TIME_LIMIT_MS = 60000;

static std::atomic<uint32_t> g_heard{0};     // samples heard so far
static std::atomic<uint32_t> g_misorders{0}; // samples out of sequence

// Sample n carries n mod 65535 + 1, never 0; 0 is silence, skipped.
static uint16_t sample_value(uint32_t n) { return (uint16_t)(n % 65535 + 1); }

static void device_callback(void* userdata, Uint8* stream, int len)
{
    audio_callback(userdata, stream, len);
    const uint16_t* samples = (const uint16_t*)stream;
    uint32_t heard = g_heard.load();
    for (int i = 0; i < len / 2; i++) {
        if (samples[i] == 0) continue;
        if (samples[i] != sample_value(heard)) g_misorders.fetch_add(1);
        heard++;
    }
    g_heard.store(heard);
}

int main()
{
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (SDL_Init(SDL_INIT_AUDIO) < 0) {
        printf("no audio subsystem: %s\n", SDL_GetError());
        return 1;
    }
    SDL_AudioSpec wanted = {};
    wanted.freq = 44100;
    wanted.format = AUDIO_S16LSB;
    wanted.channels = 2;
    wanted.samples = REQUEST_FRAMES;
    wanted.callback = device_callback;
    if (SDL_OpenAudio(&wanted, nullptr) < 0) {
        printf("no dummy device: %s\n", SDL_GetError());
        return 1;
    }
    SDL_PauseAudio(0);

    std::vector<uint16_t> block(SAMPLES_PER_BLOCK);
    uint32_t pushed = 0;
    const Uint32 start = SDL_GetTicks();
    while (g_heard.load() < BLOCKS_TO_PLAY * SAMPLES_PER_BLOCK && SDL_GetTicks() - start < TIME_LIMIT_MS) {
        if (pushed < BLOCKS_TO_PLAY && !audio_queue_full()) {
            for (uint32_t i = 0; i < SAMPLES_PER_BLOCK; i++) block[i] = sample_value(pushed * SAMPLES_PER_BLOCK + i);
            if (audio_queue_push(block.data(), AUDIO_BLOCK_BYTES)) pushed++;
        } else {
            // The frame loop's reading of the device's position.
            audio_queue_played(clock_us());
            SDL_Delay(1);
        }
    }
    SDL_CloseAudio();
    SDL_Quit();

    const uint32_t heard = g_heard.load();
    const bool ok = heard == BLOCKS_TO_PLAY * SAMPLES_PER_BLOCK && g_misorders.load() == 0;
    printf("%u samples pushed, %u heard, %u out of order\n", pushed * SAMPLES_PER_BLOCK, heard,
           g_misorders.load());
    printf("%d passed, %d failed\n", ok ? 1 : 0, ok ? 0 : 1);
    return ok ? 0 : 1;
}
