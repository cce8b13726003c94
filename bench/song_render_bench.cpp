// The whole built-in song (2,368 rows) through sequencer, voices and effect
// chain on one core, offline: the real-time factor is the seconds of music
// per second of CPU. Also the parts on their own, and a count of the heap
// allocations made while pumping (expected 0).
#include "synth/audio_queue.h"
#include "synth/effect_chain.h"
#include "synth/player.h"
#include "synth/sequencer.h"

#include <benchmark/benchmark.h>
#include <atomic>
#include <cstdlib>

// Every heap allocation of the process passes through here.
static std::atomic<long> g_allocations{0};
extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_realloc(void* p, size_t size);
extern "C" void* malloc(size_t size)
{
    g_allocations++;
    return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size)
{
    g_allocations++;
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* p, size_t size)
{
    g_allocations++;
    return __libc_realloc(p, size);
}

namespace {

const double SONG_SPEED = 5.0; // ticks per row, set by the song's first row
const double TICK_FRAMES = 882.0;

struct Session {
    Song* song;
    Player* player;
};

Session session_start()
{
    audio_queue_reset();
    Session s;
    s.song = song_create(SONG_STREAM, SONG_STREAM_SIZE, INSTRUMENT_TABLE, INSTRUMENT_TABLE_SIZE);
    s.player = player_create_offline(s.song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH);
    player_start(s.player, 1.4f, 1);
    return s;
}

void session_end(Session* s)
{
    player_destroy(s->player);
    song_destroy(s->song);
}

// Pumps and drains blocks until `frames` frames exist; returns allocations seen.
long render(Player* player, double frames)
{
    uint8_t out[AUDIO_BLOCK_BYTES];
    long allocations = 0;
    for (double done = 0; done < frames; done += PLAYER_BLOCK_FRAMES) {
        audio_callback(nullptr, out, sizeof out);
        int more = 0;
        const long before = g_allocations.load();
        player_pump(player, &more);
        allocations += g_allocations.load() - before;
        benchmark::DoNotOptimize(out);
    }
    return allocations;
}

void BM_WholeSong(benchmark::State& state)
{
    Session s = session_start();
    const double frames = s.song->row_count * SONG_SPEED * TICK_FRAMES;
    long allocations = 0;
    for (auto _ : state) {
        state.PauseTiming();
        session_end(&s);
        s = session_start();
        state.ResumeTiming();
        allocations += render(s.player, frames);
    }
    session_end(&s);
    const double music_seconds = frames / PLAYER_OUTPUT_RATE * state.iterations();
    state.counters["realtime_x"] = benchmark::Counter(music_seconds, benchmark::Counter::kIsRate);
    state.counters["allocs_in_pump"] = (double)allocations;
}
BENCHMARK(BM_WholeSong)->Unit(benchmark::kSecond)->Iterations(2);

// Sequencer and voices only: one block's worth of ticks per iteration.
void BM_TicksPerBlock(benchmark::State& state)
{
    Session s = session_start();
    for (auto _ : state) {
        while (s.player->pending_floats <= PLAYER_BLOCK_FLOATS) sequencer_tick(s.player);
        s.player->pending_floats -= PLAYER_BLOCK_FLOATS;
        for (uint32_t i = 0; i < s.song->channel_count; i++) {
            Voice* v = s.player->voices[i];
            v->read_pos = (v->read_pos + PLAYER_BLOCK_FLOATS) % RING_FLOATS;
        }
    }
    session_end(&s);
    state.counters["music_s"] = benchmark::Counter(
        (double)state.iterations() * PLAYER_BLOCK_FRAMES / PLAYER_OUTPUT_RATE, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TicksPerBlock)->Unit(benchmark::kMicrosecond);

// The effect chain alone on one block of whatever the rings hold.
void BM_ChainBlock(benchmark::State& state)
{
    Session s = session_start();
    render(s.player, 600 * PLAYER_BLOCK_FRAMES); // into the song, past the first beats
    for (auto _ : state) effect_chain_process(s.player->chain, s.player->master_gain);
    session_end(&s);
    state.counters["music_s"] = benchmark::Counter(
        (double)state.iterations() * PLAYER_BLOCK_FRAMES / PLAYER_OUTPUT_RATE, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ChainBlock)->Unit(benchmark::kMicrosecond);

} // namespace
