// The sequencer: note starts, volume column, the seven effects, callbacks,
// row and loop advance, and silent voices keeping pace.
#include "synth/sequencer.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const uint32_t TICK = 882; // frames per tick at tempo 125

// A small grid with two instruments, played by a player record built by hand
// (the sequencer needs no device and no chain).
struct Fixture {
    Song song = {};
    std::vector<Cell> cells;
    Instrument instruments[2] = {};
    Instrument* instrument_list[2] = {&instruments[0], &instruments[1]};
    std::vector<Voice*> voices;
    Player player = {};

    Fixture(uint16_t rows, uint16_t channels, uint8_t speed, uint8_t loop)
        : cells(rows * channels)
    {
        // Instrument 1: two enabled square oscillators (x1, x2) and a disabled
        // third, constant level. Instrument 2: same, ends after 30 ms.
        for (Instrument& in : instruments) {
            in.osc[0] = {1, 0, 1.0f, 0, 0.0f, 1.0f, 0, 0.0f, 0.0f, 3, 0.0f, 0};
            in.osc[1] = {1, 0, 1.0f, 0, 0.0f, 2.0f, 0, 0.0f, 0.0f, 3, 0.0f, 0};
            in.osc[2] = {0, 0, 1.0f, 0, 0.0f, 3.0f, 0, 0.0f, 0.0f, 3, 0.0f, 0};
            in.sustain_level = 1.0f;
            in.volume = 1.0f;
        }
        instruments[0].envelope_off = 1;
        instruments[1].release_ms = 30.0f;
        song.tempo = 125;
        song.speed = speed;
        song.row_count = rows;
        song.channel_count = channels;
        song.cells = cells.data();
        song.instrument_count = 2;
        song.instruments = instrument_list;
        for (int i = 0; i < channels; i++) voices.push_back(voice_create());
        player.song = &song;
        player.voices = voices.data();
        player.loop = loop;
        player.tick_ms = 20.0;
        player.tick_frames = TICK;
        player.master_gain = 1.0f;
    }
    ~Fixture()
    {
        for (Voice* v : voices) voice_destroy(v);
    }
    Cell& cell(int row, int channel) { return cells[row * song.channel_count + channel]; }
    // Runs n ticks; returns the result of the last.
    bool ticks(int n)
    {
        bool result = true;
        for (int i = 0; i < n; i++) result = sequencer_tick(&player);
        return result;
    }
};

std::vector<int> g_reported;
uint8_t record_instrument(uint8_t instrument, uint64_t)
{
    g_reported.push_back(instrument);
    return instrument;
}
std::vector<int> g_effects;
void record_effect(uint8_t effect, uint8_t param) { g_effects.push_back(effect * 256 + param); }

TEST(Sequencer, NoteStartsNeedBothNoteAndInstrument)
{
    struct Case {
        uint8_t instrument, note;
        bool starts;
    };
    const Case cases[] = {{0, 60, false}, {1, 0, false}, {1, 69, true}, {2, 57, true}};
    for (const Case& c : cases) {
        Fixture f(1, 1, 2, 1);
        f.cell(0, 0) = {c.instrument, c.note, 0, 0, 0};
        g_reported.clear();
        f.player.row_callback = record_instrument;
        f.ticks(2);
        const Instrument* expected = c.starts ? &f.instruments[c.instrument - 1] : nullptr;
        EXPECT_EQ(f.voices[0]->instrument, expected) << int(c.instrument) << " " << int(c.note);
        if (c.starts) {
            EXPECT_EQ(f.voices[0]->note_freq, (float)note_to_hz(c.note));
        }
        // The instrument byte is reported on every tick of the row, started or not.
        EXPECT_EQ(g_reported, std::vector<int>(2, c.instrument));
    }
}

