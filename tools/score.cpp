// Score notation: text score to note grid, note grid to packed song stream.
#include "tools/score.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <sstream>

static const int DEFAULT_LEN = 4;        // rows per token unless the pattern says
static const int DEFAULT_VOLUME = 64;    // a note-on starts here; no byte needed
static const int DEFAULT_BAR = 16;       // rows per bar
static const int MAX_CHORD = 8;
// The packed stream holds row numbers in 16 bits and channels in one byte, so
// no run of rows (a bar, a rest, a pattern, a section, the song) is longer.
static const int MAX_ROWS = 65535;
static const int MAX_CHANNELS = 255;
static const uint8_t SPEED_EFFECT = 7;

// One row of a phrase: up to MAX_CHORD notes, and a volume (-1 = none).
struct Step {
    int row;
    int notes[MAX_CHORD];
    int note_count;
    int volume;
};

struct Pattern {
    int instrument = 0;
    int len = DEFAULT_LEN;
    int volume = DEFAULT_VOLUME;
    int note = 0;
    int rows = 0;            // total length
    std::vector<Step> steps;
};

struct Parser {
    ScoreGrid* grid;
    std::string* error;
    int line = 0;
    bool song_seen = false;
    int bar = DEFAULT_BAR;
    int declared_rows = -1;
    std::map<std::string, Pattern> patterns;
    Pattern* pattern = nullptr;   // open pattern, if any
    int section_start = -1;       // open section, if any
    int section_rows = 0;
    int used_rows = 0;            // rows of the song the sections cover
};

static bool fail(Parser* p, const std::string& message)
{
    *p->error = "score line " + std::to_string(p->line) + ": " + message;
    return false;
}

static bool parse_int(const std::string& text, int* value)
{
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    long v = strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < -100000 || v > 100000) {
        return false;
    }
    *value = (int)v;
    return true;
}

// c4 = 60; sharps with '#', flats with 'b'.
static bool parse_note(const std::string& text, int* note)
{
    static const int PITCH[7] = {9, 11, 0, 2, 4, 5, 7}; // a b c d e f g
    if (text.size() < 2 || text[0] < 'a' || text[0] > 'g') {
        return false;
    }
    int pitch = PITCH[text[0] - 'a'];
    size_t i = 1;
    if (text[i] == '#') {
        pitch++;
        i++;
    } else if (text[i] == 'b' && i + 1 < text.size()) {
        pitch--;
        i++;
    }
    int octave = 0;
    if (!parse_int(text.substr(i), &octave)) {
        return false;
    }
    *note = 12 * (octave + 1) + pitch;
    return *note >= 1 && *note <= 255;
}

static std::vector<std::string> split(const std::string& text)
{
    std::vector<std::string> words;
    std::istringstream in(text);
    std::string word;
    while (in >> word) {
        words.push_back(word);
    }
    return words;
}

// key=value attribute; false when the word is not one.
static bool attribute(const std::string& word, std::string* key, std::string* value)
{
    size_t eq = word.find('=');
    if (eq == std::string::npos) {
        return false;
    }
    *key = word.substr(0, eq);
    *value = word.substr(eq + 1);
    return true;
}

static bool volume_ok(int v)
{
    return v >= 0 && v <= DEFAULT_VOLUME;
}

