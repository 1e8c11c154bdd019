#include "control/files.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes a file descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
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

// The file a name finally leads to, following symbolic links.
std::string resolved_target(const std::string& name)
{
    struct stat info;
    if (::lstat(name.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return name;
    char* real = ::realpath(name.c_str(), nullptr);
    if (real == nullptr)
        return name;
    std::string target(real);
    std::free(real);
    return target;
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

} // namespace

ReadStatus read_file(const std::string& name, std::string& contents)
{
    contents.clear();
    Descriptor file(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        return ReadStatus::cant_open;
    struct stat info;
    if (::fstat(file.get(), &info) != 0 || S_ISDIR(info.st_mode))
        return ReadStatus::cant_open;
    if (S_ISREG(info.st_mode) && info.st_size > 0)
        contents.reserve(static_cast<std::size_t>(info.st_size));

    char chunk[1 << 16];
    for (;;) {
        const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return ReadStatus::cant_read;
        }
        contents.append(chunk, static_cast<std::size_t>(got));
    }
    return ReadStatus::ok;
}

std::string read_failure(ReadStatus status, const std::string& name)
{
    return (status == ReadStatus::cant_read ? "\nCan't read " : "\nCan't open ") + name + "\n";
}

OutputFile::~OutputFile()
{
    if (file_ != nullptr)
        std::fclose(file_);
}

bool OutputFile::open(const std::string& name)
{
    file_ = std::fopen(name.c_str(), "w");
    failed_ = false;
    return file_ != nullptr;
}

void OutputFile::write(std::string_view bytes)
{
    if (file_ == nullptr || failed_)
        return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        failed_ = true;
}

bool OutputFile::finish()
{
    if (file_ == nullptr)
        return false;
    bool good = !failed_;
    if (std::fflush(file_) != 0 || std::ferror(file_))
        good = false;
    if (std::fclose(file_) != 0)
        good = false;
    file_ = nullptr;
    return good;
}

bool replace_file(const std::string& name, std::string_view content)
{
    const std::string target = resolved_target(name);
    std::string temp_name = directory_of(target) + "/.quogtran-XXXXXX";

    Descriptor temp(::mkstemp(temp_name.data()));
    if (temp.get() < 0)
        return false;

    struct stat original;
    mode_t mode = 0644;
    if (::stat(target.c_str(), &original) == 0)
        mode = original.st_mode & 07777;

    const bool written = ::fchmod(temp.get(), mode) == 0 && write_all(temp.get(), content) &&
                         ::fsync(temp.get()) == 0;
    const bool closed = temp.close();
    if (!written || !closed || ::rename(temp_name.c_str(), target.c_str()) != 0) {
        ::unlink(temp_name.c_str());
        return false;
    }
    return true;
}

std::optional<FileIdentity> identify_file(const std::string& name)
{
    struct stat info;
    if (::stat(name.c_str(), &info) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino)};
}

bool same_file(const std::string& first, const std::string& second)
{
    const auto a = identify_file(first);
    const auto b = identify_file(second);
    return a && b && *a == *b;
}
