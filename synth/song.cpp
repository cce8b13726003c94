// Song decoding: the packed note grid and the instrument table, checked before use.
#include "synth/song.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Cells are addressed by field index 0..4 while decoding.
static_assert(sizeof(Cell) == SONG_SECTIONS, "Cell is five bytes");

// Header offsets of the packed stream.
static const uint32_t HEADER_ROWS = 0;     // 2 bytes, big-endian
static const uint32_t HEADER_CHANNELS = 2; // 1 byte
static const uint32_t HEADER_EVENTS = 3;   // 4 bytes, big-endian
static const int EVENT_PLANES = 4;         // row high, row low, channel, delta
// Doubles beyond this magnitude have no integer conversion; they load as 0.
static const double CONVERT_LIMIT = 9.0e18;

// Value truncated toward zero, as a wide integer (0 for NaN and huge values).
static int64_t table_integer(double value)
{
    if (!(fabs(value) < CONVERT_LIMIT)) {
        return 0;
    }
    return (int64_t)value;
}

static uint8_t table_byte(double value)
{
    return (uint8_t)((uint64_t)table_integer(value) & 0xFF);
}

static uint16_t table_u16(double value)
{
    return (uint16_t)((uint64_t)table_integer(value) & 0xFFFF);
}

// Flags are on only for exactly 1.0 (2.0 is off).
static uint8_t table_flag(double value)
{
    return value == 1.0 ? 1 : 0;
}

static void oscillator_load(InstrumentOscillator* osc, const double* v)
{
    osc->enabled = table_flag(v[0]);
    osc->volume = (float)v[1];
    osc->volume_lfo = table_byte(v[2]);
    osc->fixed_freq = (float)v[3];
    osc->freq_mul = (float)v[4];
    osc->freq_lfo = table_byte(v[5]);
    osc->slide = (float)v[6];
    osc->slide_accel = (float)v[7];
    osc->waveform = table_byte(v[8]);
    osc->pan = (float)v[9];
    osc->pan_lfo = table_byte(v[10]);
    osc->spare = table_byte(v[11]);
}

// Fills an instrument from its 66 table values.
static void instrument_load(Instrument* ins, const double* v)
{
    for (int i = 0; i < OSC_COUNT; i++) {
        oscillator_load(&ins->osc[i], v + i * OSC_VALUES);
    }
    const double* e = v + OSC_COUNT * OSC_VALUES;
    ins->envelope_off = table_flag(e[0]);
    ins->attack_ms = (float)e[1];
    ins->decay_ms = (float)e[2];
    ins->sustain_ms = (float)e[3];
    ins->release_ms = (float)e[4];
    ins->sustain_level = (float)e[5];
    ins->filter_on = table_flag(e[6]);
    ins->cutoff = table_u16(e[7]);
    ins->resonance = (float)e[8];
    ins->cutoff_lfo = table_byte(e[9]);
    ins->resonance_lfo = table_byte(e[10]);
    const double* l = e + 11;
    for (int k = 0; k < LFO_COUNT; k++) {
        ins->lfo[k].waveform = table_byte(l[k * LFO_VALUES]);
        ins->lfo[k].freq = (float)l[k * LFO_VALUES + 1];
        ins->lfo[k].amount = (float)l[k * LFO_VALUES + 2];
    }
    ins->volume = (float)l[LFO_COUNT * LFO_VALUES];
}

// The four planes of the packed stream, after its header.
struct EventPlanes {
    uint32_t count;
    const uint8_t* row_high;
    const uint8_t* row_low;
    const uint8_t* channel;
    const uint8_t* delta;
};

// Header and plane lengths; false (with a message) when the stream is cut short.
static bool stream_open(const uint8_t* bytes, size_t size, uint16_t* rows, uint16_t* channels,
                        EventPlanes* planes)
{
    if (!bytes || size < SONG_HEADER_BYTES) {
        fprintf(stderr, "song: stream of %zu bytes has no complete header\n", bytes ? size : 0);
        return false;
    }
    *rows = (uint16_t)(bytes[HEADER_ROWS] << 8 | bytes[HEADER_ROWS + 1]);
    *channels = bytes[HEADER_CHANNELS];
    const uint8_t* n = bytes + HEADER_EVENTS;
    uint32_t count = (uint32_t)n[0] << 24 | (uint32_t)n[1] << 16 | (uint32_t)n[2] << 8 | n[3];
    if ((uint64_t)count * EVENT_PLANES > size - SONG_HEADER_BYTES) {
        fprintf(stderr, "song: header names %u events but the stream holds %zu bytes\n", count,
                size);
        return false;
    }
    if (*rows == 0 || *channels == 0) {
        fprintf(stderr, "song: empty grid (%u rows, %u channels)\n", *rows, *channels);
        return false;
    }
    const uint8_t* base = bytes + SONG_HEADER_BYTES;
    *planes = {count, base, base + count, base + 2 * (size_t)count, base + 3 * (size_t)count};
    return true;
}

