// Files on Windows: the primitives of the file policy (names are in
// names.cpp). Text files are the system's own: outputs carry CR LF, and the
// byte 0x1A ends a file being read. A replacement is moved over the file a
// name leads to, links followed, in one step (ReplaceFileW keeps the old
// file's attributes and security descriptor).
//
// Divisions, in order:
//   1. Bytes: every byte written, chunks read.
//   2. Where a write goes: the target a check and its write both take.
//   3. Temporary files: made beside the target, moved into place; copies.
//   4. Text files, writing in place, the old file's last bytes.
//   5. Updating: the file opened, locked, and still there.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <random>

#include "platform/files.h"
#include "platform/windows/system.h"

namespace {

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

// 1. Bytes

Outcome open_to_read(const std::string& name, bool, SystemFile& file)
{
    std::wstring utf16;
    if (Outcome refused = system_name(name, utf16))
        return refused;
    file = open_file(utf16, GENERIC_READ);
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
        constexpr std::size_t chunk_size = 1 << 16;
        const auto chunk = std::make_unique_for_overwrite<char[]>(chunk_size); // as it comes: filled by each read
        for (;;) {
            DWORD got = 0;
            if (!::ReadFile(file.get(), chunk.get(), static_cast<DWORD>(chunk_size), &got, nullptr))
                return ::GetLastError() == ERROR_BROKEN_PIPE ? std::nullopt : Outcome(refusal(last_error(), "reading"));
            if (got == 0 || !take(std::string_view(chunk.get(), got)))
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

// 2. Where a write goes

Outcome find_target(const std::string& name, Target& target)
{
    std::wstring utf16;
    if (Outcome refused = system_name(name, utf16))
        return refused;
    target.path = name;
    // Whole, from the drive on: ReplaceFileW (under wine) takes no other.
    std::error_code unnamed; // an empty name has no whole form, and is refused when opened
    target.native.whole = std::filesystem::absolute(utf16, unnamed).wstring();
    std::wstring& whole = target.native.whole;
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
    // A link is kept: what it leads to is the file replaced, kept and
    // locked, as on POSIX.
    if (const std::wstring there = target.exists ? final_path(file.get()) : L""; !there.empty() && there != whole) {
        whole = there;
        target.path = to_utf8(there);
        target.last = target.path.substr(file_name_start(target.path));
    }
    return std::nullopt;
}

// 3. Temporary files and copies

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

bool remove_temporary(const Target&, const std::string&)
{
    return temporary_in_progress.exchange(nullptr) == nullptr || ::DeleteFileW(temporary_name.c_str()) ||
        ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

// The temporary file is closed by then: written, flushed and closed. The
// old file goes to a backup name first, so that a replacement failing half
// way has it still, and is removed once the new one is in place.
bool rename_over(const Target& target, const std::string&)
{
    const std::wstring& whole = target.native.whole;
    const std::wstring backup = temporary_name + L"~";
    bool moved = false;
    if (!target.exists)
        moved =
            ::MoveFileExW(temporary_name.c_str(), whole.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    else if (::ReplaceFileW(whole.c_str(), temporary_name.c_str(), backup.c_str(), 0, nullptr, nullptr))
        moved = true;
    else
        moved = settle_failed_replace(::GetLastError(), whole, temporary_name, backup);
    if (moved) {
        ::DeleteFileW(backup.c_str()); // the old file, once the new one is in its place
        temporary_in_progress.store(nullptr);
    }
    return moved;
}

bool settle_failed_replace(
    DWORD error, const std::wstring& replaced, const std::wstring& replacement, const std::wstring& backup)
{
    // Each documented failure leaves the old file under its name, or under
    // the backup name (ERROR_UNABLE_TO_MOVE_REPLACEMENT_2), or, had no
    // backup been taken, nowhere (ERROR_UNABLE_TO_MOVE_REPLACEMENT); the new
    // one is still under its own. A name left without a file gets the old
    // one back, else the new one.
    const bool name_left = ::GetFileAttributesW(replaced.c_str()) == INVALID_FILE_ATTRIBUTES;
    const bool old_back = name_left && ::MoveFileExW(backup.c_str(), replaced.c_str(), MOVEFILE_WRITE_THROUGH);
    const bool new_in_place =
        name_left && !old_back && ::MoveFileExW(replacement.c_str(), replaced.c_str(), MOVEFILE_WRITE_THROUGH);
    ::SetLastError(error);
    return new_in_place;
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

// 4. Text files, writing in place, the old file's last bytes

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

// 5. Updating

Outcome open_to_update(Target& target, SystemFile& file)
{
    if (!target.exists)
        return refusal(ERROR_FILE_NOT_FOUND);
    file = open_file(target.native.whole, GENERIC_READ | GENERIC_WRITE);
    return file.is_open() ? Outcome() : refusal();
}

// The lock is on one byte far past the end of any dictionary: a lock on
// Windows keeps others from reading the bytes it covers, and readers must
// see the old file or the new one whole. Writers still queue on that byte.
OVERLAPPED lock_byte()
{
    OVERLAPPED far_out{};
    far_out.OffsetHigh = 0x7fffffff;
    return far_out;
}

// Any lock that is not taken at once is waited for, as another program's.
bool try_lock(const SystemFile& file, bool& busy)
{
    OVERLAPPED at = lock_byte();
    busy = !::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
    return true;
}

bool wait_for_lock(const SystemFile& file)
{
    OVERLAPPED at = lock_byte();
    return ::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at);
}

bool still_there(const Target& target, const SystemFile& file)
{
    BY_HANDLE_FILE_INFORMATION opened;
    BY_HANDLE_FILE_INFORMATION now;
    return ::GetFileInformationByHandle(file.get(), &opened) && identify(target.path, now) &&
        now.nFileIndexHigh == opened.nFileIndexHigh && now.nFileIndexLow == opened.nFileIndexLow;
}
