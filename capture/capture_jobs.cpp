// --jobs and --join: a sequence or video shared among processes of the tool
// itself, each rendering one contiguous stretch of the frames, and videos of
// adjoining stretches joined into one.
//
// Any start is exact (the frames before it are played through), so a
// stretch needs nothing from the others. The parent holds the output: a
// sequence's locked folder, into which every worker writes its own frames
// under the names of a one-process capture, or a video's parts, which it
// joins when all are done under the sound of the whole span, rendered once.
// A worker learns its part from QH_CAPTURE_WORKER ("PARENT FOLDER_FD
// NAME_OFFSET DIGITS") and reports on its standard error in lines that
// start with '@'; its other lines are messages.
#include "capture/capture.h"

#include "capture/frame_folder.h"
#include "output/pending_file.h"
#include "capture/video_join.h"

#include <cerrno>
#include <cinttypes>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <set>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

static const char* const WORKER_VARIABLE = "QH_CAPTURE_WORKER";
// A sequence's folder is handed to a worker as this descriptor.
static const int WORKER_FOLDER_FD = 3;
static const double REPORT_SECONDS = 0.1;
// The times a worker reports, in the order of the summary.
enum WorkerTime {
    TIME_SOUND, TIME_LOADING, TIME_PLAYING_THROUGH, TIME_PLAYED_FRAMES, TIME_MUSIC, TIME_DRAWING, TIME_READING,
    TIME_WAITING, TIME_WRITER, TIME_FINISHING, TIME_FFMPEG, TIME_COUNT,
};

// Relative time to draw a frame of each timeline entry (scenes 1 to 9, the
// credits), from median frame times in ms at 800 x 600 on llvmpipe on an
// idle two-core machine, and to play one through. They only share the
// frames out evenly; a table that no longer fits the scenes costs speed,
// never a wrong frame.
static const double DRAW_COST[TIMELINE_ENTRIES] = {14.7, 21.7, 14.7, 11.9, 17.2, 25.9, 50.2, 17.1, 32.9, 1};
static const double PLAY_THROUGH_COST = 0.05;
// Without --jobs: one process per core, up to JOBS_DEFAULT_MAX, and only as
// many as have each at least MIN_STRETCH_COST of drawing to do (in the units
// above, about 20 s here). With llvmpipe one process keeps about 1.6 of two
// cores busy (its main thread waits for the rasterising threads, and they
// for it), so a process per core pays once the stretches are long enough to
// cover what each process costs on its own (loading, its encoder, the
// join): on an idle two-core machine the whole presentation at 60 fps to
// .mp4 took 350 s in one process and 297 s in two, 20 s of scenes 7 and 8
// took 43-49 s in one and 40-46 s in two, and 10 s of scene 7 was faster
// in one (30 s against 33 s). On more cores the main thread's share, serial
// in one process, weighs more. The cap is for memory and fairness: every
// process holds about 200 MB and plays the frames before its stretch
// through (about 0.05 ms a frame); --jobs asks for more.
static const int JOBS_DEFAULT_MAX = 16;
static const double MIN_STRETCH_COST = 20000;

CaptureWorker g_worker = {false, -1, 0, 0};

// ---- The worker's side ----

bool worker_start(std::string* error)
{
    const char* text = getenv(WORKER_VARIABLE);
    if (!text) return true;
    long long parent = 0, offset = 0;
    int folder = -1, digits = 0;
    if (sscanf(text, "%lld %d %lld %d", &parent, &folder, &offset, &digits) != 4 || offset < 0 || digits < 1) {
        *error = std::string("a malformed ") + WORKER_VARIABLE + ": " + text;
        return false;
    }
    g_worker = CaptureWorker{true, folder, offset, digits};
    // The parent's end ends the worker, which removes its temporaries.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() == (pid_t)parent) return true;
    *error = "the capture that started this process has ended";
    return false;
}

static void report(const char* line)
{
    ssize_t ignored = write(STDERR_FILENO, line, strlen(line));
    (void)ignored;
}

