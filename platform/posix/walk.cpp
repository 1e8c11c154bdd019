// The walk on POSIX: a name followed a component at a time, as the kernel
// does, through folders opened one from the other without following a link,
// so that no link another user planted in a shared folder steers a read or
// a write.
//
// Divisions, in order:
//   1. Descriptor: an open file descriptor, closed when it goes.
//   2. Failures: how a refusal or a failed step reads.
//   3. Shared folders: what another user planted.
//   4. The walk, and a read opened on what it found.
#include "platform/posix/walk.h"

#include <climits>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

Descriptor::~Descriptor()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool Descriptor::close()
{
    return ::close(std::exchange(fd_, -1)) == 0;
}

// A file that could not be opened for writing, for the reason error gives.
Failure refusal(int error)
{
    return {std::strerror(error), true, "opening", error};
}

// A step of a write that failed, after the file was opened.
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
Outcome follow_links(const std::string& name, std::string& path, Descriptor& folder, std::string& last)
{
    constexpr int most_links = 40;
    // A folder needs only to be passed through, not read, to be walked.
    constexpr int folder_flags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    std::vector<std::string> rest; // the components still to walk, the next last
    const auto walk_from = [&](const std::string& text) {
        if (text.starts_with('/')) {
            folder = Descriptor(::open("/", folder_flags));
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
    folder = Descriptor(::open(".", folder_flags));
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
            folder = Descriptor(::openat(folder.get(), part.c_str(), folder_flags));
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
Outcome open_to_read(const std::string& name, bool regular_only, Descriptor& file)
{
    const int flags = O_RDONLY | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    if (name.empty())
        return refusal(ENOENT);
    for (int walks = 0;; ++walks) {
        std::string path;
        std::string last;
        Descriptor folder;
        if (Outcome refused = follow_links(name, path, folder, last))
            return refused;
        if (last.empty())
            return refusal(EISDIR);
        file = Descriptor(::openat(folder.get(), last.c_str(), flags));
        struct stat info;
        if (!file.is_open() && errno == ENOENT) {
            file = Descriptor(::open(name.c_str(), flags & ~O_NOFOLLOW));
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
