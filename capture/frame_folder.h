// The folder of a PNG sequence: created when missing, locked so that a
// second capture cannot write into it at the same time, and checked for
// frames of another capture.
#pragma once

#include <cstdint>
#include <string>

// Digits of the frame numbers of a capture of `count` frames: 5, or more
// when needed, so that names sort in frame order.
int frame_name_digits(int64_t count);
// File name of saved frame `index`: "frame_00012.png" with 5 digits.
std::string frame_file_name(int64_t index, int digits);

// Opens (creating when missing) the folder and locks it for this process
// (the lock ends with the process). Frames of another capture found there
// (frame_NNNNN.png, and temporaries a killed capture left) are an error,
// or removed first when `replace` (--force). Returns the folder's
// descriptor, or -1 with a reason.
int frame_folder_open(const std::string& path, bool replace, std::string* error);
// Frames (frame_NNNNN.png) in the open folder.
int64_t frame_folder_count(int folder_fd);
// Removes the frames' temporaries from the open folder: what a killed
// writer of this capture left.
void frame_folder_remove_temporaries(int folder_fd);
