// Song decoding: packed stream and instrument table, malformed input, the
// built-in song's shape, and the score notation that produces it.
#include "synth/song.h"
#include "tools/score.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

namespace {

struct Event {
    uint16_t row; // from 1; 0 = separator
    uint8_t channel;
    uint8_t delta;
};

const Event SEP = {0, 0, 0};

// Packs events into a stream, with an optional wrong event count in the header.
std::vector<uint8_t> pack(uint16_t rows, uint8_t channels, const std::vector<Event>& events,
                          long header_count = -1)
{
    uint32_t n = header_count >= 0 ? (uint32_t)header_count : (uint32_t)events.size();
    std::vector<uint8_t> out = {(uint8_t)(rows >> 8), (uint8_t)rows, channels,
                                (uint8_t)(n >> 24), (uint8_t)(n >> 16), (uint8_t)(n >> 8),
                                (uint8_t)n};
    for (const Event& e : events) out.push_back((uint8_t)(e.row >> 8));
    for (const Event& e : events) out.push_back((uint8_t)e.row);
    for (const Event& e : events) out.push_back(e.channel);
    for (const Event& e : events) out.push_back(e.delta);
    return out;
}

// A table of `count` instruments, every value 0 except the count.
std::vector<double> empty_table(int count)
{
    std::vector<double> table(1 + count * INSTRUMENT_VALUES, 0.0);
    table[0] = count;
    return table;
}

Song* decode(const std::vector<uint8_t>& stream, const std::vector<double>& table)
{
    return song_create(stream.data(), stream.size(), table.data(), table.size());
}

const uint8_t* field_bytes(const Song* song, int row, int channel)
{
    return (const uint8_t*)song_cell(song, row, channel);
}

} // namespace

TEST(SongDecode, OnlySeparatorsGiveZeroGrid)
{
    Song* song = decode(pack(3, 2, {SEP, SEP, SEP, SEP, SEP}), empty_table(1));
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->row_count, 3);
    EXPECT_EQ(song->channel_count, 2);
    EXPECT_EQ(song->tempo, 125);
    EXPECT_EQ(song->speed, 6);
    for (int i = 0; i < 3 * 2 * 5; i++) {
        EXPECT_EQ(((const uint8_t*)song->cells)[i], 0) << i;
    }
    song_destroy(song);
}

TEST(SongDecode, RunningBytesPerChannelAndSection)
{
    struct Case {
        const char* name;
        std::vector<Event> events;
        int row, channel, field, expect;
    };
    const std::vector<Case> cases = {
        {"deltas 3 then 5 store 3", {{1, 0, 3}, {2, 0, 5}, SEP, SEP, SEP, SEP, SEP}, 0, 0, 0, 3},
        {"deltas 3 then 5 store 8", {{1, 0, 3}, {2, 0, 5}, SEP, SEP, SEP, SEP, SEP}, 1, 0, 0, 8},
        {"separator restarts", {{1, 0, 3}, SEP, {2, 0, 5}, SEP, SEP, SEP, SEP}, 1, 0, 1, 5},
        {"restart leaves field 0", {{1, 0, 3}, SEP, {2, 0, 5}, SEP, SEP, SEP, SEP}, 1, 0, 0, 0},
        {"wrap 200", {{1, 1, 200}, {3, 1, 100}, SEP, SEP, SEP, SEP, SEP}, 0, 1, 0, 200},
        {"wrap 200+100 = 44", {{1, 1, 200}, {3, 1, 100}, SEP, SEP, SEP, SEP, SEP}, 2, 1, 0, 44},
        {"channels run apart", {{1, 0, 3}, {2, 1, 5}, SEP, SEP, SEP, SEP, SEP}, 1, 1, 0, 5},
        {"param is the fifth section", {SEP, SEP, SEP, SEP, {3, 1, 9}, SEP}, 2, 1, 4, 9},
    };
    for (const Case& c : cases) {
        Song* song = decode(pack(3, 2, c.events), empty_table(255));
        ASSERT_NE(song, nullptr) << c.name;
        EXPECT_EQ(field_bytes(song, c.row, c.channel)[c.field], c.expect) << c.name;
        song_destroy(song);
    }
}

