// Temporary output files beside their targets, renamed when complete.
#include "capture/pending_file.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Temporary files a signal handler removes: plain arrays, since a handler
// may not allocate.
static const int MAX_TEMPORARY = 4;
static const size_t MAX_PATH_BYTES = 4096;
static char s_temporary[MAX_TEMPORARY][MAX_PATH_BYTES];
static volatile pid_t s_child = 0;

static void forget(const std::string& path)
{
    for (char* slot : s_temporary) {
        if (path == slot) slot[0] = '\0';
    }
}

static void remember(const std::string& path)
{
    if (path.size() >= MAX_PATH_BYTES) return;
    for (char* slot : s_temporary) {
        if (slot[0] == '\0') {
            memcpy(slot, path.c_str(), path.size() + 1);
            return;
        }
    }
}

static void remove_temporary_and_die(int signal_number)
{
    const pid_t child = s_child;
    if (child != 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    for (char* slot : s_temporary) {
        if (slot[0] != '\0') unlink(slot);
    }
    signal(signal_number, SIG_DFL);
    raise(signal_number);
}

void pending_watch_child(pid_t pid) { s_child = pid; }

void pending_install_signal_handlers()
{
    signal(SIGPIPE, SIG_IGN);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) signal(s, remove_temporary_and_die);
}

static mode_t new_file_mode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool pending_open(PendingFile* file, const std::string& target, std::string* error)
{
    file->target = target;
    file->path = target;
    file->temporary = false;
    struct stat info;
    if (stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        *error = target + ": " + strerror(EISDIR);
        return false;
    }
    // Devices and pipes (/dev/null, a FIFO) are written in place.
    if (stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return true;

    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temporary = folder + "." + name + ".XXXXXX";
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0) {
        *error = target + ": " + strerror(errno);
        return false;
    }
    fchmod(fd, new_file_mode());
    close(fd);
    file->path = temporary;
    file->temporary = true;
    remember(temporary);
    return true;
}

bool pending_commit(PendingFile* file, std::string* error)
{
    if (!file->temporary) return true;
    if (rename(file->path.c_str(), file->target.c_str()) != 0) {
        *error = file->target + ": " + strerror(errno);
        pending_discard(file);
        return false;
    }
    forget(file->path);
    file->temporary = false;
    return true;
}

void pending_discard(PendingFile* file)
{
    if (!file->temporary) return;
    unlink(file->path.c_str());
    forget(file->path);
    file->temporary = false;
}

std::string pending_message(const PendingFile* file, const std::string& message)
{
    if (!file->temporary || message.compare(0, file->path.size(), file->path) != 0) return message;
    return file->target + message.substr(file->path.size());
}
