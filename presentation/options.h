// The command-line grammar both programs share, and the options they share.
//
// Options are long names with a dash pair; one that takes a value takes it
// as "--name VALUE" or "--name=VALUE". "-h" is "--help". "--" ends the
// options: what follows is an operand even if it starts with a dash. Options
// are read in order, and the first fault ends the reading with one line
// naming it, then the usage, on standard error:
//   PROGRAM: unknown option '--bogus'
//   PROGRAM: missing seconds after '--start'
//   PROGRAM: --window takes no value, not '1'
//   PROGRAM: --start takes seconds from 0 to under 225, not 'abc'
#pragma once

#include <string>
#include <vector>

// What a command line asks for.
enum OptionsResult {
    OPTIONS_RUN,     // go on with the options read
    OPTIONS_HELP,    // -h or --help: the caller prints its help on stdout and exits 0
    OPTIONS_VERSION, // --version: the caller prints its name and version and exits 0
    OPTIONS_BAD,     // a fault was told on stderr with the usage: exit 2
};

// Exit statuses of both programs.
const int EXIT_DONE = 0;
const int EXIT_FAILED = 1; // one line on stderr says why
const int EXIT_USAGE = 2;  // a bad command line, told before any work

// One row of a program's option table.
struct OptionDef {
    const char* name;  // "--start"
    const char* value; // what the value is, in "missing seconds after '--start'"; null for a flag
    int code;          // the program's own code for the option
    bool pass_on;      // the capture's workers get it too: it decides the pictures
};

// An option as given, after its value was read and found good.
struct OptionGiven {
    const OptionDef* def;
    std::string value; // "" for a flag
};

// Reads `code`'s value (null for a flag) into the program's options
// (`context`). Returns "" when it is good, else what the option takes, for
// "--start takes <that>, not 'abc'".
typedef std::string (*OptionRead)(void* context, int code, const char* value);

// The program reading its command line.
struct OptionsGrammar {
    const char* program; // "quiet-harbor", the start of every message
    const char* usage;   // the synopsis, printed after a fault
    const OptionDef* defs;
    int count;
};

// Reads argv[1..argc-1] against the table: each option's value through
// `read`, operands (arguments that are no option) into *operands, and every
// option read into *given (may be null) in the order given. Returns
// OPTIONS_BAD after telling the first fault.
int options_parse(const OptionsGrammar& grammar, int argc, char** argv, OptionRead read, void* context,
                  std::vector<std::string>* operands, std::vector<OptionGiven>* given);
// Tells a fault found after parsing (one line, then the usage, on stderr)
// and returns OPTIONS_BAD.
int options_fault(const OptionsGrammar& grammar, const std::string& problem);

// Options both programs take
enum SharedOptionCode {
    OPTION_SIZE = 1000,
    OPTION_MSAA,
    OPTION_CAPTIONS,
    OPTION_STATS,
    OPTION_RENDER_SCALE,
};

struct SharedOptions {
    int width;      // frame size in pixels, 800 x 600 by default ...
    int height;
    bool desktop;   // ... or the display's (the window's --size desktop)
    int samples;    // --msaa: samples per pixel asked for, 1 = off
    bool captions;  // draw the captions
    bool stats;     // frame times per scene on stderr at the end
    float render_scale;     // the picture drawn at this share of the band's width and height ...
    bool render_scale_auto; // ... or chosen frame by frame (the window's "auto")
};

extern const OptionDef OPTION_DEF_SIZE;
extern const OptionDef OPTION_DEF_MSAA;
extern const OptionDef OPTION_DEF_CAPTIONS;
extern const OptionDef OPTION_DEF_STATS;
extern const OptionDef OPTION_DEF_RENDER_SCALE;

// 800 x 600, one sample per pixel, no captions, no statistics, full scale.
SharedOptions shared_options_default();
// Reads one of the shared options as an OptionRead does. `window` says
// whether --size takes "desktop" and --render-scale "auto" (the window only).
std::string shared_option_read(SharedOptions* shared, int code, const char* value, bool window);

// A number of seconds: the whole text is a finite decimal number. The
// caller checks its range.
bool option_seconds(const char* text, double* seconds);
// A whole number from `low` to `high`, the whole text in decimal digits (a
// sign allowed).
bool option_whole_number(const char* text, long low, long high, int* number);
