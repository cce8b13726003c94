// The player: tick and row figures, the pump's block accounting, the audio
// queue and its callback, the sound device's lifetime, and the end of a song
// that does not loop.
#include "presentation/demo_audio.h"
#include "runtime/sync.h"
#include "synth/audio_queue.h"
#include "synth/effect_chain.h"
#include "synth/player.h"
#include "synth/sequencer.h"

#include <SDL/SDL.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const uint16_t CHANNELS = 14;

// A hand-made song of `rows` rows: one constant square tone on channel 1 from
// row 0, every other cell empty.
struct TestSong {
    Song song = {};
    std::vector<Cell> cells;
    Instrument instrument = {};
    Instrument* list[1] = {&instrument};

    explicit TestSong(uint16_t rows, uint8_t speed = 6) : cells(rows * CHANNELS)
    {
        instrument.osc[0] = {1, 0, 1.0f, 0, 0.0f, 1.0f, 0, 0.0f, 0.0f, 3, 0.0f, 0};
        instrument.envelope_off = 1;
        instrument.sustain_level = 1.0f;
        instrument.volume = 1.0f;
        song.tempo = 125;
        song.speed = speed;
        song.row_count = rows;
        song.channel_count = CHANNELS;
        song.cells = cells.data();
        song.instrument_count = 1;
        song.instruments = list;
        cells[0] = {1, 57, 0, 0, 0};
    }
};

Player* offline_player(TestSong* t)
{
    audio_queue_reset();
    return player_create_offline(&t->song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH);
}

// Fills the queue with blocks whose 16-bit samples count up from `first`.
void push_counting_blocks(int blocks, uint16_t first)
{
    std::vector<uint16_t> block(AUDIO_BLOCK_BYTES / 2);
    for (int b = 0; b < blocks; b++) {
        for (size_t i = 0; i < block.size(); i++) block[i] = (uint16_t)(first + b * block.size() + i);
        ASSERT_TRUE(audio_queue_push(block.data(), AUDIO_BLOCK_BYTES));
    }
}

TEST(Player, TickAndRowFigures)
{
    TestSong t(8);
    Player* player = offline_player(&t);
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player_row_ms(&t.song), 120.0);
    player_begin(player);
    EXPECT_EQ(player->tick_ms, 20.0);
    EXPECT_EQ(player->tick_frames, 882u);
    // A tempo change counts from the next start; speed 5 rows last 100 ms.
    t.song.tempo = 250;
    t.song.speed = 5;
    EXPECT_EQ(player->tick_frames, 882u);
    player_begin(player);
    EXPECT_EQ(player->tick_ms, 10.0);
    EXPECT_EQ(player->tick_frames, 441u);
    EXPECT_EQ(player_row_ms(&t.song), 50.0);
    player_destroy(player);
}

TEST(Player, FirstPumpRunsThreeTicksAndLeaves1196Floats)
{
    TestSong t(8);
    Player* player = offline_player(&t);
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->master_gain, 1.0f);
    player_start(player, 1.4f, 1);
    EXPECT_EQ(player->tick, 3);
    EXPECT_EQ(player->pending_floats, 1196u);
    EXPECT_EQ(g_audio_queue.filled.load(), 1);
    EXPECT_EQ(player->master_gain, 1.4f);
    // The tone on channel 1 reaches the queued block.
    const int16_t* samples = (const int16_t*)g_audio_queue.blocks[0];
    int peak = 0;
    for (uint32_t i = 0; i < AUDIO_BLOCK_BYTES / 2; i++) peak = std::max(peak, std::abs((int)samples[i]));
    EXPECT_GT(peak, 100);
    player_destroy(player);
}

TEST(Player, PumpFillsTheQueueThenRendersNothing)
{
    TestSong t(8);
    Player* player = offline_player(&t);
    ASSERT_NE(player, nullptr);
    player_start(player, 1.4f, 1);
    int more = 1, pumps = 0;
    while (more) {
        EXPECT_EQ(player_pump(player, &more), 1);
        pumps++;
    }
    EXPECT_EQ(pumps, (int)AUDIO_QUEUE_BLOCKS - 1);
    EXPECT_TRUE(audio_queue_full());
    const uint32_t pending = player->pending_floats;
    const int32_t row = player->row;
    const uint8_t tick = player->tick;
    more = 1;
    EXPECT_EQ(player_pump(player, &more), 1);
    EXPECT_EQ(more, 0);
    EXPECT_EQ(player->pending_floats, pending);
    EXPECT_EQ(player->row, row);
    EXPECT_EQ(player->tick, tick);
    EXPECT_EQ(g_audio_queue.filled.load(), AUDIO_QUEUE_BLOCKS);
    // Draining one block makes room for exactly one more.
    std::vector<uint8_t> out(AUDIO_BLOCK_BYTES);
    audio_callback(nullptr, out.data(), (int)out.size());
    EXPECT_EQ(player_pump(player, &more), 1);
    EXPECT_EQ(more, 0);
    EXPECT_GT(player->row * 6 + player->tick, row * 6 + tick);
    player_destroy(player);
}