TEST(Sequencer, CallbacksSeeEveryChannelOnEveryTickInOrder)
{
    Fixture f(2, 3, 2, 1);
    f.cell(0, 0) = {4, 0, 0, 7, 2};
    f.cell(0, 2) = {5, 0, 0, 0, 0};
    f.cell(1, 1) = {3, 0, 0, 1, 9};
    g_reported.clear();
    g_effects.clear();
    f.player.row_callback = record_instrument;
    f.player.effect_callback = record_effect;
    f.ticks(4);
    EXPECT_EQ(g_reported, (std::vector<int>{4, 0, 5, 4, 0, 5, 0, 3, 0, 0, 3, 0}));
    EXPECT_EQ(g_effects, (std::vector<int>{0x702, 0, 0, 0x702, 0, 0, 0, 0x109, 0, 0, 0x109, 0}));
}

TEST(Sequencer, VolumeColumnOverridesTheNoteStartReset)
{
    struct Case {
        uint8_t instrument, note, volume;
        float expected;
    };
    // Volume byte v sets v - 1; without a note the volume column still applies.
    const Case cases[] = {{1, 60, 33, 32.0f}, {1, 60, 0, 64.0f}, {1, 60, 1, 0.0f},
                          {0, 0, 65, 64.0f},  {0, 0, 11, 10.0f}};
    for (const Case& c : cases) {
        Fixture f(1, 1, 1, 1);
        f.voices[0]->volume = 20.0f;
        f.cell(0, 0) = {c.instrument, c.note, c.volume, 0, 0};
        f.ticks(1);
        EXPECT_EQ(f.voices[0]->volume, c.expected) << int(c.volume);
    }
}

TEST(Sequencer, SetSpeedOrTempo)
{
    struct Case {
        uint8_t param;
        uint8_t speed, tempo;
    };
    const Case cases[] = {{5, 5, 125}, {31, 31, 125}, {32, 6, 32}, {0, 0, 125}, {255, 6, 255}};
    for (const Case& c : cases) {
        Fixture f(3, 1, 6, 1);
        f.cell(0, 0) = {0, 0, 0, FX_SPEED_TEMPO, c.param};
        f.ticks(1);
        EXPECT_EQ(f.song.speed, c.speed) << int(c.param);
        EXPECT_EQ(f.song.tempo, c.tempo) << int(c.param);
        // The tick length changes only when the player starts again.
        EXPECT_EQ(f.player.tick_frames, TICK);
    }
    // Speed 5 counts on the tick that sets it: row 0 ends after 5 ticks.
    Fixture five(3, 1, 6, 1);
    five.cell(0, 0) = {0, 0, 0, FX_SPEED_TEMPO, 5};
    five.ticks(4);
    EXPECT_EQ(five.player.row, 0);
    five.ticks(1);
    EXPECT_EQ(five.player.row, 1);
    // Speed 0: every tick ends its row, as with speed 1.
    Fixture zero(3, 1, 6, 1);
    zero.cell(0, 0) = {0, 0, 0, FX_SPEED_TEMPO, 0};
    zero.ticks(1);
    EXPECT_EQ(zero.player.row, 1);
    zero.ticks(1);
    EXPECT_EQ(zero.player.row, 2);
    EXPECT_EQ(zero.player.tick, 0);
}

TEST(Sequencer, VolumeSlideStaysWithin0To64)
{
    struct Case {
        float start;
        uint8_t param;
        int ticks;
        float expected;
    };
    const Case cases[] = {
        {60.0f, 0x10, 1, 61.0f}, {60.0f, 0x10, 6, 64.0f}, {3.0f, 0x01, 1, 2.0f},
        {3.0f, 0x01, 6, 0.0f},   {10.7f, 0x00, 1, 10.0f}, {30.0f, 0x23, 2, 28.0f},
    };
    for (const Case& c : cases) {
        Fixture f(1, 1, 6, 1);
        f.voices[0]->volume = c.start;
        f.cell(0, 0) = {0, 0, 0, FX_VOLUME_SLIDE, c.param};
        f.ticks(c.ticks);
        EXPECT_EQ(f.voices[0]->volume, c.expected) << c.start << " " << int(c.param);
    }
}

