// The choice of render scale frame by frame, and the scales --stats reports.
#include "presentation/demo_stats.h"
#include "presentation/render_scale.h"
#include "presentation/scale_control.h"

#include <gtest/gtest.h>
#include <cstdio>
#include <string>

namespace {

const double PERIOD_MS = 1000.0 / 60.0;
const double FRAME_S = 0.02; // the clock between frames in these runs

// Feeds `frames` frames of `ms`, FRAME_S apart, from scene time *t on;
// returns the step after the last. *t and *now carry on.
int run(ScaleControl* c, int scene, int frames, double ms, double* t, double* now)
{
    int step = c->step;
    for (int i = 0; i < frames; i++, *t += FRAME_S, *now += FRAME_S)
        step = scale_control_frame(c, scene, *t, *now, ms, PERIOD_MS);
    return step;
}

TEST(ScaleControl, StepsDownOnSlowFramesButNotInASceneFirstHalfSecondNorRightAfterAStep)
{
    ScaleControl c;
    scale_control_init(&c);
    double t = 0.0, now = 100.0;
    EXPECT_EQ(run(&c, 7, 25, 40.0, &t, &now), 0) << "a scene's first half second holds";
    EXPECT_EQ(run(&c, 7, 1, 40.0, &t, &now), 1) << "then the slow median steps down once";
    EXPECT_EQ(run(&c, 7, 24, 40.0, &t, &now), 1) << "held for half a second after the step";
    EXPECT_EQ(run(&c, 7, 3, 40.0, &t, &now), 2);
    EXPECT_EQ(run(&c, 7, 1000, 40.0, &t, &now), SCALE_STEP_COUNT - 1) << "down to the last step, no further";
    EXPECT_FLOAT_EQ(SCALE_STEPS[0], 1.0f);
    EXPECT_FLOAT_EQ(SCALE_STEPS[SCALE_STEP_COUNT - 1], 0.5f);
}

TEST(ScaleControl, HoldsWhileFramesFitAndStepsUpAfterTwoSecondsWithTimeToSpare)
{
    ScaleControl c;
    scale_control_init(&c);
    double t = 0.0, now = 0.0;
    run(&c, 6, 60, 30.0, &t, &now);
    ASSERT_EQ(c.step, 2);
    EXPECT_EQ(run(&c, 6, 250, 0.8 * PERIOD_MS, &t, &now), 2) << "fitting, without 30 % to spare: held";
    EXPECT_EQ(run(&c, 6, 100, 0.6 * PERIOD_MS, &t, &now), 2) << "30 % to spare, not yet for 2 s";
    EXPECT_EQ(run(&c, 6, 25, 0.6 * PERIOD_MS, &t, &now), 1) << "after 2 s: one step up";
    EXPECT_EQ(run(&c, 6, 75, 5.0, &t, &now), 1) << "and 2 s more before the next";
    EXPECT_EQ(run(&c, 6, 1500, 5.0, &t, &now), 0) << "never above 1";
    // Slow frames among fast ones are no slow median.
    for (int i = 0; i < 100; i++, t += FRAME_S, now += FRAME_S)
        EXPECT_EQ(scale_control_frame(&c, 6, t, now, i % 3 == 0 ? 80.0 : 5.0, PERIOD_MS), 0);
}

TEST(ScaleControl, ANewSceneIsJudgedOnItsOwnFrames)
{
    ScaleControl c;
    scale_control_init(&c);
    double t = 10.0, now = 0.0;
    EXPECT_EQ(run(&c, 7, 9, 40.0, &t, &now), 0) << "9 slow frames, one short of a judgement";
    t = 0.6;
    EXPECT_EQ(run(&c, 8, 9, 40.0, &t, &now), 0) << "scene 8's frames start a window of their own";
    EXPECT_EQ(run(&c, 8, 1, 40.0, &t, &now), 1);
}

TEST(RenderScale, ReadsScalesFromAQuarterToOne)
{
    float scale = 0.0f;
    EXPECT_TRUE(render_scale_parse("0.5", &scale));
    EXPECT_FLOAT_EQ(scale, 0.5f);
    EXPECT_TRUE(render_scale_parse("0.25", &scale));
    EXPECT_TRUE(render_scale_parse("1", &scale));
    for (const char* bad : {"0.2", "1.01", "", "auto", "0.5x", "nan", "-1"})
        EXPECT_FALSE(render_scale_parse(bad, &scale)) << bad;
}

TEST(DemoStats, ReportsTheScalesUsedLargestFirstWithTheirShares)
{
    DemoStats* stats = demo_stats_create();
    for (int i = 0; i < 4; i++) demo_stats_add(stats, 7, 30.0, 150.0);
    demo_stats_add(stats, 8, 10.0, 180.0);
    demo_stats_add_scale(stats, 7, 0.7f);
    demo_stats_add_scale(stats, 7, 1.0f);
    demo_stats_add_scale(stats, 7, 0.7f);
    demo_stats_add_scale(stats, 7, 0.7f);
    char text[1024] = {};
    FILE* out = fmemopen(text, sizeof text - 1, "w");
    demo_stats_print(stats, out, "qh", nullptr);
    fclose(out);
    demo_stats_destroy(stats);
    const std::string printed = text;
    EXPECT_NE(printed.find("at 150.00 s; scale 1: 25 %, 0.7: 75 %\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("qh: scene 8: 1 frame, median 10.1 ms, 95th percentile 10.1 ms, slowest 10.0 ms at 180.00 s\n"),
              std::string::npos)
        << "a scene without counted scales has no scale clause: " << printed;
}

} // namespace
