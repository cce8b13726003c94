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