TEST(Player, StartOnAPlayingPlayerChangesNothing)
{
    TestSong t(8);
    Player* player = offline_player(&t);
    ASSERT_NE(player, nullptr);
    player_start(player, 1.4f, 1);
    player_start(player, 0.5f, 0);
    EXPECT_EQ(player->master_gain, 1.4f);
    EXPECT_EQ(player->loop, 1);
    EXPECT_EQ(g_audio_queue.filled.load(), 1) << "no second block queued";
    player_stop(player);
    EXPECT_EQ(player->playing, 0);
    player_destroy(player);
}

TEST(Player, ANonLoopingSongEndsAndKeepsQueueingItsTail)
{
    // Two rows of one tick: the first pump plays both and runs into the end.
    TestSong t(2, 1);
    Player* player = offline_player(&t);
    ASSERT_NE(player, nullptr);
    player_begin(player);
    player->loop = 0;
    player->playing = 1;
    int more = 0;
    EXPECT_EQ(player_pump(player, &more), 0);
    EXPECT_EQ(player->row, 2);
    EXPECT_EQ(player->pending_floats, 1196u) << "whole silent ticks after the end";
    EXPECT_EQ(player_pump(player, &more), 0);
    EXPECT_EQ(player->row, 2);
    EXPECT_EQ(g_audio_queue.filled.load(), 2);
    player_destroy(player);
}

// Takes `frames` frames out of the queue as the device would, with the queue
// topped up before every request.
std::vector<int16_t> play_frames(Player* player, uint32_t frames)
{
    std::vector<int16_t> out(2 * frames);
    for (uint32_t done = 0; done < frames; done += PLAYER_BLOCK_FRAMES) {
        int more = 1;
        while (more) player_pump(player, &more);
        const uint32_t n = std::min(PLAYER_BLOCK_FRAMES, frames - done);
        audio_callback(nullptr, (uint8_t*)&out[2 * done], (int)(4 * n));
    }
    return out;
}

int g_row_reports = 0;
uint8_t count_row_reports(uint8_t instrument, uint64_t)
{
    g_row_reports++;
    return instrument;
}

TEST(Player, StartAtAFramePlaysExactlyFromThereAndReportsNoSkippedCells)
{
    // Three blocks and 1,000 frames in: the first block starts playing mid-way.
    const uint32_t start = 3 * PLAYER_BLOCK_FRAMES + 1000, frames = 5 * PLAYER_BLOCK_FRAMES;
    TestSong t(8);
    Player* player = offline_player(&t);
    ASSERT_NE(player, nullptr);
    player_start(player, 1.4f, 1);
    const std::vector<int16_t> whole = play_frames(player, start + frames);
    player_destroy(player);

    player = offline_player(&t);
    ASSERT_NE(player, nullptr);
    g_row_reports = 0;
    player_set_row_callback(player, count_row_reports);
    player_start_at(player, 1.4f, 1, start);
    // Only the ticks of the one block queued were reported: at most 3 of 882
    // frames on 14 channels, none of the seven ticks before them.
    EXPECT_GT(g_row_reports, 0);
    EXPECT_LE(g_row_reports, 3 * CHANNELS);
    const std::vector<int16_t> late = play_frames(player, frames);
    player_destroy(player);
    ASSERT_TRUE(std::equal(late.begin(), late.end(), whole.begin() + 2 * start));
}

