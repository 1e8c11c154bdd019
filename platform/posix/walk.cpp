// The walk on POSIX: a name followed a component at a time, as the kernel
// does, through folders opened one from the other without following a link,
// so that no link another user planted in a shared folder steers a read or
// a write.
//
// Divisions, in order:
//   1. An open file descriptor, closed when it goes; every byte written.
//   2. Failures: the system's error, a refusal or a failed step.
//   3. Shared folders: what another user planted.
//   4. The walk, and a read opened on what it found.
//   5. Names and identities.
#include "platform/posix/walk.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "platform/files.h"

SystemFile::~SystemFile()
{
    if (is_open())
        ::close(handle_);
}

bool SystemFile::close()
{
    return ::close(std::exchange(handle_, no_handle)) == 0;
}

bool write_all(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written == 0)
            errno = ENOSPC;
        if (written == 0 || (written < 0 && errno != EINTR))
            return false;
        bytes.remove_prefix(written < 0 ? 0 : static_cast<std::size_t>(written));
    }
    return true;
}

int last_error()
{
    return errno;
}

Failure refusal(int error, std::string step)
{
    return {std::strerror(error), true, std::move(step), error};
}

Failure failed(const std::string& step, int error)
{
    return {step + " failed: " + std::strerror(error), false, step, error};
}

// A file that another user put in a shared folder (sticky and writable by
// all, as /tmp is): a link there may lead anywhere, to make whoever writes
// through it write there, and a FIFO or a file there may be read by its
// owner. The kernel refuses them when fs.protected_symlinks, protected_fifos
// and protected_regular are on; this program refuses them whatever those say.
bool planted(int folder_fd, const struct stat& info)
{
    struct stat folder; // asked only of a file that is not the user's own, as most are
    if (info.st_uid == ::geteuid() || ::fstat(folder_fd, &folder) != 0)
        return false;
    const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return shared && info.st_uid != folder.st_uid;
}

// Walks name a component at a time, as the kernel does, following every
// link on the way, so that a replacement keeps every link pointing where it
// did; a link planted in a shared folder anywhere on the way is refused.
// Each folder is opened from the one before without following a link, and
// the last is left open in folder, with the last name in it in last: what a
// write then does there, the walk has checked, whatever is renamed or
// re-pointed meanwhile. path names the same place, for messages.
Outcome follow_links(const std::string& name, std::string& path, SystemFile& folder, std::string& last)
{
    constexpr int most_links = 40;
    // A folder needs only to be passed through, not read, to be walked.
    constexpr int folder_flags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    std::vector<std::string> rest; // the components still to walk, the next last
    const auto walk_from = [&](const std::string& text) {
        if (text.starts_with('/')) {
            folder = SystemFile(::open("/", folder_flags));
            path = "/";
        }
        for (std::size_t end = text.size(); end != std::string::npos && end > 0;) {
            const std::size_t slash = text.rfind('/', end - 1);
            const std::size_t begin = slash == std::string::npos ? 0 : slash + 1;
            if (end > begin && text.compare(begin, end - begin, ".") != 0)
                rest.push_back(text.substr(begin, end - begin));
            end = slash;
        }
    };
    folder = SystemFile(::open(".", folder_flags));
    path.clear();
    last.clear();
    walk_from(name);
    for (int links = 0; !rest.empty() && folder.is_open();) {
        const std::string part = std::move(rest.back());
        rest.pop_back();
        // No link stands in path, so ".." after it leads where it says.
        std::string next = path;
        if (!next.empty() && next != "/")
            next += '/';
        next += part;
        struct stat info;
        std::string link(PATH_MAX, '\0');
        const ssize_t length =
            ::fstatat(folder.get(), part.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)
            ? ::readlinkat(folder.get(), part.c_str(), link.data(), link.size())
            : -1;
        if (length > 0 && length < static_cast<ssize_t>(link.size())) {
            if (planted(folder.get(), info))
                return refusal(next + " is another user's link in a shared folder");
            if (++links > most_links)
                return refusal(ELOOP);
            link.resize(static_cast<std::size_t>(length));
            walk_from(link);
        } else if (rest.empty()) {
            last = part;
            path = std::move(next);
        } else {
            folder = SystemFile(::openat(folder.get(), part.c_str(), folder_flags));
            path = std::move(next);
        }
    }
    if (!folder.is_open())
        return refusal(errno);
    if (path.empty())
        path = ".";
    return std::nullopt;
}

// Opens for reading what the walk of name found, never through a link put
// in its place since (the walk then looks again). A link the walk cannot
// follow, a descriptor's name in /proc such as a pipe's, is left to the
// kernel, and taken only when it leads to a pipe or socket. Opened without
// waiting, so that a FIFO is asked about before anything is waited for.
Outcome open_to_read(const std::string& name, bool regular_only, SystemFile& file)
{
    const int flags = O_RDONLY | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    if (name.empty())
        return refusal(ENOENT);
    for (int walks = 0;; ++walks) {
        std::string path;
        std::string last;
        SystemFile folder;
        if (Outcome refused = follow_links(name, path, folder, last))
            return refused;
        if (last.empty())
            return refusal(EISDIR);
        file = SystemFile(::openat(folder.get(), last.c_str(), flags));
        struct stat info;
        if (!file.is_open() && errno == ENOENT) {
            file = SystemFile(::open(name.c_str(), flags & ~O_NOFOLLOW));
            if (file.is_open() && ::fstat(file.get(), &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)))
                return ::fcntl(file.get(), F_SETFL, O_RDONLY) == 0 ? Outcome() : refusal(errno);
            return refusal(file.is_open() ? ENOENT : errno);
        }
        if (!file.is_open() && (errno != ELOOP || walks == 40))
            return refusal(errno);
        if (file.is_open() && ::fstat(file.get(), &info) == 0 && S_ISFIFO(info.st_mode) && planted(folder.get(), info))
            return refusal(path + " is another user's FIFO in a shared folder");
        if (file.is_open())
            return regular_only || ::fcntl(file.get(), F_SETFL, O_RDONLY) == 0 ? Outcome() : refusal(errno);
    }
}

// 5. Names and identities

std::string file_version(const std::string& name)
{
    struct stat info;
    if (::stat(name.c_str(), &info) != 0)
        return {};
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + ":" + std::to_string(info.st_size) + ":" +
        std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec) + ":" +
        std::to_string(info.st_ctim.tv_sec) + "." + std::to_string(info.st_ctim.tv_nsec);
}

std::string file_identity(const std::string& name)
{
    struct stat info;
    return ::stat(name.c_str(), &info) != 0 ? "" : std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

std::string executable_path()
{
    std::string path(PATH_MAX, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    path.resize(length > 0 && length < static_cast<ssize_t>(path.size()) ? static_cast<std::size_t>(length) : 0);
    return path;
}

std::size_t file_name_start(std::string_view path)
{
    return path.rfind('/') + 1; // npos + 1 is 0
}
