// Video output: ffmpeg started without a shell, fed frames through a pipe.
#include "capture/video_pipe.h"

#include "base/base.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

static const char* const FFMPEG = "ffmpeg";
static const char* const FFPROBE = "ffprobe";
static const char* const FFMPEG_PACKAGE = "ffmpeg";
// The sound arrives on ffmpeg's descriptor 3; our own descriptors sit above
// it so that moving them into place never collides.
static const int SOUND_CHILD_FD = 3;
static const int FIRST_HIGH_FD = 10;
// A larger pipe lets a whole frame wait in the kernel while ffmpeg is busy.
static const int PIPE_BYTES = 1 << 20;
static const size_t LOG_TAIL_BYTES = 4096;

// The picture encoder of each format, the rate factor apart; a join copies
// the pictures as they are.
static const std::vector<const char*> BT709_TV_IN = {"-vf", "scale=out_color_matrix=bt709:out_range=tv"};
static const std::vector<const char*> BT709_TV_OUT = {
    "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv",
};
static const std::vector<const char*> MP4_VIDEO_ARGS = {"-pix_fmt", "yuv420p", "-c:v", "libx264", "-preset",
                                                        "veryfast"};
static const std::vector<const char*> MKV_VIDEO_ARGS = {"-c:v", "ffv1", "-level", "3"};
static const std::vector<const char*> WEBM_VIDEO_ARGS = {"-pix_fmt", "yuv420p", "-c:v", "libvpx-vp9", "-b:v", "0",
                                                         "-deadline", "realtime", "-cpu-used", "8", "-row-mt", "1"};
// ProRes 422 HQ (profile 3) at 10 bits; the vendor tag is the one editors
// expect of the format.
static const std::vector<const char*> MOV_VIDEO_ARGS = {"-pix_fmt", "yuv422p10le", "-c:v", "prores_ks",
                                                        "-profile:v", "3", "-vendor", "apl0"};
static const int MP4_CRF_DEFAULT = 18, MP4_CRF_MAX = 51;
static const int WEBM_CRF_DEFAULT = 31;
// The sound encoder and the container of each format.
static const std::vector<const char*> MP4_OUTPUT_ARGS = {"-c:a", "aac", "-b:a", "192k", "-movflags", "+faststart",
                                                         "-f", "mp4"};
static const std::vector<const char*> MKV_OUTPUT_ARGS = {"-c:a", "flac", "-f", "matroska"};
static const std::vector<const char*> WEBM_OUTPUT_ARGS = {"-c:a", "libopus", "-b:a", "160k", "-f", "webm"};
static const std::vector<const char*> MOV_OUTPUT_ARGS = {"-c:a", "pcm_s16le", "-f", "mov"};

int video_crf_default(int format)
{
    return format == VIDEO_MP4 ? MP4_CRF_DEFAULT : format == VIDEO_WEBM ? WEBM_CRF_DEFAULT : VIDEO_CRF_NONE;
}

int video_crf_max(int format)
{
    return format == VIDEO_MP4 ? MP4_CRF_MAX : format == VIDEO_WEBM ? VIDEO_CRF_MAX : VIDEO_CRF_NONE;
}

bool video_format_for(const std::string& path, int* format)
{
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = (char)tolower((unsigned char)c);
    if (extension == "mp4") *format = VIDEO_MP4;
    else if (extension == "mkv") *format = VIDEO_MKV;
    else if (extension == "webm") *format = VIDEO_WEBM;
    else if (extension == "mov") *format = VIDEO_MOV;
    else return false;
    return true;
}

static void append(std::vector<std::string>* args, const std::vector<const char*>& more)
{
    args->insert(args->end(), more.begin(), more.end());
}

// The inputs: pictures on 0, sound on 3 (raw 16-bit stereo at 44,100 Hz).
static std::vector<std::string> input_arguments(const std::vector<std::string>& pictures)
{
    std::vector<std::string> args = {FFMPEG, "-nostdin", "-hide_banner", "-loglevel", "error", "-y"};
    args.insert(args.end(), pictures.begin(), pictures.end());
    const std::vector<std::string> sound = {
        "-f", "s16le", "-ar", std::to_string(VIDEO_AUDIO_RATE), "-ac", "2",
        "-i", "pipe:" + std::to_string(SOUND_CHILD_FD),
        "-map", "0:v:0", "-map", "1:a:0",
    };
    args.insert(args.end(), sound.begin(), sound.end());
    return args;
}

// The sound encoder, the container, the comment and the file.
static void append_output(std::vector<std::string>* args, int format, const std::string& comment,
                          const std::string& file)
{
    append(args, format == VIDEO_MKV    ? MKV_OUTPUT_ARGS
                 : format == VIDEO_WEBM ? WEBM_OUTPUT_ARGS
                 : format == VIDEO_MOV  ? MOV_OUTPUT_ARGS
                                        : MP4_OUTPUT_ARGS);
    args->push_back("-metadata");
    args->push_back("comment=" + comment);
    // "file:" keeps ffmpeg from reading a protocol or "-" into the name.
    args->push_back("file:" + file);
}

