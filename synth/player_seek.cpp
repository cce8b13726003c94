// Seeking: the state at the song's first frame, checkpoints built on a thread of their own, and the seek itself.
#include "synth/player_local.h"

#include "synth/effect_chain.h"

#include <SDL/SDL.h>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

// The builder yields to everything else: niceness 10 above the program's
// gives it about a tenth of a core the window's threads want, the whole of
// an idle one.
static const int BUILDER_NICENESS = 10;
static const int NICEST = 19;
// Ticks per row the sequencer can reach: effect 7 sets speeds below 32.
static const uint32_t MOST_TICKS_PER_ROW = 31;
static const uint32_t BYTES_PER_FRAME = 4;

// ---- Lifetime -------------------------------------------------------------

PlayerSeek* seek_create()
{
    PlayerSeek* seek = new PlayerSeek();
    seek->ready.store(0);
    seek->stop.store(false);
    return seek;
}

static void builder_stop(PlayerSeek* seek)
{
    if (!seek->running) return;
    seek->stop.store(true);
    pthread_join(seek->thread, nullptr);
    seek->running = false;
}

void seek_destroy(PlayerSeek* seek)
{
    if (!seek) return;
    builder_stop(seek);
    const uint32_t ready = seek->ready.load();
    for (uint32_t i = 0; i < ready; i++) player_snapshot_destroy(seek->checkpoints[i]);
    free(seek->checkpoints);
    player_snapshot_destroy(seek->start);
    delete seek;
}

// ---- The builder ----------------------------------------------------------

// Blocks the song can last at most: every row at the longest speed.
static uint32_t checkpoint_slots(const Player* player)
{
    uint32_t speed = player->song->speed > MOST_TICKS_PER_ROW ? player->song->speed : MOST_TICKS_PER_ROW;
    uint64_t frames = (uint64_t)player->song->row_count * speed * (player->tick_frames & 0xFFFF);
    return (uint32_t)(frames / PLAYER_BLOCK_FRAMES / PLAYER_CHECKPOINT_BLOCKS + 2);
}

static void builder_lower_priority()
{
    const pid_t thread = (pid_t)syscall(SYS_gettid);
    int niceness = getpriority(PRIO_PROCESS, 0) + BUILDER_NICENESS;
    if (niceness > NICEST) niceness = NICEST;
    // Not allowed or not possible: it builds at the normal priority.
    setpriority(PRIO_PROCESS, (id_t)thread, niceness);
}

// Saves into the scratch record and keeps an exact copy in the table.
static bool checkpoint_publish(PlayerSeek* seek, const Player* shadow, PlayerSnapshot* scratch)
{
    const uint32_t index = seek->ready.load();
    if (index >= seek->slots || !player_snapshot_save(shadow, scratch)) return false;
    PlayerSnapshot* kept = player_snapshot_create(scratch->used);
    if (!kept) return false;
    memcpy(kept->data, scratch->data, scratch->used);
    kept->used = scratch->used;
    kept->block = scratch->block;
    seek->checkpoints[index] = kept;
    seek->ready.store(index + 1);
    return true;
}

// A player of its own plays the song from the start state, silently, and
// keeps a checkpoint every PLAYER_CHECKPOINT_BLOCKS blocks until the song
// ends or first loops.
static void* builder_run(void* context)
{
    Player* player = (Player*)context;
    PlayerSeek* seek = player->seek;
    pthread_setname_np(pthread_self(), "qh-checkpoints");
    builder_lower_priority();
    Player* shadow = player_build(&seek->song, player->chain_config, player->chain_length);
    PlayerSnapshot* scratch = shadow ? player_snapshot_create(player_snapshot_capacity(shadow)) : nullptr;
    if (scratch) {
        player_snapshot_restore(shadow, seek->start);
        shadow->loop = seek->loop;
        for (bool ended = false; !seek->stop.load();) {
            if (shadow->block % PLAYER_CHECKPOINT_BLOCKS == 0 && !checkpoint_publish(seek, shadow, scratch)) break;
            if (ended) break;
            const int32_t row = shadow->row;
            ended = !player_render_block(shadow) || shadow->row < row;
        }
    }
    player_snapshot_destroy(scratch);
    player_destroy(shadow);
    return nullptr;
}

