// The presentation's music: the compiled-in song played through the player,
// reporting its cells to the sync state. The window and the capture tool
// start and stop it through these functions, so both hear the same thing.
// Also the presentation's clock, which follows the music while a sound device
// plays it.
#pragma once

#include <cstdint>

#include "synth/player.h"
#include "synth/song.h"

struct DemoAudio {
    Song* song;     // owned; null if the song data was rejected
    Player* player; // owned; null without a sound device: the presentation is silent
    bool device;    // the player plays on the sound device
    unsigned seed;  // the random numbers' seed at the start, for every restart
    uint32_t underruns_before;       // underruns of the passes before a restart
    uint64_t underrun_bytes_before;  // and the silence they played
    double picture_delay;            // --audio-delay: seconds the pictures wait besides the output's latency
};

const float DEMO_MASTER_GAIN = 1.4f;
const uint8_t DEMO_LOOP = 1;

// Start-up: song_create from the compiled-in stream and instrument table,
// player_create with the built-in effect chain (on the sound device when
// `device` is true, else offline for the capture tool), the sync callback as
// row callback, then player_start with gain 1.4 and looping on, which queues
// the first block (on the device: renders the queue full and starts the
// render thread). With `start_seconds` the music starts at the frame nearest
// to it (round(start_seconds x 44,100)), with what came before rendered and
// thrown away unheard and unreported. Playback's random numbers are seeded
// (seed_for_playback): with the time on the device, with the capture's fixed
// seed offline. Returns true when there is a player;
// with `device` and none, says on stderr why there is no sound.
bool demo_audio_start(DemoAudio* audio, bool device, double start_seconds = 0.0);
// Plays the music again from its start as at the first start: a new song and
// player (the sound device stays open), the sync callback, the random
// numbers' seed of the first start. Silent without a player.
void demo_audio_restart(DemoAudio* audio);
// Plays on from `seconds` (0 <= seconds < 225), from the very sample
// demo_audio_start would start at there; a paused device stays paused.
void demo_audio_seek(DemoAudio* audio, double seconds);
// Holds the music where it is, or lets it play on from there.
void demo_audio_pause(DemoAudio* audio, bool paused);
// Before a frame at `seconds` is drawn: the cells of the music up to there
// reach the sync state (player_sync), as a capture's frame at that time
// sees them. Nothing without a player.
void demo_audio_sync(DemoAudio* audio, double seconds);
// Shutdown: player_stop, player_destroy, song_destroy; missing parts are
// skipped. A device player that ran dry says on stderr how often and how long.
void demo_audio_stop(DemoAudio* audio);

// The presentation's clock, in seconds from the start of the timeline.
struct DemoClock {
    float start;            // timeline seconds at playback start
    uint32_t start_ms;      // clock_ms() at playback start, moved on by pauses
    uint32_t paused_ms;     // clock_ms() when paused
    bool paused;
    const Player* follow;   // the device player whose sound sets the time, or null
    double lag;             // seconds the sound taken is heard later, --audio-delay added
};

// Starts the clock at `start` seconds, right after demo_audio_start (or
// demo_audio_restart).
void demo_clock_start(DemoClock* clock, const DemoAudio* audio, float start);
// Stops the clock, or lets it go on from where it stopped. The clock that
// follows the music stops with it (demo_audio_pause).
void demo_clock_pause(DemoClock* clock, bool paused);
// While a sound device plays the music, the time is where the music heard
// now is: the sound the device has taken, less what the output holds after
// it (audio_output_latency_seconds) and the --audio-delay, never before the
// start; so the beats reach the pictures as they are heard, and a stall or
// an underrun holds the pictures back with the sound. Otherwise the time
// elapsed on the clock.
float demo_clock_seconds(const DemoClock* clock);