// The picture encoder: RGB kept as it is (FFV1) or turned into BT.709
// video-range YUV and tagged so, with the rate factor where there is one.
static void append_pictures(std::vector<std::string>* args, int format, int crf)
{
    if (format == VIDEO_MKV) {
        append(args, MKV_VIDEO_ARGS);
        return;
    }
    append(args, BT709_TV_IN);
    append(args, format == VIDEO_WEBM ? WEBM_VIDEO_ARGS : format == VIDEO_MOV ? MOV_VIDEO_ARGS : MP4_VIDEO_ARGS);
    if (format != VIDEO_MOV) {
        args->push_back("-crf");
        args->push_back(std::to_string(crf == VIDEO_CRF_NONE ? video_crf_default(format) : crf));
    }
    append(args, BT709_TV_OUT);
}

static std::vector<std::string> ffmpeg_arguments(const std::string& file, int format, FrameRate rate, int width,
                                                 int height, int crf, const std::string& comment)
{
    std::vector<std::string> args = input_arguments({
        "-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size", std::to_string(width) + "x" + std::to_string(height),
        "-framerate", frame_rate_text(rate), "-i", "pipe:0",
    });
    append_pictures(&args, format, crf);
    append_output(&args, format, comment, file);
    return args;
}

// The parts listed on 0 are read one after the other by ffmpeg's concat
// demuxer and their pictures copied, not encoded again. With -copyts the
// times stay as the list sets them, whatever the parts' own sound tracks
// (which are not used) begin with.
static std::vector<std::string> join_arguments(const std::string& file, int format, const std::string& comment)
{
    std::vector<std::string> args = input_arguments({
        "-copyts", "-f", "concat", "-safe", "0", "-protocol_whitelist", "file,pipe", "-i", "pipe:0",
    });
    append(&args, {"-c:v", "copy"});
    append_output(&args, format, comment, file);
    return args;
}

// Moves a descriptor above the low numbers, close-on-exec.
static int move_high(int fd)
{
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, FIRST_HIGH_FD);
    close(fd);
    return moved;
}

static bool open_pipe(int* read_end, int* write_end)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    *read_end = move_high(fds[0]);
    *write_end = move_high(fds[1]);
    fcntl(*write_end, F_SETPIPE_SZ, PIPE_BYTES); // a smaller pipe only costs speed
    return *read_end >= 0 && *write_end >= 0;
}

