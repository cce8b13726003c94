// The command line of a process of --jobs: a function of the options read,
// so that every option deciding the pictures reaches the workers as given,
// and nothing of the parent's own business does.
#include "capture/capture.h"

#include <gtest/gtest.h>

TEST(CaptureOptions, WorkerGetsThePictureOptionsAsGivenThenItsStretch)
{
    const char* argv[] = {"quiet-harbor-capture", "--video", "out.mkv", "--fps", "30000/1001", "--jobs", "3",
                          "--size=640x360",       "--stats", "--quiet", "--captions", "--msaa", "4",
                          "--from", "10",         "--to",    "20"};
    CaptureOptions options;
    ASSERT_EQ(capture_parse_options(sizeof argv / sizeof argv[0], (char**)argv, &options), OPTIONS_BAD)
        << "--stats with --jobs 3 is refused";
    argv[8] = "--quiet";
    ASSERT_EQ(capture_parse_options(sizeof argv / sizeof argv[0], (char**)argv, &options), OPTIONS_RUN);
    const std::vector<std::string> expected = {
        "quiet-harbor-capture", "--fps=30000/1001", "--size=640x360", "--captions", "--msaa=4",
        "--from", "12.5", "--to", "0.10000000000000001", "--jobs", "1", "--video", ".out.mkv.part"};
    EXPECT_EQ(capture_worker_arguments(options, 12.5, 0.1, ".out.mkv.part"), expected);
}

// --part K/N: N stretches however few the cheapest cut needs, each
// non-empty, and K's span is the K-th of them.
TEST(CaptureOptions, PartIsTheKthOfExactlyNStretches)
{
    const char* argv[] = {"quiet-harbor-capture", "--video", "out.mkv", "--from", "28", "--to", "32",
                          "--fps", "5", "--part", "3/20"};
    CaptureOptions options;
    ASSERT_EQ(capture_parse_options(sizeof argv / sizeof argv[0], (char**)argv, &options), OPTIONS_RUN);
    EXPECT_DOUBLE_EQ(options.from, 28.4);
    EXPECT_DOUBLE_EQ(options.to, 28.6);
    EXPECT_EQ(options.name_offset, 2);
    EXPECT_EQ(options.name_total, 20);
    const FramePlan plan = {{5, 1}, 0, 1125, -1.0};
    for (int n : {1, 7, 64, 1125}) {
        const std::vector<int64_t> starts = capture_split(plan, n);
        ASSERT_EQ((int)starts.size(), n + 1);
        EXPECT_EQ(starts.front(), 0);
        EXPECT_EQ(starts.back(), 1125);
        for (int i = 0; i < n; i++) EXPECT_LT(starts[i], starts[i + 1]);
    }
    argv[10] = "21/20";
    EXPECT_EQ(capture_parse_options(sizeof argv / sizeof argv[0], (char**)argv, &options), OPTIONS_BAD);
    argv[10] = "1/21";
    EXPECT_EQ(capture_parse_options(sizeof argv / sizeof argv[0], (char**)argv, &options), OPTIONS_BAD)
        << "more parts than the span's 20 frames";
}