TEST(AudioQueue, CallbackOnAnEmptyQueueGivesSilenceAndChangesNothing)
{
    audio_queue_reset();
    push_counting_blocks(1, 0);
    std::vector<uint8_t> out(AUDIO_BLOCK_BYTES);
    audio_callback(nullptr, out.data(), (int)out.size());
    const uint8_t write = g_audio_queue.write_index, read = g_audio_queue.read_index;
    std::fill(out.begin(), out.end(), 0xAB);
    audio_callback(nullptr, out.data(), (int)out.size());
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(g_audio_queue.write_index.load(), write);
    EXPECT_EQ(g_audio_queue.read_index.load(), read);
    EXPECT_EQ(g_audio_queue.filled.load(), 0);
    EXPECT_EQ(g_audio_queue.read_offset.load(), 0u);
}

TEST(AudioQueue, AnyRequestLengthDeliversTheQueuedBytesInOrder)
{
    struct Case {
        std::vector<int> lengths; // bytes per callback
    };
    const Case cases[] = {
        {{1, 4096, 12288, 16383}},       // odd offsets, spanning blocks, the rest
        {{8192, 8192, 8192, 8192}},     // the requested size, block by block
        {{12288, 12288, 8192}},          // larger than a block
        {{3000, 3000, 3000, 3000, 20768}},
    };
    for (const Case& c : cases) {
        audio_queue_reset();
        push_counting_blocks(4, 1000);
        std::vector<uint8_t> played;
        for (int len : c.lengths) {
            std::vector<uint8_t> out(len, 0xAB);
            audio_callback(nullptr, out.data(), len);
            played.insert(played.end(), out.begin(), out.end());
        }
        ASSERT_EQ(played.size(), 4 * AUDIO_BLOCK_BYTES);
        const uint16_t* samples = (const uint16_t*)played.data();
        for (uint32_t i = 0; i < played.size() / 2; i++) ASSERT_EQ(samples[i], (uint16_t)(1000 + i)) << i;
        EXPECT_EQ(g_audio_queue.filled.load(), 0);
    }
    // A request larger than what is queued pads with silence after the sound.
    audio_queue_reset();
    push_counting_blocks(1, 1);
    std::vector<uint16_t> out(AUDIO_BLOCK_BYTES, 0xABAB);
    audio_callback(nullptr, (uint8_t*)out.data(), 2 * AUDIO_BLOCK_BYTES - 2);
    EXPECT_EQ(out[AUDIO_BLOCK_BYTES / 2 - 1], AUDIO_BLOCK_BYTES / 2);
    EXPECT_EQ(out[AUDIO_BLOCK_BYTES / 2], 0);
    EXPECT_EQ(out[AUDIO_BLOCK_BYTES - 2], 0);
    EXPECT_EQ(out[AUDIO_BLOCK_BYTES - 1], 0xABAB) << "nothing beyond the request";
}

TEST(AudioQueue, PushRefusesWhenFullAndPadsShortBlocks)
{
    audio_queue_reset();
    push_counting_blocks(AUDIO_QUEUE_BLOCKS, 0);
    const uint8_t block[4] = {1, 2, 3, 4};
    EXPECT_FALSE(audio_queue_push(block, 4));
    EXPECT_EQ(g_audio_queue.filled.load(), AUDIO_QUEUE_BLOCKS);
    std::vector<uint8_t> out(AUDIO_BLOCK_BYTES);
    audio_callback(nullptr, out.data(), (int)out.size());
    EXPECT_FALSE(audio_queue_push(block, 0));
    EXPECT_FALSE(audio_queue_push(block, AUDIO_BLOCK_BYTES + 1));
    EXPECT_TRUE(audio_queue_push(block, 4));
    for (uint32_t i = 0; i < AUDIO_QUEUE_BLOCKS; i++) audio_callback(nullptr, out.data(), (int)out.size());
    EXPECT_EQ(out[3], 4);
    EXPECT_TRUE(std::all_of(out.begin() + 4, out.end(), [](uint8_t b) { return b == 0; }));
}

