// The player: sound device, voices and chain, start and stop, and the pump that fills the queue.
#include "synth/player.h"

#include "base/base.h"
#include "synth/audio_queue.h"
#include "synth/effect_chain.h"
#include "synth/player_local.h"
#include "synth/sequencer.h"

#include <SDL/SDL.h>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

// One tick is 2.5 / tempo seconds: the tracker rule.
static const double TEMPO_TICK_DIVISOR = 2.5;
// Low 16 bits of the tick length in frames count.
static const uint32_t TICK_FRAMES_MASK = 0xFFFF;
static const float START_GAIN = 1.0f;
static const int OUTPUT_CHANNELS = 2;
static const uint32_t BYTES_PER_FRAME = 4; // signed 16-bit stereo

// Process-wide: the device is opened by the first player that needs it and
// closed when the last such player is destroyed.
static bool s_audio_device_open = false;
static int s_player_count = 0;
// Whether audio_open had to start SDL's audio subsystem itself.
static bool s_audio_subsystem_ours = false;
// SDL's reason for the last failed audio_open.
static char s_audio_error[256] = "";
// Seconds between the device taking sound and its being heard, as far as
// known (0 while no device is open).
static double s_output_latency = 0.0;

// What a sound server is asked to hold, in ms: SDL's own request asks it for
// one device buffer (46 ms), so a busy desktop that holds up SDL's thread a
// little longer makes the server play silence and skip what then comes
// late. With 200 ms (the server splits it between its queue, 120 ms, and
// the sink's buffer, 80), SDL hands over a buffer while the two still hold
// about 150 ms. The user's own PULSE_LATENCY_MSEC prevails.
static const char* const SERVER_LATENCY_MS = "200";
static const char* const SERVER_LATENCY_VARIABLE = "PULSE_LATENCY_MSEC";
// SDL backends that hand the sound to PulseAudio's client library (a
// PulseAudio or PipeWire server), which plays on (silence) when a request
// comes late, rather than waiting for the callback.
static const char* const SERVER_DRIVERS[] = {"pulseaudio", "pulse"};
// A request later than the sound handed over can last, by more than this
// share of it, counts as a gap in the server. PipeWire's PulseAudio service
// holds more than it is asked for: requests about 1.7 times the asked
// amount apart were seen there on a busy machine with no sound lost.
static const double LATE_MARGIN = 1.0;
static const double US_PER_SECOND_F = 1000000.0;

static bool audio_open_failed()
{
    snprintf(s_audio_error, sizeof s_audio_error, "%s", SDL_GetError());
    return false;
}

static void audio_subsystem_release()
{
    if (s_audio_subsystem_ours) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    s_audio_subsystem_ours = false;
}

// 20.0 ms and 882 frames at tempo 125.
static void tick_length_set(Player* player)
{
    player->tick_ms = MS_PER_SECOND / (player->song->tempo / TEMPO_TICK_DIVISOR);
    player->tick_frames =
        (uint32_t)(player->tick_ms / MS_PER_SECOND * PLAYER_OUTPUT_RATE) & TICK_FRAMES_MASK;
}

static void voices_free(Voice** voices, uint32_t count)
{
    if (!voices) return;
    for (uint32_t i = 0; i < count; i++) voice_destroy(voices[i]);
    free(voices);
}

Player* player_build(Song* song, const double* chain_config, size_t chain_length)
{
    Player* player = (Player*)calloc(1, sizeof(Player));
    player->song = song;
    player->master_gain = START_GAIN;
    player->noise_word = NOISE_START_WORD;
    // Set again by player_begin; known from the start so that a pump before
    // the first start still renders whole ticks.
    tick_length_set(player);
    const uint32_t count = song->channel_count;
    player->voices = (Voice**)calloc(count, sizeof(Voice*));
    for (uint32_t i = 0; i < count; i++) player->voices[i] = voice_create();
    player->chain = effect_chain_build(player->voices, (int)count, chain_config, chain_length,
                                       (float)player_row_ms(song));
    if (!player->chain) {
        voices_free(player->voices, count);
        free(player);
        return nullptr;
    }
    // Kept for the checkpoint builder's own player.
    player->chain_config = (double*)malloc(chain_length * sizeof(double) + 1);
    memcpy(player->chain_config, chain_config, chain_length * sizeof(double));
    player->chain_length = chain_length;
    player->ahead = ahead_create();
    player->seek = seek_create();
    return player;
}

