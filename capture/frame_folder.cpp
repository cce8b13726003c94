// The folder of a PNG sequence: its lock and the frames found in it.
#include "capture/frame_folder.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

static const char FRAME_PREFIX[] = "frame_";
static const char FRAME_SUFFIX[] = ".png";
static const int FRAME_MIN_DIGITS = 5;

// "frame_" + at least five digits + ".png": any capture's frame.
static bool is_frame_name(const std::string& name)
{
    const size_t prefix = sizeof FRAME_PREFIX - 1;
    if (name.compare(0, prefix, FRAME_PREFIX) != 0) return false;
    size_t end = prefix;
    while (end < name.size() && isdigit((unsigned char)name[end])) end++;
    return end - prefix >= (size_t)FRAME_MIN_DIGITS && name.compare(end, std::string::npos, FRAME_SUFFIX) == 0;
}

// ".frame_00012.png.Ab3xYz": a frame's temporary, left by a killed capture.
static bool is_frame_temporary(const std::string& name)
{
    const size_t dot = name.rfind('.');
    return name[0] == '.' && dot > 1 && dot + 1 < name.size() && is_frame_name(name.substr(1, dot - 1));
}

static bool old_frames(int folder_fd, std::vector<std::string>* names)
{
    const int own = fcntl(folder_fd, F_DUPFD_CLOEXEC, 0);
    DIR* folder = own >= 0 ? fdopendir(own) : nullptr;
    if (!folder) {
        if (own >= 0) close(own);
        return false;
    }
    // The copy shares the folder's read position, which an earlier listing left at the end.
    rewinddir(folder);
    errno = 0;
    while (const dirent* entry = readdir(folder)) {
        if (is_frame_name(entry->d_name) || is_frame_temporary(entry->d_name)) names->push_back(entry->d_name);
    }
    const int cause = errno;
    closedir(folder);
    errno = cause;
    return cause == 0;
}

static int fail(int fd, std::string* error, const std::string& message)
{
    *error = message;
    if (fd >= 0) close(fd);
    return -1;
}

int64_t frame_folder_count(int folder_fd)
{
    std::vector<std::string> names;
    old_frames(folder_fd, &names);
    int64_t frames = 0;
    for (const std::string& name : names) frames += is_frame_name(name) ? 1 : 0;
    return frames;
}

void frame_folder_remove_temporaries(int folder_fd)
{
    std::vector<std::string> names;
    old_frames(folder_fd, &names);
    for (const std::string& name : names) {
        if (is_frame_temporary(name)) unlinkat(folder_fd, name.c_str(), 0);
    }
}

int frame_name_digits(int64_t count)
{
    int digits = 1;
    for (int64_t last = count - 1; last >= 10; last /= 10) digits++;
    return digits > FRAME_MIN_DIGITS ? digits : FRAME_MIN_DIGITS;
}

std::string frame_file_name(int64_t index, int digits)
{
    char name[48];
    snprintf(name, sizeof name, "%s%0*lld%s", FRAME_PREFIX, digits, (long long)index, FRAME_SUFFIX);
    return name;
}

int frame_folder_open(const std::string& path, bool replace, std::string* error)
{
    if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return fail(-1, error, path + ": " + strerror(errno));
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return fail(fd, error, path + ": " + strerror(errno));
    if (faccessat(fd, ".", W_OK | X_OK, 0) != 0) return fail(fd, error, path + ": " + strerror(errno));
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const std::string why = errno == EWOULDBLOCK ? "another capture is writing into this folder" : strerror(errno);
        return fail(fd, error, path + ": " + why);
    }
    std::vector<std::string> names;
    if (!old_frames(fd, &names)) return fail(fd, error, path + ": " + strerror(errno));
    if (!names.empty() && !replace) {
        return fail(fd, error, path + ": frames of another capture are here (" + std::to_string(names.size()) +
                                   "); --force removes them first, or give an empty folder");
    }
    for (const std::string& name : names) {
        if (unlinkat(fd, name.c_str(), 0) != 0 && errno != ENOENT)
            return fail(fd, error, path + "/" + name + ": " + strerror(errno));
    }
    return fd;
}