TEST(AudioQueue, PlayedSoundFollowsTheRequestsAndShortfallsCountAsUnderruns)
{
    audio_queue_reset();
    push_counting_blocks(1, 1);
    audio_queue_count_underruns(true);
    std::vector<uint8_t> out(AUDIO_BLOCK_BYTES);
    audio_callback(nullptr, out.data(), AUDIO_BLOCK_BYTES / 2);
    // Played from the moment of the request at 176,400 bytes per second, up
    // to what the request took.
    const uint64_t asked = g_audio_queue.request_us;
    EXPECT_EQ(audio_queue_played(asked).bytes, 0u);
    EXPECT_EQ(audio_queue_played(asked + 5000).bytes, 882u);
    EXPECT_EQ(audio_queue_played(asked + 1000000).bytes, AUDIO_BLOCK_BYTES / 2);
    // Half a block left for a whole block's request, then nothing at all.
    audio_callback(nullptr, out.data(), AUDIO_BLOCK_BYTES);
    audio_callback(nullptr, out.data(), AUDIO_BLOCK_BYTES);
    AudioPlayed played = audio_queue_played(UINT64_MAX);
    EXPECT_EQ(played.bytes, AUDIO_BLOCK_BYTES);
    EXPECT_EQ(played.underruns, 2u);
    EXPECT_EQ(played.underrun_bytes, AUDIO_BLOCK_BYTES / 2 + AUDIO_BLOCK_BYTES);
    // Not counted once counting is off (after the song's end or stop).
    audio_queue_count_underruns(false);
    audio_callback(nullptr, out.data(), AUDIO_BLOCK_BYTES);
    EXPECT_EQ(audio_queue_played(UINT64_MAX).underruns, 2u);
    // A block pushed with a skip plays from there and counts only what plays.
    const uint16_t block[4] = {1, 2, 3, 4};
    EXPECT_FALSE(audio_queue_push(block, 8, 8)) << "skip beyond the block";
    EXPECT_FALSE(audio_queue_push(block, 8, 2)) << "half a frame";
    EXPECT_TRUE(audio_queue_push(block, 8, 4));
    std::vector<uint16_t> first(2);
    audio_callback(nullptr, (uint8_t*)first.data(), 4);
    EXPECT_EQ(first[0], 3);
    EXPECT_EQ(audio_queue_played(UINT64_MAX).bytes, AUDIO_BLOCK_BYTES + 4);
}

// Through a sound server a request that comes later than the sound handed
// over lasts is a gap the server filled with silence: an underrun, with the
// silence beyond the limit, unless it is the first after a start or a hold.
TEST(AudioQueue, LateRequestsCountAsUnderrunsExceptAfterAHold)
{
    audio_queue_reset();
    audio_queue_set_late_after(20000);
    push_counting_blocks(4, 1);
    audio_queue_count_underruns(true);
    std::vector<uint8_t> out(AUDIO_BLOCK_BYTES / 4);
    audio_callback(nullptr, out.data(), (int)out.size());
    SDL_Delay(40);
    audio_callback(nullptr, out.data(), (int)out.size());
    AudioPlayed played = audio_queue_played(UINT64_MAX);
    EXPECT_EQ(played.late_requests, 1u);
    EXPECT_EQ(played.underruns, 1u);
    EXPECT_GE(played.late_bytes, 20000u * AUDIO_BYTES_PER_SECOND / 1000000 - 4);
    EXPECT_EQ(played.underrun_bytes, played.late_bytes);
    EXPECT_EQ(played.late_bytes % 4, 0u);
    audio_queue_mark_fresh();
    SDL_Delay(40);
    audio_callback(nullptr, out.data(), (int)out.size());
    audio_callback(nullptr, out.data(), (int)out.size());
    EXPECT_EQ(audio_queue_played(UINT64_MAX).underruns, 1u);
    audio_queue_set_late_after(0);
    audio_queue_reset();
}

// The sound device, through SDL's dummy driver (no sound card needed).
class PlayerDevice : public ::testing::Test {
protected:
    void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }
    void TearDown() override { unsetenv("SDL_AUDIODRIVER"); }
};

TEST_F(PlayerDevice, OutputLatencyIsTheDeviceBufferWhileOpen)
{
    TestSong t(8);
    EXPECT_EQ(audio_output_latency_seconds(), 0.0);
    Player* a = player_create(&t.song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH);
    ASSERT_NE(a, nullptr);
    // Not a sound server: one buffer of 2,048 frames, and no request is late.
    EXPECT_DOUBLE_EQ(audio_output_latency_seconds(), 2048.0 / 44100.0);
    EXPECT_EQ(g_audio_queue.late_after_us.load(), 0u);
    player_destroy(a);
    EXPECT_EQ(audio_output_latency_seconds(), 0.0);
}

TEST_F(PlayerDevice, LastPlayerClosesTheDeviceAndANewOneReopensIt)
{
    TestSong t(8);
    Player* a = player_create(&t.song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH);
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(audio_device_is_open());
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED) << "opened, not yet playing";
    Player* b = player_create(&t.song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH);
    ASSERT_NE(b, nullptr);
    player_destroy(a);
    EXPECT_TRUE(audio_device_is_open()) << "b still holds it";
    EXPECT_NE(SDL_GetAudioStatus(), SDL_AUDIO_STOPPED);
    player_destroy(b);
    EXPECT_FALSE(audio_device_is_open());
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_STOPPED);
    Player* c = player_create(&t.song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH);
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(audio_device_is_open());
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
    player_destroy(c);
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_STOPPED);
}

