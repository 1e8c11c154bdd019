#include "control/files.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <new>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes a file descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) { }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    bool is_open() const { return fd_ >= 0; }
    // Closes now and reports whether the close succeeded.
    bool close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

FileIdentity identity_of(const struct stat& info)
{
    return {static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino)};
}

bool write_all(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Hands every byte of fd to take, a chunk at a time: from the start by
// position (a regular file, which may be read again), or as it comes.
// Running out of memory in take is reported as no_memory.
ReadStatus read_chunks(int fd, bool from_start, const std::function<void(std::string_view)>& take)
{
    try {
        std::string chunk(1 << 16, '\0');
        for (off_t offset = 0;;) {
            const ssize_t got =
                from_start ? ::pread(fd, chunk.data(), chunk.size(), offset) : ::read(fd, chunk.data(), chunk.size());
            if (got == 0)
                return ReadStatus::ok;
            if (got < 0 && errno != EINTR)
                return ReadStatus::cant_read;
            if (got > 0) {
                take(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
                offset += got;
            }
        }
    } catch (const std::bad_alloc&) {
        return ReadStatus::no_memory;
    } catch (const std::length_error&) {
        return ReadStatus::no_memory;
    }
}

std::string directory_of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// The name a chain of symbolic links finally leads to, whether or not that
// file exists yet, so that a replacement keeps every link pointing where it
// did. Nothing, when the links go round in circles.
std::optional<std::string> final_target(std::string path)
{
    constexpr int most_links = 40;
    for (int hop = 0; hop < most_links; ++hop) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        std::string link(static_cast<std::size_t>(info.st_size) + 1, '\0');
        ssize_t length;
        while ((length = ::readlink(path.c_str(), link.data(), link.size())) >= static_cast<ssize_t>(link.size()))
            link.resize(link.size() * 2);
        if (length < 0)
            return path;
        link.resize(static_cast<std::size_t>(length));
        if (link.front() != '/')
            link.insert(0, directory_of(path) + "/");
        path = std::move(link);
    }
    return std::nullopt;
}

// What a new file gets when nothing is replaced: what the umask allows.
mode_t new_file_mode()
{
    static const mode_t mode = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

bool may_create_in(const std::string& directory)
{
    return ::faccessat(AT_FDCWD, directory.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// The one temporary file that may exist at a time, for the signal handler.
std::atomic<const char*> temporary_in_progress{nullptr};
static_assert(std::atomic<const char*>::is_always_lock_free);

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

// A temporary file beside the file it will replace. It is removed when it
// goes out of scope unless it was renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& directory) : name_(directory + "/.quogtran-XXXXXX")
    {
        const SignalsHeld held;
        fd_ = ::mkostemp(name_.data(), O_CLOEXEC);
        created_ = fd_ >= 0;
        if (created_)
            temporary_in_progress.store(name_.c_str());
    }
    ~TemporaryFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (created_ && !renamed_) {
            const SignalsHeld held;
            ::unlink(name_.c_str());
            temporary_in_progress.store(nullptr);
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool created() const { return created_; }

    // Gives the new file the owner, group and mode of the one it replaces.
    WriteStatus take_attributes_of(const struct stat& original) const
    {
        struct stat mine;
        if (::fstat(fd_, &mine) != 0)
            return WriteStatus::cant_write;
        if ((mine.st_uid != original.st_uid || mine.st_gid != original.st_gid) &&
            ::fchown(fd_, original.st_uid, original.st_gid) != 0)
            return WriteStatus::owner_not_kept;
        // After the owner: a change of owner may clear the set-id bits.
        return ::fchmod(fd_, original.st_mode & 07777) == 0 ? WriteStatus::ok : WriteStatus::cant_write;
    }

    WriteStatus take_default_mode() const
    {
        return ::fchmod(fd_, new_file_mode()) == 0 ? WriteStatus::ok : WriteStatus::cant_write;
    }

    // Writes content, makes it durable and renames the file over target.
    WriteStatus write_and_rename(std::string_view content, const std::string& target)
    {
        const bool written = write_all(fd_, content) && ::fsync(fd_) == 0;
        const bool closed = ::close(fd_) == 0;
        fd_ = -1;
        const SignalsHeld held;
        if (!written || !closed || ::rename(name_.c_str(), target.c_str()) != 0)
            return WriteStatus::cant_write;
        renamed_ = true;
        temporary_in_progress.store(nullptr);
        return WriteStatus::ok;
    }

private:
    std::string name_;
    int fd_ = -1;
    bool created_ = false;
    bool renamed_ = false;
};

// A device or FIFO is written where it is, as a plain open for writing
// would; it is never replaced by a regular file.
WriteStatus write_in_place(const std::string& target, std::string_view content)
{
    Descriptor file(::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    if (!file.is_open())
        return WriteStatus::cant_open;
    struct stat info;
    if (::fstat(file.get(), &info) != 0 || S_ISREG(info.st_mode) || S_ISDIR(info.st_mode))
        return WriteStatus::cant_open;
    if (!write_all(file.get(), content))
        return WriteStatus::cant_write;
    return file.close() ? WriteStatus::ok : WriteStatus::cant_write;
}

// May the user write the regular file target? Asked by opening it for
// writing, without truncating, so the answer is the kernel's own.
bool may_write(const std::string& target)
{
    Descriptor probe(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    return probe.is_open();
}

} // namespace

std::optional<FileIdentity> identify_file(const std::string& name)
{
    struct stat info;
    if (::stat(name.c_str(), &info) != 0)
        return std::nullopt;
    return identity_of(info);
}

bool same_file(const std::string& first, const std::string& second)
{
    const auto a = identify_file(first);
    const auto b = identify_file(second);
    return a && b && *a == *b;
}

InputFile::InputFile(const std::string& name) : fd_(::open(name.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC))
{
    struct stat info;
    if (fd_ < 0 || ::fstat(fd_, &info) != 0 || S_ISDIR(info.st_mode))
        return;
    status_ = ReadStatus::ok;
    regular_ = S_ISREG(info.st_mode);
    size_ = regular_ ? static_cast<std::size_t>(info.st_size) : 0;
}

InputFile::~InputFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

ReadStatus InputFile::read(const std::function<void(std::string_view)>& take)
{
    return status_ == ReadStatus::ok ? read_chunks(fd_, regular_, take) : status_;
}

WriteStatus check_replaceable(const std::string& name)
{
    const auto target = final_target(name);
    if (!target)
        return WriteStatus::cant_open;
    struct stat info;
    if (::stat(target->c_str(), &info) != 0)
        return may_create_in(directory_of(*target)) ? WriteStatus::ok : WriteStatus::cant_open;
    if (S_ISDIR(info.st_mode))
        return WriteStatus::cant_open;
    if (!S_ISREG(info.st_mode))
        return WriteStatus::ok; // opened when written, as a plain open would
    return may_write(*target) && may_create_in(directory_of(*target)) ? WriteStatus::ok : WriteStatus::cant_open;
}

WriteStatus replace_file(const std::string& name, std::string_view content)
{
    const auto target = final_target(name);
    if (!target)
        return WriteStatus::cant_open;
    struct stat original;
    const bool exists = ::stat(target->c_str(), &original) == 0;
    if (exists && S_ISDIR(original.st_mode))
        return WriteStatus::cant_open;
    if (exists && !S_ISREG(original.st_mode))
        return write_in_place(*target, content);
    if (exists && !may_write(*target))
        return WriteStatus::cant_open;

    TemporaryFile temp(directory_of(*target));
    if (!temp.created())
        return WriteStatus::cant_open;
    const WriteStatus prepared = exists ? temp.take_attributes_of(original) : temp.take_default_mode();
    if (prepared != WriteStatus::ok)
        return prepared;
    return temp.write_and_rename(content, *target);
}

WriteStatus update_file(const std::string& name, const std::function<std::optional<std::string>(std::string)>& change)
{
    const auto target = final_target(name);
    if (!target)
        return WriteStatus::cant_open;
    std::optional<TemporaryFile> temp;
    for (;;) {
        // Opening for reading and writing asks the kernel whether a plain
        // open for writing would be allowed; O_NONBLOCK keeps a FIFO or a
        // device from holding the open up before it is refused.
        Descriptor file(::open(target->c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat original;
        if (!file.is_open() || ::fstat(file.get(), &original) != 0 || !S_ISREG(original.st_mode))
            return WriteStatus::cant_open;
        if (!temp)
            temp.emplace(directory_of(*target));
        if (!temp->created())
            return WriteStatus::cant_open;
        if (const WriteStatus kept = temp->take_attributes_of(original); kept != WriteStatus::ok)
            return kept;

        while (::flock(file.get(), LOCK_EX) != 0)
            if (errno != EINTR)
                return WriteStatus::cant_open;
        // The file is replaced, never changed in place: when another run
        // replaced it while this one waited, the lock is on the old file.
        struct stat now;
        if (::stat(target->c_str(), &now) != 0 || identity_of(now) != identity_of(original))
            continue;

        std::string current;
        if (read_chunks(file.get(), true, [&](std::string_view chunk) { current.append(chunk); }) != ReadStatus::ok)
            return WriteStatus::cant_read;
        const std::optional<std::string> updated = change(std::move(current));
        if (!updated)
            return WriteStatus::ok;
        return temp->write_and_rename(*updated, *target);
    }
}

void remove_temporary_file_now()
{
    if (const char* name = temporary_in_progress.load())
        ::unlink(name);
}