void worker_report_saved(int64_t saved, bool last)
{
    static double s_last_report = 0.0;
    const double now = clock_seconds();
    if (!g_worker.active || (!last && now - s_last_report < REPORT_SECONDS)) return;
    s_last_report = now;
    char line[64];
    snprintf(line, sizeof line, "@saved %" PRId64 "\n", saved);
    report(line);
}

void worker_report_child(pid_t pid)
{
    char line[64];
    snprintf(line, sizeof line, "@child %lld\n", (long long)pid);
    if (g_worker.active) report(line);
}

void worker_report_times(const std::vector<double>& times)
{
    std::string line = "@times";
    for (double t : times) line += " " + std::to_string(t);
    report((line + "\n").c_str());
}

// ---- The parent's side ----

struct Worker {
    pid_t pid;            // 0 once reaped
    int err_fd;           // its standard error; -1 at its end
    std::string partial;  // the start of a line not yet ended
    std::vector<std::string> messages;
    int64_t first, count; // its saved frames, numbered within the whole capture
    int64_t saved;
    pid_t child;          // its ffmpeg, as it reported; 0 for none
    double times[TIME_COUNT];
    PendingFile part;     // a video's part
};

struct JobRun {
    const CaptureOptions* options;
    Progress* progress;
    FramePlan plan;
    std::vector<Worker> workers;
    int folder_fd;         // a sequence's folder, locked; else -1
    PendingFile file;      // the video, or the WAV along a sequence
    bool have_file;
    WavWriter wav;
    FILE* sound;           // a video's sound track
    bool failed;
    std::set<std::string> relayed;
    double sound_time, joining, ffmpeg_cpu;
};

static double frame_cost(const FramePlan& plan, int64_t i)
{
    const int entry = timeline_find((float)frame_plan_time(plan, i));
    return DRAW_COST[entry < 0 ? TIMELINE_ENTRIES - 1 : entry];
}

// Starts of `jobs` stretches (and the end) for which the costliest stretch
// is as cheap as can be: each costs its frames and the play-through before
// it. Found by halving the greatest cost allowed; stretches stay non-empty.
static std::vector<int64_t> jobs_split(const FramePlan& plan, int jobs)
{
    std::vector<double> sum(plan.count + 1, 0.0);
    for (int64_t i = 0; i < plan.count; i++) sum[i + 1] = sum[i] + frame_cost(plan, i);
    double low = 0.0, high = sum[plan.count] + PLAY_THROUGH_COST * (double)(plan.first + plan.count);
    std::vector<int64_t> best;
    for (int round = 0; round < 60; round++) {
        const double allowed = (low + high) / 2;
        std::vector<int64_t> starts = {0};
        int64_t end = 0;
        while ((int)starts.size() <= jobs && end < plan.count) {
            const double base = PLAY_THROUGH_COST * (double)(plan.first + end) - sum[end];
            int64_t stop = end + 1;
            while (stop < plan.count && base + sum[stop + 1] <= allowed) stop++;
            starts.push_back(end = stop);
        }
        if (end == plan.count && (int)starts.size() <= jobs + 1) high = allowed, best = starts;
        else low = allowed;
    }
    return best;
}

std::vector<int64_t> capture_split(const FramePlan& plan, int stretches)
{
    std::vector<int64_t> starts = jobs_split(plan, stretches);
    // The cheapest cut may need fewer stretches; halving the longest never
    // makes it costlier, as a frame costs more to draw than to play through.
    while ((int)starts.size() <= stretches) {
        size_t longest = 0;
        for (size_t i = 1; i + 1 < starts.size(); i++) {
            if (starts[i + 1] - starts[i] > starts[longest + 1] - starts[longest]) longest = i;
        }
        const int64_t length = starts[longest + 1] - starts[longest];
        if (length < 2) break;
        starts.insert(starts.begin() + (long)longest + 1, starts[longest] + length / 2);
    }
    return starts;
}

static int jobs_automatic(const FramePlan& plan)
{
    double cost = 0.0;
    for (int64_t i = 0; i < plan.count; i++) cost += frame_cost(plan, i);
    const long cores = sysconf(_SC_NPROCESSORS_ONLN);
    int jobs = cores < 1 ? 1 : cores < JOBS_DEFAULT_MAX ? (int)cores : JOBS_DEFAULT_MAX;
    while (jobs > 1 && cost < MIN_STRETCH_COST * jobs) jobs--;
    return jobs;
}