TEST(SongDecode, InstrumentFieldsInTableOrder)
{
    // Every value distinct (its own index), so a shifted field shows.
    std::vector<double> table(1 + INSTRUMENT_VALUES);
    table[0] = 1;
    for (int i = 1; i <= INSTRUMENT_VALUES; i++) table[i] = i;
    table[1] = 1.0;  // osc 1 enabled
    table[13] = 2.0; // osc 2 enabled: only exactly 1.0 is on
    table[37] = 1.0; // envelope_off
    table[43] = 2.0; // filter_on off
    table[44] = 70000.7;   // cutoff keeps the low 16 bits of 70000
    table[46] = -1.0;      // byte of -1 is 255
    table[47] = 300.9;     // byte of 300 is 44
    table[66] = 0.1;       // volume rounded to single precision
    Song* song = decode(pack(1, 1, {SEP, SEP, SEP, SEP, SEP}), table);
    ASSERT_NE(song, nullptr);
    ASSERT_EQ(song->instrument_count, 1);
    const Instrument* ins = song->instruments[0];
    EXPECT_EQ(ins->osc[0].enabled, 1);
    EXPECT_EQ(ins->osc[0].volume, 2.0f);
    EXPECT_EQ(ins->osc[0].volume_lfo, 3);
    EXPECT_EQ(ins->osc[0].fixed_freq, 4.0f);
    EXPECT_EQ(ins->osc[0].freq_mul, 5.0f);
    EXPECT_EQ(ins->osc[0].freq_lfo, 6);
    EXPECT_EQ(ins->osc[0].slide, 7.0f);
    EXPECT_EQ(ins->osc[0].slide_accel, 8.0f);
    EXPECT_EQ(ins->osc[0].waveform, 9);
    EXPECT_EQ(ins->osc[0].pan, 10.0f);
    EXPECT_EQ(ins->osc[0].pan_lfo, 11);
    EXPECT_EQ(ins->osc[0].spare, 12);
    EXPECT_EQ(ins->osc[1].enabled, 0);
    EXPECT_EQ(ins->osc[1].volume, 14.0f);
    EXPECT_EQ(ins->osc[2].enabled, 0);
    EXPECT_EQ(ins->osc[2].spare, 36);
    EXPECT_EQ(ins->envelope_off, 1);
    EXPECT_EQ(ins->attack_ms, 38.0f);
    EXPECT_EQ(ins->decay_ms, 39.0f);
    EXPECT_EQ(ins->sustain_ms, 40.0f);
    EXPECT_EQ(ins->release_ms, 41.0f);
    EXPECT_EQ(ins->sustain_level, 42.0f);
    EXPECT_EQ(ins->filter_on, 0);
    EXPECT_EQ(ins->cutoff, 70000 & 0xFFFF);
    EXPECT_EQ(ins->resonance, 45.0f);
    EXPECT_EQ(ins->cutoff_lfo, 255);
    EXPECT_EQ(ins->resonance_lfo, 44);
    EXPECT_EQ(ins->lfo[0].waveform, 48);
    EXPECT_EQ(ins->lfo[0].freq, 49.0f);
    EXPECT_EQ(ins->lfo[0].amount, 50.0f);
    EXPECT_EQ(ins->lfo[5].waveform, 63);
    EXPECT_EQ(ins->lfo[5].amount, 65.0f);
    EXPECT_EQ(ins->volume, 0.1f);
    song_destroy(song);
}

TEST(SongDecode, MalformedInputIsRejectedAndReported)
{
    const std::vector<Event> five = {SEP, SEP, SEP, SEP, SEP};
    struct Case {
        const char* name;
        std::vector<uint8_t> stream;
        std::vector<double> table;
    };
    std::vector<uint8_t> cut = pack(4, 2, {{1, 0, 1}, SEP, SEP, SEP, SEP, SEP});
    cut.pop_back();
    std::vector<double> short_table = empty_table(2);
    short_table.pop_back();
    const std::vector<Case> cases = {
        {"row beyond the row count", pack(4, 2, {{5, 0, 1}, SEP, SEP, SEP, SEP, SEP}),
         empty_table(1)},
        {"channel beyond the channel count", pack(4, 2, {{1, 2, 1}, SEP, SEP, SEP, SEP, SEP}),
         empty_table(1)},
        {"event after the fifth separator", pack(4, 2, {SEP, SEP, SEP, SEP, SEP, {1, 0, 1}}),
         empty_table(1)},
        {"sixth separator", pack(4, 2, {SEP, SEP, SEP, SEP, SEP, SEP}), empty_table(1)},
        {"only four sections", pack(4, 2, {SEP, SEP, SEP, SEP}), empty_table(1)},
        {"planes shorter than the header", cut, empty_table(1)},
        {"count beyond the bytes", pack(4, 2, five, 100000), empty_table(1)},
        {"header cut short", {0, 4, 2, 0}, empty_table(1)},
        {"no rows", pack(0, 2, five), empty_table(1)},
        {"no channels", pack(4, 0, five), empty_table(1)},
        {"instrument beyond the table", pack(4, 2, {{1, 0, 2}, SEP, SEP, SEP, SEP, SEP}),
         empty_table(1)},
        {"table shorter than its count", pack(4, 2, five), short_table},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        Song* song = decode(c.stream, c.table);
        std::string message = testing::internal::GetCapturedStderr();
        EXPECT_EQ(song, nullptr) << c.name;
        EXPECT_NE(message.find("song"), std::string::npos) << c.name << ": " << message;
        song_destroy(song);
    }
}

