// The player rendering ahead under ThreadSanitizer: the built-in song plays
// on SDL's dummy device, with the render thread keeping the queue full, while
// this thread runs a frame loop of 60 syncs a second and follows the played
// position. The whole synthesizer is compiled in with the sanitizer, so any
// access the render thread, the device thread and the frame loop share
// without ordering fails the run. Three seeks early on, with the checkpoint
// builder rendering the song beside them, bring in its thread and the
// stopping and restarting of the render thread. Also checks that the cells' reports reach
// the row callback, on the frame loop's thread only.
#include "synth/audio_queue.h"
#include "synth/effect_chain.h"
#include "synth/player.h"
#include "synth/song.h"

#include <SDL/SDL.h>
#include <cstdio>
#include <cstdlib>
#include <thread>

static const double PLAY_SECONDS = 3.0;
static const int FRAME_MS = 16;
static const int TIME_LIMIT_MS = 60000;
// Frames of the loop at which it seeks, and where to: forwards, back, forwards.
static const int SEEK_FRAMES[] = {20, 40, 60};
static const uint64_t SEEK_TARGETS[] = {9 * 44100 + 77, 2 * 44100, 14 * 44100};

static std::thread::id g_frame_thread;
static int g_notes = 0;         // reports of cells with an instrument
static int g_foreign_calls = 0; // callback calls on any other thread

static uint8_t on_row(uint8_t instrument, uint64_t)
{
    if (std::this_thread::get_id() != g_frame_thread) g_foreign_calls++;
    if (instrument != 0) g_notes++;
    return instrument;
}

int main()
{
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    g_frame_thread = std::this_thread::get_id();
    Song* song = song_create(SONG_STREAM, SONG_STREAM_SIZE, INSTRUMENT_TABLE, INSTRUMENT_TABLE_SIZE);
    Player* player = song ? player_create(song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH) : nullptr;
    if (!player) {
        printf("no player: %s\n", audio_open_error());
        return 1;
    }
    player_set_row_callback(player, on_row);
    player_keep_checkpoints(player);
    player_start(player, 1.4f, 1);

    double played = 0.0;
    uint64_t origin = 0; // the song's frame where playing restarted
    int syncs_going = 0, frames = 0;
    const Uint32 start = SDL_GetTicks();
    while (played < PLAY_SECONDS && SDL_GetTicks() - start < TIME_LIMIT_MS) {
        for (int i = 0; i < 3; i++) {
            if (frames != SEEK_FRAMES[i]) continue;
            player_seek(player, SEEK_TARGETS[i]);
            origin = SEEK_TARGETS[i];
        }
        syncs_going += player_sync(player, origin + (uint64_t)(played * 44100));
        played = player_played_seconds(player);
        SDL_Delay(FRAME_MS);
        frames++;
    }
    player_stop(player);
    const AudioPlayed account = audio_queue_played(UINT64_MAX);
    player_destroy(player);
    song_destroy(song);
    SDL_Quit();

    const bool ok = played >= PLAY_SECONDS && g_notes > 0 && g_foreign_calls == 0 && syncs_going == frames;
    printf("%.2f s played in %d frames, %d reports of notes, %d off the frame loop, %u underruns\n", played,
           frames, g_notes, g_foreign_calls, account.underruns);
    printf("%d passed, %d failed\n", ok ? 1 : 0, ok ? 0 : 1);
    return ok ? 0 : 1;
}
