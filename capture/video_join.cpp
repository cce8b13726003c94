// Joining videos of adjoining stretches: their spans read from their
// metadata, checked, and their pictures concatenated by ffmpeg under the
// sound of the whole span.
#include "capture/video_join.h"

#include "base/base.h"
#include "capture/capture_signals.h"

#include "output/pending_file.h"
#include "capture/video_pipe.h"

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

static const char* const COMMENT_PROGRAM = "quiet-harbor-capture ";
static const char* const FIELD_SEPARATOR = "; ";

std::string video_span_comment(const VideoSpan& span)
{
    const size_t program_end = span.settings.find(FIELD_SEPARATOR);
    const std::string program = span.settings.substr(0, program_end);
    const std::string rest = program_end == std::string::npos ? "" : span.settings.substr(program_end);
    char fields[96];
    snprintf(fields, sizeof fields, "; frames %" PRId64 "+%" PRId64 "; rate %" PRId64 "/%" PRId64, span.first,
             span.count, span.rate.num, span.rate.den);
    return program + fields + rest;
}

// One "; "-separated field of a comment: the frames and the rate are read,
// every other one is kept as a setting.
static bool read_field(const std::string& field, VideoSpan* span, int* found)
{
    long long a = 0, b = 0;
    char end = 0;
    if (sscanf(field.c_str(), "frames %lld+%lld%c", &a, &b, &end) == 2) {
        span->first = a, span->count = b, *found |= 1;
        return a >= 0 && b > 0;
    }
    if (sscanf(field.c_str(), "rate %lld/%lld%c", &a, &b, &end) == 2) {
        span->rate = FrameRate{a, b}, *found |= 2;
        return a > 0 && b > 0;
    }
    span->settings += (span->settings.empty() ? "" : FIELD_SEPARATOR) + field;
    return true;
}

bool video_span_parse(const std::string& comment, VideoSpan* span)
{
    if (comment.compare(0, strlen(COMMENT_PROGRAM), COMMENT_PROGRAM) != 0) return false;
    *span = VideoSpan{0, 0, {0, 0}, ""};
    int found = 0;
    size_t start = 0;
    while (start <= comment.size()) {
        size_t end = comment.find(FIELD_SEPARATOR, start);
        if (end == std::string::npos) end = comment.size();
        if (!read_field(comment.substr(start, end - start), span, &found)) return false;
        start = end + strlen(FIELD_SEPARATOR);
    }
    return found == 3;
}

// The value of "key=value" in ffprobe's output (keys compared without case:
// Matroska stores its tags in capitals).
static std::string probe_value(const std::string& output, const std::string& key)
{
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(start, end - start);
        if (line.size() > key.size() && line[key.size()] == '=' && strncasecmp(line.c_str(), key.c_str(), key.size()) == 0)
            return line.substr(key.size() + 1);
        start = end + 1;
    }
    return "";
}

static bool part_probe(const std::string& path, JoinPart* part, std::string* error)
{
    part->path = path;
    if (access(path.c_str(), R_OK) != 0) {
        *error = path + ": " + strerror(errno);
        return false;
    }
    std::string output;
    const std::vector<std::string> options = {
        "-count_packets", "-select_streams", "v:0", "-of", "default=noprint_wrappers=1", "-show_data_hash", "md5",
        "-show_entries", "stream=codec_name,pix_fmt,width,height,nb_read_packets,start_time,extradata_hash:"
        "format_tags=comment",
    };
    if (!video_probe(path, options, &output, error)) {
        *error = path + ": cannot be read as a video (" + *error + ")";
        return false;
    }
    if (!video_span_parse(probe_value(output, "TAG:comment"), &part->span)) {
        *error = path + ": not a video of quiet-harbor-capture (its metadata records no span of frames)";
        return false;
    }
    part->codec = probe_value(output, "codec_name");
    part->pixels = probe_value(output, "pix_fmt");
    part->parameters = probe_value(output, "extradata_hash");
    part->width = atoi(probe_value(output, "width").c_str());
    part->height = atoi(probe_value(output, "height").c_str());
    part->frames = strtoll(probe_value(output, "nb_read_packets").c_str(), nullptr, 10);
    part->start_time = probe_value(output, "start_time");
    char* end = nullptr;
    strtod(part->start_time.c_str(), &end);
    if (part->start_time.empty() || *end != '\0') part->start_time = "0";
    if (part->frames == part->span.count) return true;
    *error = path + ": holds " + std::to_string(part->frames) + " frames where its metadata records " +
             std::to_string(part->span.count) + " (cut short?)";
    return false;
}

static std::string picture_text(const JoinPart& part)
{
    return size_text(part.width, part.height) + " " + part.pixels;
}