// ------------------------------------------------------------ built-in song

namespace {

Song* builtin()
{
    return song_create(SONG_STREAM, SONG_STREAM_SIZE, INSTRUMENT_TABLE, INSTRUMENT_TABLE_SIZE);
}

struct ChannelUse {
    std::set<int> instruments;
    int notes = 0;
    int low = 255, high = 0;
    int first = 0, last = 0; // rows from 1 with any data
};

ChannelUse channel_use(const Song* song, int channel)
{
    ChannelUse use;
    for (int r = 0; r < song->row_count; r++) {
        const Cell* cell = song_cell(song, r, channel);
        if (cell->instrument || cell->note || cell->volume || cell->effect || cell->param) {
            if (!use.first) use.first = r + 1;
            use.last = r + 1;
        }
        if (cell->note) {
            use.notes++;
            use.instruments.insert(cell->instrument);
            use.low = std::min(use.low, (int)cell->note);
            use.high = std::max(use.high, (int)cell->note);
        }
    }
    return use;
}

// Notes of `channel` in rows [from, to) (0-based).
int hits(const Song* song, int channel, int from, int to)
{
    int n = 0;
    for (int r = from; r < to; r++) n += song_cell(song, r, channel)->note != 0;
    return n;
}

} // namespace

TEST(BuiltinSong, ShapeAndInstruments)
{
    EXPECT_EQ(INSTRUMENT_TABLE_SIZE, 463u);
    Song* song = builtin();
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->row_count, 2368);
    EXPECT_EQ(song->channel_count, 14);
    ASSERT_EQ(song->instrument_count, 7);
    EXPECT_EQ(song->instruments[0]->envelope_off, 1);
    EXPECT_EQ(song->instruments[3]->osc[0].fixed_freq, 350.0f);
    EXPECT_EQ(song->instruments[3]->osc[0].slide_accel, 4.0f);
    EXPECT_EQ(song->instruments[6]->cutoff, 3000);
    EXPECT_EQ(song->instruments[6]->lfo[0].amount, -2000.0f);
    int notes = 0;
    for (int c = 0; c < song->channel_count; c++) notes += channel_use(song, c).notes;
    EXPECT_GT(notes, 3400);
    EXPECT_LT(notes, 3800);
    song_destroy(song);
}

TEST(BuiltinSong, ChannelPlan)
{
    struct Plan {
        int channel; // from 1
        std::set<int> instruments;
        int low, high, first, last;
    };
    const std::vector<Plan> plan = {
        {1, {2}, 20, 47, 1, 2225},     {2, {2}, 25, 61, 129, 2225},
        {3, {6, 2}, 39, 69, 321, 2225}, {4, {2}, 37, 66, 129, 2211},
        {5, {2}, 47, 66, 130, 2210},   {6, {2}, 47, 73, 9, 2175},
        {7, {1}, 56, 76, 1, 2228},     {8, {1}, 56, 76, 1, 2228},
        {9, {1}, 56, 76, 1, 2228},     {10, {4}, 65, 65, 449, 1977},
        {11, {3}, 58, 58, 461, 1983},  {12, {5}, 56, 56, 449, 1979},
    };
    Song* song = builtin();
    ASSERT_NE(song, nullptr);
    for (const Plan& p : plan) {
        ChannelUse use = channel_use(song, p.channel - 1);
        EXPECT_EQ(use.instruments, p.instruments) << "channel " << p.channel;
        EXPECT_GE(use.low, p.low) << "channel " << p.channel;
        EXPECT_LE(use.high, p.high) << "channel " << p.channel;
        EXPECT_EQ(use.first, p.first) << "channel " << p.channel;
        // The last row may come a little earlier, never later.
        EXPECT_LE(use.last, p.last) << "channel " << p.channel;
        EXPECT_GT(use.last, p.last - 64) << "channel " << p.channel;
    }
    EXPECT_EQ(channel_use(song, 12).first, 0);
    EXPECT_EQ(channel_use(song, 13).first, 0);
    // Instrument 2 on the low-bass channel only for a handful of cells.
    int second = 0;
    for (int r = 0; r < song->row_count; r++) second += song_cell(song, r, 2)->instrument == 2;
    EXPECT_EQ(second, 4);
    song_destroy(song);
}

