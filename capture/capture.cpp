// quiet-harbor-capture: renders the presentation offscreen with a virtual
// clock, frame-exact, to PNG images or a video with sound, and its music to
// WAV files.
#include "capture/capture.h"

#include "capture/pending_file.h"

#include <cstdio>

void capture_error(const std::string& message)
{
    progress_interrupt();
    fprintf(stderr, "quiet-harbor-capture: %s\n", message.c_str());
}

bool capture_failed(const std::string& message)
{
    capture_error(message);
    return false;
}

int capture_audio_only(const CaptureOptions& options, Progress* progress)
{
    PendingFile file = {};
    WavWriter wav = {};
    std::string error;
    const uint64_t length = music_frame_at(options.seconds);
    if (!pending_open(&file, options.out, &error) || !wav_open(&wav, file.fd, file.target, length, &error)) {
        capture_error(pending_message(&file, error));
        pending_discard(&file);
        return 1;
    }
    CaptureMusic music;
    bool ok = music_start(&music, 0.0, options.seconds, music_wav_sink, &wav);
    if (ok) ok = music_finish(&music, music_render(&music, options.seconds, progress, "rendering music"));
    if (wav.file && !wav_close(&wav, &error) && ok) ok = capture_failed(pending_message(&file, error));
    if (ok && !pending_commit(&file, &error)) ok = capture_failed(error);
    if (!ok) {
        pending_discard(&file);
        return 1;
    }
    const double spent = progress_clock() - progress->start;
    char text[256];
    snprintf(text, sizeof text, "%.1f s of music to %s in %.1f s (%.0f times real time)", options.seconds,
             options.out.c_str(), spent, options.seconds / spent);
    progress_finish(progress, text);
    return 0;
}

std::string capture_settings(const CaptureOptions& options)
{
    return std::string("quiet-harbor-capture ") + QH_VERSION + "; captions " + (options.captions ? "on" : "off") +
           "; msaa " + std::to_string(options.samples);
}

int main(int argc, char** argv)
{
    CaptureOptions options;
    const int parsed = capture_parse_options(argc, argv, &options);
    if (parsed == 1) {
        fputs(capture_usage(), stdout);
        return 0;
    }
    if (parsed == 3) {
        printf("quiet-harbor-capture %s\n", QH_VERSION);
        return 0;
    }
    if (parsed != 0) return parsed;
    std::string error;
    if (!worker_start(&error)) {
        capture_error(error);
        return 1;
    }
    pending_install_signal_handlers();
    Progress progress;
    progress_init(&progress, options.quiet || g_worker.active);
    if (options.mode == CAPTURE_AUDIO_ONLY) return capture_audio_only(options, &progress);
    if (options.mode == CAPTURE_JOIN) return capture_join(options, &progress);
    if (options.jobs != 1) return capture_jobs(options, argc, argv, &progress);
    return capture_frames(options, &progress);
}
