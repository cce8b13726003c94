// Files written under a temporary name beside their target, synced and
// renamed into place only when complete, so a failed or interrupted write,
// or a power loss after it, never leaves a half-written file under the name
// the user asked for. Both programs write their files this way.
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

// Most temporaries open at a time (those beyond are not removed by a
// signal's clean-up).
const int PENDING_FILES_MAX = 72;

struct PendingFile {
    std::string target;    // the name the user gave, for messages
    std::string path;      // the file by name (for ffmpeg): the temporary, or the target in place
    int fd = -1;           // open for writing; -1 when closed
    int folder_fd = -1;    // the folder the temporary is in; -1 when written in place
    std::string name;      // the final name within that folder
    std::string temporary; // the temporary's name within that folder; "" when none
    mode_t mode = 0;       // permissions given at commit
    bool sync_folder = true; // commit syncs the folder too (a sequence syncs it once at its end)
    bool replace = true;     // commit replaces a file of the target's name; false: fails with EEXIST
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

// Start-up, before any other thread: reads the permissions a new file gets
// (the umask).
void pending_init();
// A signal's clean-up, from then on the only caller: holds every other
// thread back from creating, renaming or removing a temporary, for good ...
void pending_freeze();
// ... and removes the temporaries open at that moment.
void pending_remove_frozen();
