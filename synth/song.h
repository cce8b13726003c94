// Song and instrument data: the note grid decoded from the packed song stream
// and the instrument patches decoded from the instrument table.
//
// Packed song stream (multi-byte integers big-endian):
//   offset 0       2 bytes  row count
//   offset 2       1 byte   channel count
//   offset 3       4 bytes  N, number of events
//   offset 7       N bytes  plane 1: high byte of each event's row number
//   offset 7 + N   N bytes  plane 2: low byte of each event's row number
//   offset 7 + 2N  N bytes  plane 3: each event's channel, 0-based
//   offset 7 + 3N  N bytes  plane 4: each event's value delta
// Event k is byte k of every plane. Row numbers count from 1; row number 0
// is a separator. Five sections, each closed by a separator, fill the cells'
// instrument, note, volume, effect and param bytes in that order. Within a
// section every channel keeps a running byte starting at 0; an event adds its
// delta (mod 256) and stores the result in cell (row - 1, channel).
//
// Instrument table: 64-bit floats; value 0 is the instrument count, then 66
// values per instrument (3 x 12 oscillator values, 11 envelope and filter
// values, 6 x 3 modulation-source values, the instrument volume).
#pragma once

#include <cstddef>
#include <cstdint>

// One grid cell, as the sequencer reads it.
struct Cell {
    uint8_t instrument; // 1-based instrument number; 0 = none
    uint8_t note;       // note number (69 = 440 Hz); 0 = none
    uint8_t volume;     // 0 = no change; v >= 1 sets channel volume v - 1
    uint8_t effect;     // effect code 0..7; 0 = none
    uint8_t param;      // effect parameter
};

// A modulation-source byte: 0 = none, 1..6 = lfo[0]..lfo[5].
struct InstrumentOscillator {
    uint8_t enabled;     // nonzero = sounding
    uint8_t spare;       // twelfth table value; read by nothing
    float volume;        // 0..1 (2 and 4 occur, unclamped without modulation)
    uint8_t volume_lfo;  // modulation source for volume
    float fixed_freq;    // Hz; 0 = follow the note
    float freq_mul;      // multiplier on the base frequency
    uint8_t freq_lfo;    // modulation source added to the frequency
    float slide;         // starting frequency change per tick, Hz
    float slide_accel;   // added to the slide every tick, Hz
    uint8_t waveform;    // 1..7 (see waveform_value)
    float pan;           // -1..+1
    uint8_t pan_lfo;     // modulation source for pan
};

struct InstrumentLfo {
    uint8_t waveform; // 1..6; other codes give 0
    float freq;       // cycles per second
    float amount;     // depth
};

const int OSC_COUNT = 3;
const int LFO_COUNT = 6;

struct Instrument {
    InstrumentOscillator osc[OSC_COUNT];
    uint8_t envelope_off; // 1: constant level, never ends by itself
    float attack_ms;
    float decay_ms;
    float sustain_ms;
    float release_ms;
    float sustain_level;  // 0..1
    uint8_t filter_on;    // 1: low-pass both sides
    uint16_t cutoff;      // filter cutoff value
    float resonance;      // 0..1; damping is 1 - resonance
    uint8_t cutoff_lfo;   // modulation source for cutoff
    uint8_t resonance_lfo;// modulation source for resonance
    InstrumentLfo lfo[LFO_COUNT];
    float volume;         // gain applied to every frame
};

struct Song {
    uint8_t tempo;            // beats per minute; 125 at creation
    uint8_t speed;            // ticks per row; 6 at creation
    uint16_t row_count;
    uint16_t channel_count;   // also the number of voices
    Cell* cells;              // row_count x channel_count, row-major, owned
    uint8_t instrument_count;
    Instrument** instruments; // instrument n of a cell is entry n - 1, owned
};

// Stream and table layout
const uint32_t SONG_HEADER_BYTES = 7;
const int SONG_SECTIONS = 5;            // instrument, note, volume, effect, param
const int INSTRUMENT_VALUES = 66;       // table values per instrument
const int OSC_VALUES = 12;              // table values per oscillator
const int LFO_VALUES = 3;               // table values per modulation source
const uint8_t SONG_START_TEMPO = 125;
const uint8_t SONG_START_SPEED = 6;

// Creation and release
// Decodes a packed stream of song_size bytes and a table of table_values
// doubles. Returns null, with one line on stderr naming the fault, when the
// stream or table is malformed (header or planes cut short, an empty grid,
// a row or channel outside the grid, a section count other than five, a cell
// naming an instrument the table does not hold). Nothing outside the grid is
// ever written.
Song* song_create(const uint8_t* song_bytes, size_t song_size,
                  const double* instrument_table, size_t table_values);
void song_destroy(Song* song); // null is ignored
Instrument* instrument_create(); // uninitialised record, filled by song_create
void instrument_destroy(Instrument* instrument);

// Cell of row r (0-based) and channel c.
inline Cell* song_cell(const Song* song, uint32_t row, uint32_t channel)
{
    return &song->cells[row * song->channel_count + channel];
}

// Compiled-in data: the packed song stream (generated at build time from the
// score) and the instrument table.
extern const uint8_t SONG_STREAM[];
extern const size_t SONG_STREAM_SIZE;       // bytes
extern const double INSTRUMENT_TABLE[];
extern const size_t INSTRUMENT_TABLE_SIZE;  // values (463 for 7 instruments)