TEST_F(PlayerDevice, StartUnpausesStopPausesAndAnIdleStopLeavesTheDeviceAlone)
{
    TestSong t(8);
    Player* player = player_create(&t.song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH);
    ASSERT_NE(player, nullptr);
    SDL_PauseAudio(0);
    player_stop(player);
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING) << "not playing: device untouched";
    SDL_PauseAudio(1);
    player_start(player, 1.4f, 1);
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PLAYING);
    player_stop(player);
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_PAUSED);
    player_destroy(player);
}

TEST_F(PlayerDevice, NoDeviceNoPlayer)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    TestSong t(8);
    EXPECT_EQ(player_create(&t.song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH), nullptr);
    EXPECT_FALSE(audio_device_is_open());
    EXPECT_NE(strstr(audio_open_error(), "no-such-driver"), nullptr) << audio_open_error();
    // An offline player needs no device.
    Player* offline = player_create_offline(&t.song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH);
    EXPECT_NE(offline, nullptr);
    player_destroy(offline);
}

TEST_F(PlayerDevice, ARejectedChainGivesNoPlayerAndReleasesTheDevice)
{
    TestSong t(8);
    const double bad[] = {1, 9, 0.5, 1, 0}; // input id 0 names nothing
    EXPECT_EQ(player_create(&t.song, bad, 5), nullptr);
    EXPECT_FALSE(audio_device_is_open());
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_STOPPED);
}

// The built-in song through the presentation's own start-up, offline.
Player* g_song_player = nullptr;
int32_t g_first_beat_row = -1;
bool g_beat_voice_was_idle = false;
uint8_t watch_beat(uint8_t instrument, uint64_t block)
{
    if (instrument == SYNC_BEAT_INSTRUMENT && g_first_beat_row < 0) {
        g_first_beat_row = g_song_player->row;
        g_beat_voice_was_idle = g_song_player->voices[9]->instrument == nullptr;
    }
    return sync_callback(instrument, block);
}

TEST(BuiltInSong, IsAudibleHardlyClipsAndBeatsFromRow449)
{
    audio_queue_reset();
    sync_reset();
    DemoAudio audio;
    ASSERT_TRUE(demo_audio_start(&audio, false));
    g_song_player = audio.player;
    player_set_row_callback(audio.player, watch_beat);
    const Song* song = audio.song;
    const uint64_t song_frames = (uint64_t)song->row_count * 5 * 882; // 236.8 s at speed 5

    std::vector<int16_t> block(AUDIO_BLOCK_BYTES / 2);
    uint64_t frames = 0, clipped = 0;
    double energy = 0.0;
    int peak = 0;
    bool beat_seen_early = false;
    while (frames < song_frames) {
        audio_callback(nullptr, (uint8_t*)block.data(), AUDIO_BLOCK_BYTES);
        frames += PLAYER_BLOCK_FRAMES;
        for (int16_t v : block) {
            if (v == 32767 || v == -32768) clipped++;
            peak = std::max(peak, std::abs((int)v));
            energy += (double)v * v;
        }
        // The scenes see the first beat through the sync state, not before 44.8 s.
        if (frames < 1975680 - 3 * PLAYER_BLOCK_FRAMES && beat_flag) beat_seen_early = true;
        int more = 0;
        player_pump(audio.player, &more);
    }
    const double samples = 2.0 * frames;
    EXPECT_GT(peak, 8000);
    EXPECT_GT(std::sqrt(energy / samples), 500.0) << "RMS level";
    EXPECT_LT(clipped / samples, 0.0025) << clipped << " clipped samples";
    EXPECT_EQ(g_first_beat_row, 448) << "row 449 counted from 1";
    EXPECT_TRUE(g_beat_voice_was_idle) << "the beat voice never sounded before";
    EXPECT_EQ(song->speed, 5);
    EXPECT_FLOAT_EQ(g_first_beat_row * 5 * 882 / 44100.0f, 44.8f);
    EXPECT_FALSE(beat_seen_early);
    EXPECT_EQ(beat_flag, 1);
    demo_audio_stop(&audio);
}

