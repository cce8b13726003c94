// Start, sync and stop of the presentation's music, and the clock that follows it.
#include "app/demo_audio.h"

#include "app/demo.h"
#include "runtime/sync.h"
#include "synth/audio_queue.h"
#include "synth/effect_chain.h"

#include <cmath>
#include <cstdio>

static const double MS_PER_SECOND = 1000.0;

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

bool demo_audio_start(DemoAudio* audio, bool device, double start_seconds)
{
    audio->song = song_create(SONG_STREAM, SONG_STREAM_SIZE, INSTRUMENT_TABLE, INSTRUMENT_TABLE_SIZE);
    if (device) {
        audio->player = device_player(audio->song);
    } else {
        audio->player = audio->song
            ? player_create_offline(audio->song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH)
            : nullptr;
    }
    if (!audio->player) return false;
    player_set_row_callback(audio->player, sync_callback);
    const uint64_t frame = (uint64_t)std::llround(start_seconds * PLAYER_OUTPUT_RATE);
    player_start_at(audio->player, DEMO_MASTER_GAIN, DEMO_LOOP, frame);
    return true;
}

void demo_audio_sync(DemoAudio* audio)
{
    if (audio->player) player_sync(audio->player);
}

static void report_underruns()
{
    const AudioPlayed played = audio_queue_played(audio_clock_us());
    if (played.underruns == 0) return;
    const long ms = std::lround(played.underrun_bytes * MS_PER_SECOND / AUDIO_BYTES_PER_SECOND);
    fprintf(stderr, "quiet-harbor: %u underrun%s, %ld ms of silence\n", played.underruns,
            played.underruns == 1 ? "" : "s", ms);
}

void demo_audio_stop(DemoAudio* audio)
{
    if (audio->player) {
        player_stop(audio->player);
        if (audio->player->has_device) report_underruns();
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
    clock->follow = audio->player && audio->player->has_device ? audio->player : nullptr;
}

float demo_clock_seconds(const DemoClock* clock)
{
    if (clock->follow) return (float)(clock->start + player_played_seconds(clock->follow));
    return clock->start + (float)(clock_ms() - clock->start_ms) / 1000.0f;
}
