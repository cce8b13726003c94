// fuzz_seeds: writes the fuzzers' starting inputs from the built-in data, and
// one regression input per fault the harnesses have found or been given.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "fuzz/fuzz_input.h"
#include "synth/effect_chain.h"
#include "synth/song.h"

static const char* const USAGE = "Usage: fuzz_seeds SCORE OUTDIR\n";
static const uint8_t SONG_CHANNELS = 14;
static const float BUILTIN_ROW_MS = 120.0f;

typedef std::vector<uint8_t> Bytes;

static bool write_file(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write((const char*)bytes.data(), (std::streamsize)bytes.size());
    return (bool)out;
}

static Bytes text_bytes(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

static Bytes song_input(const uint8_t* stream, uint32_t length, const double* table, size_t values)
{
    Bytes out;
    fuzz_append(&out, &length, sizeof length);
    fuzz_append(&out, stream, length);
    fuzz_append(&out, table, values * sizeof(double));
    return out;
}

static Bytes chain_input(uint8_t voices, float row_ms, const std::vector<double>& config)
{
    Bytes out = {voices};
    fuzz_append(&out, &row_ms, sizeof row_ms);
    fuzz_append(&out, config.data(), config.size() * sizeof(double));
    return out;
}

// One unit of each type fed by voice 1 and heard alone; seeds every process.
static std::vector<double> single_unit(const std::vector<double>& unit)
{
    std::vector<double> config = {1};
    config.insert(config.end(), unit.begin(), unit.end());
    config.insert(config.end(), {1, 1, 1, 33});
    return config;
}

// The built-in configuration, and one chain per unit type.
static bool chain_seeds(const std::string& dir)
{
    std::vector<double> builtin(EFFECT_CONFIG_BUILTIN,
                                EFFECT_CONFIG_BUILTIN + EFFECT_CONFIG_BUILTIN_LENGTH);
    bool ok = write_file(dir + "/builtin", chain_input(SONG_CHANNELS, BUILTIN_ROW_MS, builtin));
    // Type code and parameters, one unit per line.
    const std::vector<std::vector<double>> units = {
        {1, 5, 0.5},
        {2, 0.5, 0.5, 0.3, 0.8, 0.4, 0.1},
        {3, 5, 7, 1, 0.5},
        {4, 1},
        {5, 3},
        {6, 0.5},
        {7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {8, 2000, 0.2, 0.5, 400},
        {9, 0.1},
        {10},
    };
    for (const std::vector<double>& unit : units) {
        std::string name = dir + "/unit" + std::to_string((int)unit[0]);
        ok = write_file(name, chain_input(1, BUILTIN_ROW_MS, single_unit(unit))) && ok;
    }
    return ok;
}

static bool song_seeds(const std::string& dir)
{
    // 4 rows, 2 channels and five separators (four planes of five zero
    // bytes): the smallest whole stream, with one instrument.
    Bytes empty = {0, 4, 2, 0, 0, 0, 5};
    empty.resize(empty.size() + 4 * 5, 0);
    std::vector<double> one(1 + INSTRUMENT_VALUES, 0.0);
    one[0] = 1;
    return write_file(dir + "/builtin", song_input(SONG_STREAM, (uint32_t)SONG_STREAM_SIZE,
                                                   INSTRUMENT_TABLE, INSTRUMENT_TABLE_SIZE)) &&
           write_file(dir + "/empty", song_input(empty.data(), (uint32_t)empty.size(), one.data(),
                                                 one.size()));
}

// The score reader's faults: each of these once wrote outside the grid.
static bool score_regressions(const std::string& dir)
{
    // A second song line widened the grid without resizing it.
    std::string second_song = "song rows=16 channels=1\npattern p inst=1\n c4:16\n"
                              "section s bars=1\nsong rows=16 channels=9\n 9: p\n";
    // 21,475 rests of 100,000 rows wrapped the row negative before the pattern.
    std::string rests = "song rows=16 channels=1\npattern p inst=1\n c4:16\nsection s bars=1\n 1:";
    for (int i = 0; i < 21475; i++) {
        rests += " _100000";
    }
    rests += " p\n";
    // bars times bar wrapped negative, so the next section began before row 0.
    std::string huge_bar = "song rows=16 channels=1 bar=100000\nsection s bars=21475\n"
                           "section t rows=1\n speed 5\n";
    return write_file(dir + "/second_song_line", text_bytes(second_song)) &&
           write_file(dir + "/rests_wrap_the_row", text_bytes(rests)) &&
           write_file(dir + "/bar_overflows_int", text_bytes(huge_bar));
}

// The chain's fault: 255 flangers at 65,535 ms asked for 5.9 GB of lines.
static bool chain_regressions(const std::string& dir)
{
    std::vector<double> config = {255};
    for (int j = 0; j < 255; j++) {
        config.insert(config.end(), {3, 65535, 65535, 1, 0.5});
    }
    config.insert(config.end(), 256, 0.0);
    return write_file(dir + "/flangers_of_5_9_gb", chain_input(2, BUILTIN_ROW_MS, config));
}

static bool make_dirs(const std::string& root, const char* const* names, int count)
{
    bool ok = mkdir(root.c_str(), 0755) == 0 || errno == EEXIST;
    for (int i = 0; i < count; i++) {
        std::string path = root + "/" + names[i];
        ok = (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) && ok;
    }
    return ok;
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        fputs(USAGE, stderr);
        return 2;
    }
    std::ifstream in(argv[1]);
    std::stringstream score;
    score << in.rdbuf();
    std::string out = argv[2];
    static const char* const TARGETS[] = {"song", "chain", "score"};
    bool ok = in && make_dirs(out, nullptr, 0) && make_dirs(out + "/seeds", TARGETS, 3) &&
              make_dirs(out + "/regressions", TARGETS, 3);
    ok = ok && song_seeds(out + "/seeds/song") && chain_seeds(out + "/seeds/chain") &&
         write_file(out + "/seeds/score/quiet_harbor.score", text_bytes(score.str())) &&
         score_regressions(out + "/regressions/score") &&
         chain_regressions(out + "/regressions/chain");
    if (!ok) {
        fprintf(stderr, "fuzz_seeds: cannot read %s or write under %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