static std::vector<std::string> worker_arguments(const JobRun& run, const Worker& w)
{
    const bool last = w.first + w.count == run.plan.count;
    const double to = last ? run.options->to : frame_plan_time(run.plan, w.first + w.count);
    const std::string target = run.folder_fd >= 0 ? run.options->out : w.part.path;
    return capture_worker_arguments(*run.options, frame_plan_time(run.plan, w.first), to, target);
}

// The environment with this worker's variable in place of any other.
static std::vector<std::string> worker_environment(const JobRun& run, const Worker& w)
{
    std::vector<std::string> env;
    const std::string prefix = std::string(WORKER_VARIABLE) + "=";
    for (char** e = environ; *e; e++) {
        if (strncmp(*e, prefix.c_str(), prefix.size()) != 0) env.push_back(*e);
    }
    char value[96];
    snprintf(value, sizeof value, "%lld %d %" PRId64 " %d", (long long)getpid(),
             run.folder_fd >= 0 ? WORKER_FOLDER_FD : -1, run.options->name_offset + w.first,
             frame_name_digits(run.options->name_total > 0 ? run.options->name_total : run.plan.count));
    env.push_back(prefix + value);
    return env;
}

static std::vector<char*> pointers(std::vector<std::string>& strings)
{
    std::vector<char*> list;
    for (std::string& s : strings) list.push_back(&s[0]);
    list.push_back(nullptr);
    return list;
}

// Starts the tool itself (never through a shell) on one stretch, its
// standard error into a pipe read here. Its signals are as ours were when
// we started, its mask empty, and SIGTERM, with which we stop it, caught.
static bool worker_spawn(JobRun* run, Worker* w, std::string* error)
{
    std::vector<std::string> args = worker_arguments(*run, *w);
    std::vector<std::string> env = worker_environment(*run, *w);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("cannot start a worker: ") + strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    if (run->folder_fd >= 0) posix_spawn_file_actions_adddup2(&actions, run->folder_fd, WORKER_FOLDER_FD);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, terminate;
    sigemptyset(&none);
    sigemptyset(&terminate);
    sigaddset(&terminate, SIGTERM);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &terminate);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const int result = posix_spawn(&w->pid, "/proc/self/exe", &actions, &attributes, pointers(args).data(),
                                   pointers(env).data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    w->err_fd = fds[0];
    if (result == 0) return true;
    w->pid = 0;
    close(fds[0]);
    w->err_fd = -1;
    *error = std::string("cannot start a worker: ") + strerror(result);
    return false;
}

static void watch_workers(const JobRun& run)
{
    std::vector<pid_t> pids;
    for (const Worker& w : run.workers) {
        if (w.pid != 0) pids.push_back(w.pid);
    }
    signals_watch_workers(pids);
}

static void stop_workers(JobRun* run)
{
    for (Worker& w : run->workers) {
        if (w.pid != 0) kill(w.pid, SIGTERM);
    }
}

static std::string stretch_text(const JobRun& run, const Worker& w)
{
    return "frames " + std::to_string(w.first) + " to " + std::to_string(w.first + w.count - 1) + " of " +
           std::to_string(run.plan.count);
}

// One line from a worker: a report, or a message kept for later.
static void worker_line(Worker* w, const std::string& line)
{
    if (line.compare(0, 7, "@saved ") == 0) {
        w->saved = strtoll(line.c_str() + 7, nullptr, 10);
    } else if (line.compare(0, 7, "@child ") == 0) {
        w->child = (pid_t)strtol(line.c_str() + 7, nullptr, 10);
    } else if (line.compare(0, 7, "@times ") == 0) {
        const char* p = line.c_str() + 7;
        for (double& t : w->times) t = strtod(p, (char**)&p);
    } else if (!line.empty()) {
        w->messages.push_back(line);
    }
}

