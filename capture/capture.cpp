// The capture's messages, its music-only mode and the settings a video records.
#include "capture/capture.h"

#include "output/pending_file.h"

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
        return EXIT_FAILED;
    }
    CaptureMusic music;
    bool ok = music_start(&music, 0.0, options.seconds, music_wav_sink, &wav);
    if (ok) ok = music_finish(&music, music_render(&music, options.seconds, progress, "rendering music"));
    if (wav.file && !wav_close(&wav, &error) && ok) ok = capture_failed(pending_message(&file, error));
    if (ok && !pending_commit(&file, &error)) ok = capture_failed(error);
    if (!ok) {
        pending_discard(&file);
        return EXIT_FAILED;
    }
    const double spent = clock_seconds() - progress->start;
    char text[256];
    snprintf(text, sizeof text, "%.1f s of music to %s in %.1f s (%.0f times real time)", options.seconds,
             options.out.c_str(), spent, options.seconds / spent);
    progress_finish(progress, text);
    return EXIT_DONE;
}

std::string capture_settings(const CaptureOptions& options)
{
    std::string settings = std::string("quiet-harbor-capture ") + QH_VERSION + "; captions " +
                           (options.shared.captions ? "on" : "off") + "; msaa " + std::to_string(options.shared.samples);
    // A default left out keeps the settings of videos made before --crf.
    int format = VIDEO_MP4;
    video_format_for(options.video, &format);
    if (options.crf != VIDEO_CRF_NONE && options.crf != video_crf_default(format))
        settings += "; crf " + std::to_string(options.crf);
    if (options.blur > 1)
        settings += "; motion blur " + std::to_string(options.blur) + " over " + std::to_string(options.shutter) +
                    " degrees";
    return settings;
}
