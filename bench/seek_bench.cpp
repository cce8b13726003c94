// Seek latency on a playing device player (SDL's dummy driver unless
// SDL_AUDIODRIVER says otherwise): from the call to player_seek until the
// block holding the target is in the queue, over 20 targets drawn with a
// fixed seed across the presentation's 225 s, in the drawn order (forwards
// and backwards). With checkpoints (all built before the first seek) and
// without; the median and worst seek in wall time and in processor time of
// the seeking thread (what it takes on a machine nobody else uses), and the
// checkpoints' memory.
#include "synth/audio_queue.h"
#include "synth/effect_chain.h"
#include "synth/player.h"

#include <benchmark/benchmark.h>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <random>
#include <vector>

namespace {

const int TARGETS = 20;
const uint32_t SEED = 29;
const double PRESENTATION_SECONDS = 225.0;
// Between two seeks the render thread refills the queue, as while a viewer
// watches the new position.
const long SETTLE_NS = 20000000;

std::vector<uint64_t> seek_targets()
{
    std::mt19937 draw(SEED);
    std::uniform_int_distribution<uint64_t> frame(0, (uint64_t)(PRESENTATION_SECONDS * PLAYER_OUTPUT_RATE) - 1);
    std::vector<uint64_t> targets;
    for (int i = 0; i < TARGETS; i++) targets.push_back(frame(draw));
    return targets;
}

double thread_cpu_ms()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1.0e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return (values[(n - 1) / 2] + values[n / 2]) / 2.0;
}

void BM_Seek(benchmark::State& state)
{
    const bool checkpoints = state.range(0) != 0;
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    Song* song = song_create(SONG_STREAM, SONG_STREAM_SIZE, INSTRUMENT_TABLE, INSTRUMENT_TABLE_SIZE);
    audio_queue_reset();
    Player* player = player_create(song, EFFECT_CONFIG_BUILTIN, EFFECT_CONFIG_BUILTIN_LENGTH);
    if (!player) {
        state.SkipWithError("no sound device");
        song_destroy(song);
        return;
    }
    if (checkpoints) player_keep_checkpoints(player);
    player_start(player, 1.4f, 1);
    player_checkpoints_wait(player);
    const timespec settle = {0, SETTLE_NS};
    std::vector<double> ms, cpu_ms;
    for (auto _ : state) {
        for (uint64_t frame : seek_targets()) {
            const double cpu_begin = thread_cpu_ms();
            const auto begin = std::chrono::steady_clock::now();
            player_seek(player, frame);
            const auto end = std::chrono::steady_clock::now();
            ms.push_back(std::chrono::duration<double, std::milli>(end - begin).count());
            cpu_ms.push_back(thread_cpu_ms() - cpu_begin);
            nanosleep(&settle, nullptr);
        }
    }
    state.counters["median_ms"] = median(ms);
    state.counters["worst_ms"] = *std::max_element(ms.begin(), ms.end());
    state.counters["median_cpu_ms"] = median(cpu_ms);
    state.counters["worst_cpu_ms"] = *std::max_element(cpu_ms.begin(), cpu_ms.end());
    state.counters["checkpoints"] = player_checkpoints_ready(player);
    state.counters["checkpoint_MiB"] = player_checkpoints_bytes(player) / 1048576.0;
    player_stop(player);
    player_destroy(player);
    song_destroy(song);
}

} // namespace

BENCHMARK(BM_Seek)->ArgName("checkpoints")->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);