// A device that asks for `request` bytes at a time, from the moment it is
// unpaused: its requests made by `seconds` into the music.
uint64_t device_requests_by(double seconds, uint32_t request)
{
    return (uint64_t)(seconds * AUDIO_BYTES_PER_SECOND / request) + 1;
}

// One letter for what a frame saw reported since the previous one: '.'
// nothing, 'b' a beat, 'a' an accent, 'B' both; then clears the state.
char frame_letter()
{
    const bool beat = beat_flag == 1 && beat_pulse == SYNC_BEAT_PULSE;
    const bool accent = accent_pulse == SYNC_ACCENT_PULSE;
    beat_flag = 0;
    beat_pulse = 0;
    accent_pulse = 0;
    return beat ? (accent ? 'B' : 'b') : (accent ? 'a' : '.');
}

// The window's order against a device simulated by hand, with the render
// thread's work done after every request: for every frame (`frame_times`
// in seconds after `start`) the device's requests up to its time, then the
// sync for its music position.
std::string window_flags(double start, const std::vector<double>& frame_times, uint32_t request)
{
    audio_queue_reset();
    sync_reset();
    DemoAudio audio;
    audio.song = song_create(SONG_STREAM, SONG_STREAM_SIZE, INSTRUMENT_TABLE, INSTRUMENT_TABLE_SIZE);
    audio.player = player_create_offline(audio.song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH);
    player_set_row_callback(audio.player, sync_callback);
    player_defer_reports(audio.player);
    player_start_at(audio.player, DEMO_MASTER_GAIN, DEMO_LOOP, (uint64_t)std::llround(start * PLAYER_OUTPUT_RATE));
    player_render_ahead(audio.player);
    std::vector<uint8_t> out(request);
    uint64_t requests = 0;
    std::string seen;
    for (double t : frame_times) {
        for (; requests < device_requests_by(t, request); requests++) {
            audio_callback(nullptr, out.data(), (int)request);
            player_render_ahead(audio.player);
        }
        demo_audio_sync(&audio, start + t);
        seen += frame_letter();
    }
    EXPECT_EQ(audio_queue_played(UINT64_MAX).underruns, 0u) << "the device never ran dry";
    demo_audio_stop(&audio);
    return seen;
}

// The same frames in a capture: the music offline from the song's start,
// rendered block by block until it reaches each frame's time.
std::string capture_flags(double start, const std::vector<double>& frame_times)
{
    audio_queue_reset();
    sync_reset();
    DemoAudio audio;
    EXPECT_TRUE(demo_audio_start(&audio, false));
    std::vector<uint8_t> out(AUDIO_BLOCK_BYTES);
    uint64_t rendered = 0;
    std::string seen;
    for (double t : frame_times) {
        const uint64_t frames = (uint64_t)std::llround((start + t) * PLAYER_OUTPUT_RATE);
        for (;;) {
            while (g_audio_queue.filled.load() > 0) {
                audio_callback(nullptr, out.data(), AUDIO_BLOCK_BYTES);
                rendered += PLAYER_BLOCK_FRAMES;
            }
            if (rendered >= frames) break;
            int more = 0;
            player_pump(audio.player, &more);
        }
        seen += frame_letter();
    }
    demo_audio_stop(&audio);
    return seen;
}

TEST(PlayerSync, WindowFramesSeeTheCellsACaptureAtTheirTimesSees)
{
    std::vector<double> steady, hitch;
    for (int k = 0; k < 360; k++) steady.push_back(k / 60.0);
    for (int k = 0; k < 180; k++) hitch.push_back(k < 60 ? k / 30.0 : (k - 1) / 30.0 + 0.12);
    struct Case {
        const char* what;
        double start;
        const std::vector<double>* frames;
        uint32_t request;
    };
    const Case cases[] = {
        {"60 fps, whole blocks", 44.8, &steady, AUDIO_BLOCK_BYTES},
        {"30 fps, a 120 ms frame, 300-frame requests", 44.7, &hitch, 1200},
    };
    for (const Case& c : cases) {
        const std::string window = window_flags(c.start, *c.frames, c.request);
        EXPECT_EQ(window, capture_flags(c.start, *c.frames)) << c.what;
        EXPECT_NE(window.find('b'), std::string::npos) << c.what << ": beats seen";
        EXPECT_NE(window.find('a'), std::string::npos) << c.what << ": accents seen";
    }
}

} // namespace
