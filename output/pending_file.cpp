// Files written under a temporary name beside their targets, synced and renamed when complete.
#include "output/pending_file.h"

#include "base/base.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// Temporary files to remove when a signal stops the program: one per open
// PendingFile (a video or PNG, the WAV along a sequence, the frame being
// written, the parts of a capture shared among processes) and spares.
// Guarded by s_slots_mutex, which is also held while a temporary is created
// and recorded, or renamed and forgotten, so a signal's clean-up never meets
// one half done.
static const int MAX_TEMPORARY = PENDING_FILES_MAX;
// ".frame_00000.png.Ab3xYz": a dot, the name, a dot and six random characters.
static const int RANDOM_CHARACTERS = 6;
static const size_t TEMPORARY_EXTRA = 2 + RANDOM_CHARACTERS;
static const int CREATE_TRIES = 100;
// Links followed from a target before giving up, as the kernel does.
static const int MAX_LINK_HOPS = 40;

struct TemporarySlot {
    bool armed;
    int folder_fd;
    std::string name;
};

static TemporarySlot s_temporary[MAX_TEMPORARY];
static std::mutex s_slots_mutex;
static mode_t s_new_file_mode = 0644;

// Call with s_slots_mutex held.
static void remember(int folder_fd, const std::string& name)
{
    for (TemporarySlot& slot : s_temporary) {
        if (slot.armed) continue;
        slot = TemporarySlot{true, folder_fd, name};
        return;
    }
}

// Call with s_slots_mutex held.
static void forget(int folder_fd, const std::string& name)
{
    for (TemporarySlot& slot : s_temporary) {
        if (slot.armed && slot.folder_fd == folder_fd && slot.name == name) slot.armed = false;
    }
}

void pending_init()
{
    // Read once here: umask can only be read by setting it, which would race
    // with files created on another thread.
    const mode_t mask = umask(0);
    umask(mask);
    s_new_file_mode = 0666 & ~mask;
}

void pending_freeze() { s_slots_mutex.lock(); }

void pending_remove_frozen()
{
    for (const TemporarySlot& slot : s_temporary) {
        if (slot.armed) unlinkat(slot.folder_fd, slot.name.c_str(), 0);
    }
}

static void random_characters(char out[RANDOM_CHARACTERS])
{
    static const char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<uint32_t> s_counter(0);
    unsigned char bytes[RANDOM_CHARACTERS];
    if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != (ssize_t)sizeof bytes) {
        // No entropy yet (early boot): time, process and a counter still
        // make a clash unlikely, and O_EXCL makes one harmless.
        timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        uint64_t mixed = (uint64_t)now.tv_nsec * 2654435761u ^ (uint64_t)getpid() << 20 ^ s_counter++;
        for (unsigned char& b : bytes) b = (unsigned char)(mixed >>= 5);
    }
    for (int i = 0; i < RANDOM_CHARACTERS; i++) out[i] = ALPHABET[bytes[i] % (sizeof ALPHABET - 1)];
}

// ".NAME.XXXXXX" and the suffix, with NAME shortened (at a character
// boundary) when the whole would exceed the folder's longest name.
static std::string temporary_name(const std::string& name, long name_max, const std::string& suffix)
{
    size_t keep = name.size();
    const size_t extra = TEMPORARY_EXTRA + suffix.size();
    const size_t room = name_max > (long)extra ? (size_t)name_max - extra : 1;
    if (keep > room) {
        keep = room;
        while (keep > 0 && ((unsigned char)name[keep] & 0xC0) == 0x80) keep--;
    }
    char random[RANDOM_CHARACTERS];
    random_characters(random);
    return "." + name.substr(0, keep) + "." + std::string(random, RANDOM_CHARACTERS) + suffix;
}