static Player* player_create_with(Song* song, const double* chain_config, size_t chain_length,
                                  bool device)
{
    if (device && !s_audio_device_open) {
        if (!audio_open()) return nullptr;
        s_audio_device_open = true;
    }
    Player* player = player_build(song, chain_config, chain_length);
    if (player && device) {
        player->has_device = 1;
        s_player_count++;
        player_defer_reports(player);
    }
    if (device && s_player_count == 0 && s_audio_device_open) {
        // The chain was rejected and no other player holds the device.
        audio_close();
        s_audio_device_open = false;
    }
    return player;
}

// The server's target in seconds, as the client library will read it.
static double server_latency_seconds()
{
    const char* ms = getenv(SERVER_LATENCY_VARIABLE);
    const double value = ms ? atof(ms) : 0.0;
    return value > 0.0 ? value / MS_PER_SECOND : 0.0;
}

static bool audio_driver_is_server()
{
    char name[32] = "";
    if (!SDL_AudioDriverName(name, (int)sizeof name)) return false;
    for (const char* server : SERVER_DRIVERS) {
        if (strcmp(name, server) == 0) return true;
    }
    return false;
}

// Opens the device in exactly the wanted format; `frames` gets the frames
// per request it grants. SDL converts when the device differs: then the
// request size is the one asked for.
static bool audio_open_spec(SDL_AudioSpec* wanted, uint32_t* frames)
{
    SDL_AudioSpec obtained = {};
    if (SDL_OpenAudio(wanted, &obtained) < 0) return false;
    *frames = obtained.samples > 0 ? obtained.samples : wanted->samples;
    if (obtained.freq == wanted->freq && obtained.format == wanted->format &&
        obtained.channels == wanted->channels) {
        return true;
    }
    SDL_CloseAudio();
    *frames = wanted->samples;
    return SDL_OpenAudio(wanted, nullptr) == 0;
}

bool audio_open()
{
    s_audio_error[0] = '\0';
    if (!SDL_WasInit(SDL_INIT_AUDIO)) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0) return audio_open_failed();
        s_audio_subsystem_ours = true;
    }
    const bool server = audio_driver_is_server();
    SDL_AudioSpec wanted = {};
    wanted.freq = (int)PLAYER_OUTPUT_RATE;
    wanted.format = AUDIO_S16LSB;
    wanted.channels = OUTPUT_CHANNELS;
    wanted.samples = (Uint16)PLAYER_BLOCK_FRAMES;
    // Read by the client library when the stream connects.
    if (server) setenv(SERVER_LATENCY_VARIABLE, SERVER_LATENCY_MS, 0);
    wanted.callback = audio_callback;
    wanted.userdata = nullptr;
    // The callback serves whatever length it is asked for.
    uint32_t frames = 0;
    if (!audio_open_spec(&wanted, &frames)) {
        audio_open_failed();
        audio_subsystem_release();
        return false;
    }
    // Right after a request the output holds the buffer just handed over and
    // what it still had: a device one buffer more, a server up to its
    // target (its own queue and the sink's buffer together). The request's
    // first frame is heard once what was held before it has played.
    const double buffer = (double)frames / PLAYER_OUTPUT_RATE;
    const double held = server ? std::max(2.0 * buffer, server_latency_seconds()) : 2.0 * buffer;
    s_output_latency = held - buffer;
    // Sound handed over at a request lasts until all that is held has
    // played; a server plays silence of its own after that.
    audio_queue_set_late_after(server ? (uint64_t)(held * (1.0 + LATE_MARGIN) * US_PER_SECOND_F) : 0);
    return true;
}

double audio_output_latency_seconds() { return s_output_latency; }

const char* audio_open_error() { return s_audio_error; }

void audio_close()
{
    SDL_CloseAudio();
    s_output_latency = 0.0;
    audio_queue_set_late_after(0);
    audio_subsystem_release();
}

bool audio_device_is_open() { return s_audio_device_open; }

double player_row_ms(const Song* song)
{
    return MS_PER_SECOND / (song->tempo / TEMPO_TICK_DIVISOR) * song->speed;
}

Player* player_create(Song* song, const double* chain_config, size_t chain_length)
{
    return player_create_with(song, chain_config, chain_length, true);
}

Player* player_create_offline(Song* song, const double* chain_config, size_t chain_length)
{
    return player_create_with(song, chain_config, chain_length, false);
}

