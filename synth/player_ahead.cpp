// Rendering ahead: the render thread, what each block's cells reported, and its hand-over to the frame loop.
#include "synth/player_local.h"

#include "synth/effect_chain.h"

#include <algorithm>
#include <ctime>
#include <pthread.h>

// How long the render thread sleeps once the queue is full: a ninth of a
// block, so the queue is never more than one block short of full.
static const long AHEAD_POLL_NS = 5000000;
static const long NS_PER_SECOND = 1000000000;

// The records the blocks being rendered on this thread go to.
static thread_local PlayerAhead* t_recording = nullptr;

PlayerAhead* ahead_create()
{
    PlayerAhead* ahead = new PlayerAhead();
    ahead_restart(ahead, 0, 0);
    pthread_mutex_init(&ahead->wake_lock, nullptr);
    pthread_condattr_t monotonic;
    pthread_condattr_init(&monotonic);
    pthread_condattr_setclock(&monotonic, CLOCK_MONOTONIC);
    pthread_cond_init(&ahead->wake, &monotonic);
    pthread_condattr_destroy(&monotonic);
    return ahead;
}

void ahead_destroy(PlayerAhead* ahead)
{
    pthread_cond_destroy(&ahead->wake);
    pthread_mutex_destroy(&ahead->wake_lock);
    delete ahead;
}

void ahead_restart(PlayerAhead* ahead, uint64_t origin, uint64_t first_block)
{
    std::fill(ahead->reports, ahead->reports + AHEAD_INSTRUMENTS, 0u);
    std::fill(ahead->passed, ahead->passed + AHEAD_INSTRUMENTS, 0u);
    ahead->made.store(0);
    ahead->ended_at.store(UINT64_MAX);
    for (CellRecord& record : ahead->records) record.made.store(RECORD_REWRITING);
    // Nothing reported before the first block.
    CellRecord* first = &ahead->records[0];
    for (std::atomic<uint32_t>& count : first->reports) count.store(0);
    first->made.store(0);
    ahead->origin = origin;
    ahead->first_block = first_block;
    ahead->synced = 0;
}

uint8_t ahead_record_row(uint8_t instrument, uint64_t)
{
    if (t_recording) t_recording->reports[instrument]++;
    return instrument;
}

// Publishes the counts after `made` blocks. A reader that finds the block
// count changed between its two looks has read a record being rewritten.
static void record_write(PlayerAhead* ahead, uint64_t made)
{
    CellRecord* record = &ahead->records[made % AHEAD_RECORDS];
    record->made.store(RECORD_REWRITING);
    for (uint32_t i = 0; i < AHEAD_INSTRUMENTS; i++) record->reports[i].store(ahead->reports[i]);
    record->made.store(made);
}

bool player_queue_block(Player* player, uint32_t skip)
{
    PlayerAhead* ahead = player->ahead;
    if (ahead->deferred) t_recording = ahead;
    const bool going = player_render_block(player);
    t_recording = nullptr;
    audio_queue_push(player->chain->output, AUDIO_BLOCK_BYTES, skip);
    const uint64_t made = ahead->made.load() + 1;
    record_write(ahead, made);
    if (!going && ahead->ended_at.load() == UINT64_MAX) ahead->ended_at.store(made);
    ahead->made.store(made);
    // What the device asks for after the end is not missing sound.
    if (!going) audio_queue_count_underruns(false);
    return going;
}

void player_render_ahead(Player* player)
{
    while (!audio_queue_full()) player_queue_block(player, 0);
}

static void* ahead_run(void* context)
{
    Player* player = (Player*)context;
    // Named for top and perf; a name that does not fit is simply not set.
    pthread_setname_np(pthread_self(), "qh-music");
    PlayerAhead* ahead = player->ahead;
    while (!ahead->stop.load()) {
        player_render_ahead(player);
        // A pause that a stop ends at once: a seek waits for no sleep.
        timespec until;
        clock_gettime(CLOCK_MONOTONIC, &until);
        until.tv_nsec += AHEAD_POLL_NS;
        if (until.tv_nsec >= NS_PER_SECOND) {
            until.tv_sec++;
            until.tv_nsec -= NS_PER_SECOND;
        }
        pthread_mutex_lock(&ahead->wake_lock);
        if (!ahead->stop.load()) pthread_cond_timedwait(&ahead->wake, &ahead->wake_lock, &until);
        pthread_mutex_unlock(&ahead->wake_lock);
    }
    return nullptr;
}

bool ahead_thread_start(Player* player)
{
    PlayerAhead* ahead = player->ahead;
    ahead->stop.store(false);
    ahead->running = pthread_create(&ahead->thread, nullptr, ahead_run, player) == 0;
    return ahead->running;
}

void ahead_thread_stop(Player* player)
{
    PlayerAhead* ahead = player->ahead;
    if (!ahead->running) return;
    pthread_mutex_lock(&ahead->wake_lock);
    ahead->stop.store(true);
    pthread_cond_signal(&ahead->wake);
    pthread_mutex_unlock(&ahead->wake_lock);
    pthread_join(ahead->thread, nullptr);
    ahead->running = false;
}

bool ahead_thread_running(const Player* player) { return player->ahead->running; }

// Blocks due at song frame `frame`: those that start before it, as far as
// they are made.
static uint64_t blocks_due(const PlayerAhead* ahead, uint64_t frame)
{
    const uint64_t started = (frame + PLAYER_BLOCK_FRAMES - 1) / PLAYER_BLOCK_FRAMES;
    const uint64_t due = started > ahead->first_block ? started - ahead->first_block : 0;
    return std::min(due, ahead->made.load());
}

// The report counts after block `made` (1 for the first), read from its
// record; false when the record was rewritten for a later block meanwhile.
static bool record_read(const PlayerAhead* ahead, uint64_t made, uint32_t* reports)
{
    const CellRecord* record = &ahead->records[made % AHEAD_RECORDS];
    if (record->made.load() != made) return false;
    for (uint32_t i = 0; i < AHEAD_INSTRUMENTS; i++) reports[i] = record->reports[i].load();
    return record->made.load() == made;
}

// Passes on what block `made` reported beyond the counts passed so far.
static void block_report(PlayerAhead* ahead, uint64_t made, const uint32_t* reports)
{
    const uint64_t block = ahead->first_block + made - 1;
    for (uint32_t i = 0; i < AHEAD_INSTRUMENTS; i++) {
        if (reports[i] == ahead->passed[i]) continue;
        ahead->passed[i] = reports[i];
        if (ahead->callback) ahead->callback((uint8_t)i, block);
    }
}

int player_sync(Player* player, uint64_t frame)
{
    PlayerAhead* ahead = player->ahead;
    // Without its thread (the system would not start one) a device player
    // renders here, after every frame, as far ahead as the queue goes.
    if (player->playing && player->has_device && !ahead->running) player_render_ahead(player);
    if (!ahead->deferred) return ahead->made.load() >= ahead->ended_at.load() ? 0 : 1;
    const uint64_t due = blocks_due(ahead, frame);
    // Block by block, so each report carries its own block. A record the
    // render thread has since rewritten (only after a long stall) is
    // skipped: the next one's counts include its reports.
    uint32_t reports[AHEAD_INSTRUMENTS];
    for (uint64_t made = ahead->synced + 1; made <= due; made++) {
        if (record_read(ahead, made, reports)) block_report(ahead, made, reports);
    }
    if (due > ahead->synced) ahead->synced = due;
    return ahead->synced >= ahead->ended_at.load() ? 0 : 1;
}
