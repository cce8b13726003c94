// The capture tool's costs per frame on the offscreen context: a frame
// played through (drawing commands dropped), a frame drawn and finished,
// the read-back as RGB and as BGRA, and a PNG written with the tool's
// settings (with its size). Scenes 1 and 2, from two seconds in.
#include "presentation/demo.h"
#include "bench/bench_gl.h"
#include "offscreen/offscreen.h"
#include "output/png_write.h"
#include "runtime/gl_setup.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

static const int FRAMES_PER_RUN = 60;

static float frame_time_in(int scene, int frame)
{
    return TIMELINE[scene - 1].start + 2.0f + (float)(frame % FRAMES_PER_RUN) / 60.0f;
}

// As the capture plays frames through: rendering on the condition of an
// occlusion query that counted nothing, and rasterisation discarded.
static void BM_PlayThroughFrame(benchmark::State& state, int scene)
{
    if (!bench_scenes_loaded(state)) return;
    GLuint query = 0;
    glGenQueries(1, &query);
    glBeginQuery(GL_SAMPLES_PASSED, query);
    glEndQuery(GL_SAMPLES_PASSED);
    glBeginConditionalRender(query, GL_QUERY_WAIT);
    glEnable(GL_RASTERIZER_DISCARD);
    DemoLoop loop;
    demo_loop_init(&loop);
    int frame = 0;
    for (auto _ : state) demo_draw_frame(&loop, frame_time_in(scene, frame++));
    glFinish();
    glDisable(GL_RASTERIZER_DISCARD);
    glEndConditionalRender();
    glDeleteQueries(1, &query);
}

static void BM_DrawnFrame(benchmark::State& state, int scene)
{
    if (!bench_scenes_loaded(state)) return;
    DemoLoop loop;
    demo_loop_init(&loop);
    int frame = 0;
    for (auto _ : state) {
        demo_draw_frame(&loop, frame_time_in(scene, frame++));
        glFinish();
    }
}

static void BM_ReadBack(benchmark::State& state, GLenum format)
{
    if (!bench_scenes_loaded(state)) return;
    DemoLoop loop;
    demo_loop_init(&loop);
    demo_draw_frame(&loop, frame_time_in(1, 0));
    glFinish();
    std::vector<uint8_t> pixels((size_t)WINDOW_WIDTH * WINDOW_HEIGHT * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (auto _ : state) glReadPixels(0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, format, GL_UNSIGNED_BYTE, pixels.data());
}

static void BM_PngWrite(benchmark::State& state, int scene)
{
    if (!bench_scenes_loaded(state)) return;
    DemoLoop loop;
    demo_loop_init(&loop);
    demo_draw_frame(&loop, frame_time_in(scene, 0));
    const std::vector<uint8_t> rgb = offscreen_read_rgb(WINDOW_WIDTH, WINDOW_HEIGHT);
    char path[] = "/tmp/capture_bench_XXXXXX";
    const int fd = mkstemp(path);
    if (fd >= 0) close(fd);
    std::string error;
    for (auto _ : state) {
        if (!png_write_rgb(path, WINDOW_WIDTH, WINDOW_HEIGHT, rgb.data(), &error)) state.SkipWithError(error.c_str());
    }
    struct stat info;
    if (stat(path, &info) == 0) state.counters["kbytes"] = (double)info.st_size / 1024.0;
    unlink(path);
}

#define PER_SCENE(bench, number)                                                                  \
    BENCHMARK_CAPTURE(bench, scene##number, number)->Unit(benchmark::kMillisecond)->Iterations(FRAMES_PER_RUN)

PER_SCENE(BM_PlayThroughFrame, 1);
PER_SCENE(BM_PlayThroughFrame, 2);
PER_SCENE(BM_DrawnFrame, 1);
PER_SCENE(BM_DrawnFrame, 2);
BENCHMARK_CAPTURE(BM_ReadBack, rgb, GL_RGB)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadBack, bgra, GL_BGRA)->Unit(benchmark::kMillisecond);
PER_SCENE(BM_PngWrite, 1);
PER_SCENE(BM_PngWrite, 2);
