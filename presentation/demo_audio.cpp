// Start, sync and stop of the presentation's music, and the clock that follows it.
#include "presentation/demo_audio.h"

#include "base/base.h"
#include "presentation/demo.h"
#include "runtime/seed.h"
#include "runtime/sync.h"
#include "synth/audio_queue.h"
#include "synth/effect_chain.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

// The device player, or null: says why there is no sound.
static Player* device_player(Song* song)
{
    if (!song) {
        fputs("quiet-harbor: no sound: the song could not be read\n", stderr);
        return nullptr;
    }
    Player* player = player_create(song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH);
    if (!player) {
        const char* why = audio_open_error();
        fprintf(stderr, "quiet-harbor: no sound: %s\n", why[0] ? why : "the effect chain was rejected");
    }
    return player;
}

static Song* demo_song()
{
    return song_create(SONG_STREAM, SONG_STREAM_SIZE, INSTRUMENT_TABLE, INSTRUMENT_TABLE_SIZE);
}

static uint64_t music_frame(double seconds) { return (uint64_t)std::llround(seconds * PLAYER_OUTPUT_RATE); }

static void demo_player_start(Player* player, double start_seconds)
{
    player_set_row_callback(player, sync_callback);
    // The window seeks: checkpoints of the song, made while it plays, keep
    // every seek within a few seconds of rendering.
    if (player->has_device) player_keep_checkpoints(player);
    player_start_at(player, DEMO_MASTER_GAIN, DEMO_LOOP, music_frame(start_seconds));
}

bool demo_audio_start(DemoAudio* audio, bool device, double start_seconds)
{
    *audio = DemoAudio{demo_song(), nullptr, device, 0, 0, 0, 0.0};
    if (device) {
        audio->player = device_player(audio->song);
    } else {
        audio->player = audio->song
            ? player_create_offline(audio->song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH)
            : nullptr;
    }
    // Playback's random numbers: the window's vary from run to run, a
    // capture's do not; a restart draws the same ones again.
    audio->seed = seed_for_playback(!device);
    if (!audio->player) return false;
    demo_player_start(audio->player, start_seconds);
    return true;
}

// A new player at `start_seconds` in place of the old one.
static void player_replace(DemoAudio* audio, double start_seconds)
{
    // The new player shares the open device before the old one lets it go,
    // so the device is never closed and opened again.
    Song* song = demo_song();
    Player* player = audio->device
        ? player_create(song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH)
        : player_create_offline(song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH);
    player_stop(audio->player);
    const AudioPlayed played = audio_queue_played(clock_us());
    audio->underruns_before += played.underruns;
    audio->underrun_bytes_before += played.underrun_bytes;
    player_destroy(audio->player);
    song_destroy(audio->song);
    audio_queue_reset();
    audio->song = song;
    audio->player = player;
    if (player) demo_player_start(player, start_seconds);
}

void demo_audio_restart(DemoAudio* audio)
{
    seed_again(audio->seed);
    if (!audio->player) return;
    player_replace(audio, 0.0);
    seed_again(audio->seed);
}

void demo_audio_seek(DemoAudio* audio, double seconds)
{
    if (audio->player) player_seek(audio->player, music_frame(seconds));
}

void demo_audio_pause(DemoAudio* audio, bool paused)
{
    if (audio->player) player_pause(audio->player, paused);
}

void demo_audio_sync(DemoAudio* audio, double seconds)
{
    if (audio->player) player_sync(audio->player, music_frame(seconds));
}

static void report_underruns(const DemoAudio* audio)
{
    const AudioPlayed played = audio_queue_played(clock_us());
    const uint32_t underruns = audio->underruns_before + played.underruns;
    if (underruns == 0) return;
    const uint64_t bytes = audio->underrun_bytes_before + played.underrun_bytes;
    const long ms = std::lround(bytes * MS_PER_SECOND / AUDIO_BYTES_PER_SECOND);
    fprintf(stderr, "quiet-harbor: %u underrun%s, %ld ms of silence\n", underruns, underruns == 1 ? "" : "s", ms);
}

void demo_audio_stop(DemoAudio* audio)
{
    if (audio->player) {
        player_stop(audio->player);
        if (audio->player->has_device) report_underruns(audio);
        player_destroy(audio->player);
        audio->player = nullptr;
    }
    song_destroy(audio->song);
    audio->song = nullptr;
}

void demo_clock_start(DemoClock* clock, const DemoAudio* audio, float start)
{
    clock->start = start;
    clock->start_ms = clock_ms();
    clock->paused_ms = 0;
    clock->paused = false;
    clock->follow = audio->player && audio->player->has_device ? audio->player : nullptr;
    clock->lag = audio_output_latency_seconds() + audio->picture_delay;
}

void demo_clock_pause(DemoClock* clock, bool paused)
{
    if (paused == clock->paused) return;
    clock->paused = paused;
    if (paused) clock->paused_ms = clock_ms();
    else clock->start_ms += clock_ms() - clock->paused_ms;
}

float demo_clock_seconds(const DemoClock* clock)
{
    if (clock->follow) {
        const double heard = player_played_seconds(clock->follow) - clock->lag;
        return (float)(clock->start + (heard > 0.0 ? heard : 0.0));
    }
    const uint32_t now = clock->paused ? clock->paused_ms : clock_ms();
    return clock->start + (float)(now - clock->start_ms) / 1000.0f;
}