// After its end: a failure is the capture's failure, told in one line (the
// worker's own, or how it ended), and stops the other workers. A worker
// that succeeded passes its messages on, each once.
static void worker_ended(JobRun* run, Worker* w, int status)
{
    const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (ok) {
        for (const std::string& m : w->messages) {
            if (!run->relayed.insert(m).second) continue;
            progress_interrupt();
            fprintf(stderr, "%s\n", m.c_str());
        }
        return;
    }
    // A worker killed outright leaves its ffmpeg running, which we inherit
    // as subreaper: stopped here, while it is surely ours (not reaped, so
    // its number cannot have passed to another process).
    if (w->child != 0 && waitpid(w->child, nullptr, WNOHANG) == 0) {
        kill(w->child, SIGKILL);
        waitpid(w->child, nullptr, 0);
    }
    if (run->failed) return;
    run->failed = true;
    stop_workers(run);
    const std::string prefix = "quiet-harbor-capture: ";
    std::string message = w->messages.empty() ? "" : w->messages.back();
    if (message.compare(0, prefix.size(), prefix) == 0) message = message.substr(prefix.size());
    if (message.empty() && WIFSIGNALED(status))
        message = "the process rendering " + stretch_text(*run, *w) + " was stopped by signal " +
                  std::to_string(WTERMSIG(status));
    else if (message.empty())
        message = "the process rendering " + stretch_text(*run, *w) + " failed with status " +
                  std::to_string(WEXITSTATUS(status));
    capture_error(message);
}

// Reads what a worker wrote; at its end, reaps it.
static void worker_read(JobRun* run, Worker* w)
{
    char buffer[4096];
    const ssize_t n = read(w->err_fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n > 0) {
        w->partial.append(buffer, (size_t)n);
        size_t newline;
        while ((newline = w->partial.find('\n')) != std::string::npos) {
            worker_line(w, w->partial.substr(0, newline));
            w->partial.erase(0, newline + 1);
        }
        return;
    }
    worker_line(w, w->partial);
    close(w->err_fd);
    w->err_fd = -1;
    int status = 0;
    while (waitpid(w->pid, &status, 0) < 0 && errno == EINTR) {
    }
    w->pid = 0;
    watch_workers(*run);
    worker_ended(run, w, status);
}

// Follows the workers to their end, showing the frames saved by all.
static void jobs_follow(JobRun* run)
{
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<Worker*> owners;
        int64_t saved = 0;
        for (Worker& w : run->workers) {
            saved += w.saved;
            if (w.err_fd < 0) continue;
            fds.push_back(pollfd{w.err_fd, POLLIN, 0});
            owners.push_back(&w);
        }
        progress_step(run->progress, saved);
        if (fds.empty()) return;
        if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) return;
        for (size_t i = 0; i < fds.size(); i++) {
            if (fds[i].revents != 0) worker_read(run, owners[i]);
        }
    }
}

// Opens what the parent holds before any worker starts, so an unwritable
// target fails at once: a sequence's folder (and the WAV along it), or the
// video and a part file beside it for each worker.
static bool jobs_open(JobRun* run, std::string* error)
{
    const CaptureOptions& o = *run->options;
    if (o.mode == CAPTURE_SEQUENCE) {
        run->folder_fd = frame_folder_open(o.out, o.force, error);
        if (run->folder_fd < 0 || o.audio.empty()) return run->folder_fd >= 0;
        const uint64_t length = music_frame_at(frame_plan_time(run->plan, run->plan.count)) -
                                music_frame_at(frame_plan_time(run->plan, 0));
        run->have_file = pending_open(&run->file, o.audio, error);
        return run->have_file && wav_open(&run->wav, run->file.fd, run->file.target, length, error);
    }
    if (!video_program_found(error)) return false;
    run->have_file = pending_open(&run->file, o.video, error);
    const std::string extension = o.video.substr(o.video.rfind('.'));
    for (Worker& w : run->workers) {
        if (!run->have_file || !pending_open_part(&w.part, run->file, extension, error)) return false;
        close(w.part.fd);
        w.part.fd = -1;
    }
    return run->have_file;
}

