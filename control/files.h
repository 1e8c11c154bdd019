// Whole-file reading, and whole-file replacement that never leaves a file
// half written, never writes where a plain open for writing could not, and
// keeps a file's owner, group and mode.
#pragma once

#include <compare>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

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

// A file opened for reading. A regular file is read from its start each
// time, as often as wanted, and its size is known beforehand; anything else
// (a pipe, a terminal, a device) is read once, as it comes.
class InputFile {
public:
    explicit InputFile(const std::string& name);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    ReadStatus status() const { return status_; }
    bool is_regular() const { return regular_; }
    std::size_t size() const { return size_; } // of a regular file

    // Hands every byte to take, a chunk at a time. Running out of memory in
    // take is reported as no_memory.
    ReadStatus read(const std::function<void(std::string_view)>& take);

private:
    int fd_ = -1;
    ReadStatus status_ = ReadStatus::cant_open;
    bool regular_ = false;
    std::size_t size_ = 0;
};

// How a replacement ended; every failure leaves the file as it was.
enum class WriteStatus {
    ok,
    cant_open,      // not allowed, not a file we may replace, or no temporary file
    cant_read,      // the current content could not be read (updates only)
    cant_write,     // a write, sync, close or rename failed
    owner_not_kept, // the new file could not be given the old one's owner
};

// Whether name could be replaced now, checked without changing anything: the
// same answer replace_file would give before it writes a byte.
WriteStatus check_replaceable(const std::string& name);

// Replaces the file called name with content. A regular file (or a name not
// yet taken) is written to a temporary file beside it that is then renamed
// over it; a device or FIFO is written directly, as a plain open would.
// Symbolic links are followed and kept.
WriteStatus replace_file(const std::string& name, std::string_view content);

// Read-modify-write of a regular file under an exclusive lock on it: change
// receives the content on disk and returns the new content, or nothing when
// the file should stay as it is. Concurrent updates by other runs queue up
// and each sees the others' result.
WriteStatus update_file(const std::string& name, const std::function<std::optional<std::string>(std::string)>& change);

// Removes the temporary file of a replacement in progress. Safe to call from
// a signal handler.
void remove_temporary_file_now();
