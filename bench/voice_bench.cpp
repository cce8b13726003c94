// voice_render throughput: frames per second for the song's typical voices.
#include "synth/song.h"
#include "synth/voice.h"

#include <benchmark/benchmark.h>

namespace {

const uint32_t TICK_FRAMES = 882; // one tick at tempo 125

Song* built_in_song()
{
    static Song* song =
        song_create(SONG_STREAM, SONG_STREAM_SIZE, INSTRUMENT_TABLE, INSTRUMENT_TABLE_SIZE);
    return song;
}

// Renders ticks of one note, retriggering when the envelope ends, and reports
// rendered frames as items.
void render_note(benchmark::State& state, int instrument, uint8_t note)
{
    Voice* voice = voice_create();
    voice->instrument = built_in_song()->instruments[instrument - 1];
    voice_note_on(voice, note);
    for (auto _ : state) {
        if (!voice_render(voice, TICK_FRAMES)) {
            voice_note_on(voice, note);
        }
        benchmark::DoNotOptimize(voice->ring[voice->write_pos]);
    }
    state.SetItemsProcessed(state.iterations() * TICK_FRAMES);
    voice_destroy(voice);
}

// Instrument 2: triangle and two squares, no filter (a melody note, C#4).
void BM_VoiceLeadNote(benchmark::State& state)
{
    render_note(state, 2, 61);
}

// Instrument 1: three oscillators through the filter (a pad note, E4).
void BM_VoicePadFiltered(benchmark::State& state)
{
    render_note(state, 1, 64);
}

// Instrument 3: sine plus the shared noise (a snare hit).
void BM_VoiceSnare(benchmark::State& state)
{
    render_note(state, 3, 58);
}

} // namespace

BENCHMARK(BM_VoiceLeadNote);
BENCHMARK(BM_VoicePadFiltered);
BENCHMARK(BM_VoiceSnare);