static void builder_start(Player* player)
{
    PlayerSeek* seek = player->seek;
    seek->song = *player->song;
    seek->loop = player->loop;
    seek->slots = checkpoint_slots(player);
    seek->checkpoints = (PlayerSnapshot**)calloc(seek->slots, sizeof(PlayerSnapshot*));
    if (!seek->checkpoints) return;
    seek->stop.store(false);
    seek->running = pthread_create(&seek->thread, nullptr, builder_run, player) == 0;
}

void seek_start(Player* player)
{
    PlayerSeek* seek = player->seek;
    if (seek->start) return;
    seek->start = player_snapshot_create(player_snapshot_capacity(player));
    if (seek->start && !player_snapshot_save(player, seek->start)) {
        player_snapshot_destroy(seek->start);
        seek->start = nullptr;
    }
    // Kept at its exact size.
    uint8_t* exact = seek->start ? (uint8_t*)realloc(seek->start->data, seek->start->used) : nullptr;
    if (exact) {
        seek->start->data = exact;
        seek->start->capacity = seek->start->used;
    }
    if (seek->start && seek->keep) builder_start(player);
}

void player_keep_checkpoints(Player* player) { player->seek->keep = true; }

uint32_t player_checkpoints_ready(const Player* player) { return player->seek->ready.load(); }

size_t player_checkpoints_bytes(const Player* player)
{
    const PlayerSeek* seek = player->seek;
    const uint32_t ready = seek->ready.load();
    size_t bytes = 0;
    for (uint32_t i = 0; i < ready; i++) bytes += sizeof(PlayerSnapshot) + seek->checkpoints[i]->used;
    return bytes;
}

void player_checkpoints_wait(Player* player)
{
    PlayerSeek* seek = player->seek;
    if (!seek->running) return;
    pthread_join(seek->thread, nullptr);
    seek->running = false;
}

// ---- Seeking --------------------------------------------------------------

// Puts the player at the latest state it can reach `target` from: a
// checkpoint, the start state, or the state it is in when that is nearer.
static void seek_restore_nearest(Player* player, uint64_t target)
{
    const PlayerSeek* seek = player->seek;
    const PlayerSnapshot* best = seek->start;
    const uint32_t ready = seek->ready.load();
    if (ready > 0) {
        uint64_t index = target / PLAYER_CHECKPOINT_BLOCKS;
        if (index >= ready) index = ready - 1;
        const PlayerSnapshot* checkpoint = seek->checkpoints[index];
        if (checkpoint->block <= target && (!best || checkpoint->block > best->block)) best = checkpoint;
    }
    if (!best || best->block > target) return;
    if (player->block <= target && player->block >= best->block) return;
    player_snapshot_restore(player, best);
}

void player_seek(Player* player, uint64_t frame)
{
    if (!player->playing) return;
    ahead_thread_stop(player);
    const bool device = player->has_device != 0;
    // Held while the queue is emptied and the first block made, so the
    // device plays neither stale sound nor a gap.
    if (device && !player->paused) SDL_PauseAudio(1);
    audio_queue_count_underruns(false);
    audio_queue_drop();
    const uint64_t target = frame / PLAYER_BLOCK_FRAMES;
    seek_restore_nearest(player, target);
    if (player->block < target) player_discard_blocks(player, target - player->block);
    player->origin_bytes = audio_queue_played(UINT64_MAX).bytes;
    ahead_restart(player->ahead, audio_queue_pushed(), player->block);
    audio_queue_count_underruns(true);
    player_queue_block(player, (uint32_t)(frame % PLAYER_BLOCK_FRAMES) * BYTES_PER_FRAME);
    if (!device) return;
    // The thread refills the queue; should the system refuse it, player_sync does.
    ahead_thread_start(player);
    if (!player->paused) SDL_PauseAudio(0);
}
