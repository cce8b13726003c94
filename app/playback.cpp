// Pause, seeking, the on-screen line and screenshots of the window program.
#include "app/playback.h"

#include "base/base.h"
#include "output/pending_file.h"
#include "output/png_write.h"
#include "runtime/gl_setup.h"
#include "runtime/text.h"

#include <GL/gl.h>
#include <algorithm>
#include <sys/stat.h>
#include <cmath>
#include <cstdio>
#include <vector>

// The on-screen line: shown this long after a seek, in the lower band.
static const double LINE_SECONDS = 1.5;
static const int LINE_FONT_SIZE = 16;
static const int LINE_X = 24;
static const int LINE_Y = 552; // overlay pixels: inside the band below the picture (525..600)
static const uint32_t LINE_COLOUR = 0xFFC8C8C8;
// Screenshots: at most this many copies of one name before giving up.
static const int SCREENSHOT_COPIES_MAX = 1000;

float seek_target(int kind, float now)
{
    const int index = timeline_find(now);
    float target = now;
    switch (kind) {
    case SEEK_BACK: target = now - SEEK_SHORT_SECONDS; break;
    case SEEK_FORWARD: target = now + SEEK_SHORT_SECONDS; break;
    case SEEK_BACK_LONG: target = now - SEEK_LONG_SECONDS; break;
    case SEEK_FORWARD_LONG: target = now + SEEK_LONG_SECONDS; break;
    case SEEK_PREVIOUS_SCENE: target = index > 0 ? TIMELINE[index - 1].start : 0.0f; break;
    case SEEK_NEXT_SCENE: target = index >= 0 ? TIMELINE[index].end : TIMELINE_END; break;
    case SEEK_HOME: target = 0.0f; break;
    }
    return target < 0.0f ? 0.0f : target;
}

void playback_start(Playback* p, DemoAudio* audio, float start, bool looping, FrameTimes* times)
{
    *p = Playback{audio, {}, {}, times, looping, false, false, false, -1.0f, 0.0, 0, false, false};
    demo_loop_init(&p->loop);
    demo_clock_start(&p->clock, audio, start);
}

void playback_pause(Playback* p, bool paused)
{
    p->paused = paused;
    demo_audio_pause(p->audio, paused);
    demo_clock_pause(&p->clock, paused);
    // The paused time is no frame's.
    if (!paused) p->times->last_swap = -1.0;
}

void playback_seek(Playback* p, float seconds)
{
    if (seconds >= TIMELINE_END) {
        playback_timeline_ended(p);
        return;
    }
    demo_rewind(&p->loop);
    demo_audio_seek(p->audio, seconds);
    demo_clock_start(&p->clock, p->audio, seconds);
    if (p->paused) demo_clock_pause(&p->clock, true);
    p->redraw = p->paused;
    p->times->last_swap = -1.0;
    p->line_until = clock_seconds() + LINE_SECONDS;
}

void playback_timeline_ended(Playback* p)
{
    if (!p->looping) {
        p->stop = true;
        return;
    }
    demo_rewind(&p->loop);
    demo_audio_restart(p->audio);
    demo_clock_start(&p->clock, p->audio, 0.0f);
    if (p->paused) playback_pause(p, false);
    p->times->last_swap = -1.0;
}

static std::string minutes_text(int seconds)
{
    char text[16];
    snprintf(text, sizeof text, "%d:%02d", seconds / 60, seconds % 60);
    return text;
}

std::string playback_line_text(float seconds, bool paused)
{
    const int index = timeline_find(seconds);
    const int scene = index >= 0 ? TIMELINE[index].scene : 0;
    std::string text = minutes_text((int)seconds) + " / " + minutes_text((int)TIMELINE_END) + "  ";
    text += scene == TIMELINE_ENTRIES ? "credits" : "scene " + std::to_string(scene);
    if (paused) text += "  paused";
    return text;
}

void playback_line_draw(Playback* p)
{
    if (!p->paused && clock_seconds() >= p->line_until) return;
    if (!p->line_font_tried) {
        // The captions' face, whether or not captions are on; silently none.
        p->line_font = font_load("Arial", LINE_FONT_SIZE, true);
        p->line_font_tried = true;
    }
    if (p->line_font == 0 || p->shown_time < 0.0f) return;
    text_draw(LINE_X, LINE_Y, LINE_COLOUR, p->line_font, playback_line_text(p->shown_time, p->paused).c_str());
}

std::string screenshot_name(float seconds, int copy)
{
    const long ms = std::lround((double)seconds * MS_PER_SECOND);
    char text[64];
    snprintf(text, sizeof text, "quiet-harbor-%02ldm%02ld.%03ld", ms / 60000, ms / 1000 % 60, ms % 1000);
    return std::string(text) + (copy > 0 ? "-" + std::to_string(copy) : "") + ".png";
}

// The frame just drawn, before anything of the window's own goes on top,
// as RGB rows, top row first.
static std::vector<uint8_t> frame_read()
{
    const int w = g_frame.width, h = g_frame.height;
    std::vector<uint8_t> rows((size_t)w * h * 3), rgb(rows.size());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    const size_t row = (size_t)w * 3;
    for (int y = 0; y < h; y++) std::copy_n(&rows[(size_t)(h - 1 - y) * row], row, &rgb[(size_t)y * row]);
    return rgb;
}

static bool name_taken(const std::string& name)
{
    struct stat info;
    return lstat(name.c_str(), &info) == 0;
}

void playback_screenshot(const Playback& p)
{
    if (p.shown_time < 0.0f) return;
    const std::vector<uint8_t> rgb = frame_read();
    for (int copy = 0; copy < SCREENSHOT_COPIES_MAX; copy++) {
        const std::string name = screenshot_name(p.shown_time, copy);
        if (name_taken(name)) continue;
        PendingFile file;
        std::string error;
        bool ok = pending_open(&file, name, &error);
        file.replace = false;
        if (ok && !png_write_rgb_fd(file.fd, name, g_frame.width, g_frame.height, rgb.data(), &error)) {
            pending_discard(&file);
            ok = false;
        }
        // The commit never replaces a file; one saved meanwhile takes the next copy's name.
        if (ok && pending_commit(&file, &error)) return;
        if (ok && name_taken(name)) continue;
        fprintf(stderr, "quiet-harbor: no screenshot: %s\n", pending_message(&file, error).c_str());
        return;
    }
    fprintf(stderr, "quiet-harbor: no screenshot: %s and %d copies exist\n", screenshot_name(p.shown_time, 0).c_str(),
            SCREENSHOT_COPIES_MAX);
}