TEST(Sequencer, PitchSlidesMoveEnabledOscillatorsEveryTick)
{
    struct Case {
        uint8_t effect, param;
        float start;
        int ticks;
        float expected;
    };
    const Case cases[] = {
        {FX_SLIDE_UP, 10, 150.0f, 3, 180.0f},
        {FX_SLIDE_DOWN, 10, 150.0f, 2, 130.0f},
        {FX_SLIDE_DOWN, 200, 150.0f, 1, 1.0f},
        {FX_SLIDE_DOWN, 1, 1.5f, 1, 1.0f},
    };
    for (const Case& c : cases) {
        Fixture f(2, 1, 6, 1);
        f.cell(0, 0) = {1, 60, 0, 0, 0};
        f.cell(1, 0) = {0, 0, 0, c.effect, c.param};
        f.ticks(6);
        VoiceState* s = f.voices[0]->state;
        s->freq[0] = s->freq[1] = s->freq[2] = c.start;
        f.ticks(c.ticks);
        EXPECT_EQ(s->freq[0], c.expected) << int(c.effect) << " " << int(c.param);
        EXPECT_EQ(s->freq[1], c.expected);
        EXPECT_EQ(s->freq[2], c.start) << "the disabled oscillator stays";
    }
    // Without an instrument a slide does nothing.
    Fixture idle(1, 1, 6, 1);
    idle.cell(0, 0) = {0, 0, 0, FX_SLIDE_DOWN, 50};
    idle.voices[0]->state->freq[0] = 150.0f;
    idle.ticks(1);
    EXPECT_EQ(idle.voices[0]->state->freq[0], 150.0f);
}

TEST(Sequencer, TonePortamentoGlidesToTheNoteWithoutRestarting)
{
    // Row 0 starts note 57 (220 Hz); row 1 glides towards note 69 (440 Hz).
    Fixture f(2, 1, 6, 1);
    f.cell(0, 0) = {1, 57, 0, 0, 0};
    f.cell(1, 0) = {2, 69, 0, FX_PORTAMENTO, 10};
    f.ticks(6);
    f.voices[0]->volume = 20.0f;
    f.voices[0]->pan = 30.0f;
    const float time_before = f.voices[0]->time;
    VoiceState* s = f.voices[0]->state;
    f.ticks(1);
    EXPECT_EQ(f.voices[0]->instrument, &f.instruments[0]) << "keeps its instrument";
    EXPECT_EQ(f.voices[0]->volume, 64.0f);
    EXPECT_EQ(f.voices[0]->pan, 128.0f);
    EXPECT_EQ(f.voices[0]->time, time_before + TICK) << "not restarted";
    // 4 x 10 Hz per tick towards 440 x mul (fixed_freq plays no part).
    EXPECT_EQ(s->freq[0], 260.0f);
    EXPECT_EQ(s->freq[1], 480.0f);
    f.ticks(4);
    EXPECT_EQ(s->freq[0], 420.0f);
    EXPECT_EQ(s->freq[1], 640.0f);

    // Downwards, stopping exactly at the target.
    Fixture down(2, 1, 6, 1);
    down.cell(0, 0) = {1, 69, 0, 0, 0};
    down.cell(1, 0) = {1, 57, 0, FX_PORTAMENTO, 100};
    down.ticks(6);
    down.ticks(2);
    EXPECT_EQ(down.voices[0]->state->freq[0], 220.0f);
    EXPECT_EQ(down.voices[0]->state->freq[1], 440.0f);
}

TEST(Sequencer, RetriggerRestartsOnTicksDivisibleByItsParameter)
{
    struct Case {
        uint8_t param;
        std::vector<int> restarted;
    };
    const Case cases[] = {{2, {0, 2, 4}}, {3, {0, 3}}, {1, {0, 1, 2, 3, 4}}, {0, {}}};
    for (const Case& c : cases) {
        Fixture f(2, 1, 5, 1);
        f.cell(0, 0) = {1, 60, 0, 0, 0};
        f.cell(1, 0) = {0, 0, 0, FX_RETRIGGER, c.param};
        f.ticks(5);
        f.voices[0]->volume = 20.0f;
        std::vector<int> restarted;
        for (int tick = 0; tick < 5; tick++) {
            f.ticks(1);
            if (f.voices[0]->time == (float)TICK) restarted.push_back(tick);
        }
        EXPECT_EQ(restarted, c.restarted) << int(c.param);
        EXPECT_EQ(f.voices[0]->volume, 20.0f) << "retrigger keeps volume";
    }
}

