// What the POSIX files share with the walk that opens them: an owned
// descriptor, the wording of a refusal, and the walk itself. Private to
// platform/posix/.
#pragma once

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <utility>

#include "platform/files_common.h"

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

// A file that could not be opened for writing, for the reason error gives.
Failure refusal(int error);
using ::refusal; // and those the system's errors do not say

// A step of a write that failed, after the file was opened.
Failure failed(const std::string& step, int error = errno);

// Whether the file info describes, in the folder open as folder_fd, was put
// there by another user in a shared folder.
bool planted(int folder_fd, const struct stat& info);

// Walks name a component at a time; see walk.cpp.
Outcome follow_links(const std::string& name, std::string& path, Descriptor& folder, std::string& last);

// Opens for reading what the walk of name found; see walk.cpp.
Outcome open_to_read(const std::string& name, bool regular_only, Descriptor& file);
