// Whole-file reading, and whole-file replacement that never leaves a file
// half written, never writes where a shell's > could not, never follows a
// link that another user planted in a shared folder, and keeps a file's
// owner, group, mode, ACL and extended attributes.
#pragma once

#include <compare>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

// Owns a file descriptor: closed when it goes, unless closed before.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) { }
    ~Descriptor();
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    bool is_open() const { return fd_ >= 0; }
    // Takes other's descriptor, closing its own.
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        std::swap(fd_, other.fd_);
        return *this;
    }
    // Closes now, saying whether the close succeeded: a failed close may
    // be the first news of a failed write.
    bool close();

private:
    int fd_;
};

// Which file a name leads to (device and inode).
struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    auto operator<=>(const FileIdentity&) const = default; // NOLINT(modernize-use-nullptr): a false alarm on <=>
};

// The identity of the file a name leads to, links followed, when it exists.
std::optional<FileIdentity> identify_file(const std::string& name);

// True when both names lead to the same existing file.
bool same_file(const std::string& first, const std::string& second);

enum class ReadStatus {
    ok,
    cant_open, // missing, a directory, or not allowed
    cant_read, // a read failed part way
    no_memory, // the file is larger than the memory the run may have
};

// Opens the file called name and hands its bytes to take, a chunk at a
// time, once start has seen whether it is a regular file and how big it is
// (only a regular file's size is known beforehand) and has not said to stop.
// Standard output is flushed first: the file may be the terminal itself.
// Running out of memory in take is reported as no_memory.
using Start = std::function<bool(bool regular, std::size_t size)>;
ReadStatus read_file(
    const std::string& name, const std::function<void(std::string_view)>& take, const Start& start = {});

// Why a file was not written: "Is a directory", or the step that failed
// and why ("syncing failed: Input/output error"). Every failure leaves the
// file as it was.
struct WriteFailure {
    std::string why;
    bool before_writing = false; // the file could not even be opened for writing
};
using WriteResult = std::optional<WriteFailure>; // nothing: done

// Whether name could be written now: the decision the write itself takes,
// tried without changing any file.
WriteResult check_writable(const std::string& name);

// Replaces the file called name with content. A regular file (or a name not
// yet taken) is written to a temporary file beside it that is then renamed
// over it; a device, FIFO or terminal is written where it is, as a shell's >
// would. Symbolic links are followed and kept. When written_here is given
// and says that the old file's last bytes are not of this program's making,
// the old file is first kept as NAME~, and kept_as names it.
using TailTest = bool (*)(std::string_view tail);
WriteResult replace_file(
    const std::string& name, std::string_view content, TailTest written_here = nullptr, std::string* kept_as = nullptr);

// Read-modify-write of a regular file under an exclusive lock on it: change
// receives the content on disk and returns the new content, or nothing when
// the file should stay as it is. Concurrent updates by other runs queue up
// (a line says so while this one waits) and each sees the others' result.
WriteResult update_file(
    const std::string& name, const std::function<std::optional<std::string>(const std::string&)>& change);

// The lines that say why name was not read or written: "\nCan't open
// NAME\n", "\nCan't write NAME: WHY\n" and so on.
std::string read_failure(ReadStatus status, const std::string& name);
std::string write_failure(const std::string& name, const WriteFailure& failure);

// Removes the temporary file of a replacement in progress. Safe to call from
// a signal handler.
void remove_temporary_file_now();
