// Whole-file reading, checked writing, and safe replacement of a file.
#pragma once

#include <compare>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

enum class ReadStatus { ok, cant_open, cant_read };

// Reads every byte of the file called name into contents. A directory, or a
// file that cannot be opened, gives cant_open; a failing read gives cant_read.
ReadStatus read_file(const std::string& name, std::string& contents);

// The console line for a failed read: "\nCan't open NAME\n" or "\nCan't read NAME\n".
std::string read_failure(ReadStatus status, const std::string& name);

// An output file opened for writing (replacing it). Writes are buffered;
// finish() flushes and closes it and reports whether every write, the flush
// and the close succeeded. A file never finished is closed when it goes away.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    bool open(const std::string& name);
    void write(std::string_view bytes);
    bool finish();

private:
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};

// Replaces the file called name with content so that no failure leaves it
// truncated: the content goes to a temporary file in the same directory that
// is renamed over the original. On failure the original is untouched, the
// temporary file is removed, and the result is false. A symbolic link is kept
// and its target replaced; the original's permissions are kept.
bool replace_file(const std::string& name, std::string_view content);

// Which file a name leads to (device and inode), when it exists.
struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    auto operator<=>(const FileIdentity&) const = default;
};
std::optional<FileIdentity> identify_file(const std::string& name);

// True when both names lead to the same existing file.
bool same_file(const std::string& first, const std::string& second);
