// Files on Windows: the primitives of the file policy. Names are UTF-8 in
// the program and UTF-16 at the system. Text files are the system's own:
// outputs carry CR LF, and the byte 0x1A ends a file being read. A
// replacement is moved over its file in one step (ReplaceFileW keeps the
// old file's attributes and security descriptor).
//
// Divisions, in order:
//   1. Names and reasons: UTF-8 to UTF-16, the system's reason for an error.
//   2. Handles and bytes: a file opened, every byte written, chunks read.
//   3. Where a write goes: the target a check and its write both take.
//   4. Temporary files: made beside the target, moved into place; copies.
//   5. Text files, writing in place, the old file's last bytes.
//   6. Updating: the file opened, locked, and still there.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <random>
#include <windows.h>

#include "platform/file_system.h"
#include "platform/files.h"

namespace {

std::wstring wide(const std::string& name)
{
    return std::filesystem::path(std::u8string(name.begin(), name.end())).wstring();
}

// The system's reason for error, without its closing full stop.
std::string reason(DWORD error)
{
    char text[512];
    const std::string said(text,
        ::FormatMessageA(
            FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, sizeof text, nullptr));
    return said.empty() ? "error " + std::to_string(error) : said.substr(0, said.find_last_not_of(". \r\n") + 1);
}

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

SystemFile open_file(const std::wstring& name, DWORD access, DWORD how = OPEN_EXISTING, DWORD share = share_all)
{
    const HANDLE file = ::CreateFileW(name.c_str(), access, share, nullptr, how, FILE_ATTRIBUTE_NORMAL, nullptr);
    return SystemFile(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

bool identify(const std::string& name, BY_HANDLE_FILE_INFORMATION& info)
{
    const SystemFile file = open_file(wide(name), 0);
    return file.is_open() && ::GetFileInformationByHandle(file.get(), &info);
}

// Writes every byte, or fails with the last error set. A write that takes
// nothing has found no room: it is never asked again.
bool write_all(HANDLE file, std::string_view bytes)
{
    DWORD written = 0;
    for (; !bytes.empty(); bytes.remove_prefix(written)) {
        if (!::WriteFile(file, bytes.data(), static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20)), &written,
                nullptr))
            return false;
        if (written == 0) {
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
    }
    return true;
}

// The one temporary file that may exist at a time, for the Ctrl-C handler.
std::wstring temporary_name;
std::atomic<const wchar_t*> temporary_in_progress{nullptr};

} // namespace

// 1. Names and reasons

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

// 2. Handles and bytes

Outcome open_to_read(const std::string& name, bool, SystemFile& file)
{
    file = open_file(wide(name), GENERIC_READ);
    return file.is_open() ? Outcome() : refusal();
}

Outcome kind_of(const SystemFile& file, bool& regular, std::size_t& size)
{
    LARGE_INTEGER bytes{};
    regular = ::GetFileType(file.get()) == FILE_TYPE_DISK;
    size = regular && ::GetFileSizeEx(file.get(), &bytes) ? static_cast<std::size_t>(bytes.QuadPart) : 0;
    return std::nullopt;
}

// From where the file stands: it is read once.
Outcome read_chunks(const SystemFile& file, bool, const std::function<bool(std::string_view)>& take)
{
    try {
        std::string chunk(1 << 16, '\0');
        for (;;) {
            DWORD got = 0;
            if (!::ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr))
                return ::GetLastError() == ERROR_BROKEN_PIPE ? std::nullopt : Outcome(refusal(last_error(), "reading"));
            if (got == 0 || !take(std::string_view(chunk.data(), got)))
                return std::nullopt;
        }
    } catch (const std::exception&) { // no room for what was read
        return Failure{"it is larger than the memory at hand", false, "reading", ENOMEM};
    }
}

Outcome write_and_sync(SystemFile& file, std::string_view content)
{
    if (!write_all(file.get(), content))
        return failed("writing");
    if (!::FlushFileBuffers(file.get()))
        return failed("syncing");
    if (!file.close())
        return failed("closing");
    return std::nullopt;
}

// 3. Where a write goes

