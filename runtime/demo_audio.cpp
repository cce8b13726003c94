// Start, pump and stop of the presentation's music.
#include "runtime/demo_audio.h"

#include "runtime/sync.h"
#include "synth/effect_chain.h"

bool demo_audio_start(DemoAudio* audio, bool device)
{
    audio->player = nullptr;
    audio->song = song_create(SONG_STREAM, SONG_STREAM_SIZE, INSTRUMENT_TABLE, INSTRUMENT_TABLE_SIZE);
    if (!audio->song) return false;
    audio->player = device
        ? player_create(audio->song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH)
        : player_create_offline(audio->song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH);
    if (!audio->player) return false;
    player_set_row_callback(audio->player, sync_callback);
    player_start(audio->player, DEMO_MASTER_GAIN, DEMO_LOOP);
    return true;
}

void demo_audio_pump(DemoAudio* audio)
{
    if (!audio->player) return;
    int more = 1;
    while (more) player_pump(audio->player, &more);
}

void demo_audio_stop(DemoAudio* audio)
{
    if (audio->player) {
        player_stop(audio->player);
        player_destroy(audio->player);
        audio->player = nullptr;
    }
    song_destroy(audio->song);
    audio->song = nullptr;
}
