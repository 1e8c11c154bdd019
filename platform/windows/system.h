// What the Windows files share: names at the system, its reasons, a file
// opened, and how a failed replacement is settled. Private to
// platform/windows/ and its tests.
#pragma once

#include <string>
#include <string_view>
#include <windows.h>

#include "platform/file_system.h"

// A UTF-8 name as the system takes it, in UTF-16.
std::wstring wide(const std::string& name);

// The system's reason for error, without its closing full stop.
std::string reason(DWORD error);

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
SystemFile open_file(const std::wstring& name, DWORD access, DWORD how = OPEN_EXISTING, DWORD share = share_all);
bool identify(const std::string& name, BY_HANDLE_FILE_INFORMATION& info);

// Whether the file name of path is one that Windows keeps for a device
// (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9), with or without an
// extension: such a name opens the device wherever the folder.
bool reserved_device_name(std::string_view path);

// Where the open file is, whole, links followed to the file itself.
std::wstring final_path(HANDLE file);

// After ReplaceFileW(replaced, replacement, backup) failed with error:
// puts the files as they were, or finishes the replacement, so that no
// version is lost; true when the replacement is in place.
bool settle_failed_replace(
    DWORD error, const std::wstring& replaced, const std::wstring& replacement, const std::wstring& backup);