void player_destroy(Player* player)
{
    if (!player) return;
    ahead_thread_stop(player);
    seek_destroy(player->seek);
    ahead_destroy(player->ahead);
    free(player->chain_config);
    effect_chain_release(player->chain);
    voices_free(player->voices, player->song->channel_count);
    if (player->has_device) {
        s_player_count--;
        if (s_player_count == 0 && s_audio_device_open) {
            audio_close();
            s_audio_device_open = false;
        }
    }
    free(player);
}

void player_set_row_callback(Player* player, PlayerRowCallback callback)
{
    player->ahead->callback = callback;
    player->row_callback = player->ahead->deferred && callback ? ahead_record_row : callback;
}

void player_defer_reports(Player* player)
{
    player->ahead->deferred = true;
    player_set_row_callback(player, player->ahead->callback);
}

void player_set_effect_callback(Player* player, PlayerEffectCallback callback)
{
    player->effect_callback = callback;
}

// Tick 0 with the tick length of the song's current tempo.
static void player_rewind(Player* player)
{
    player->tick = 0;
    tick_length_set(player);
}

void player_begin(Player* player)
{
    player_rewind(player);
    if (player->has_device) SDL_PauseAudio(0);
}

// Past the end of a song that does not loop the sequencer writes silence, so
// the chain never reads frames that were not rendered.
// The player's noise word stands in for the thread's while it renders.
bool player_render_block(Player* player)
{
    const uint32_t thread_word = noise_word_get();
    noise_word_set(player->noise_word);
    bool ended = false;
    while (player->pending_floats <= PLAYER_BLOCK_FLOATS) {
        if (!sequencer_tick(player)) ended = true;
    }
    effect_chain_process(player->chain, player->master_gain);
    player->pending_floats -= PLAYER_BLOCK_FLOATS;
    player->block++;
    player->noise_word = noise_word_get();
    noise_word_set(thread_word);
    return !ended;
}

void player_discard_blocks(Player* player, uint64_t blocks)
{
    const PlayerRowCallback row_callback = player->row_callback;
    const PlayerEffectCallback effect_callback = player->effect_callback;
    player->row_callback = nullptr;
    player->effect_callback = nullptr;
    for (uint64_t i = 0; i < blocks; i++) player_render_block(player);
    player->row_callback = row_callback;
    player->effect_callback = effect_callback;
}

void player_start(Player* player, float gain, uint8_t loop) { player_start_at(player, gain, loop, 0); }

void player_start_at(Player* player, float gain, uint8_t loop, uint64_t frame)
{
    if (player->playing) return;
    player->master_gain = gain;
    player->loop = loop;
    player->playing = 1;
    player->paused = 0;
    player_rewind(player);
    seek_start(player);
    player_discard_blocks(player, frame / PLAYER_BLOCK_FRAMES);
    // The total played so far: the last request counts in full.
    player->origin_bytes = audio_queue_played(UINT64_MAX).bytes;
    ahead_restart(player->ahead, audio_queue_pushed(), player->block);
    // The first block is queued before the device starts, so the device's
    // first request already finds sound and every later shortfall counts.
    audio_queue_count_underruns(true);
    if (!audio_queue_full()) player_queue_block(player, (uint32_t)(frame % PLAYER_BLOCK_FRAMES) * BYTES_PER_FRAME);
    if (!player->has_device) return;
    player_render_ahead(player);
    // Should the system refuse the thread, player_sync renders instead.
    ahead_thread_start(player);
    SDL_PauseAudio(0);
}

int player_pump(Player* player, int* more)
{
    if (ahead_thread_running(player)) {
        *more = 0;
        return player->ahead->made.load() >= player->ahead->ended_at.load() ? 0 : 1;
    }
    bool going = true;
    if (!audio_queue_full()) going = player_queue_block(player, 0);
    *more = audio_queue_full() ? 0 : 1;
    return going ? 1 : 0;
}

void player_stop(Player* player)
{
    if (!player->playing) return;
    player->playing = 0;
    ahead_thread_stop(player);
    audio_queue_count_underruns(false);
    if (player->has_device) SDL_PauseAudio(1);
}

void player_pause(Player* player, bool paused)
{
    if (!player->playing || !player->has_device) return;
    player->paused = paused ? 1 : 0;
    // The first request after a hold follows none.
    if (!paused) audio_queue_mark_fresh();
    SDL_PauseAudio(paused ? 1 : 0);
}

double player_played_seconds(const Player* player)
{
    const uint64_t bytes = audio_queue_played(clock_us()).bytes;
    if (bytes <= player->origin_bytes) return 0.0;
    return (double)(bytes - player->origin_bytes) / AUDIO_BYTES_PER_SECOND;
}
