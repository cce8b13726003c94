// Seeking in the built-in song: snapshots restore the exact sound, and the
// sound after a seek is the sound of a start at that frame, byte for byte.
#include "synth/audio_queue.h"
#include "synth/effect_chain.h"
#include "synth/player.h"
#include "synth/player_local.h"

#include <gtest/gtest.h>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

const float GAIN = 1.4f;
// Blocks compared after each start or seek: the first from the seek's frame.
const uint32_t COMPARED_BLOCKS = 3;
// The song's first pass: 2,368 rows of 5 ticks of 882 frames.
const uint64_t SONG_FRAMES = 2368ull * 5 * 882;
const uint64_t CHECKPOINT_FRAMES = (uint64_t)PLAYER_CHECKPOINT_BLOCKS * PLAYER_BLOCK_FRAMES;

struct BuiltInSong {
    Song* song = song_create(SONG_STREAM, SONG_STREAM_SIZE, INSTRUMENT_TABLE, INSTRUMENT_TABLE_SIZE);
    ~BuiltInSong() { song_destroy(song); }
};

Player* offline(Song* song)
{
    return player_create_offline(song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH);
}

// The next `blocks` blocks of sound from the queue, rendering as needed.
std::vector<uint8_t> play(Player* player, uint32_t blocks)
{
    // One block more than read: the first may start part-way.
    int more = 1;
    while (more && g_audio_queue.filled.load() <= blocks) player_pump(player, &more);
    std::vector<uint8_t> sound(blocks * AUDIO_BLOCK_BYTES);
    audio_callback(nullptr, sound.data(), (int)sound.size());
    return sound;
}

// What a fresh player started at `frame` plays.
std::vector<uint8_t> started_at(uint64_t frame)
{
    BuiltInSong s;
    audio_queue_reset();
    Player* player = offline(s.song);
    player_start_at(player, GAIN, 1, frame);
    std::vector<uint8_t> sound = play(player, COMPARED_BLOCKS);
    player_destroy(player);
    return sound;
}

// Blocks rendered on the chain's output, as the queue would get them.
std::vector<int16_t> render(Player* player, uint32_t blocks)
{
    std::vector<int16_t> out;
    for (uint32_t b = 0; b < blocks; b++) {
        player_render_block(player);
        out.insert(out.end(), player->chain->output, player->chain->output + PLAYER_BLOCK_FLOATS);
    }
    return out;
}

} // namespace

TEST(PlayerSnapshot, RestoredIntoAnyPlayerOfTheSongRendersTheSameBlocksAndIsSmall)
{
    BuiltInSong s, other;
    Player* a = offline(s.song);
    Player* b = offline(other.song);
    render(a, 1000); // 46 s in: echoes, reverb and every voice busy
    PlayerSnapshot* snapshot = player_snapshot_create(player_snapshot_capacity(a));
    ASSERT_TRUE(player_snapshot_save(a, snapshot));
    EXPECT_EQ(snapshot->block, 1000u);
    // Only live data: well under the half megabyte a copy of every ring
    // and line would take twice over.
    EXPECT_LT(snapshot->used, 512u * 1024);
    const std::vector<int16_t> expected = render(a, 40);
    player_snapshot_restore(a, snapshot);
    EXPECT_EQ(render(a, 40), expected) << "back in the same player";
    player_snapshot_restore(b, snapshot);
    EXPECT_EQ(b->block, 1000u);
    EXPECT_EQ(render(b, 40), expected) << "in a fresh player of another copy of the song";
    player_snapshot_destroy(snapshot);
    player_destroy(a);
    player_destroy(b);
}

TEST(PlayerSeek, PlaysWhatAStartAtTheFrameWouldForwardsAndBackwards)
{
    BuiltInSong s;
    audio_queue_reset();
    Player* player = offline(s.song);
    player_keep_checkpoints(player);
    player_start_at(player, GAIN, 1, 0);
    player_checkpoints_wait(player);
    // Every checkpoint of the first pass: the last at or before its end.
    EXPECT_EQ(player_checkpoints_ready(player), (uint32_t)(SONG_FRAMES / CHECKPOINT_FRAMES + 1));
    const uint64_t targets[] = {
        150 * 44100ull + 17,     // forwards into the middle
        20 * 44100ull,           // backwards
        CHECKPOINT_FRAMES - 1,   // last frame before a checkpoint
        CHECKPOINT_FRAMES,       // on it
        CHECKPOINT_FRAMES + 2048 + 5,
        SONG_FRAMES - 3000,      // across the loop point
        SONG_FRAMES + 44100,     // past it, beyond every checkpoint
        2047,                    // back to the first block
    };
    for (uint64_t frame : targets) {
        player_seek(player, frame);
        const std::vector<uint8_t> sought = play(player, COMPARED_BLOCKS);
        EXPECT_TRUE(sought == started_at(frame)) << "seek to frame " << frame;
    }
    player_destroy(player);
}

// A playing device with its render thread, held paused: the seek keeps it
// paused, and the queue the thread refills holds the frame's sound.
TEST(PlayerSeek, OnAPausedDeviceRefillsTheQueueFromTheFrameAndStaysPaused)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    BuiltInSong s;
    audio_queue_reset();
    Player* player = player_create(s.song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH);
    ASSERT_NE(player, nullptr);
    player_start_at(player, GAIN, 1, 44100);
    player_pause(player, true);
    const uint64_t frame = 61 * 44100ull + 300;
    player_seek(player, frame);
    EXPECT_EQ(player->paused, 1);
    EXPECT_EQ(player_played_seconds(player), 0.0);
    const timespec pause = {0, 2000000};
    for (int i = 0; i < 5000 && !audio_queue_full(); i++) nanosleep(&pause, nullptr);
    ASSERT_TRUE(audio_queue_full());
    std::vector<uint8_t> sought(COMPARED_BLOCKS * AUDIO_BLOCK_BYTES);
    // Paused, the device takes nothing: the test reads the queue itself.
    audio_callback(nullptr, sought.data(), (int)sought.size());
    player_stop(player);
    player_destroy(player);
    unsetenv("SDL_AUDIODRIVER");
    EXPECT_TRUE(sought == started_at(frame));
}