static std::string folder_of(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

static void file_reset(PendingFile* file, const std::string& target)
{
    file->target = target;
    file->path = target;
    file->fd = file->folder_fd = -1;
    file->name.clear();
    file->temporary.clear();
    file->mode = s_new_file_mode;
    file->sync_folder = true;
    file->replace = true;
}

// Creates the temporary for `name` in `folder_fd` (which the file keeps a
// copy of), private until commit.
static bool create_temporary(PendingFile* file, int folder_fd, const std::string& folder, const std::string& name,
                             std::string* error, const std::string& suffix = "")
{
    long name_max = fpathconf(folder_fd, _PC_NAME_MAX);
    if (name_max <= 0) name_max = NAME_MAX;
    file->folder_fd = fcntl(folder_fd, F_DUPFD_CLOEXEC, 0);
    file->name = name;
    std::lock_guard<std::mutex> lock(s_slots_mutex);
    std::string temporary;
    for (int i = 0; i < CREATE_TRIES && file->folder_fd >= 0 && file->fd < 0; i++) {
        temporary = temporary_name(name, name_max, suffix);
        file->fd = openat(folder_fd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (file->fd < 0 && errno != EEXIST) break;
    }
    const int cause = errno;
    if (file->fd >= 0) remember(file->folder_fd, temporary);
    if (file->fd < 0) {
        *error = file->target + ": " + strerror(cause);
        fd_close(&file->folder_fd);
        return false;
    }
    file->temporary = temporary;
    file->path = folder + temporary;
    return true;
}

// Follows `target` through symbolic links to the name that is to be
// replaced: a regular file, or nothing yet.
static bool resolve_links(const std::string& target, std::string* resolved, std::string* error)
{
    std::string path = target;
    for (int hop = 0; hop < MAX_LINK_HOPS; hop++) {
        struct stat link, folder;
        if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
            *resolved = path;
            return true;
        }
        // The kernel's rule for links in shared sticky folders such as /tmp:
        // someone else's link there may aim at our files.
        const std::string where = folder_of(path);
        if (stat(where.empty() ? "." : where.c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX) &&
            (folder.st_mode & S_IWOTH) && link.st_uid != geteuid() && link.st_uid != folder.st_uid) {
            *error = target + ": a symbolic link in a shared folder, owned by someone else: not followed";
            return false;
        }
        char to[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), to, sizeof to - 1);
        if (n < 0) {
            *error = target + ": " + strerror(errno);
            return false;
        }
        to[n] = '\0';
        path = to[0] == '/' ? std::string(to) : where + to;
    }
    *error = target + ": " + strerror(ELOOP);
    return false;
}

// A replaced file keeps its permissions and its group. Where the group
// cannot be kept (we are not in it), the group we give it gets only what
// everyone else had, so nobody gains access.
static mode_t replaced_mode(int fd, const struct stat& old)
{
    const mode_t mode = old.st_mode & 0777;
    if (fchown(fd, (uid_t)-1, old.st_gid) == 0) return mode;
    return (mode & ~(mode_t)S_IRWXG) | (mode & S_IRWXO) << 3;
}

// Devices and pipes take the bytes as they come.
static bool open_in_place(PendingFile* file, std::string* error)
{
    file->fd = open(file->target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (file->fd >= 0) return true;
    *error = file->target + ": " + strerror(errno);
    return false;
}

bool pending_open(PendingFile* file, const std::string& target, std::string* error)
{
    file_reset(file, target);
    struct stat info;
    const bool exists = stat(target.c_str(), &info) == 0;
    if (exists && !S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode)) return open_in_place(file, error);
    std::string resolved;
    if (!(exists && S_ISDIR(info.st_mode)) && !resolve_links(target, &resolved, error)) return false;
    const std::string folder = folder_of(resolved);
    const std::string name = resolved.substr(folder.size());
    if (name.empty() || name == "." || name == "..") {
        *error = target + ": " + strerror(EISDIR);
        return false;
    }
    const int folder_fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_fd < 0) {
        *error = target + ": " + strerror(errno);
        return false;
    }
    const bool ok = create_temporary(file, folder_fd, folder, name, error);
    close(folder_fd);
    if (ok && fstatat(file->folder_fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode))
        file->mode = replaced_mode(file->fd, info);
    return ok;
}

bool pending_open_in(PendingFile* file, int folder_fd, const std::string& folder, const std::string& name,
                     std::string* error)
{
    file_reset(file, folder + "/" + name);
    file->sync_folder = false;
    return create_temporary(file, folder_fd, folder + "/", name, error);
}

