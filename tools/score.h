// Score notation for the song: parses the text score into the note grid and
// packs the grid into the stream that song_create decodes.
//
// The score is line-oriented; a '#' that begins a word starts a comment
// (inside a note name it is a sharp).
//   song rows=2368 channels=14 bar=16     grid size and rows per bar
//   pattern NAME [inst=I] [len=R] [vol=V] [note=N]
//     tokens...                            one channel's phrase, any number of lines
//     | x... x... x... x...                step line: one character per row
//   section NAME bars=B | rows=R           the next B bars (or R rows) of the song
//     speed S                              effect 7 (set speed) on channel 1, first row
//     C: ITEM ITEM ...                     what channel C (1-based) plays, in order
//     C-D: ITEM ...                        a chord pattern spread over channels C..D
// Tokens: HEAD[:ROWS][vVOL]. HEAD is a note (c4 = 60, c#4 / db4 = 61), notes
// joined by '+' (a chord, note k on the k-th channel of the range), 'x' (the
// pattern's note) or '-' (no note; with a volume it only sets the volume).
// ROWS defaults to the pattern's len (4); VOL is the channel volume 0..64 and
// defaults to the pattern's vol (64: no volume byte, a note starts at 64).
// Step lines: 'x' = a hit of the pattern's note, '.' = an empty row; spaces
// and '|' group the rows and are skipped.
// Items: NAME, NAME*K (K times), _R (R empty rows). A channel may not play
// past its section's end, and every pattern is a whole number of bars.
// One song line, before the first section. No run of rows (song, bar,
// section, pattern, rest) may pass 65,535, the most the packed stream holds;
// channels go up to 255.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "synth/song.h"

struct ScoreGrid {
    uint16_t rows;
    uint16_t channels;
    std::vector<Cell> cells; // rows x channels, row-major
};

// False with a message naming the line on any error.
bool score_parse(const std::string& text, ScoreGrid* grid, std::string* error);
// The packed stream: header, four planes, five sections closed by separators.
std::vector<uint8_t> score_pack(const ScoreGrid& grid);
