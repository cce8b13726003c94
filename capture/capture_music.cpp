// The capture's music: the song played offline along the virtual clock, its
// blocks taken from the queue as the sound device would take them.
#include "capture/capture.h"

#include "runtime/sync.h"

#include "synth/audio_queue.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

uint64_t music_frame_at(double seconds) { return (uint64_t)std::llround(seconds * (double)MUSIC_RATE); }

bool music_start(CaptureMusic* music, double first, double end, MusicSink sink, void* context)
{
    music->rendered = 0;
    music->first = music_frame_at(first);
    music->end = music_frame_at(end);
    music->sink = sink;
    music->sink_context = context;
    // The pulses as at program start: a run of the music before this one (a
    // video's sound track) leaves them set, with steps taken at its end.
    sync_reset();
    audio_queue_reset();
    if (!demo_audio_start(&music->audio, false)) {
        demo_audio_stop(&music->audio);
        capture_error("the music could not be started");
        return false;
    }
    return true;
}

// Takes every queued block out as the device callback would and hands on
// the part of it that lies within [first, end).
static bool music_drain(CaptureMusic* music)
{
    int16_t block[AUDIO_BLOCK_BYTES / 2];
    while (g_audio_queue.filled.load() > 0) {
        audio_callback(nullptr, (uint8_t*)block, AUDIO_BLOCK_BYTES);
        const uint64_t start = music->rendered, stop = music->rendered + PLAYER_BLOCK_FRAMES;
        music->rendered = stop;
        const uint64_t from = start > music->first ? start : music->first;
        const uint64_t to = stop < music->end ? stop : music->end;
        if (from >= to || !music->sink) continue;
        std::string error;
        if (!music->sink(music->sink_context, block + (from - start) * 2, (uint32_t)(to - from), &error)) {
            capture_error(error);
            return false;
        }
    }
    return true;
}

static bool music_advance_to(CaptureMusic* music, uint64_t frames)
{
    if (!music_drain(music)) return false;
    while (music->rendered < frames) {
        int more = 0;
        player_pump(music->audio.player, &more);
        if (!music_drain(music)) return false;
    }
    return true;
}

bool music_advance(CaptureMusic* music, double seconds) { return music_advance_to(music, music_frame_at(seconds)); }

bool music_render(CaptureMusic* music, double seconds, Progress* progress, const char* phase)
{
    const int64_t whole = (int64_t)std::ceil(seconds);
    progress_phase(progress, phase, whole, "s");
    for (int64_t s = 1; s <= whole; s++) {
        if (!music_advance(music, s < seconds ? (double)s : seconds)) return false;
        progress_step(progress, s);
    }
    return true;
}

bool music_finish(CaptureMusic* music, bool ok)
{
    if (ok) ok = music_advance_to(music, music->end);
    demo_audio_stop(&music->audio);
    return ok;
}

bool music_wav_sink(void* context, const int16_t* samples, uint32_t frames, std::string* error)
{
    return wav_write((WavWriter*)context, samples, frames, error);
}

// An unnamed scratch file in $TMPDIR (or /tmp): nothing is left behind
// whatever happens to the process.
static FILE* scratch_file(std::string* error)
{
    const char* tmpdir = getenv("TMPDIR");
    const std::string folder = tmpdir && *tmpdir ? tmpdir : "/tmp";
    std::string path = folder + "/quiet-harbor-sound.XXXXXX";
    const int fd = mkostemp(&path[0], O_CLOEXEC);
    FILE* file = fd >= 0 ? fdopen(fd, "w+b") : nullptr;
    if (!file) *error = "a scratch file for the sound in " + folder + ": " + strerror(errno);
    if (fd >= 0) unlink(path.c_str());
    if (fd >= 0 && !file) close(fd);
    return file;
}

static bool sound_file_sink(void* context, const int16_t* samples, uint32_t frames, std::string* error)
{
    // Raw little-endian samples, as ffmpeg reads them; the capture runs on little-endian machines.
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the sound track is written in host order");
    if (fwrite(samples, 2 * sizeof(int16_t), frames, (FILE*)context) == frames) return true;
    *error = std::string("the scratch file for the sound: ") + strerror(errno);
    return false;
}

FILE* music_track(double first, double end, Progress* progress)
{
    std::string error;
    FILE* track = scratch_file(&error);
    if (!track) {
        capture_error(error);
        return nullptr;
    }
    CaptureMusic music;
    bool ok = music_start(&music, first, end, sound_file_sink, track);
    if (ok) ok = music_finish(&music, music_render(&music, end, progress, "rendering sound"));
    if (ok && fflush(track) != 0) ok = capture_failed(std::string("the scratch file for the sound: ") + strerror(errno));
    if (ok) return track;
    fclose(track);
    return nullptr;
}
