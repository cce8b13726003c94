// The capture's writing thread: PNG files or the video pipe.
#include "capture/frame_writer.h"

#include "capture/capture_progress.h"
#include "capture/frame_folder.h"
#include "output/pending_file.h"
#include "output/png_write.h"

#include <cstdio>


// BGRA rows bottom first to RGB rows top first.
static void bgra_to_rgb(const uint8_t* bgra, int width, int height, uint8_t* rgb)
{
    for (int y = 0; y < height; y++) {
        const uint8_t* in = bgra + (size_t)(height - 1 - y) * width * 4;
        uint8_t* out = rgb + (size_t)y * width * 3;
        for (int x = 0; x < width; x++) {
            out[3 * x] = in[4 * x + 2];
            out[3 * x + 1] = in[4 * x + 1];
            out[3 * x + 2] = in[4 * x];
        }
    }
}

// A frame file that failed half-way is removed; the caller says which frames remain.
static bool write_folder_frame(FrameWriter* w, int64_t index, std::string* error)
{
    PendingFile file;
    if (!pending_open_in(&file, w->out.fd, w->out.path, frame_file_name(index + w->out.number_offset, w->out.digits), error)) return false;
    if (png_write_rgb_fd(file.fd, file.path, w->width, w->height, w->rgb.data(), error))
        return pending_commit(&file, error);
    *error = pending_message(&file, *error);
    pending_discard(&file);
    return false;
}

static bool write_slot(FrameWriter* w, const FrameSlot& slot, std::string* error)
{
    const double begin = clock_seconds();
    bgra_to_rgb(slot.bgra.data(), w->width, w->height, w->rgb.data());
    w->convert_seconds += clock_seconds() - begin;
    switch (w->out.target) {
    case FRAME_TARGET_PNG_FILE:
        return png_write_rgb_fd(w->out.fd, w->out.path, w->width, w->height, w->rgb.data(), error);
    case FRAME_TARGET_PNG_FOLDER:
        return write_folder_frame(w, slot.index, error);
    default:
        return video_write_frame(w->out.video, w->rgb.data(), w->rgb.size(), error);
    }
}

static void writer_run(FrameWriter* w)
{
    for (;;) {
        FrameSlot* slot = nullptr;
        bool skip = false;
        {
            std::unique_lock<std::mutex> lock(w->mutex);
            w->changed.wait(lock, [w] { return !w->waiting.empty() || w->closing; });
            if (w->waiting.empty()) return;
            slot = w->waiting.front();
            w->waiting.pop_front();
            skip = w->failed;
        }
        const double begin = clock_seconds();
        std::string error;
        const bool ok = skip || write_slot(w, *slot, &error);
        {
            std::lock_guard<std::mutex> lock(w->mutex);
            w->busy_seconds += clock_seconds() - begin;
            if (!ok && !w->failed) w->failed = true, w->error = error;
            if (ok && !skip) w->written++;
            w->spare.push_back(slot);
        }
        w->changed.notify_all();
    }
}

void frame_writer_start(FrameWriter* writer, const FrameDestination& out, int width, int height)
{
    writer->out = out;
    writer->width = width;
    writer->height = height;
    writer->closing = writer->failed = false;
    writer->written = 0;
    writer->busy_seconds = 0.0;
    writer->convert_seconds = 0.0;
    writer->rgb.assign((size_t)width * height * 3, 0);
    for (FrameSlot& slot : writer->slots) writer->spare.push_back(&slot);
    writer->thread = std::thread(writer_run, writer);
}

FrameSlot* frame_writer_acquire(FrameWriter* writer)
{
    std::unique_lock<std::mutex> lock(writer->mutex);
    writer->changed.wait(lock, [writer] { return !writer->spare.empty() || writer->failed; });
    if (writer->failed) return nullptr;
    FrameSlot* slot = writer->spare.back();
    writer->spare.pop_back();
    return slot;
}

void frame_writer_submit(FrameWriter* writer, FrameSlot* slot)
{
    {
        std::lock_guard<std::mutex> lock(writer->mutex);
        writer->waiting.push_back(slot);
    }
    writer->changed.notify_all();
}

bool frame_writer_finish(FrameWriter* writer)
{
    {
        std::lock_guard<std::mutex> lock(writer->mutex);
        writer->closing = true;
    }
    writer->changed.notify_all();
    if (writer->thread.joinable()) writer->thread.join();
    return !writer->failed;
}
