// The capture's progress line and its summary.
#include "capture/capture_progress.h"

#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <unistd.h>

static const double REDRAW_SECONDS = 0.1;

// Whether a live line is on the terminal now.
static bool s_line_shown = false;

static double seconds_of(const rusage& usage)
{
    return (double)usage.ru_utime.tv_sec + (double)usage.ru_stime.tv_sec +
           ((double)usage.ru_utime.tv_usec + (double)usage.ru_stime.tv_usec) * 1e-6;
}

double progress_processor_seconds()
{
    rusage self = {}, children = {};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return seconds_of(self) + seconds_of(children);
}

void progress_init(Progress* progress, bool quiet)
{
    progress->live = !quiet && isatty(STDERR_FILENO);
    progress->summary = !quiet;
    progress->start = progress->phase_start = clock_seconds();
    progress->last_shown = 0.0;
    progress->phase = "";
    progress->unit = "";
    progress->done = progress->total = 0;
}

static std::string minutes(double seconds)
{
    const long s = seconds > 0 ? (long)(seconds + 0.5) : 0;
    char text[32];
    snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

static void show(const Progress* p, double now)
{
    const double spent = now - p->phase_start;
    const std::string elapsed = minutes(now - p->start);
    if (p->total <= 0) {
        fprintf(stderr, "\r%s  %s elapsed\033[K", p->phase, elapsed.c_str());
    } else {
        const double rate = spent > 0 ? (double)p->done / spent : 0.0;
        const std::string left = rate > 0 ? minutes((double)(p->total - p->done) / rate) : "?";
        const std::string per_second = std::string(p->unit) == "frames" ? " fps" : std::string(" ") + p->unit + "/s";
        fprintf(stderr, "\r%s  %lld of %lld %s  %.1f%s  %s elapsed  ETA %s\033[K", p->phase, (long long)p->done,
                (long long)p->total, p->unit, rate, per_second.c_str(), elapsed.c_str(), left.c_str());
    }
    fflush(stderr);
    s_line_shown = true;
}

void progress_phase(Progress* progress, const char* phase, int64_t total, const char* unit)
{
    progress->phase = phase;
    progress->unit = unit;
    progress->total = total;
    progress->done = 0;
    progress->phase_start = clock_seconds();
    if (progress->live) show(progress, progress->phase_start);
}

void progress_step(Progress* progress, int64_t done)
{
    progress->done = done;
    if (!progress->live) return;
    const double now = clock_seconds();
    if (now - progress->last_shown < REDRAW_SECONDS && done < progress->total) return;
    progress->last_shown = now;
    show(progress, now);
}

void progress_interrupt()
{
    if (!s_line_shown) return;
    fputs("\r\033[K", stderr);
    fflush(stderr);
    s_line_shown = false;
}

void progress_finish(Progress* progress, const std::string& text)
{
    progress_interrupt();
    if (progress->summary) fprintf(stderr, "quiet-harbor-capture: %s\n", text.c_str());
}