Outcome find_target(const std::string& name, Target& target)
{
    target.path = name;
    // Whole, from the drive on: ReplaceFileW (under wine) takes no other.
    std::error_code unnamed; // an empty name has no whole form, and is refused when opened
    target.native.whole = std::filesystem::absolute(wide(name), unnamed).wstring();
    const std::wstring& whole = target.native.whole;
    target.last = name.substr(file_name_start(name));
    const DWORD attributes = ::GetFileAttributesW(whole.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return refusal("Is a directory");
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return refusal(ERROR_ACCESS_DENIED);
    // Asked by opening it for writing, without truncating, so that the
    // answer is the system's own.
    const SystemFile file = open_file(whole, GENERIC_WRITE);
    target.exists = file.is_open();
    target.in_place = file.is_open() && ::GetFileType(file.get()) != FILE_TYPE_DISK;
    if (!file.is_open() && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        return refusal();
    return std::nullopt;
}

// 4. Temporary files and copies

// .quogtran- and a random number, beside the target.
Outcome create_temporary(const Target& target, bool, std::string& name, SystemFile& file)
{
    static std::mt19937_64 random{std::random_device{}()};
    const std::wstring& whole = target.native.whole;
    for (int tries = 0; tries < 100; ++tries) {
        name = ".quogtran-" + std::to_string(random() % 1000000000);
        temporary_name = whole.substr(0, whole.find_last_of(L"\\/") + 1) + wide(name);
        // Shared for deletion alone: the Ctrl-C handler removes it while it is open.
        file = open_file(temporary_name, GENERIC_WRITE, CREATE_NEW, FILE_SHARE_DELETE);
        if (file.is_open()) {
            temporary_in_progress.store(temporary_name.c_str());
            return std::nullopt;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    return refusal();
}

void remove_temporary(const Target&, const std::string&)
{
    if (temporary_in_progress.exchange(nullptr) != nullptr)
        ::DeleteFileW(temporary_name.c_str());
}

// The temporary file is closed by then: written, flushed and closed.
bool rename_over(const Target& target, const std::string&)
{
    const std::wstring& whole = target.native.whole;
    const bool moved = target.exists
        ? ::ReplaceFileW(whole.c_str(), temporary_name.c_str(), nullptr, 0, nullptr, nullptr)
        : ::MoveFileExW(temporary_name.c_str(), whole.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (moved)
        temporary_in_progress.store(nullptr);
    return moved;
}

// A moved name lasts once MOVEFILE_WRITE_THROUGH or ReplaceFileW returns.
bool sync_folder(const Target&)
{
    return true;
}

void remove_temporary_file_now()
{
    if (const wchar_t* name = temporary_in_progress.exchange(nullptr))
        ::DeleteFileW(name);
}

// ReplaceFileW gives the new file the old one's rights.
Outcome take_rights(const Target&, const SystemFile&)
{
    return std::nullopt;
}

bool can_keep_owner(const Target&, const SystemFile&)
{
    return true;
}

bool copy_taken(const Target& target, const std::string& suffix)
{
    return ::GetFileAttributesW((target.native.whole + wide(suffix)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool copy_name_fits(const Target& target, const std::string& suffix)
{
    constexpr std::size_t longest_name = 255; // in UTF-16 units, on every file system here
    return wide(target.last + suffix).size() <= longest_name;
}

// A copy: CopyFileW, told not to copy over a file.
int make_copy(const Target& target, const std::string& suffix, bool& taken)
{
    const std::wstring copy = target.native.whole + wide(suffix);
    if (::CopyFileW(target.native.whole.c_str(), copy.c_str(), TRUE)) {
        taken = false;
        return 0;
    }
    // A read-only copy there says "access denied": it is taken too.
    const DWORD error = ::GetLastError();
    taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
        (error == ERROR_ACCESS_DENIED && ::GetFileAttributesW(copy.c_str()) != INVALID_FILE_ATTRIBUTES);
    return taken ? 0 : static_cast<int>(error);
}

// 5. Text files, writing in place, the old file's last bytes

std::size_t text_end(std::string_view bytes)
{
    return bytes.find('\x1a');
}

// Each LF as CR LF, as a text file is written here.
std::string_view as_written(std::string_view content, std::string& converted)
{
    for (std::size_t at = 0, lf = 0; at < content.size(); at = lf + 1) {
        lf = std::min(content.find('\n', at), content.size());
        converted.append(content.substr(at, lf - at)).append(lf < content.size() ? "\r\n" : "");
    }
    return converted;
}

Outcome write_in_place(const Target& target, std::string_view content)
{
    const SystemFile file = open_file(target.native.whole, GENERIC_WRITE);
    if (!file.is_open())
        return refusal();
    return write_all(file.get(), content) ? Outcome() : failed("writing");
}

std::string last_bytes(const Target& target)
{
    const SystemFile file = open_file(target.native.whole, GENERIC_READ);
    std::string tail(256, '\0');
    LARGE_INTEGER size{};
    DWORD got = 0;
    if (!::GetFileSizeEx(file.get(), &size) ||
        !::SetFilePointerEx(
            file.get(), LARGE_INTEGER{.QuadPart = std::max<LONGLONG>(0, size.QuadPart - 256)}, nullptr, FILE_BEGIN) ||
        !::ReadFile(file.get(), tail.data(), 256, &got, nullptr))
        return {};
    tail.resize(got);
    std::erase(tail, '\r');
    return tail;
}

// 6. Updating

Outcome open_to_update(Target& target, SystemFile& file)
{
    if (!target.exists)
        return refusal(ERROR_FILE_NOT_FOUND);
    file = open_file(target.native.whole, GENERIC_READ | GENERIC_WRITE);
    return file.is_open() ? Outcome() : refusal();
}

// Any lock that is not taken at once is waited for, as another program's.
bool try_lock(const SystemFile& file, bool& busy)
{
    OVERLAPPED whole{};
    busy =
        !::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole);
    return true;
}

bool wait_for_lock(const SystemFile& file)
{
    OVERLAPPED whole{};
    return ::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole);
}

bool still_there(const Target& target, const SystemFile& file)
{
    BY_HANDLE_FILE_INFORMATION opened;
    BY_HANDLE_FILE_INFORMATION now;
    return ::GetFileInformationByHandle(file.get(), &opened) && identify(target.path, now) &&
        now.nFileIndexHigh == opened.nFileIndexHigh && now.nFileIndexLow == opened.nFileIndexLow;
}