TEST(Sequencer, SetPanOnTickZero)
{
    Fixture f(1, 1, 3, 1);
    f.cell(0, 0) = {1, 60, 0, FX_SET_PAN, 200};
    f.ticks(1);
    EXPECT_EQ(f.voices[0]->pan, 200.0f) << "after the note start's reset to 128";
    f.voices[0]->pan = 10.0f;
    f.ticks(2);
    EXPECT_EQ(f.voices[0]->pan, 10.0f) << "only on tick 0";
}

TEST(Sequencer, LoopingWrapsToRowZero)
{
    Fixture f(2, 1, 2, 1);
    f.cell(0, 0) = {0, 0, 0, 0, 0};
    f.cell(1, 0) = {3, 0, 0, 0, 0};
    EXPECT_TRUE(f.ticks(3));
    EXPECT_EQ(f.player.row, 1);
    EXPECT_TRUE(f.ticks(1));
    EXPECT_EQ(f.player.row, 0);
    EXPECT_EQ(f.player.tick, 0);
    EXPECT_EQ(f.player.pending_floats, 4 * 2 * TICK);
}

TEST(Sequencer, WithoutLoopingTheEndIsFinalAndReadsNoRows)
{
    Fixture f(2, 1, 2, 0);
    f.cell(0, 0) = {1, 60, 0, 0, 0};
    f.cell(1, 0) = {2, 0, 0, 0, 0};
    g_reported.clear();
    f.player.row_callback = record_instrument;
    EXPECT_TRUE(f.ticks(3));
    EXPECT_FALSE(f.ticks(1));
    EXPECT_EQ(f.player.row, 2);
    EXPECT_EQ(g_reported.size(), 4u);
    // Later ticks stay at the end, read no cell, and write silence on every
    // voice, so the rings and the pending count keep pace.
    for (int i = 0; i < 3; i++) EXPECT_FALSE(f.ticks(1));
    EXPECT_EQ(g_reported.size(), 4u);
    EXPECT_EQ(f.player.row, 2);
    EXPECT_EQ(f.voices[0]->instrument, nullptr);
    EXPECT_EQ(f.player.pending_floats, 7 * 2 * TICK);
    EXPECT_EQ(f.voices[0]->write_pos, 7 * 2 * TICK);
    for (uint32_t k = 4 * 2 * TICK; k < 7 * 2 * TICK; k++) ASSERT_EQ(f.voices[0]->ring[k], 0.0f);
}

TEST(Sequencer, EveryVoiceAdvancesByOneTickAndSilentOnesWriteZeros)
{
    // Channel 0 sounds, channel 1 never plays, channel 2 plays a note that ends
    // after 30 ms (two ticks); rings start dirty to show the zeros.
    Fixture f(1, 3, 60, 1);
    f.cell(0, 0) = {1, 69, 0, 0, 0};
    f.cell(0, 2) = {2, 69, 0, 0, 0};
    for (Voice* v : f.voices) {
        for (uint32_t k = 0; k < RING_FLOATS; k++) v->ring[k] = 7.0f;
        v->write_pos = RING_FLOATS - 2 * TICK;
    }
    f.ticks(1);
    for (Voice* v : f.voices) EXPECT_EQ(v->write_pos, 0u) << "wraps at the ring's end";
    for (int i = 0; i < 4; i++) f.ticks(1);
    for (Voice* v : f.voices) EXPECT_EQ(v->write_pos, 4 * 2 * TICK);
    EXPECT_NE(f.voices[0]->instrument, nullptr);
    EXPECT_EQ(f.voices[2]->instrument, nullptr) << "its envelope ended";
    for (uint32_t k = 0; k < 4 * 2 * TICK; k++) ASSERT_EQ(f.voices[1]->ring[k], 0.0f) << k;
    for (uint32_t k = 2 * TICK; k < 4 * 2 * TICK; k++) ASSERT_EQ(f.voices[2]->ring[k], 0.0f) << k;
    float peak = 0.0f;
    for (uint32_t k = 0; k < 4 * 2 * TICK; k++) peak = std::max(peak, std::abs(f.voices[0]->ring[k]));
    EXPECT_GT(peak, 1000.0f);
}

} // namespace