bool video_program_found(std::string* error)
{
    const char* path = getenv("PATH");
    std::string folders = path ? path : "/bin:/usr/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        const std::string program = folder + "/" + FFMPEG;
        struct stat info;
        if (stat(program.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(program.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    *error = std::string("the ffmpeg program was not found; install the Debian package ") + FFMPEG_PACKAGE;
    return false;
}

// The child: frames (or a list of parts) on 0, sound on 3 (when given),
// standard output into `output` (when given), messages into the log, in a
// process group of its own (a terminal's Ctrl-C reaches the capture, which
// stops it); signals the capture ignores or catches are back to their
// defaults.
static int spawn_ffmpeg(VideoPipe* video, const std::vector<std::string>& args, int video_in, int sound_fd,
                        int output = -1)
{
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back((char*)a.c_str());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, video_in, STDIN_FILENO);
    if (sound_fd >= 0) posix_spawn_file_actions_adddup2(&actions, sound_fd, SOUND_CHILD_FD);
    if (output >= 0) posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, video->log_fd, STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    const int result = posix_spawnp(&video->pid, args[0].c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) video->pid = 0;
    return result;
}

// Starts ffmpeg on `args` with the sound from `sound_fd` and its standard
// input from `input`, or, when -1, from a new pipe whose write end becomes
// video->video_fd.
static bool start(VideoPipe* video, const std::vector<std::string>& args, int input, int sound_fd,
                  std::string* error)
{
    *video = VideoPipe{0, -1, -1, 0.0, nullptr};
    FILE* log = tmpfile();
    if (log) video->log_fd = move_high(dup(fileno(log)));
    if (log) fclose(log);
    int video_in = input >= 0 && lseek(input, 0, SEEK_SET) == 0 ? move_high(dup(input)) : -1;
    int sound_in = lseek(sound_fd, 0, SEEK_SET) == 0 ? move_high(dup(sound_fd)) : -1;
    const bool piped = input >= 0 || open_pipe(&video_in, &video->video_fd);
    if (video->log_fd < 0 || video_in < 0 || sound_in < 0 || !piped) {
        *error = std::string("cannot set up the pipe to ffmpeg: ") + strerror(errno);
        fd_close(&video_in);
        fd_close(&sound_in);
        video_abort(video);
        return false;
    }
    const int result = spawn_ffmpeg(video, args, video_in, sound_in);
    fd_close(&video_in);
    fd_close(&sound_in);
    if (result == 0) return true;
    if (result == ENOENT)
        *error = std::string("the ffmpeg program was not found; install the Debian package ") + FFMPEG_PACKAGE;
    else
        *error = std::string("cannot start ffmpeg: ") + strerror(result);
    video_abort(video);
    return false;
}

bool video_open(VideoPipe* video, const std::string& file, int format, FrameRate rate, int width, int height,
                int crf, int sound_fd, const std::string& comment, std::string* error)
{
    return start(video, ffmpeg_arguments(file, format, rate, width, height, crf, comment), -1, sound_fd, error);
}

bool video_join_open(VideoPipe* video, const std::string& file, int format, int list_fd, int sound_fd,
                     const std::string& comment, std::string* error)
{
    return start(video, join_arguments(file, format, comment), list_fd, sound_fd, error);
}

const char* video_codec_name(int format)
{
    return format == VIDEO_MKV ? "ffv1" : format == VIDEO_WEBM ? "vp9" : format == VIDEO_MOV ? "prores" : "h264";
}

// The last line ffmpeg wrote to its log, or "" when it wrote none.
static std::string log_last_line(int fd)
{
    const off_t size = lseek(fd, 0, SEEK_END);
    if (size <= 0) return "";
    const off_t from = size > (off_t)LOG_TAIL_BYTES ? size - (off_t)LOG_TAIL_BYTES : 0;
    std::string text((size_t)(size - from), '\0');
    const ssize_t got = pread(fd, &text[0], text.size(), from);
    text.resize(got > 0 ? (size_t)got : 0);
    while (!text.empty() && isspace((unsigned char)text.back())) text.pop_back();
    const size_t newline = text.find_last_of("\r\n");
    return newline == std::string::npos ? text : text.substr(newline + 1);
}

// Waits for ffmpeg; true when it finished with status 0, else a reason.
static bool reap(VideoPipe* video, std::string* error)
{
    if (video->pid == 0) return false;
    int status = 0;
    rusage usage = {};
    pid_t waited;
    while ((waited = wait4(video->pid, &status, 0, &usage)) < 0 && errno == EINTR) {
    }
    video->pid = 0;
    const std::string program = video->program ? video->program : FFMPEG;
    // With SIGCHLD ignored the kernel would have reaped ffmpeg unseen; its
    // status is unknown, which is no success.
    if (waited < 0) {
        *error = program + "'s exit status is lost: " + strerror(errno);
        return false;
    }
    video->child_cpu_seconds = (double)usage.ru_utime.tv_sec + (double)usage.ru_stime.tv_sec +
                               ((double)usage.ru_utime.tv_usec + (double)usage.ru_stime.tv_usec) * 1e-6;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    const std::string last = log_last_line(video->log_fd);
    if (WIFSIGNALED(status)) *error = program + " was stopped by signal " + std::to_string(WTERMSIG(status));
    else *error = program + " failed with status " + std::to_string(WEXITSTATUS(status));
    if (!last.empty()) *error += ": " + last;
    return false;
}

static bool write_all(VideoPipe* video, int fd, const uint8_t* bytes, size_t size, std::string* error)
{
    while (size > 0) {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int cause = errno;
            fd_close(&video->video_fd);
            if (!reap(video, error)) return false;
            *error = std::string("writing to ffmpeg: ") + strerror(cause);
            return false;
        }
        bytes += n;
        size -= (size_t)n;
    }
    return true;
}

bool video_write_frame(VideoPipe* video, const uint8_t* rgb, size_t bytes, std::string* error)
{
    return write_all(video, video->video_fd, rgb, bytes, error);
}

bool video_close(VideoPipe* video, std::string* error)
{
    fd_close(&video->video_fd);
    const bool ok = reap(video, error);
    fd_close(&video->log_fd);
    return ok;
}

// SIGKILL, not SIGTERM: ffmpeg answers SIGTERM by finishing the file.
void video_abort(VideoPipe* video)
{
    if (video->pid != 0) kill(video->pid, SIGKILL);
    std::string ignored;
    fd_close(&video->video_fd);
    if (video->pid != 0) reap(video, &ignored);
    fd_close(&video->log_fd);
}

bool video_probe(const std::string& file, const std::vector<std::string>& options, std::string* output,
                 std::string* error)
{
    VideoPipe probe = {0, -1, -1, 0.0, FFPROBE};
    std::vector<std::string> args = {FFPROBE, "-hide_banner", "-loglevel", "error"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back("file:" + file);
    FILE* log = tmpfile();
    FILE* out = tmpfile();
    const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (log) probe.log_fd = move_high(dup(fileno(log)));
    int result = log && out && input >= 0 && probe.log_fd >= 0 ? 0 : errno;
    if (result == 0) result = spawn_ffmpeg(&probe, args, input, -1, fileno(out));
    if (input >= 0) close(input);
    if (log) fclose(log);
    bool ok = result == 0 && reap(&probe, error);
    if (result != 0) *error = std::string("cannot start ffprobe: ") + strerror(result);
    output->clear();
    char buffer[4096];
    size_t n;
    if (ok) rewind(out);
    while (ok && (n = fread(buffer, 1, sizeof buffer, out)) > 0) output->append(buffer, n);
    if (out) fclose(out);
    fd_close(&probe.log_fd);
    return ok;
}
