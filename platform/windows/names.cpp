// Names on Windows: UTF-8 in the program and UTF-16 at the system, the
// system's reasons, the names kept for devices, and what tells one file
// from another.
//
// Divisions, in order:
//   1. Handles, errors and reasons.
//   2. Names: UTF-16, devices, a file's final path.
//   3. The seam's names and identities, as files.h declares them.
#include <cerrno>
#include <filesystem>
#include <utility>

#include "platform/files.h"
#include "platform/windows/system.h"

// 1. Handles, errors and reasons

SystemFile::~SystemFile()
{
    if (is_open())
        ::CloseHandle(handle_);
}

bool SystemFile::close()
{
    return ::CloseHandle(std::exchange(handle_, no_handle));
}

int last_error()
{
    return static_cast<int>(::GetLastError());
}

std::string reason(DWORD error)
{
    char text[512];
    const std::string said(text,
        ::FormatMessageA(
            FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, sizeof text, nullptr));
    return said.empty() ? "error " + std::to_string(error) : said.substr(0, said.find_last_not_of(". \r\n") + 1);
}

// A missing file is told as POSIX tells it: a missing quogo.dic is told
// where it is looked for.
Failure refusal(int error, std::string step)
{
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return {reason(static_cast<DWORD>(error)), true, std::move(step), missing ? ENOENT : error};
}

Failure failed(const std::string& step, int error)
{
    return {step + " failed: " + reason(static_cast<DWORD>(error)), false, step, error};
}

SystemFile open_file(const std::wstring& name, DWORD access, DWORD how, DWORD share)
{
    const HANDLE file = ::CreateFileW(name.c_str(), access, share, nullptr, how, FILE_ATTRIBUTE_NORMAL, nullptr);
    return SystemFile(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

// A device's name is never opened: AUX would wait on a serial line.
bool identify(const std::string& name, BY_HANDLE_FILE_INFORMATION& info)
{
    if (reserved_device_name(name))
        return false;
    const SystemFile file = open_file(wide(name), 0);
    return file.is_open() && ::GetFileInformationByHandle(file.get(), &info);
}

// 2. Names

std::wstring wide(const std::string& name)
{
    return std::filesystem::path(std::u8string(name.begin(), name.end())).wstring();
}

bool reserved_device_name(std::string_view path)
{
    std::string base;
    for (const char ch : path.substr(file_name_start(path), path.find('.', file_name_start(path))))
        base += static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - ('a' - 'A') : ch);
    const bool numbered = base.size() == 4 && base[3] >= '1' && base[3] <= '9';
    return base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" ||
        (numbered && (base.starts_with("COM") || base.starts_with("LPT")));
}

// Without the \\?\ that the system puts before a drive, which not every
// call (ReplaceFileW under wine) takes.
std::wstring final_path(HANDLE file)
{
    std::wstring path(32768, L'\0');
    path.resize(::GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), 0));
    if (path.starts_with(L"\\\\?\\") && path.size() > 5 && path[5] == L':')
        path.erase(0, 4);
    return path;
}

// 3. Names and identities

std::string executable_path()
{
    std::wstring path(32768, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    const std::u8string name = std::filesystem::path(path).u8string();
    return std::string(name.begin(), name.end());
}

std::size_t file_name_start(std::string_view path)
{
    return path.find_last_of("/\\:") + 1; // npos + 1 is 0
}

std::string file_version(const std::string& name)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!identify(name, info))
        return {};
    std::string version;
    for (const DWORD field : {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow, info.nFileSizeHigh,
             info.nFileSizeLow, info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime})
        version += std::to_string(field) + ":";
    return version;
}

std::string file_identity(const std::string& name)
{
    BY_HANDLE_FILE_INFORMATION info;
    return !identify(name, info) ? ""
                                 : std::to_string(info.dwVolumeSerialNumber) + ":" +
            std::to_string(info.nFileIndexHigh) + ":" + std::to_string(info.nFileIndexLow);
}