// HEAD[:ROWS][vVOL]
static bool parse_token(Parser* p, const std::string& token)
{
    Pattern* pat = p->pattern;
    std::string head = token;
    int rows = pat->len;
    int volume = pat->volume;
    size_t v = head.find('v');
    if (v != std::string::npos) {
        if (!parse_int(head.substr(v + 1), &volume) || !volume_ok(volume)) {
            return fail(p, "bad volume in '" + token + "'");
        }
        head = head.substr(0, v);
    }
    size_t colon = head.find(':');
    if (colon != std::string::npos) {
        if (!parse_int(head.substr(colon + 1), &rows) || rows < 1) {
            return fail(p, "bad length in '" + token + "'");
        }
        head = head.substr(0, colon);
    }
    Step step = {pat->rows, {0}, 0, -1};
    if (head == "-") {
        step.volume = v != std::string::npos ? volume : -1;
    } else {
        std::stringstream notes(head);
        std::string name;
        while (std::getline(notes, name, '+')) {
            int note = pat->note;
            if (step.note_count == MAX_CHORD || (name != "x" && !parse_note(name, &note)) ||
                note == 0) {
                return fail(p, "bad note in '" + token + "'");
            }
            step.notes[step.note_count++] = note;
        }
        step.volume = volume == DEFAULT_VOLUME ? -1 : volume;
    }
    if (rows > MAX_ROWS - pat->rows) {
        return fail(p, "pattern longer than " + std::to_string(MAX_ROWS) + " rows");
    }
    if (step.note_count > 0 || step.volume >= 0) {
        pat->steps.push_back(step);
    }
    pat->rows += rows;
    return true;
}

// | x... x... : one character per row.
static bool parse_steps(Parser* p, const std::string& text)
{
    Pattern* pat = p->pattern;
    for (char c : text) {
        if (c == ' ' || c == '|' || c == '\t') {
            continue;
        }
        if (pat->rows == MAX_ROWS) {
            return fail(p, "pattern longer than " + std::to_string(MAX_ROWS) + " rows");
        }
        if (c == 'x') {
            if (pat->note == 0) {
                return fail(p, "step line in a pattern without note=");
            }
            Step step = {pat->rows, {pat->note}, 1, pat->volume == DEFAULT_VOLUME ? -1 : pat->volume};
            pat->steps.push_back(step);
        } else if (c != '.') {
            return fail(p, std::string("unknown step '") + c + "'");
        }
        pat->rows++;
    }
    return true;
}

// Phrases are whole bars, so a miscounted length shows at once.
static bool close_pattern(Parser* p)
{
    if (p->pattern && (p->pattern->rows == 0 || p->pattern->rows % p->bar != 0)) {
        return fail(p, "the pattern before this line has " + std::to_string(p->pattern->rows) +
                           " rows, not whole bars");
    }
    p->pattern = nullptr;
    return true;
}

static bool begin_pattern(Parser* p, const std::vector<std::string>& words)
{
    if (!close_pattern(p)) {
        return false;
    }
    if (words.size() < 2 || p->patterns.count(words[1])) {
        return fail(p, "pattern needs a new name");
    }
    Pattern* pat = &p->patterns[words[1]];
    for (size_t i = 2; i < words.size(); i++) {
        std::string key, value;
        int n = 0;
        bool ok = attribute(words[i], &key, &value);
        if (ok && key == "note") {
            ok = parse_note(value, &pat->note);
        } else if (ok && parse_int(value, &n)) {
            if (key == "inst" && n >= 1 && n <= 255) {
                pat->instrument = n;
            } else if (key == "len" && n >= 1 && n <= MAX_ROWS) {
                pat->len = n;
            } else if (key == "vol" && volume_ok(n)) {
                pat->volume = n;
            } else {
                ok = false;
            }
        } else {
            ok = false;
        }
        if (!ok) {
            return fail(p, "bad pattern attribute '" + words[i] + "'");
        }
    }
    p->pattern = pat;
    p->section_start = -1;
    return true;
}

// Once, before the first section: the grid is sized from it.
static bool begin_song(Parser* p, const std::vector<std::string>& words)
{
    if (p->song_seen) {
        return fail(p, "a second song line");
    }
    p->song_seen = true;
    for (size_t i = 1; i < words.size(); i++) {
        std::string key, value;
        int n = 0;
        if (!attribute(words[i], &key, &value) || !parse_int(value, &n) || n < 1) {
            return fail(p, "bad song attribute '" + words[i] + "'");
        }
        if (key == "rows" && n <= MAX_ROWS) {
            p->declared_rows = n;
        } else if (key == "channels" && n <= MAX_CHANNELS) {
            p->grid->channels = (uint16_t)n;
        } else if (key == "bar" && n <= MAX_ROWS) {
            p->bar = n;
        } else {
            return fail(p, "bad song attribute '" + words[i] + "'");
        }
    }
    return true;
}