// Every event must name a cell of the grid, in one of exactly five sections.
static bool events_check(const EventPlanes* p, uint16_t rows, uint16_t channels)
{
    int field = 0;
    for (uint32_t k = 0; k < p->count; k++) {
        uint32_t row = (uint32_t)p->row_high[k] << 8 | p->row_low[k];
        if (field == SONG_SECTIONS) {
            fprintf(stderr, "song: event %u follows the fifth separator\n", k);
            return false;
        }
        if (row == 0) {
            field++;
        } else if (row > rows) {
            fprintf(stderr, "song: event %u names row %u of %u\n", k, row, rows);
            return false;
        } else if (p->channel[k] >= channels) {
            fprintf(stderr, "song: event %u names channel %u of %u\n", k, p->channel[k] + 1u,
                    channels);
            return false;
        }
    }
    if (field != SONG_SECTIONS) {
        fprintf(stderr, "song: stream closes %d of %d sections\n", field, SONG_SECTIONS);
        return false;
    }
    return true;
}

// Walks the (checked) events into the zeroed grid.
static void events_decode(const EventPlanes* p, Song* song)
{
    uint8_t* running = (uint8_t*)calloc(song->channel_count, 1);
    int field = 0;
    for (uint32_t k = 0; k < p->count; k++) {
        uint32_t row = (uint32_t)p->row_high[k] << 8 | p->row_low[k];
        if (row == 0) {
            memset(running, 0, song->channel_count);
            field++;
            continue;
        }
        uint8_t channel = p->channel[k];
        running[channel] = (uint8_t)(running[channel] + p->delta[k]);
        uint8_t* cell = (uint8_t*)song_cell(song, row - 1, channel);
        cell[field] = running[channel];
    }
    free(running);
}

// Every instrument a cell names must exist.
static bool cells_check(const Song* song)
{
    uint32_t total = (uint32_t)song->row_count * song->channel_count;
    for (uint32_t i = 0; i < total; i++) {
        if (song->cells[i].instrument > song->instrument_count) {
            fprintf(stderr, "song: row %u channel %u names instrument %u of %u\n",
                    i / song->channel_count + 1, i % song->channel_count + 1,
                    song->cells[i].instrument, song->instrument_count);
            return false;
        }
    }
    return true;
}

// Instrument count from the table, or -1 (with a message) when it is cut short.
static int table_count(const double* table, size_t values)
{
    if (!table || values < 1) {
        fprintf(stderr, "song: empty instrument table\n");
        return -1;
    }
    int count = table_byte(table[0]);
    if (values < 1 + (size_t)count * INSTRUMENT_VALUES) {
        fprintf(stderr, "song: instrument table of %zu values cannot hold %d instruments\n",
                values, count);
        return -1;
    }
    return count;
}

Song* song_create(const uint8_t* song_bytes, size_t song_size, const double* instrument_table,
                  size_t table_values)
{
    uint16_t rows = 0;
    uint16_t channels = 0;
    EventPlanes planes;
    if (!stream_open(song_bytes, song_size, &rows, &channels, &planes) ||
        !events_check(&planes, rows, channels)) {
        return nullptr;
    }
    int count = table_count(instrument_table, table_values);
    if (count < 0) {
        return nullptr;
    }

    Song* song = (Song*)calloc(1, sizeof(Song));
    song->tempo = SONG_START_TEMPO;
    song->speed = SONG_START_SPEED;
    song->row_count = rows;
    song->channel_count = channels;
    song->instrument_count = (uint8_t)count;
    song->instruments = (Instrument**)calloc(count > 0 ? count : 1, sizeof(Instrument*));
    for (int i = 0; i < count; i++) {
        song->instruments[i] = instrument_create();
        instrument_load(song->instruments[i], instrument_table + 1 + i * INSTRUMENT_VALUES);
    }
    song->cells = (Cell*)calloc((size_t)rows * channels, sizeof(Cell));
    events_decode(&planes, song);
    if (!cells_check(song)) {
        song_destroy(song);
        return nullptr;
    }
    return song;
}

void song_destroy(Song* song)
{
    if (!song) {
        return;
    }
    for (int i = 0; i < song->instrument_count; i++) {
        instrument_destroy(song->instruments[i]);
    }
    free(song->instruments);
    free(song->cells);
    free(song);
}

Instrument* instrument_create()
{
    return (Instrument*)malloc(sizeof(Instrument));
}

void instrument_destroy(Instrument* instrument)
{
    free(instrument);
}