TEST(BuiltinSong, SpeedEffectsVolumesAndOpeningChord)
{
    Song* song = builtin();
    ASSERT_NE(song, nullptr);
    const std::set<int> speed_rows = {1, 449, 513, 1537, 1793};
    const std::set<int> volume_bytes = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 17, 33, 49};
    for (int r = 0; r < song->row_count; r++) {
        for (int c = 0; c < song->channel_count; c++) {
            const Cell* cell = song_cell(song, r, c);
            bool speed = c == 0 && speed_rows.count(r + 1);
            EXPECT_EQ(cell->effect, speed ? 7 : 0) << "row " << r + 1 << " channel " << c + 1;
            EXPECT_EQ(cell->param, speed ? 5 : 0) << "row " << r + 1 << " channel " << c + 1;
            if (cell->volume) {
                EXPECT_TRUE(volume_bytes.count(cell->volume)) << "row " << r + 1;
            }
            // Every note names an instrument and vice versa.
            EXPECT_EQ(cell->note != 0, cell->instrument != 0) << "row " << r + 1;
        }
    }
    const int chord[3] = {61, 64, 68};
    for (int c = 6; c < 9; c++) {
        EXPECT_EQ(song_cell(song, 0, c)->note, chord[c - 6]);
        EXPECT_EQ(song_cell(song, 0, c)->instrument, 1);
        for (int r = 0; r < 10; r++) {
            EXPECT_EQ(song_cell(song, r, c)->volume, r + 2) << "row " << r + 1;
        }
    }
    song_destroy(song);
}

TEST(BuiltinSong, BeatFollowsTheScenes)
{
    Song* song = builtin();
    ASSERT_NE(song, nullptr);
    const int beat = 9, accent = 11;
    // Energetic scenes (tunnel, ring run) keep a pulse on every beat (4 rows).
    EXPECT_GE(hits(song, beat, 704, 960), 60);
    EXPECT_GE(hits(song, beat, 960, 1200), 55);
    // Calm parts: nothing before 44.8 s, at most two a bar in the first half
    // of the peg-board breakdown, nothing in the last scene and the credits.
    EXPECT_EQ(hits(song, beat, 0, 448), 0);
    EXPECT_LE(hits(song, beat, 1200, 1328), 16);
    EXPECT_EQ(hits(song, beat, 1984, 2368), 0);
    EXPECT_EQ(hits(song, accent, 1984, 2368), 0);
    // The accent is sparser than the beat.
    EXPECT_LT(hits(song, accent, 448, 1984), hits(song, beat, 448, 1984) / 2);
    // Nothing sounds after row 2228.
    for (int c = 0; c < song->channel_count; c++) {
        EXPECT_EQ(hits(song, c, 2228, 2368), 0) << "channel " << c + 1;
    }
    song_destroy(song);
}

TEST(BuiltinSong, ScoreRoundTrips)
{
    std::ifstream in(QH_SCORE_PATH);
    ASSERT_TRUE(in.good());
    std::stringstream text;
    text << in.rdbuf();
    ScoreGrid grid;
    std::string error;
    ASSERT_TRUE(score_parse(text.str(), &grid, &error)) << error;
    std::vector<uint8_t> stream = score_pack(grid);
    EXPECT_EQ(stream, std::vector<uint8_t>(SONG_STREAM, SONG_STREAM + SONG_STREAM_SIZE));

    Song* song = decode(stream, std::vector<double>(INSTRUMENT_TABLE,
                                                    INSTRUMENT_TABLE + INSTRUMENT_TABLE_SIZE));
    ASSERT_NE(song, nullptr);
    ASSERT_EQ(song->row_count, grid.rows);
    ASSERT_EQ(song->channel_count, grid.channels);
    EXPECT_EQ(memcmp(song->cells, grid.cells.data(), grid.cells.size() * sizeof(Cell)), 0);
    song_destroy(song);
}

