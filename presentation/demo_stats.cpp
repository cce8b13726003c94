// Frame statistics per scene: binned frame times, percentiles and the report.
#include "presentation/demo_stats.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdlib>

static const int CREDITS_SCENE = 10;

DemoStats* demo_stats_create() { return (DemoStats*)calloc(1, sizeof(DemoStats)); }

void demo_stats_destroy(DemoStats* stats) { free(stats); }

void demo_stats_add(DemoStats* stats, int scene, double ms, double at)
{
    if (scene < 1 || scene > TIMELINE_ENTRIES || !(ms >= 0)) return;
    const int s = scene - 1;
    const double bin = std::floor(ms / STATS_BIN_MS);
    stats->bins[s][bin < STATS_BIN_COUNT - 1 ? (int)bin : STATS_BIN_COUNT - 1]++;
    if (stats->frames[s] == 0 || ms > stats->slowest_ms[s]) {
        stats->slowest_ms[s] = ms;
        stats->slowest_at[s] = at;
    }
    stats->frames[s]++;
}

void demo_stats_add_scale(DemoStats* stats, int scene, float scale)
{
    if (scene < 1 || scene > TIMELINE_ENTRIES) return;
    const int s = scene - 1;
    for (int i = 0; i < STATS_SCALES; i++) {
        if (stats->scale_frames[s][i] == 0) stats->scales[s][i] = scale;
        if (stats->scales[s][i] != scale) continue;
        stats->scale_frames[s][i]++;
        return;
    }
}

// "; scale 1: 40 %, 0.85: 60 %" for the scales counted, largest first.
static void scales_print(const DemoStats* stats, int s, FILE* out)
{
    uint64_t total = 0;
    for (int i = 0; i < STATS_SCALES; i++) total += stats->scale_frames[s][i];
    if (total == 0) return;
    float last = 2.0f;
    const char* separator = "; scale ";
    for (;;) {
        int next = -1;
        for (int i = 0; i < STATS_SCALES; i++) {
            const bool counted = stats->scale_frames[s][i] > 0 && stats->scales[s][i] < last;
            if (counted && (next < 0 || stats->scales[s][i] > stats->scales[s][next])) next = i;
        }
        if (next < 0) return;
        last = stats->scales[s][next];
        const double share = 100.0 * stats->scale_frames[s][next] / (double)total;
        // A scale used for a few frames is not shown as used for none.
        if (share < 0.5) fprintf(out, "%s%g: <1 %%", separator, last);
        else fprintf(out, "%s%g: %.0f %%", separator, last, share);
        separator = ", ";
    }
}

double demo_stats_percentile(const DemoStats* stats, int scene, double fraction)
{
    if (scene < 1 || scene > TIMELINE_ENTRIES) return 0.0;
    const int s = scene - 1;
    if (stats->frames[s] == 0) return 0.0;
    // The smallest time at or below which ceil(fraction x frames) frames lie.
    const uint64_t wanted = (uint64_t)std::ceil(fraction * stats->frames[s]);
    uint64_t seen = 0;
    for (int b = 0; b < STATS_BIN_COUNT - 1; b++) {
        seen += stats->bins[s][b];
        if (seen >= wanted && seen > 0) return (b + 1) * STATS_BIN_MS;
    }
    return stats->slowest_ms[s];
}

void demo_stats_print(const DemoStats* stats, FILE* out, const char* program, const char* renderer)
{
    if (renderer) fprintf(out, "%s: renderer %s\n", program, renderer);
    for (int scene = 1; scene <= TIMELINE_ENTRIES; scene++) {
        const int s = scene - 1;
        if (stats->frames[s] == 0) continue;
        char name[16];
        if (scene == CREDITS_SCENE) snprintf(name, sizeof name, "credits");
        else snprintf(name, sizeof name, "scene %d", scene);
        fprintf(out, "%s: %s: %u frame%s, median %.1f ms, 95th percentile %.1f ms, slowest %.1f ms at %.2f s",
                program, name, stats->frames[s], stats->frames[s] == 1 ? "" : "s",
                demo_stats_percentile(stats, scene, 0.5), demo_stats_percentile(stats, scene, 0.95),
                stats->slowest_ms[s], stats->slowest_at[s]);
        scales_print(stats, s, out);
        fputc('\n', out);
    }
}

const char* demo_stats_renderer()
{
    static char text[256];
    const char* renderer = (const char*)glGetString(GL_RENDERER);
    const char* version = (const char*)glGetString(GL_VERSION);
    snprintf(text, sizeof text, "%s, OpenGL %s", renderer ? renderer : "unknown",
             version ? version : "unknown");
    return text;
}
