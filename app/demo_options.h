// The presentation's command line: quiet-harbor [--window] [--start SECONDS]
// [--captions] [--stats] [--help] [--version].
#pragma once

struct DemoOptions {
    bool window;  // an 800 x 600 window instead of full screen
    double start; // timeline seconds to begin at, 0 <= start < 225
    bool captions; // draw the captions
    bool stats;   // frame times per scene on stderr at exit
};

// What the command line asks for.
const int OPTIONS_RUN = 0;     // play, with the options read
const int OPTIONS_HELP = 1;    // usage printed on stdout: exit 0
const int OPTIONS_VERSION = 2; // name and version printed on stdout: exit 0
const int OPTIONS_BAD = 3;     // one line naming the fault and the usage on stderr: exit 2

// Reads argv[1..argc-1]. Without options: full screen from 0 s, no stats. `version` is
// the text --version prints after the program's name.
int demo_options_parse(int argc, char** argv, const char* version, DemoOptions* options);
