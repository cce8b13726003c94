// Fuzz harness: the song decoder on any stream and instrument table. A grid it
// accepts must pack back into a stream that decodes to the same cells.
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_input.h"
#include "synth/song.h"
#include "tools/score.h"

static void check_repack(const Song* song, const std::vector<double>& table)
{
    ScoreGrid grid = {song->row_count, song->channel_count, {}};
    grid.cells.assign(song->cells, song->cells + (size_t)song->row_count * song->channel_count);
    std::vector<uint8_t> stream = score_pack(grid);
    Song* again = song_create(stream.data(), stream.size(), table.data(), table.size());
    if (!again || memcmp(again->cells, song->cells, grid.cells.size() * sizeof(Cell)) != 0) {
        abort();
    }
    song_destroy(again);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < FUZZ_SONG_HEADER) {
        return 0;
    }
    uint32_t length = 0;
    memcpy(&length, data, sizeof length);
    size -= FUZZ_SONG_HEADER;
    data += FUZZ_SONG_HEADER;
    if (length > size) {
        length = (uint32_t)size;
    }
    // Copies, so reading past either block is caught.
    std::vector<uint8_t> stream(data, data + length);
    std::vector<double> table = fuzz_doubles(data + length, size - length);
    Song* song = song_create(stream.data(), stream.size(), table.data(), table.size());
    if (song) {
        check_repack(song, table);
    }
    song_destroy(song);
    return 0;
}