// ------------------------------------------------------------ score notation

TEST(ScoreNotation, PlacesChordsStepsVolumesAndSpeed)
{
    const char* text =
        "song rows=32 channels=4 bar=16  # two bars\n"
        "pattern chord inst=1 len=8 vol=10\n"
        "  c#4+e4+g#4 -:8v3\n"
        "pattern hits inst=4 note=f4 vol=16\n"
        "  | x... ..x. .... ...x\n"
        "section one bars=2\n"
        "  speed 5\n"
        "  2-4: _16 chord\n"
        "  1: hits*2\n";
    ScoreGrid grid;
    std::string error;
    ASSERT_TRUE(score_parse(text, &grid, &error)) << error;
    auto cell = [&](int r, int c) { return grid.cells[r * 4 + c]; };
    EXPECT_EQ(cell(0, 0).effect, 7);
    EXPECT_EQ(cell(0, 0).param, 5);
    EXPECT_EQ(cell(0, 0).note, 65);
    EXPECT_EQ(cell(0, 0).volume, 17);
    EXPECT_EQ(cell(6, 0).note, 65);
    EXPECT_EQ(cell(15, 0).note, 65);
    EXPECT_EQ(cell(31, 0).instrument, 4);
    EXPECT_EQ(cell(16, 1).note, 61);
    EXPECT_EQ(cell(16, 2).note, 64);
    EXPECT_EQ(cell(16, 3).note, 68);
    EXPECT_EQ(cell(16, 3).volume, 11);
    EXPECT_EQ(cell(24, 2).note, 0);
    EXPECT_EQ(cell(24, 2).volume, 4); // volume 3 without a note
    EXPECT_EQ(cell(0, 1).note, 0);
}

TEST(ScoreNotation, RejectsMistakesWithTheLine)
{
    // 21,475 rests of 100,000 rows pass 2^31.
    std::string rests = "song rows=16 channels=1\nsection s bars=1\n 1:";
    for (int i = 0; i < 21475; i++) {
        rests += " _100000";
    }
    struct Case {
        const char* name;
        const char* text;
        const char* line;
    };
    const std::vector<Case> cases = {
        {"pattern not whole bars", "song rows=16 channels=1\npattern p inst=2\n c4:5\n"
                                   "section s bars=1\n 1: p\n", "line 4"},
        {"past the section", "song rows=32 channels=1\npattern p inst=2\n c4:16\n"
                             "section s bars=1\n 1: p p\nsection t bars=1\n", "line 5"},
        {"unknown pattern", "song rows=16 channels=1\nsection s bars=1\n 1: q\n", "line 3"},
        {"bad note", "song rows=16 channels=1\npattern p\n h4:16\n", "line 3"},
        {"channel out of range", "song rows=16 channels=1\npattern p inst=1\n c4:16\n"
                                 "section s bars=1\n 2: p\n", "line 5"},
        {"rows not covered", "song rows=32 channels=1\nsection s bars=1\n", "16 of 32"},
        // Counts that once overran the grid or an int.
        {"second song line", "song rows=16 channels=1\npattern p inst=1\n c4:16\n"
                             "section s bars=1\nsong rows=16 channels=9\n 9: p\n", "line 5"},
        {"rests wrapping the row", rests.c_str(), "line 3"},
        {"bar beyond 16 bits", "song rows=16 channels=1 bar=100000\n", "line 1"},
        {"bars times bar", "song rows=16 channels=1 bar=65535\nsection s bars=100000\n", "line 2"},
        {"pattern beyond 16 bits", "song rows=16 channels=1\npattern p len=65535\n - -\n",
         "line 3"},
    };
    for (const Case& c : cases) {
        ScoreGrid grid;
        std::string error;
        EXPECT_FALSE(score_parse(c.text, &grid, &error)) << c.name;
        EXPECT_NE(error.find(c.line), std::string::npos) << c.name << ": " << error;
    }
}
