// Fuzz harness: the score reader on any text. A score it accepts must pack
// into a stream the song decoder takes back cell for cell.
#include <cstdlib>
#include <cstring>
#include <string>

#include "synth/song.h"
#include "tools/score.h"

static const int MAX_INSTRUMENTS = 255;

// 255 silent instruments, so every instrument number a score can name exists.
static std::vector<double> instrument_table()
{
    std::vector<double> table(1 + (size_t)MAX_INSTRUMENTS * INSTRUMENT_VALUES, 0.0);
    table[0] = MAX_INSTRUMENTS;
    return table;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::vector<double> table = instrument_table();
    ScoreGrid grid;
    std::string error;
    if (!score_parse(std::string((const char*)data, size), &grid, &error)) {
        if (error.compare(0, 5, "score") != 0) {
            abort();  // a rejection always says why
        }
        return 0;
    }
    if (grid.cells.size() != (size_t)grid.rows * grid.channels) {
        abort();
    }
    std::vector<uint8_t> stream = score_pack(grid);
    Song* song = song_create(stream.data(), stream.size(), table.data(), table.size());
    if (!song || memcmp(song->cells, grid.cells.data(), grid.cells.size() * sizeof(Cell)) != 0) {
        abort();
    }
    song_destroy(song);
    return 0;
}
