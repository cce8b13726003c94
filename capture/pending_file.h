// Output files written under a temporary name beside their target and
// renamed into place only when complete, so a failed or interrupted capture
// never leaves a half-written file under the name the user asked for.
#pragma once

#include <string>
#include <sys/types.h>

struct PendingFile {
    std::string target; // the name the user gave
    std::string path;   // where to write now: the temporary name, or the
                        // target itself when that is a device or a pipe
    bool temporary;     // path is a temporary file that commit renames
};

// Creates the temporary file (hidden, in the target's folder, with the
// permissions a new file gets). Fails with a reason when the target's folder
// cannot take it or the target is a folder.
bool pending_open(PendingFile* file, const std::string& target, std::string* error);
// Renames the temporary file to the target.
bool pending_commit(PendingFile* file, std::string* error);
// Removes the temporary file; the target stays as it was.
void pending_discard(PendingFile* file);
// A message about the temporary file, told with the target's name.
std::string pending_message(const PendingFile* file, const std::string& message);
// From now on SIGINT, SIGTERM and SIGHUP stop the watched child process and
// remove open temporary files before the process ends; SIGPIPE is ignored (a
// closed pipe shows as a write error).
void pending_install_signal_handlers();
// The child process writing into a temporary file (0: none); a signal stops
// it first, so that it cannot write the file again after its removal.
void pending_watch_child(pid_t pid);
