// Files on POSIX: the primitives of the file policy, on a walk that no
// planted link can steer (walk.cpp), each file opened from the folder the
// walk left open.
//
// Divisions, in order:
//   1. Bytes in and out: every byte written and synced, chunks read.
//   2. Where a write goes: the target a check and its write both take.
//   3. Temporary files: names, signals held, the file renamed into place.
//   4. Text files, writing in place, the old file's last bytes.
//   5. Updating: the file opened, locked, and still there.
//
// (Rights and copies are in rights.cpp.)
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <random>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#if defined(__linux__)
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

#include "platform/file_system.h"
#include "platform/posix/walk.h"

namespace {

// An append-only or immutable folder lets a file be made but never removed
// or renamed: a temporary file would stay in it for good.
bool folder_keeps_files(int folder)
{
#if defined(FS_IOC_GETFLAGS)
    const SystemFile opened(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC));
    int flags = 0;
    return opened.is_open() && ::ioctl(opened.get(), FS_IOC_GETFLAGS, &flags) == 0 &&
        (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
#else
    (void)folder;
    return false;
#endif
}

// The one temporary file that may exist at a time, and its folder, for the
// signal handler.
std::atomic<const char*> temporary_in_progress{nullptr};
std::atomic<int> temporary_folder{-1};
static_assert(std::atomic<const char*>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

// Holds signals back for as long as it lives: a temporary file is created
// and made known to the handler, or forgotten and removed, as one step.
class SignalsHeld {
public:
    SignalsHeld()
    {
        sigset_t all;
        sigfillset(&all);
        sigprocmask(SIG_BLOCK, &all, &before_);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &before_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t before_;
};

// A name that no file has, most likely: .quogtran- and six letters or
// digits.
std::string temporary_name()
{
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::mt19937_64 random{std::random_device{}()};
    std::string name = ".quogtran-";
    for (int i = 0; i < 6; ++i)
        name += letters[random() % (sizeof letters - 1)];
    return name;
}

} // namespace

// 1. Bytes in and out

Outcome write_and_sync(SystemFile& file, std::string_view content)
{
    // A mebibyte at a time, each handed to the disk at once: the disk works
    // while the rest is copied, and the sync waits for less.
    constexpr std::size_t piece = std::size_t{1} << 20;
    for (std::size_t at = 0; at < content.size(); at += piece) {
        if (!write_all(file.get(), content.substr(at, piece)))
            return failed("writing");
#ifdef SYNC_FILE_RANGE_WRITE
        ::sync_file_range(file.get(), static_cast<off_t>(at), piece, SYNC_FILE_RANGE_WRITE); // a hint
#endif
    }
    if (::fsync(file.get()) != 0)
        return failed("syncing");
    if (!file.close())
        return failed("closing");
    return std::nullopt;
}

Outcome kind_of(const SystemFile& file, bool& regular, std::size_t& size)
{
    struct stat info;
    if (::fstat(file.get(), &info) != 0)
        return refusal();
    if (S_ISDIR(info.st_mode))
        return refusal(EISDIR);
    regular = S_ISREG(info.st_mode);
    size = regular ? static_cast<std::size_t>(info.st_size) : 0; // only a regular file's size is known beforehand
    return std::nullopt;
}

// Reads by position from the start (a regular file, which may be read
// again), or as the bytes come.
Outcome read_chunks(const SystemFile& file, bool from_start, const std::function<bool(std::string_view)>& take)
{
    try {
        constexpr std::size_t chunk_size = 1 << 16;
        const auto chunk = std::make_unique_for_overwrite<char[]>(chunk_size); // as it comes: filled by each read
        for (off_t offset = 0;;) {
            const ssize_t got = from_start ? ::pread(file.get(), chunk.get(), chunk_size, offset)
                                           : ::read(file.get(), chunk.get(), chunk_size);
            if (got == 0)
                return std::nullopt;
            if (got < 0 && errno != EINTR)
                return refusal(errno, "reading");
            if (got > 0 && !take(std::string_view(chunk.get(), static_cast<std::size_t>(got))))
                return std::nullopt;
            offset += std::max<ssize_t>(got, 0);
        }
    } catch (const std::exception&) { // bad_alloc or length_error: no room for what was read
        return refusal(ENOMEM, "reading");
    }
}

// 2. Where a write goes

Outcome find_target(const std::string& name, Target& target)
{
    if (Outcome refused = follow_links(name, target.path, target.folder, target.last))
        return refused;
    // The kernel's own walk tells a device, FIFO or terminal, which is
    // written in place: /dev/stdout on a pipe leads nowhere a name could.
    struct stat info;
    if (::stat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        if (S_ISDIR(info.st_mode))
            return refusal(EISDIR);
        if (S_ISFIFO(info.st_mode) && planted(target.folder.get(), info))
            return refusal(target.path + " is another user's FIFO in a shared folder");
        target.path = name;
        target.in_place = true;
        return std::nullopt;
    }
    if (target.last.empty())
        return refusal(EISDIR);
    struct stat& there = target.native.info;
    target.exists = ::fstatat(target.folder.get(), target.last.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0;
    if (target.exists && !S_ISREG(there.st_mode))
        return refusal(S_ISDIR(there.st_mode) ? EISDIR : EINVAL);
    if (target.exists && planted(target.folder.get(), there))
        return refusal(target.path + " is another user's file in a shared folder");
    if (target.last.size() > NAME_MAX)
        return refusal(ENAMETOOLONG);
    if (target.exists) {
        // Asked by opening it for writing, without truncating, so that the
        // answer is the kernel's own.
        const SystemFile probe(::openat(
            target.folder.get(), target.last.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW));
        if (!probe.is_open())
            return refusal();
    }
    if (folder_keeps_files(target.folder.get()))
        return refusal(EPERM);
    return std::nullopt;
}

// 3. Temporary files

Outcome create_temporary(const Target& target, bool fresh, std::string& name, SystemFile& file)
{
    // What a new file asks for; the umask and the folder's default ACL take
    // their share, as they do for a shell's >.
    const mode_t mode = fresh ? 0666 : 0600;
    for (int tries = 0; tries < 100; ++tries) {
        name = temporary_name();
        const SignalsHeld held;
        file = SystemFile(::openat(
            target.folder.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW, mode));
        if (file.is_open()) {
            temporary_folder.store(target.folder.get());
            temporary_in_progress.store(name.c_str());
            return std::nullopt;
        }
        if (errno != EEXIST)
            break;
    }
    return refusal();
}

bool remove_temporary(const Target& target, const std::string& name)
{
    const SignalsHeld held;
    temporary_in_progress.store(nullptr);
    return ::unlinkat(target.folder.get(), name.c_str(), 0) == 0 || errno == ENOENT;
}

bool rename_over(const Target& target, const std::string& name)
{
    const SignalsHeld held;
    if (::renameat(target.folder.get(), name.c_str(), target.folder.get(), target.last.c_str()) != 0)
        return false;
    temporary_in_progress.store(nullptr);
    return true;
}

bool sync_folder(const Target& target)
{
    const SystemFile opened(::openat(target.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return opened.is_open() && (::fsync(opened.get()) == 0 || errno == EINVAL);
}

void remove_temporary_file_now()
{
    if (const char* name = temporary_in_progress.load())
        ::unlinkat(temporary_folder.load(), name, 0);
}

// 4. Text files, writing in place, the old file's last bytes

std::size_t text_end(std::string_view)
{
    return std::string_view::npos; // every byte is the text's
}

std::string_view as_written(std::string_view content, std::string&)
{
    return content;
}

Outcome write_in_place(const Target& target, std::string_view content)
{
    SystemFile file(::open(target.path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    struct stat info;
    if (!file.is_open() || ::fstat(file.get(), &info) != 0)
        return refusal();
    if (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode))
        return refusal("it changed while it was being written");
    if (!write_all(file.get(), content))
        return failed("writing");
    if (!file.close())
        return failed("closing");
    return std::nullopt;
}

std::string last_bytes(const Target& target)
{
    constexpr off_t enough = 256;
    const SystemFile file(
        ::openat(target.folder.get(), target.last.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW));
    struct stat info;
    if (!file.is_open() || ::fstat(file.get(), &info) != 0)
        return {};
    const off_t from = std::max<off_t>(0, info.st_size - enough);
    std::string tail(static_cast<std::size_t>(info.st_size - from), '\0');
    const ssize_t got = ::pread(file.get(), tail.data(), tail.size(), from);
    tail.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return tail;
}

// 5. Updating

Outcome open_to_update(Target& target, SystemFile& file)
{
    // Opening for reading and writing asks the kernel whether a plain open
    // for writing would be allowed.
    file = SystemFile(
        ::openat(target.folder.get(), target.last.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW));
    if (!file.is_open() || ::fstat(file.get(), &target.native.info) != 0)
        return refusal();
    return std::nullopt;
}

bool try_lock(const SystemFile& file, bool& busy)
{
    const bool locked = ::flock(file.get(), LOCK_EX | LOCK_NB) == 0;
    busy = !locked && errno == EWOULDBLOCK;
    return locked || busy;
}

bool wait_for_lock(const SystemFile& file)
{
    while (::flock(file.get(), LOCK_EX) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

bool still_there(const Target& target, const SystemFile& file)
{
    struct stat opened;
    struct stat now;
    return ::fstat(file.get(), &opened) == 0 &&
        ::fstatat(target.folder.get(), target.last.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        now.st_dev == opened.st_dev && now.st_ino == opened.st_ino;
}