// The sound rendered here while the workers draw: a video's whole track,
// or the WAV along a sequence.
static bool jobs_sound(JobRun* run)
{
    const double begin = clock_seconds();
    const double first = frame_plan_time(run->plan, 0), end = frame_plan_time(run->plan, run->plan.count);
    bool ok = true;
    if (run->folder_fd < 0) {
        run->sound = music_track(first, end, run->progress);
        ok = run->sound != nullptr;
    } else if (run->wav.file) {
        CaptureMusic music;
        ok = music_start(&music, first, end, music_wav_sink, &run->wav);
        if (ok) ok = music_finish(&music, music_render(&music, end, run->progress, "rendering sound"));
    }
    run->sound_time = clock_seconds() - begin;
    return ok;
}

static bool jobs_join(JobRun* run, std::string* error)
{
    progress_phase(run->progress, "joining", 0, "");
    const double begin = clock_seconds();
    std::vector<std::string> paths;
    for (const Worker& w : run->workers) paths.push_back(w.part.path);
    int format = VIDEO_MP4;
    video_format_for(run->options->video, &format);
    JoinPlan plan;
    bool ok = join_plan(paths, format, &plan, error);
    if (ok && (plan.whole.first != run->plan.first || plan.whole.count != run->plan.count)) {
        *error = "the parts hold frames " + std::to_string(plan.whole.first) + "+" + std::to_string(plan.whole.count) +
                 ", not the capture's";
        ok = false;
    }
    if (ok) ok = join_write(plan, run->file.path, fileno(run->sound), &run->ffmpeg_cpu, error);
    run->joining = clock_seconds() - begin;
    return ok;
}

// Finishes the files once every worker has ended; on failure removes what
// is half-written, the temporaries of a worker killed outright among them,
// and says what a sequence's folder holds.
static bool jobs_close(JobRun* run, bool ok)
{
    std::string error;
    if (run->sound) fclose(run->sound);
    if (run->wav.file && !wav_close(&run->wav, &error) && ok) ok = capture_failed(pending_message(&run->file, error));
    if (run->have_file && ok && !pending_commit(&run->file, &error)) ok = capture_failed(error);
    if (run->have_file && !ok) pending_discard(&run->file);
    for (Worker& w : run->workers) {
        if (!ok) pending_remove_temporaries_of(w.part);
        pending_discard(&w.part);
    }
    if (run->folder_fd < 0) return ok;
    if (!ok) frame_folder_remove_temporaries(run->folder_fd);
    if (ok && !folder_sync(run->folder_fd, run->options->out, &error)) ok = capture_failed(error);
    const int64_t frames = ok ? run->plan.count : frame_folder_count(run->folder_fd);
    if (!ok && frames > 0) {
        capture_error(run->options->out + " holds only " + std::to_string(frames) + " of the " +
                      std::to_string(run->plan.count) + " frames");
    }
    close(run->folder_fd);
    return ok;
}

// One line: what was written, how fast, and where the time went, the
// workers' times added up.
static void jobs_summarise(const JobRun& run)
{
    const CaptureOptions& o = *run.options;
    double t[TIME_COUNT] = {};
    for (const Worker& w : run.workers) {
        for (int i = 0; i < TIME_COUNT; i++) t[i] += w.times[i];
    }
    const double total = clock_seconds() - run.progress->start;
    char rate[64];
    snprintf(rate, sizeof rate, " (%.1f frames/s)", (double)run.plan.count / total);
    const bool video = o.mode == CAPTURE_VIDEO;
    std::string text = std::to_string(run.plan.count) + " frames at " + frame_rate_text(o.fps) + " fps from " +
                       seconds_text(frame_plan_time(run.plan, 0), 3) + " to " + (video ? o.video : o.out) + " in " +
                       seconds_text(total) + rate + " by " + std::to_string(run.workers.size()) + " processes: ";
    if (video || !o.audio.empty()) text += "sound " + seconds_text(run.sound_time) + ", ";
    text += "loading " + seconds_text(t[TIME_LOADING]) + ", playing through " +
            std::to_string((int64_t)t[TIME_PLAYED_FRAMES]) + " frames " + seconds_text(t[TIME_PLAYING_THROUGH]) +
            ", music " + seconds_text(t[TIME_MUSIC]) + ", drawing " + seconds_text(t[TIME_DRAWING]) +
            ", read-back " + seconds_text(t[TIME_READING]) + ", waiting for the writer " +
            seconds_text(t[TIME_WAITING]) + ", writer busy " + seconds_text(t[TIME_WRITER]) + ", finishing " +
            seconds_text(t[TIME_FINISHING]);
    if (video) text += ", ffmpeg " + seconds_text(t[TIME_FFMPEG]) + " of CPU, joining " + seconds_text(run.joining);
    text += " (the processes' times added up); processor time " + seconds_text(progress_processor_seconds());
    progress_finish(run.progress, text);
}

