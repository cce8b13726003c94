// The presentation's music: the compiled-in song played through the player,
// reporting its cells to the sync state. The window and the capture tool
// start and stop it through these functions, so both hear the same thing.
#pragma once

#include <cstdint>

#include "synth/player.h"
#include "synth/song.h"

struct DemoAudio {
    Song* song;     // owned; null if the song data was rejected
    Player* player; // owned; null without a sound device: the presentation is silent
};

const float DEMO_MASTER_GAIN = 1.4f;
const uint8_t DEMO_LOOP = 1;

// Start-up: song_create from the compiled-in stream and instrument table,
// player_create with the built-in effect chain (on the sound device when
// `device` is true, else offline for the capture tool), the sync callback as
// row callback, then player_start with gain 1.4 and looping on, which queues
// the first block. Returns true when there is a player.
bool demo_audio_start(DemoAudio* audio, bool device);
// After every swap: pumps until the audio queue is full. Nothing without a player.
void demo_audio_pump(DemoAudio* audio);
// Shutdown: player_stop, player_destroy, song_destroy; missing parts are skipped.
void demo_audio_stop(DemoAudio* audio);
