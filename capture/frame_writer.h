// Saved frames are written on a thread of their own, so that compressing or
// piping one frame overlaps drawing the next. Frames arrive as OpenGL reads
// them back fastest, BGRA with the bottom row first; the thread turns them
// into RGB rows, top row first.
#pragma once

#include "capture/video_pipe.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct FrameSlot {
    std::vector<uint8_t> bgra; // width x height x 4, bottom row first
    int64_t index;             // number of the saved frame
};

enum FrameTarget {
    FRAME_TARGET_PNG_FILE,   // one PNG file at `path`
    FRAME_TARGET_PNG_FOLDER, // path/frame_00000.png, path/frame_00001.png, ...
    FRAME_TARGET_VIDEO,      // frames into the video pipe
};

// Where the frames go.
struct FrameDestination {
    int target;       // FrameTarget
    std::string path; // the PNG file or the folder, naming them in messages
    int fd;           // the open PNG file, or the open folder
    int digits;       // of the frame numbers in a folder's file names
    VideoPipe* video; // with FRAME_TARGET_VIDEO
    int64_t number_offset; // number in the file name of saved frame 0
};

// Frames in flight: one being filled, one being written, one spare.
const int FRAME_WRITER_SLOTS = 3;

struct FrameWriter {
    FrameDestination out = {FRAME_TARGET_PNG_FILE, "", -1, 0, nullptr, 0};
    int width = 0, height = 0;

    std::thread thread;
    std::mutex mutex;
    std::condition_variable changed;
    FrameSlot slots[FRAME_WRITER_SLOTS];
    std::deque<FrameSlot*> waiting; // filled, oldest first
    std::vector<FrameSlot*> spare;
    bool closing = false;
    bool failed = false;
    std::string error;          // the first failure
    int64_t written = 0;        // frames written completely
    double busy_seconds = 0.0;  // time the thread spent converting and writing
    double convert_seconds = 0.0; // the part of it spent turning BGRA into RGB
    std::vector<uint8_t> rgb; // the thread's frame in RGB, top row first
};

// Starts the thread. In a folder each frame is written under a temporary
// name, synced and renamed into place, never through a link; the caller
// syncs the folder at the end.
void frame_writer_start(FrameWriter* writer, const FrameDestination& out, int width, int height);
// A slot to fill, waiting while all are in use; null once a write has failed.
FrameSlot* frame_writer_acquire(FrameWriter* writer);
// Queues a filled slot for writing.
void frame_writer_submit(FrameWriter* writer, FrameSlot* slot);
// Writes everything queued and stops the thread. False, with writer->error,
// when a write failed.
bool frame_writer_finish(FrameWriter* writer);
