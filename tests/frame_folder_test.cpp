// Names of a sequence's frames: fixed width, so that listing a folder in
// name order gives the frames in capture order, however many there are.
#include "capture/frame_folder.h"

#include <gtest/gtest.h>

TEST(FrameFolder, NamesSortInFrameOrderAtAnyLength)
{
    // frames in the capture, frame number, its file name
    const struct {
        int64_t count, index;
        const char* name;
    } cases[] = {
        {1, 0, "frame_00000.png"},
        {100000, 99999, "frame_99999.png"},    // 5 digits up to 100,000 frames
        {100001, 99999, "frame_099999.png"},   // one more: every name widens
        {100001, 100000, "frame_100000.png"},
        {225000, 224999, "frame_224999.png"},  // 225 s at 1000 frames per second
        {10000000, 0, "frame_0000000.png"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(frame_file_name(c.index, frame_name_digits(c.count)), c.name) << c.count;
    }
    const int digits = frame_name_digits(225000);
    EXPECT_LT(frame_file_name(99999, digits), frame_file_name(100000, digits));
}