static bool begin_section(Parser* p, const std::vector<std::string>& words)
{
    std::string key, value;
    int n = 0;
    if (words.size() != 3 || !attribute(words[2], &key, &value) || !parse_int(value, &n) ||
        n < 1 || (key != "bars" && key != "rows")) {
        return fail(p, "section needs a name and bars=B or rows=R");
    }
    if (!close_pattern(p)) {
        return false;
    }
    // In 64 bits: bars times the bar length may pass what an int holds.
    int64_t rows = key == "bars" ? (int64_t)n * p->bar : n;
    if (p->declared_rows < 0 || rows > p->declared_rows - p->used_rows ||
        p->grid->channels == 0) {
        return fail(p, "sections run past the song's rows (or no song line)");
    }
    p->section_start = p->used_rows;
    p->section_rows = (int)rows;
    p->used_rows += p->section_rows;
    return true;
}

static Cell* grid_cell(ScoreGrid* grid, int row, int channel)
{
    return &grid->cells[(size_t)row * grid->channels + channel];
}

// Writes a pattern at `row` on channels first..last.
static void place(Parser* p, const Pattern& pat, int row, int first, int last)
{
    for (const Step& step : pat.steps) {
        for (int c = first; c <= last; c++) {
            Cell* cell = grid_cell(p->grid, row + step.row, c);
            int k = c - first;
            if (k < step.note_count) {
                cell->instrument = (uint8_t)pat.instrument;
                cell->note = (uint8_t)step.notes[k];
            }
            if (step.volume >= 0 && (k < step.note_count || step.note_count == 0)) {
                cell->volume = (uint8_t)(step.volume + 1);
            }
        }
    }
}

// C: ITEM ... or C-D: ITEM ...
static bool section_channels(Parser* p, const std::string& line)
{
    size_t colon = line.find(':');
    std::string range = line.substr(0, colon);
    size_t dash = range.find('-');
    int first = 0, last = 0;
    if (!parse_int(range.substr(0, dash), &first) ||
        !parse_int(dash == std::string::npos ? range.substr(0, dash) : range.substr(dash + 1),
                   &last) ||
        first < 1 || last < first || last > p->grid->channels) {
        return fail(p, "bad channel range '" + range + "'");
    }
    int row = p->section_start;
    int end = p->section_start + p->section_rows;
    for (const std::string& item : split(line.substr(colon + 1))) {
        int rest = 0;
        if (item[0] == '_') {
            if (!parse_int(item.substr(1), &rest) || rest < 1) {
                return fail(p, "bad rest '" + item + "'");
            }
            if (rest > end - row) {
                return fail(p, "'" + item + "' runs past the section's end");
            }
            row += rest;
            continue;
        }
        size_t star = item.find('*');
        int times = 1;
        std::string name = item.substr(0, star);
        if ((star != std::string::npos && (!parse_int(item.substr(star + 1), &times) || times < 1)) ||
            !p->patterns.count(name)) {
            return fail(p, "unknown pattern '" + item + "'");
        }
        const Pattern& pat = p->patterns[name];
        for (int t = 0; t < times; t++) {
            if (pat.rows > end - row) {
                return fail(p, "'" + name + "' runs past the section's end");
            }
            place(p, pat, row, first - 1, last - 1);
            row += pat.rows;
        }
    }
    return row <= end || fail(p, "channel runs past the section's end");
}

