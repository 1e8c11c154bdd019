// What the POSIX files share with the walk that opens them: whether a file
// was planted, and the walk itself. Private to platform/posix/.
#pragma once

#include <string>
#include <sys/stat.h>

#include "platform/file_system.h"

// Whether the file info describes, in the folder open as folder_fd, was put
// there by another user in a shared folder.
bool planted(int folder_fd, const struct stat& info);

// Walks name a component at a time; see walk.cpp.
Outcome follow_links(const std::string& name, std::string& path, SystemFile& folder, std::string& last);
