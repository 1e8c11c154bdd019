// Files on POSIX: whole-file reading through a walk that no planted link
// can steer, and whole-file replacement beside the file.
//
// (The walk that opens them is in walk.cpp.)
//
// Divisions, in order:
//   1. Failures of a read, bytes in and out: every byte written, chunks read.
//   2. Where a write goes: the target a check and its write both take.
//   3. Temporary files: names, signals held, the file renamed into place.
//   4. Rights and copies: owner, mode, attributes; the first free copy name.
//   5. Writing in place, the old file's last bytes, the lock.
//   6. The seam's calls, as files.h declares them.
#include "platform/files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <random>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>
#if defined(__linux__)
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#endif

#include "control/console.h"
#include "platform/files_common.h"
#include "platform/posix/walk.h"

namespace {

// The failure to read name, named, with the system's reason: the usage
// screen follows it.
Failure reading_failed(const std::string& name, Failure failure)
{
    failure.line = failure.error == ENOMEM ? "\nNot enough memory to read " + name + "\n"
                                           : (failure.step == "opening" ? "\nCan't open " : "\nCan't read ") + name +
            ": " + (failure.error != 0 ? std::strerror(failure.error) : failure.line) + "\n";
    failure.with_usage = true;
    return failure;
}

// Writes every byte, or fails with errno set. A write that takes nothing
// has found no room: it is never asked again, which could go on for ever.
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

// Hands every byte of fd to take, a chunk at a time: from the start by
// position (a regular file, which may be read again), or as it comes.
// Running out of memory in take fails with ENOMEM.
Outcome read_chunks(int fd, bool from_start, const std::function<void(std::string_view)>& take)
{
    try {
        std::string chunk(1 << 16, '\0');
        for (off_t offset = 0;;) {
            const ssize_t got =
                from_start ? ::pread(fd, chunk.data(), chunk.size(), offset) : ::read(fd, chunk.data(), chunk.size());
            if (got == 0)
                return std::nullopt;
            if (got < 0 && errno != EINTR)
                return failed("reading");
            if (got > 0) {
                take(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
                offset += got;
            }
        }
    } catch (const std::exception&) { // bad_alloc or length_error: no room for what was read
        return Failure{"it is larger than the memory at hand", false, "reading", ENOMEM};
    }
}

// An append-only or immutable folder lets a file be made but never removed
// or renamed: a temporary file would stay in it for good.
bool folder_keeps_files(int folder)
{
#if defined(FS_IOC_GETFLAGS)
    const Descriptor opened(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC));
    int flags = 0;
    return opened.is_open() && ::ioctl(opened.get(), FS_IOC_GETFLAGS, &flags) == 0 &&
        (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
#else
    (void)folder;
    return false;
#endif
}

// Where writing a name puts the bytes: the one decision that both the check
// and the write take.
struct Target {
    std::string path;      // where the name's links lead
    Descriptor folder;     // the folder there, held open by the walk
    std::string last;      // the file's name in it
    bool in_place = false; // a device, FIFO or terminal, written where it is
    bool exists = false;   // else a regular file, there now or not yet
    struct stat info { };  // of the file there now
};

// Refuses what a shell's > could not write, and a planted link.
Outcome classify(const std::string& name, Target& target)
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
    target.exists = ::fstatat(target.folder.get(), target.last.c_str(), &target.info, AT_SYMLINK_NOFOLLOW) == 0;
    if (target.exists && !S_ISREG(target.info.st_mode))
        return refusal(S_ISDIR(target.info.st_mode) ? EISDIR : EINVAL);
    if (target.exists && planted(target.folder.get(), target.info))
        return refusal(target.path + " is another user's file in a shared folder");
    if (target.last.size() > NAME_MAX)
        return refusal(ENAMETOOLONG);
    if (target.exists) {
        // Asked by opening it for writing, without truncating, so that the
        // answer is the kernel's own.
        const Descriptor probe(::openat(
            target.folder.get(), target.last.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW));
        if (!probe.is_open())
            return refusal(errno);
    }
    if (folder_keeps_files(target.folder.get()))
        return refusal(EPERM);
    return std::nullopt;
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

#if defined(__linux__)
// The names of a file's extended attributes, its ACL among them, from list
// (listxattr or flistxattr), whose answer the kernel keeps within 64 KiB;
// none where the file system keeps none.
template <typename List> std::vector<std::string> attribute_names(List list)
{
    std::string names(1 << 16, '\0');
    std::vector<std::string> split;
    for (ssize_t at = 0, size = list(names.data(), names.size()); at < size; at += split.back().size() + 1)
        split.emplace_back(names.data() + at);
    return split;
}

// Gives copy exactly the extended attributes of the file last in folder:
// its ACL, so that nobody gains or loses a right, and the others. They are
// read through /proc/self/fd from that very file, held open (by the name
// where /proc is missing).
Outcome copy_attributes(const Target& target, int copy)
{
    const Descriptor held(::openat(target.folder.get(), target.last.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    std::string original = "/proc/self/fd/" + std::to_string(held.get());
    if (!held.is_open() || ::access(original.c_str(), F_OK) != 0)
        original = target.path;
    const auto wanted =
        attribute_names([&](char* list, std::size_t size) { return ::listxattr(original.c_str(), list, size); });
    std::string value(1 << 16, '\0'); // the most a value may hold
    for (const std::string& name : wanted) {
        const ssize_t size = ::getxattr(original.c_str(), name.c_str(), value.data(), value.size());
        if (size < 0 || ::fsetxattr(copy, name.c_str(), value.data(), static_cast<std::size_t>(size), 0) != 0)
            return failed("keeping the extended attribute " + name);
    }
    for (const std::string& name :
        attribute_names([&](char*list, std::size_t size) { return ::flistxattr(copy, list, size); }))
        if (std::find(wanted.begin(), wanted.end(), name) == wanted.end() && ::fremovexattr(copy, name.c_str()) != 0)
            return failed("removing the extended attribute " + name);
    return std::nullopt;
}
#else
Outcome copy_attributes(const Target&, int)
{
    return std::nullopt;
}
#endif

// The number of the first copy name of the target that no file has now:
// the one the check names and the one the copy takes, unless another
// program takes it meanwhile.
int first_free_copy(const Target& target, int number = 0)
{
    struct stat info;
    while (::fstatat(target.folder.get(), copy_name(target.last, number).c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0)
        ++number;
    return number;
}

// Keeps the file at path under the first free copy name, and says which in
// kept_as: a link is never made over a file, so no earlier copy is lost.
Outcome keep_copy(const Target& target, std::string& kept_as)
{
    for (int number = first_free_copy(target);; number = first_free_copy(target, number + 1)) {
        kept_as = copy_name(target.path, number);
        if (::linkat(target.folder.get(), target.last.c_str(), target.folder.get(),
                copy_name(target.last, number).c_str(), 0) == 0)
            return std::nullopt;
        if (errno != EEXIST)
            return failed("keeping a copy as " + kept_as);
    }
}

// A temporary file beside the file it will replace. It is removed when it
// goes out of scope unless it was renamed into place.
class TemporaryFile {
public:
    // mode is what a new file asks for; the umask and the folder's default
    // ACL take their share, as they do for a shell's >.
    TemporaryFile(const Target& target, mode_t mode) : target_(target)
    {
        for (int tries = 0; tries < 100 && !fd_.is_open(); ++tries) {
            name_ = temporary_name();
            const SignalsHeld held;
            fd_ = Descriptor(::openat(
                folder(), name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW, mode));
            error_ = errno;
            if (fd_.is_open()) {
                temporary_folder.store(folder());
                temporary_in_progress.store(name_.c_str());
            } else if (error_ != EEXIST)
                break;
        }
        created_ = fd_.is_open();
    }
    ~TemporaryFile()
    {
        if (created_ && !renamed_) {
            const SignalsHeld held;
            ::unlinkat(folder(), name_.c_str(), 0);
            temporary_in_progress.store(nullptr);
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool created() const { return created_; }
    int descriptor() const { return fd_.get(); }
    int error() const { return error_; }

    // Gives the new file the owner, group, mode and extended attributes of
    // the one it replaces, before a byte of it is written.
    Outcome take_rights_of(const struct stat& info) const
    {
        if (::fchown(fd_.get(), info.st_uid, info.st_gid) != 0)
            return failed("keeping the owner");
        // After the owner: a change of owner may clear the set-id bits.
        if (::fchmod(fd_.get(), info.st_mode & 07777) != 0)
            return failed("keeping the mode");
        return copy_attributes(target_, fd_.get());
    }

    // Writes content, makes it durable, keeps the old target when asked
    // (keep_as then names the copy), and renames the file over the target.
    Outcome write_and_rename(std::string_view content, std::string* keep_as = nullptr)
    {
        // A mebibyte at a time, each handed to the disk at once: the
        // disk works while the rest is copied, and the sync waits for less.
        constexpr std::size_t piece = std::size_t{1} << 20;
        for (std::size_t at = 0; at < content.size(); at += piece) {
            if (!write_all(fd_.get(), content.substr(at, piece)))
                return failed("writing");
#ifdef SYNC_FILE_RANGE_WRITE
            ::sync_file_range(fd_.get(), static_cast<off_t>(at), piece, SYNC_FILE_RANGE_WRITE); // a hint
#endif
        }
        if (::fsync(fd_.get()) != 0)
            return failed("syncing");
        if (!fd_.close())
            return failed("closing");
        if (keep_as != nullptr)
            if (Outcome failure = keep_copy(target_, *keep_as))
                return failure;
        {
            const SignalsHeld held;
            if (::renameat(folder(), name_.c_str(), folder(), target_.last.c_str()) != 0)
                return failed("renaming");
            renamed_ = true;
            temporary_in_progress.store(nullptr);
        }
        // The new name must last as well as the bytes.
        const Descriptor opened(::openat(folder(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!opened.is_open() || (::fsync(opened.get()) != 0 && errno != EINVAL))
            return failed("syncing the folder");
        return std::nullopt;
    }

private:
    int folder() const
    {
        return target_.folder.get();
    }

    const Target& target_;
    std::string name_;
    Descriptor fd_;
    int error_ = 0;
    bool created_ = false;
    bool renamed_ = false;
};

// A device, FIFO or terminal is written where it is, as a shell's > would.
Outcome write_in_place(const std::string& target, std::string_view content)
{
    Descriptor file(::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    struct stat info;
    if (!file.is_open() || ::fstat(file.get(), &info) != 0)
        return refusal(errno);
    if (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode))
        return refusal("it changed while it was being written");
    if (!write_all(file.get(), content))
        return failed("writing");
    if (!file.close())
        return failed("closing");
    return std::nullopt;
}

// The last bytes of the target: enough to tell whose making it is.
std::string last_bytes(const Target& target)
{
    constexpr off_t enough = 256;
    const Descriptor file(
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

// Takes the exclusive lock on fd, saying so when another program holds it.
Outcome lock(int fd, const std::string& name)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return std::nullopt;
    if (errno != EWOULDBLOCK)
        return failed("locking");
    put_text("\nWaiting for " + name + ", which another program is changing ...\n");
    std::fflush(stdout);
    while (::flock(fd, LOCK_EX) != 0)
        if (errno != EINTR)
            return failed("locking");
    return std::nullopt;
}

} // namespace

std::string file_version(const std::string& name)
{
    struct stat info;
    if (::stat(name.c_str(), &info) != 0)
        return {};
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + ":" + std::to_string(info.st_size) + ":" +
        std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec) + ":" +
        std::to_string(info.st_ctim.tv_sec) + "." + std::to_string(info.st_ctim.tv_nsec);
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

std::string file_identity(const std::string& name)
{
    struct stat info;
    return ::stat(name.c_str(), &info) != 0 ? "" : std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

Outcome read_file(
    const std::string& name, const std::function<void(std::string_view)>& take, const Start& start, bool regular_only)
{
    std::fflush(stdout);
    Descriptor file;
    if (Outcome refused = open_to_read(name, regular_only, file))
        return reading_failed(name, *refused);
    struct stat info;
    if (::fstat(file.get(), &info) != 0 || S_ISDIR(info.st_mode))
        return reading_failed(name, refusal(S_ISDIR(info.st_mode) ? EISDIR : errno));
    const bool regular = S_ISREG(info.st_mode);
    if (regular_only && !regular)
        return Failure{"\nCan't open " + name + ": not a regular file\n", true, "opening", EINVAL};
    if (start && !start(regular, regular ? static_cast<std::size_t>(info.st_size) : 0))
        return std::nullopt;
    if (Outcome failure = read_chunks(file.get(), regular, take))
        return reading_failed(name, *failure);
    return std::nullopt;
}

Outcome check_writable(const std::string& name, TailTest written_here)
{
    return writing_failed(name, [&]() -> Outcome {
        Target target;
        if (Outcome refused = classify(name, target))
            return refused;
        if (target.in_place)
            return std::nullopt; // opened when written, as a shell's > would
        const TemporaryFile probe(target, 0600);
        if (!probe.created())
            return refusal(probe.error());
        // What the replacement will give its file, asked of the probe.
        if (target.exists && ::fchown(probe.descriptor(), target.info.st_uid, target.info.st_gid) != 0)
            return refusal("its owner and group can't be kept");
        if (!target.exists || written_here == nullptr || written_here(last_bytes(target)))
            return std::nullopt;
        // The file is the user's own and will be kept: under a name that fits.
        const int number = first_free_copy(target);
        if (copy_name(target.last, number).size() > NAME_MAX)
            return refusal("its copy " + copy_name(target.path, number) + " would have too long a name");
        return std::nullopt;
    }());
}

Outcome replace_file(const std::string& name, std::string_view content, TailTest written_here, std::string& kept_as)
{
    return writing_failed(name, [&]() -> Outcome {
        Target target;
        if (Outcome refused = classify(name, target))
            return refused;
        if (target.in_place)
            return write_in_place(target.path, content);
        TemporaryFile temp(target, target.exists ? 0600 : 0666);
        if (!temp.created())
            return refusal(temp.error());
        if (target.exists)
            if (Outcome failure = temp.take_rights_of(target.info))
                return failure;
        // A file of the user's own is kept, not lost to a name that happens to
        // be an output's.
        const bool keep = target.exists && written_here != nullptr && !written_here(last_bytes(target));
        return temp.write_and_rename(content, keep ? &kept_as : nullptr);
    }());
}

Outcome update_file(
    const std::string& name, const std::function<std::optional<std::string>(const std::string&)>& change)
{
    return writing_failed(name, [&]() -> Outcome {
        for (;;) {
            Target target;
            if (Outcome refused = classify(name, target))
                return refused;
            if (target.in_place)
                return refusal("it is not a regular file");
            // Opening for reading and writing asks the kernel whether a plain
            // open for writing would be allowed.
            const Descriptor file(::openat(
                target.folder.get(), target.last.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW));
            struct stat original;
            if (!file.is_open() || ::fstat(file.get(), &original) != 0)
                return refusal(errno);
            if (Outcome failure = lock(file.get(), name))
                return failure;
            // The file is replaced, never changed in place: when another run
            // replaced it while this one waited, the lock is on the old file.
            struct stat now;
            if (::fstatat(target.folder.get(), target.last.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
                now.st_dev != original.st_dev || now.st_ino != original.st_ino)
                continue;

            std::string current;
            if (Outcome failure = read_chunks(file.get(), true, [&](std::string_view chunk) { current.append(chunk); }))
                return failure;
            const std::optional<std::string> updated = change(current);
            if (!updated)
                return std::nullopt;
            TemporaryFile temp(target, 0600);
            if (!temp.created())
                return refusal(temp.error());
            if (Outcome failure = temp.take_rights_of(original))
                return failure;
            return temp.write_and_rename(*updated);
        }
    }());
}

void remove_temporary_file_now()
{
    if (const char* name = temporary_in_progress.load())
        ::unlinkat(temporary_folder.load(), name, 0);
}