bool pending_open_part(PendingFile* file, const PendingFile& whole, const std::string& suffix, std::string* error)
{
    file_reset(file, whole.target);
    if (!whole.temporary.empty()) {
        const std::string folder = whole.path.substr(0, whole.path.size() - whole.temporary.size());
        return create_temporary(file, whole.folder_fd, folder, whole.name, error, suffix);
    }
    // A target written in place (a pipe, a device) has no folder of its own.
    const char* tmpdir = getenv("TMPDIR");
    const std::string folder = tmpdir && *tmpdir ? tmpdir : "/tmp";
    const int folder_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_fd < 0) {
        *error = folder + ": " + strerror(errno);
        return false;
    }
    const bool ok = create_temporary(file, folder_fd, folder + "/", "quiet-harbor-part", error, suffix);
    close(folder_fd);
    return ok;
}

void pending_remove_temporaries_of(const PendingFile& part)
{
    if (part.folder_fd < 0 || part.temporary.empty()) return;
    long name_max = fpathconf(part.folder_fd, _PC_NAME_MAX);
    if (name_max <= 0) name_max = NAME_MAX;
    // As temporary_name makes them: the name, perhaps shortened, then six characters.
    const std::string example = temporary_name(part.temporary, name_max, "");
    const std::string prefix = example.substr(0, example.size() - RANDOM_CHARACTERS);
    const int own = fcntl(part.folder_fd, F_DUPFD_CLOEXEC, 0);
    DIR* folder = own >= 0 ? fdopendir(own) : nullptr;
    if (!folder) {
        if (own >= 0) close(own);
        return;
    }
    // The copy shares the folder's read position with any earlier listing.
    rewinddir(folder);
    std::vector<std::string> names;
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name.size() == example.size() && name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
    }
    closedir(folder);
    for (const std::string& name : names) unlinkat(part.folder_fd, name.c_str(), 0);
}

bool folder_sync(int folder_fd, const std::string& folder, std::string* error)
{
    // Some file systems cannot sync a folder (EINVAL); their entries are as
    // safe as they get.
    if (fsync(folder_fd) == 0 || errno == EINVAL) return true;
    *error = folder + ": " + strerror(errno);
    return false;
}

// The temporary takes its target's name; a file that must not replace
// another fails with EEXIST instead. Where the file system cannot rename
// without replacing, a hard link does the same.
static int rename_into_place(const PendingFile* file)
{
    const char* from = file->temporary.c_str();
    const char* to = file->name.c_str();
    if (file->replace) return renameat(file->folder_fd, from, file->folder_fd, to);
    const int result = renameat2(file->folder_fd, from, file->folder_fd, to, RENAME_NOREPLACE);
    if (result == 0 || errno != EINVAL) return result;
    if (linkat(file->folder_fd, from, file->folder_fd, to, 0) != 0) return -1;
    unlinkat(file->folder_fd, from, 0);
    return 0;
}

bool pending_commit(PendingFile* file, std::string* error)
{
    if (file->temporary.empty()) {
        fd_close(&file->fd);
        return true;
    }
    // fchmod can fail harmlessly on file systems without permissions.
    fchmod(file->fd, file->mode);
    int cause = fsync(file->fd) == 0 ? 0 : errno;
    if (cause == 0) {
        std::lock_guard<std::mutex> lock(s_slots_mutex);
        if (rename_into_place(file) == 0)
            forget(file->folder_fd, file->temporary);
        else
            cause = errno;
    }
    if (cause != 0) {
        *error = file->target + ": " + strerror(cause);
        pending_discard(file);
        return false;
    }
    file->temporary.clear();
    fd_close(&file->fd);
    const bool ok = !file->sync_folder || folder_sync(file->folder_fd, file->target, error);
    fd_close(&file->folder_fd);
    return ok;
}

void pending_discard(PendingFile* file)
{
    fd_close(&file->fd);
    if (!file->temporary.empty()) {
        std::lock_guard<std::mutex> lock(s_slots_mutex);
        unlinkat(file->folder_fd, file->temporary.c_str(), 0);
        forget(file->folder_fd, file->temporary);
        file->temporary.clear();
    }
    fd_close(&file->folder_fd);
}

std::string pending_message(const PendingFile* file, const std::string& message)
{
    if (file->temporary.empty() || message.compare(0, file->path.size(), file->path) != 0) return message;
    return file->target + message.substr(file->path.size());
}