static bool section_line(Parser* p, const std::string& line, const std::vector<std::string>& words)
{
    if (words[0] == "speed") {
        int speed = 0;
        if (words.size() != 2 || !parse_int(words[1], &speed) || speed < 0 || speed > 255) {
            return fail(p, "bad speed");
        }
        Cell* cell = grid_cell(p->grid, p->section_start, 0);
        cell->effect = SPEED_EFFECT;
        cell->param = (uint8_t)speed;
        return true;
    }
    if (line.find(':') == std::string::npos) {
        return fail(p, "expected 'C: patterns' or 'speed S'");
    }
    return section_channels(p, line);
}

static bool parse_line(Parser* p, std::string line)
{
    // A comment starts at a '#' that begins a word; inside a word it is a sharp.
    for (size_t i = 0; i < line.size(); i++) {
        if (line[i] == '#' && (i == 0 || isspace((unsigned char)line[i - 1]))) {
            line = line.substr(0, i);
            break;
        }
    }
    std::vector<std::string> words = split(line);
    if (words.empty()) {
        return true;
    }
    if (words[0] == "song") {
        return begin_song(p, words);
    }
    if (words[0] == "pattern") {
        return begin_pattern(p, words);
    }
    if (words[0] == "section") {
        if (p->grid->cells.empty() && p->declared_rows > 0) {
            p->grid->cells.assign((size_t)p->declared_rows * p->grid->channels, Cell{});
        }
        return begin_section(p, words);
    }
    if (p->pattern) {
        if (words[0][0] == '|') {
            return parse_steps(p, line.substr(line.find('|')));
        }
        for (const std::string& token : words) {
            if (!parse_token(p, token)) {
                return false;
            }
        }
        return true;
    }
    if (p->section_start >= 0) {
        return section_line(p, line, words);
    }
    return fail(p, "text outside a pattern or section");
}

bool score_parse(const std::string& text, ScoreGrid* grid, std::string* error)
{
    *grid = ScoreGrid{0, 0, {}};
    Parser p;
    p.grid = grid;
    p.error = error;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        p.line++;
        if (!parse_line(&p, line)) {
            return false;
        }
    }
    if (!close_pattern(&p)) {
        return false;
    }
    if (p.declared_rows < 0 || p.used_rows != p.declared_rows) {
        *error = "score: sections cover " + std::to_string(p.used_rows) + " of " +
                 std::to_string(p.declared_rows) + " rows";
        return false;
    }
    grid->rows = (uint16_t)p.declared_rows;
    return true;
}

std::vector<uint8_t> score_pack(const ScoreGrid& grid)
{
    // Events as (row number from 1, channel, delta); row 0 is a separator.
    std::vector<uint32_t> rows;
    std::vector<uint8_t> channels, deltas;
    for (int field = 0; field < SONG_SECTIONS; field++) {
        for (int c = 0; c < grid.channels; c++) {
            uint8_t running = 0;
            for (int r = 0; r < grid.rows; r++) {
                const uint8_t* cell = (const uint8_t*)&grid.cells[(size_t)r * grid.channels + c];
                if (cell[field] == 0) {
                    continue;
                }
                rows.push_back((uint32_t)r + 1);
                channels.push_back((uint8_t)c);
                deltas.push_back((uint8_t)(cell[field] - running));
                running = cell[field];
            }
        }
        rows.push_back(0);
        channels.push_back(0);
        deltas.push_back(0);
    }
    uint32_t n = (uint32_t)rows.size();
    std::vector<uint8_t> out = {(uint8_t)(grid.rows >> 8), (uint8_t)grid.rows,
                                (uint8_t)grid.channels, (uint8_t)(n >> 24), (uint8_t)(n >> 16),
                                (uint8_t)(n >> 8), (uint8_t)n};
    for (uint32_t r : rows) {
        out.push_back((uint8_t)(r >> 8));
    }
    for (uint32_t r : rows) {
        out.push_back((uint8_t)r);
    }
    out.insert(out.end(), channels.begin(), channels.end());
    out.insert(out.end(), deltas.begin(), deltas.end());
    return out;
}