// Checks `part` against the first part, and against the one before it.
static bool part_fits(const JoinPart& first, const JoinPart& before, const JoinPart& part, std::string* error)
{
    const int64_t end = before.span.first + before.span.count;
    std::string problem;
    if (part.span.settings != first.span.settings)
        problem = "made with other settings than " + first.path + " (" + part.span.settings + ", not " +
                  first.span.settings + ")";
    else if (part.span.rate.num != first.span.rate.num || part.span.rate.den != first.span.rate.den)
        problem = "at " + frame_rate_text(part.span.rate) + " fps, not " + frame_rate_text(first.span.rate) + " as " +
                  first.path;
    else if (picture_text(part) != picture_text(first))
        problem = picture_text(part) + ", not " + picture_text(first) + " as " + first.path;
    else if (part.parameters != first.parameters)
        problem = "encoded with other parameters than " + first.path + " (by another version of ffmpeg?)";
    else if (part.span.first > end)
        problem = "starts at frame " + std::to_string(part.span.first) + ", but " + before.path +
                  " ends before frame " + std::to_string(end) + ": frames " + std::to_string(end) + " to " +
                  std::to_string(part.span.first - 1) + " are missing";
    else if (part.span.first < end)
        problem = "starts at frame " + std::to_string(part.span.first) + ", inside " + before.path +
                  ", which ends before frame " + std::to_string(end);
    if (problem.empty()) return true;
    *error = part.path + ": " + problem;
    return false;
}

bool join_plan(const std::vector<std::string>& paths, int format, JoinPlan* plan, std::string* error)
{
    plan->parts.assign(paths.size(), JoinPart());
    plan->format = format;
    for (size_t i = 0; i < paths.size(); i++) {
        if (!part_probe(paths[i], &plan->parts[i], error)) return false;
        if (plan->parts[i].codec == video_codec_name(format)) continue;
        *error = paths[i] + ": " + plan->parts[i].codec + " pictures; the video they join into needs " +
                 video_codec_name(format) + " (its extension picks the format)";
        return false;
    }
    std::stable_sort(plan->parts.begin(), plan->parts.end(),
                     [](const JoinPart& a, const JoinPart& b) { return a.span.first < b.span.first; });
    for (size_t i = 1; i < plan->parts.size(); i++) {
        if (!part_fits(plan->parts[0], plan->parts[i - 1], plan->parts[i], error)) return false;
    }
    plan->whole = plan->parts[0].span;
    plan->whole.count = plan->parts.back().span.first + plan->parts.back().span.count - plan->whole.first;
    return true;
}

// Microseconds from the first frame of the whole to frame `index`, rounded:
// the list gives each part the difference of two of these, so no rounding
// error builds up from part to part.
static long long offset_us(const VideoSpan& whole, int64_t index)
{
    const long double seconds = (long double)(index - whole.first) * whole.rate.den / whole.rate.num;
    return std::llround(seconds * 1e6L);
}

// The concat demuxer's list: each part from its first picture, as long as
// its frames last. Names are absolute and quoted as the list wants them.
static bool write_list(const JoinPlan& plan, FILE* list, std::string* error)
{
    fputs("ffconcat version 1.0\n", list);
    for (const JoinPart& part : plan.parts) {
        char* resolved = realpath(part.path.c_str(), nullptr);
        std::string path = resolved ? resolved : "";
        free(resolved);
        if (path.empty() || path.find('\n') != std::string::npos) {
            *error = part.path + ": " + (path.empty() ? strerror(errno) : "a name with a line break cannot be joined");
            return false;
        }
        std::string quoted;
        for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        const long long length = offset_us(plan.whole, part.span.first + part.span.count) -
                                 offset_us(plan.whole, part.span.first);
        fprintf(list, "file 'file:%s'\ninpoint %s\nduration %lld.%06lld\n", quoted.c_str(), part.start_time.c_str(),
                length / 1000000, length % 1000000);
    }
    if (fflush(list) == 0) return true;
    *error = std::string("the list of parts: ") + strerror(errno);
    return false;
}

bool join_write(const JoinPlan& plan, const std::string& file, int sound_fd, double* cpu_seconds,
                std::string* error)
{
    FILE* list = tmpfile();
    if (!list) {
        *error = std::string("the list of parts: ") + strerror(errno);
        return false;
    }
    VideoPipe video = {};
    bool ok = write_list(plan, list, error);
    if (ok) {
        ChildStart starting;
        ok = video_join_open(&video, file, plan.format, fileno(list), sound_fd, video_span_comment(plan.whole), error);
        if (ok) signals_watch_child(video.pid);
    }
    fclose(list);
    if (!ok) return false;
    ok = video_close(&video, error);
    signals_watch_child(0);
    *cpu_seconds += video.child_cpu_seconds;
    return ok;
}