int capture_jobs(const CaptureOptions& options, Progress* progress)
{
    JobRun run = {};
    run.options = &options;
    run.progress = progress;
    run.plan = frame_plan(options);
    run.folder_fd = -1;
    const std::vector<int64_t> starts =
        jobs_split(run.plan, options.jobs > 0 ? options.jobs : jobs_automatic(run.plan));
    if (starts.size() <= 2) return capture_frames(options, progress);
    // The ffmpeg of a worker that was killed becomes ours, to be stopped.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    for (size_t i = 0; i + 1 < starts.size(); i++) {
        Worker w = {};
        w.first = starts[i];
        w.count = starts[i + 1] - starts[i];
        run.workers.push_back(w);
    }
    std::string error;
    bool ok = jobs_open(&run, &error);
    if (!ok) capture_error(pending_message(&run.file, error));
    {
        ChildStart starting;
        for (Worker& w : run.workers) {
            if (ok && !worker_spawn(&run, &w, &error)) ok = capture_failed(error);
        }
        watch_workers(run);
    }
    if (ok) ok = jobs_sound(&run);
    if (!ok) run.failed = true, stop_workers(&run);
    const std::string phase = "capturing in " + std::to_string(run.workers.size()) + " processes";
    progress_phase(progress, phase.c_str(), run.plan.count, "frames");
    jobs_follow(&run);
    ok = !run.failed;
    if (ok && options.mode == CAPTURE_VIDEO && !jobs_join(&run, &error))
        ok = capture_failed(pending_message(&run.file, error));
    ok = jobs_close(&run, ok);
    if (ok) jobs_summarise(run);
    return ok ? EXIT_DONE : EXIT_FAILED;
}

int capture_join(const CaptureOptions& options, Progress* progress)
{
    int format = VIDEO_MP4;
    video_format_for(options.video, &format);
    JoinPlan plan;
    PendingFile file;
    std::string error;
    progress_phase(progress, "reading the parts", 0, "");
    bool ok = video_program_found(&error) && join_plan(options.parts, format, &plan, &error) &&
              pending_open(&file, options.video, &error);
    if (!ok) capture_error(pending_message(&file, error));
    const VideoSpan& whole = plan.whole;
    FILE* sound = nullptr;
    if (ok) {
        sound = music_track(frame_time(whole.rate, whole.first), frame_time(whole.rate, whole.first + whole.count),
                            progress);
        ok = sound != nullptr;
    }
    double cpu = 0.0;
    if (ok) progress_phase(progress, "joining", 0, "");
    if (ok && !join_write(plan, file.path, fileno(sound), &cpu, &error))
        ok = capture_failed(pending_message(&file, error));
    if (sound) fclose(sound);
    if (ok && !pending_commit(&file, &error)) ok = capture_failed(error);
    if (!ok) {
        pending_discard(&file);
        return EXIT_FAILED;
    }
    progress_finish(progress, "joined " + std::to_string(plan.parts.size()) + " parts: " +
                                  std::to_string(whole.count) + " frames at " + frame_rate_text(whole.rate) +
                                  " fps from " + seconds_text(frame_time(whole.rate, whole.first), 3) + " to " +
                                  options.video + " in " + seconds_text(clock_seconds() - progress->start));
    return EXIT_DONE;
}
