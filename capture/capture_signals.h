// The capture's signals and the child processes it watches: SIGINT, SIGTERM
// and SIGHUP end a capture cleanly, stopping its ffmpeg and its workers and
// removing every temporary file before the process ends by the signal.
#pragma once

#include <sys/types.h>
#include <vector>

// Signal set-up for the whole capture, at start-up before any other thread:
// SIGINT, SIGTERM and SIGHUP (unless ignored when we started, as under
// nohup) go to a thread of their own, which stops the watched child process
// and removes open temporary files before the process ends by the signal;
// SIGPIPE and SIGXFSZ are ignored, so a closed pipe or a file-size limit
// shows as a write error; SIGCHLD is back to its default, so that ffmpeg's
// exit status can be waited for.
void signals_install();
// The child process writing into a temporary file (0: none); a signal stops
// it first, so that it cannot write the file again after its removal.
void signals_watch_child(pid_t pid);
// The processes of --jobs still running (none: empty). A signal sends each
// SIGTERM, so that it removes its own temporaries, and waits for them all
// before removing ours.
void signals_watch_workers(const std::vector<pid_t>& pids);
// Held while child processes are started and handed to the two calls above:
// a signal's clean-up waits until they are watched, as one stopped in
// between would be left running (and an ffmpeg among them could create its
// file again after the temporaries are gone).
class ChildStart {
public:
    ChildStart();
    ~ChildStart();
    ChildStart(const ChildStart&) = delete;
    ChildStart& operator=(const ChildStart&) = delete;
};
