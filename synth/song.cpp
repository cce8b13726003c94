// Song decoding: the packed note grid and the instrument table.
#include "synth/song.h"

#include <cstdlib>

// TODO: decoding arrives in the next commit.
Song* song_create(const uint8_t*, size_t, const double*, size_t) { return nullptr; }
void song_destroy(Song*) {}
Instrument* instrument_create() { return (Instrument*)malloc(sizeof(Instrument)); }
void instrument_destroy(Instrument* instrument) { free(instrument); }
