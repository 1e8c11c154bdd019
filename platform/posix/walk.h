// What the POSIX files, the walk that opens them and the terminal share:
// the one write loop, whether a file was planted, and the walk itself.
// Private to platform/posix/.
#pragma once

#include <string>
#include <string_view>
#include <sys/stat.h>

#include "platform/file_system.h"

// Writes every byte, or fails with errno set. A write that takes nothing
// has found no room: it is never asked again, which could go on for ever.
// Safe to call from a signal handler.
bool write_all(int fd, std::string_view bytes);

// Whether the file info describes, in the folder open as folder_fd, was put
// there by another user in a shared folder.
bool planted(int folder_fd, const struct stat& info);

// Walks name a component at a time; see walk.cpp.
Outcome follow_links(const std::string& name, std::string& path, SystemFile& folder, std::string& last);
