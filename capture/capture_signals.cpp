// The signal-handling thread of the capture and the child processes it stops.
#include "capture/capture_signals.h"

#include "output/pending_file.h"

#include <atomic>
#include <csignal>
#include <mutex>
#include <sys/wait.h>
#include <thread>

// Held while children are started and watched (ChildStart).
static std::mutex s_start_mutex;
static std::atomic<pid_t> s_child(0);
// Processes of --jobs still running.
static std::mutex s_workers_mutex;
static std::vector<pid_t> s_workers;

// The one thread that receives SIGINT, SIGTERM and SIGHUP (every other
// thread blocks them): it stops ffmpeg and the workers, removes the
// temporaries and ends the process by the same signal. The locks are kept,
// so nothing is created after the removal; nor is a child started.
static void signal_thread_run(sigset_t signals)
{
    int signal_number = 0;
    while (sigwait(&signals, &signal_number) != 0) {
    }
    s_start_mutex.lock();
    pending_freeze();
    const pid_t child = s_child.load();
    if (child != 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    // Each worker removes its own temporaries when told to stop; ours go
    // after theirs, so none of theirs can land on a name of ours afterwards.
    s_workers_mutex.lock();
    for (pid_t worker : s_workers) kill(worker, SIGTERM);
    for (pid_t worker : s_workers) waitpid(worker, nullptr, 0);
    pending_remove_frozen();
    signal(signal_number, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal_number);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    raise(signal_number);
}

void signals_watch_child(pid_t pid) { s_child.store(pid); }

ChildStart::ChildStart() { s_start_mutex.lock(); }

ChildStart::~ChildStart() { s_start_mutex.unlock(); }

void signals_watch_workers(const std::vector<pid_t>& pids)
{
    std::lock_guard<std::mutex> lock(s_workers_mutex);
    s_workers = pids;
}

void signals_install()
{
    pending_init();
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
    signal(SIGCHLD, SIG_DFL);
    // Blocked before any other thread starts, so all of them inherit it.
    // Signals ignored when we started (SIGHUP under nohup) stay ignored.
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old;
        if (sigaction(s, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) sigaddset(&signals, s);
    }
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread(signal_thread_run, signals).detach();
}
