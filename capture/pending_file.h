// Output files written under a temporary name beside their target, synced
// and renamed into place only when complete, so a failed or interrupted
// capture, or a power loss after it, never leaves a half-written file under
// the name the user asked for.
//
// What a target name means:
// - a new name: the file is created with the permissions a new file gets;
// - an existing regular file: it is replaced, keeping its permissions (and
//   its group, where we may set it);
// - a symbolic link: the file it finally points to is replaced (or created)
//   and the link stays; a link in a shared sticky folder (such as /tmp)
//   that belongs to neither us nor the folder's owner is refused;
// - a device or a pipe (/dev/null, /dev/stdout into a pipe, a FIFO): written
//   in place, from start to end, without seeking;
// - a folder: refused.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Most part files of one capture open at a time (--jobs).
const int JOBS_PARTS_MAX = 64;

struct PendingFile {
    std::string target;    // the name the user gave, for messages
    std::string path;      // the file by name (for ffmpeg): the temporary, or the target in place
    int fd = -1;           // open for writing; -1 when closed
    int folder_fd = -1;    // the folder the temporary is in; -1 when written in place
    std::string name;      // the final name within that folder
    std::string temporary; // the temporary's name within that folder; "" when none
    mode_t mode = 0;       // permissions given at commit
    bool sync_folder = true; // commit syncs the folder too (a sequence syncs it once at its end)
};

// Opens `target` for writing as described above. Fails with a reason when
// the target is a folder or its folder cannot take the temporary file.
bool pending_open(PendingFile* file, const std::string& target, std::string* error);
// Creates a temporary for `name` in the open folder `folder_fd` (called
// `folder` in messages), to become a new file; the folder is not synced at
// commit. For the frames of a sequence.
bool pending_open_in(PendingFile* file, int folder_fd, const std::string& folder, const std::string& name,
                     std::string* error);
// Creates a scratch file beside `whole`, opened by pending_open, named like
// its temporary with `suffix` (such as ".mp4") added; in $TMPDIR (or /tmp)
// when `whole` is written in place. It is never committed: pending_discard
// removes it.
bool pending_open_part(PendingFile* file, const PendingFile& whole, const std::string& suffix, std::string* error);
// Removes the temporaries that a capture writing `part` as its target left
// when it was killed.
void pending_remove_temporaries_of(const PendingFile& part);
// Syncs the temporary file, gives it its permissions, renames it to the
// target and syncs the folder. On failure removes the temporary.
bool pending_commit(PendingFile* file, std::string* error);
// Removes the temporary file; the target stays as it was.
void pending_discard(PendingFile* file);
// A message about the temporary file, told with the target's name.
std::string pending_message(const PendingFile* file, const std::string& message);
// Flushes a folder's entries (new names, renames) to the disk.
bool folder_sync(int folder_fd, const std::string& folder, std::string* error);

// Signal set-up for the whole capture, at start-up before any other thread:
// SIGINT, SIGTERM and SIGHUP (unless ignored when we started, as under
// nohup) go to a thread of their own, which stops the watched child process
// and removes open temporary files before the process ends by the signal;
// SIGPIPE and SIGXFSZ are ignored, so a closed pipe or a file-size limit
// shows as a write error; SIGCHLD is back to its default, so that ffmpeg's
// exit status can be waited for.
void pending_install_signal_handlers();
// The child process writing into a temporary file (0: none); a signal stops
// it first, so that it cannot write the file again after its removal.
void pending_watch_child(pid_t pid);
// The processes of --jobs still running (none: empty). A signal sends each
// SIGTERM, so that it removes its own temporaries, and waits for them all
// before removing ours.
void pending_watch_workers(const std::vector<pid_t>& pids);
// Held while child processes are started and handed to the two calls above:
// a signal's clean-up waits until they are watched, as one stopped in
// between would be left running (and an ffmpeg among them could create its
// file again after the temporaries are gone).
class PendingChildStart {
public:
    PendingChildStart();
    ~PendingChildStart();
    PendingChildStart(const PendingChildStart&) = delete;
    PendingChildStart& operator=(const PendingChildStart&) = delete;
};
