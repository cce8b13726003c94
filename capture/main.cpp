// quiet-harbor-capture: renders the presentation offscreen with a virtual
// clock, frame-exact, to PNG images or a video with sound, and its music to
// WAV files. Reads the command line and runs the mode it asks for.
#include "capture/capture.h"

#include <cstdio>

int main(int argc, char** argv)
{
    CaptureOptions options;
    const int parsed = capture_parse_options(argc, argv, &options);
    if (parsed == OPTIONS_HELP) {
        fputs(capture_usage(), stdout);
        return EXIT_DONE;
    }
    if (parsed == OPTIONS_VERSION) {
        printf("quiet-harbor-capture %s\n", QH_VERSION);
        return EXIT_DONE;
    }
    if (parsed != OPTIONS_RUN) return EXIT_USAGE;
    std::string error;
    if (!worker_start(&error)) {
        capture_error(error);
        return EXIT_FAILED;
    }
    signals_install();
    Progress progress;
    progress_init(&progress, options.quiet || g_worker.active);
    if (options.mode == CAPTURE_AUDIO_ONLY) return capture_audio_only(options, &progress);
    if (options.mode == CAPTURE_JOIN) return capture_join(options, &progress);
    if (options.jobs != 1) return capture_jobs(options, &progress);
    return capture_frames(options, &progress);
}
