// What the Windows files share: names at the system, its reasons, a file
// opened, and how a failed replacement is settled. Private to
// platform/windows/ and its tests.
#pragma once

#include <string>
#include <string_view>
#include <windows.h>

#include "platform/file_system.h"

// UTF-8 as the system takes it, in UTF-16: false, and nothing converted,
// for bytes that are not UTF-8 (or too long for a name); and back, a lone
// surrogate kept in bytes that are not UTF-8, so that such a name is
// refused when opened, never taken for another. Neither throws.
bool to_utf16(std::string_view utf8, std::wstring& utf16);
constexpr std::size_t longest_path = 32767; // the longest the system takes, in UTF-16 units (and here in bytes)
std::string to_utf8(std::wstring_view utf16);
// A name of the program's own making, known to be UTF-8, in UTF-16.
std::wstring wide(const std::string& name);

// The system's reason for error, without its closing full stop.
std::string reason(DWORD error);

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
SystemFile open_file(const std::wstring& name, DWORD access, DWORD how = OPEN_EXISTING, DWORD share = share_all);
bool identify(const std::string& name, BY_HANDLE_FILE_INFORMATION& info);

// The UTF-8 bytes as the console's characters, whole: a character cut at
// the end of bytes waits in pending for the bytes that follow it; bytes that
// are not UTF-8 show as U+FFFD.
std::wstring console_text(std::string& pending, std::string_view bytes);

// A name as the system takes it, in utf16; refused when its file name is
// one that Windows keeps for a device (CON, PRN, AUX, NUL, COM1 to COM9,
// LPT1 to LPT9, with or without an extension: such a name opens the device
// wherever the folder), or when it is not UTF-8.
Outcome system_name(const std::string& name, std::wstring& utf16);

// Where the open file is, whole, links followed to the file itself.
std::wstring final_path(HANDLE file);

// After ReplaceFileW(replaced, replacement, backup) failed with error:
// puts the files as they were, or finishes the replacement, so that no
// version is lost; true when the replacement is in place.
bool settle_failed_replace(
    DWORD error, const std::wstring& replaced, const std::wstring& replacement, const std::wstring& backup);
