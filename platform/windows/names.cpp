// Names on Windows: UTF-8 in the program and UTF-16 at the system, the
// system's reasons, the names kept for devices, and what tells one file
// from another.
//
// Divisions, in order:
//   1. Handles, errors and reasons.
//   2. Names: UTF-8 and UTF-16 both ways, devices, a file's final path.
//   3. The seam's names and identities, as files.h declares them.
#include <algorithm>
#include <cerrno>
#include <cstdint>
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
    std::wstring utf16;
    if (system_name(name, utf16))
        return false;
    const SystemFile file = open_file(utf16, 0);
    return file.is_open() && ::GetFileInformationByHandle(file.get(), &info);
}

// 2. Names

bool to_utf16(std::string_view utf8, std::wstring& utf16)
{
    utf16.assign(std::min(utf8.size(), longest_path), L'\0'); // never more units than bytes
    const int units = utf8.empty() || utf8.size() > longest_path
        ? 0
        : ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), utf16.data(),
              static_cast<int>(utf16.size()));
    utf16.resize(static_cast<std::size_t>(units));
    return units > 0 || utf8.empty();
}

std::wstring wide(const std::string& name)
{
    std::wstring utf16;
    to_utf16(name, utf16);
    return utf16;
}

namespace {

// How many bytes follow the lead byte of code in UTF-8: 7 bits fit one
// byte, 11 two, 16 three, 21 four.
int following_bytes(std::uint32_t code)
{
    if (code < 0x80)
        return 0;
    if (code < 0x800)
        return 1;
    return code < 0x10000 ? 2 : 3;
}

// How many bytes the UTF-8 character that lead begins takes.
std::size_t character_size(unsigned char lead)
{
    if (lead >= 0xf0)
        return 4;
    if (lead >= 0xe0)
        return 3;
    return lead >= 0xc0 ? 2 : 1;
}

} // namespace

// A lead byte holds as many high 1 bits as the bytes of its code point,
// then a 0 and the top bits of the code; each following byte holds 10 and
// 6 bits more. A lone surrogate is encoded as the code point it is, in 3
// bytes (as WTF-8 does), which the system never takes for UTF-8.
std::string to_utf8(std::wstring_view utf16)
{
    std::string utf8;
    for (std::size_t at = 0; at < utf16.size(); ++at) {
        std::uint32_t code = utf16[at];
        const bool pair = code >= 0xd800 && code < 0xdc00 && at + 1 < utf16.size() && utf16[at + 1] >= 0xdc00 &&
            utf16[at + 1] < 0xe000;
        if (pair)
            code = 0x10000 + ((code - 0xd800) << 10) + (utf16[++at] - 0xdc00);
        const int following = following_bytes(code);
        const std::uint32_t lead_bits = following == 0 ? 0 : 0xff00u >> (following + 1); // 0xc0, 0xe0 or 0xf0
        utf8 += static_cast<char>((lead_bits | (code >> (6 * following))) & 0xff);
        for (int shift = 6 * (following - 1); shift >= 0; shift -= 6)
            utf8 += static_cast<char>(0x80 | ((code >> shift) & 0x3f));
    }
    return utf8;
}

namespace {

bool reserved_device_name(std::string_view path)
{
    const std::size_t start = file_name_start(path);
    std::string base;
    for (const char ch : path.substr(start, path.find('.', start) - start)) // npos less start runs to the end
        base += static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - ('a' - 'A') : ch);
    const bool numbered = base.size() == 4 && base[3] >= '1' && base[3] <= '9';
    return base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" ||
        (numbered && (base.starts_with("COM") || base.starts_with("LPT")));
}

} // namespace

Outcome system_name(const std::string& name, std::wstring& utf16)
{
    if (reserved_device_name(name))
        return refusal("a reserved device name on Windows");
    if (name.size() > longest_path)
        return refusal(ERROR_FILENAME_EXCED_RANGE);
    if (!to_utf16(name, utf16))
        return refusal("the name is not valid UTF-8");
    return std::nullopt;
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

std::wstring console_text(std::string& pending, std::string_view bytes)
{
    pending.append(bytes);
    // A character not whole yet: its lead byte among the last three, its
    // following bytes still to come.
    std::size_t whole = pending.size();
    for (std::size_t back = 1; back <= std::min<std::size_t>(3, pending.size()); ++back) {
        const auto byte = static_cast<unsigned char>(pending[pending.size() - back]);
        if ((byte & 0xc0) == 0x80)
            continue; // a following byte: its lead is further back
        if (character_size(byte) > back)
            whole = pending.size() - back;
        break;
    }
    std::wstring text(whole, L'\0'); // never more units than bytes
    const int units = whole == 0 ? 0
                                 : ::MultiByteToWideChar(CP_UTF8, 0, pending.data(), static_cast<int>(whole),
                                       text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(units));
    pending.erase(0, whole);
    return text;
}

// 3. Names and identities

std::string executable_path()
{
    std::wstring path(32768, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return to_utf8(path);
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
