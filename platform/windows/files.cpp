// Files on Windows: names are UTF-8 in the program and UTF-16 at the
// system. Text files are the system's own: outputs carry CR LF, and the
// byte 0x1A ends a file being read. A replacement is written beside its file,
// flushed, and moved over it in one step (ReplaceFileW keeps the old file's
// attributes and security descriptor).
//
// Divisions, in order:
//   1. Names and reasons: UTF-8 to UTF-16, the system's reason for an error.
//   2. Handles and bytes: a file opened, every byte written, chunks read.
//   3. Where a write goes: the target a check and its write both take.
//   4. Temporary files: made beside the target, flushed, moved into place.
//   5. CR LF, the old file's last bytes, the lock.
//   6. The seam's calls, as files.h declares them.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <utility>
#include <windows.h>

#include "control/console.h"
#include "platform/files.h"
#include "platform/files_common.h"

namespace {

std::wstring wide(const std::string& name)
{
    return std::filesystem::path(std::u8string(name.begin(), name.end())).wstring();
}

// The system's reason for error, without its closing full stop.
std::string reason(DWORD error = ::GetLastError())
{
    char text[512];
    const std::string said(text,
        ::FormatMessageA(
            FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, sizeof text, nullptr));
    return said.empty() ? "error " + std::to_string(error) : said.substr(0, said.find_last_not_of(". \r\n") + 1);
}

// Owns an open file: closed when it goes; empty when the open failed.
using Handle = std::unique_ptr<void, decltype([](HANDLE file) { ::CloseHandle(file); })>;

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

Handle open_file(const std::wstring& name, DWORD access, DWORD how = OPEN_EXISTING, DWORD share = share_all)
{
    const HANDLE file = ::CreateFileW(name.c_str(), access, share, nullptr, how, FILE_ATTRIBUTE_NORMAL, nullptr);
    return Handle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

bool identify(const std::string& name, BY_HANDLE_FILE_INFORMATION& info)
{
    const Handle file = open_file(wide(name), 0);
    return file && ::GetFileInformationByHandle(file.get(), &info);
}

Failure failed(const std::string& step, DWORD error = ::GetLastError())
{
    return {step + " failed: " + reason(error), false, step};
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

// Hands the bytes of file to take from where it stands, up to a 0x1A when
// text_end. Running out of memory in take fails with ENOMEM.
Outcome read_chunks(HANDLE file, const std::function<void(std::string_view)>& take, bool text_end = true)
{
    try {
        std::string chunk(1 << 16, '\0');
        for (;;) {
            DWORD got = 0;
            if (!::ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr))
                return ::GetLastError() == ERROR_BROKEN_PIPE ? std::nullopt : Outcome(failed("reading"));
            const std::string_view bytes(chunk.data(), got);
            const std::size_t end = text_end ? bytes.find('\x1a') : std::string_view::npos;
            take(bytes.substr(0, end));
            if (got == 0 || end != std::string_view::npos)
                return std::nullopt;
        }
    } catch (const std::exception&) {
        return Failure{"it is larger than the memory at hand", false, "reading", ENOMEM};
    }
}

// Where writing a name puts the bytes: the one decision that both the check
// and the write take.
struct Target {
    std::wstring name;     // whole, from the drive on
    bool in_place = false; // a device or pipe, written where it is
    bool exists = false;   // else a regular file, there now or not yet
};

Outcome classify(const std::string& name, Target& target)
{
    // Whole, from the drive on: ReplaceFileW (under wine) takes no other.
    std::error_code unnamed; // an empty name has no whole form, and is refused when opened
    target.name = std::filesystem::absolute(wide(name), unnamed).wstring();
    const DWORD attributes = ::GetFileAttributesW(target.name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return refusal("Is a directory");
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return refusal(reason(ERROR_ACCESS_DENIED));
    // Asked by opening it for writing, without truncating, so that the
    // answer is the system's own.
    const Handle file = open_file(target.name, GENERIC_WRITE);
    target.exists = file != nullptr;
    target.in_place = file && ::GetFileType(file.get()) != FILE_TYPE_DISK;
    if (!file && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        return refusal(reason());
    return std::nullopt;
}

// The one temporary file that may exist at a time, for the Ctrl-C handler.
std::atomic<const wchar_t*> temporary_in_progress{nullptr};

// A temporary file beside the file it will replace, removed when it goes
// out of scope unless it was moved into place.
class TemporaryFile {
public:
    explicit TemporaryFile(const Target& target) : target_(target), file_(create())
    {
        if (file_)
            temporary_in_progress.store(name_.c_str());
    }
    ~TemporaryFile()
    {
        file_.reset();
        if (temporary_in_progress.exchange(nullptr) != nullptr)
            ::DeleteFileW(name_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Why it could not be made, or nothing when it was.
    Outcome refused() const { return file_ ? Outcome() : refusal(reason(error_)); }

    // Writes content, makes it durable, keeps the old target when asked
    // (keep_as then names the copy), and moves the file over the target.
    Outcome write_and_move(std::string_view content, const std::string& name, std::string* keep_as = nullptr)
    {
        if (!write_all(file_.get(), content))
            return failed("writing");
        if (!::FlushFileBuffers(file_.get()))
            return failed("syncing");
        if (!::CloseHandle(file_.release()))
            return failed("closing");
        if (keep_as != nullptr)
            if (Outcome failure = keep_copy(name, *keep_as))
                return failure;
        const bool moved = target_.exists
            ? ::ReplaceFileW(target_.name.c_str(), name_.c_str(), nullptr, 0, nullptr, nullptr)
            : ::MoveFileExW(name_.c_str(), target_.name.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (!moved)
            return failed("renaming");
        temporary_in_progress.store(nullptr);
        return std::nullopt;
    }

private:
    // A new file of a name that no file has: .quogtran- and a random number.
    Handle create()
    {
        static std::mt19937_64 random{std::random_device{}()};
        for (int tries = 0; tries < 100; ++tries) {
            name_ = target_.name.substr(0, target_.name.find_last_of(L"\\/") + 1) + L".quogtran-" +
                std::to_wstring(random() % 1000000000);
            // Shared for deletion alone: the Ctrl-C handler removes it while it is open.
            Handle file = open_file(name_, GENERIC_WRITE, CREATE_NEW, FILE_SHARE_DELETE);
            if (file || (error_ = ::GetLastError()) != ERROR_FILE_EXISTS)
                return file;
        }
        return nullptr;
    }

    // Copies the target to the first free copy name: a copy never goes
    // over a file.
    Outcome keep_copy(const std::string& name, std::string& kept_as) const
    {
        for (int number = 0;; ++number) {
            kept_as = copy_name(name, number);
            if (::CopyFileW(target_.name.c_str(), wide(kept_as).c_str(), TRUE))
                return std::nullopt;
            // A read-only copy there says "access denied": it is taken too.
            const DWORD error = ::GetLastError();
            const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
                (error == ERROR_ACCESS_DENIED &&
                    ::GetFileAttributesW(wide(kept_as).c_str()) != INVALID_FILE_ATTRIBUTES);
            if (!taken)
                return failed("keeping a copy as " + kept_as, error);
        }
    }

    const Target& target_;
    std::wstring name_;
    DWORD error_ = 0;
    Handle file_;
};

// The text with each LF as CR LF, as a text file is written here.
std::string with_crlf(std::string_view text)
{
    std::string converted;
    for (std::size_t at = 0, lf = 0; at < text.size(); at = lf + 1) {
        lf = std::min(text.find('\n', at), text.size());
        converted.append(text.substr(at, lf - at)).append(lf < text.size() ? "\r\n" : "");
    }
    return converted;
}

// The last bytes of the target as a text file reads: enough to tell whose
// making it is.
std::string last_bytes(const Target& target)
{
    const Handle file = open_file(target.name, GENERIC_READ);
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

// Takes the exclusive lock on file, saying so when another program holds it.
Outcome lock(HANDLE file, const std::string& name)
{
    OVERLAPPED whole{};
    if (::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole))
        return std::nullopt;
    put_text("\nWaiting for " + name + ", which another program is changing ...\n");
    std::fflush(stdout);
    return ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) ? Outcome() : failed("locking");
}

} // namespace

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

Outcome read_file(
    const std::string& name, const std::function<void(std::string_view)>& take, const Start& start, bool regular_only)
{
    std::fflush(stdout);
    const Handle file = open_file(wide(name), GENERIC_READ);
    // A missing quogo.dic is told where it is looked for.
    if (const DWORD error = ::GetLastError(); !file)
        return Failure{"\nCan't open " + name + ": " + reason(error) + "\n", true, "opening",
            error == ERROR_FILE_NOT_FOUND ? ENOENT : 0};
    const bool regular = ::GetFileType(file.get()) == FILE_TYPE_DISK;
    if (regular_only && !regular)
        return Failure{"\nCan't open " + name + ": not a regular file\n", true, "opening"};
    LARGE_INTEGER size{};
    if (start && !start(regular, regular && ::GetFileSizeEx(file.get(), &size) ? size.QuadPart : 0))
        return std::nullopt;
    if (Outcome failure = read_chunks(file.get(), take))
        return Failure{failure->error == ENOMEM ? "\nNot enough memory to read " + name + "\n"
                                                : "\nCan't read " + name + ": " + failure->line + "\n",
            true, "reading", failure->error};
    return std::nullopt;
}

Outcome check_writable(const std::string& name, TailTest)
{
    return writing_failed(name, [&]() -> Outcome {
        Target target;
        if (Outcome refused = classify(name, target))
            return refused;
        if (target.in_place)
            return std::nullopt;
        const TemporaryFile probe(target);
        if (Outcome refused = probe.refused())
            return refused;
        return std::nullopt;
    }());
}

Outcome replace_file(const std::string& name, std::string_view content, TailTest written_here, std::string& kept_as)
{
    return writing_failed(name, [&]() -> Outcome {
        Target target;
        if (Outcome refused = classify(name, target))
            return refused;
        const std::string text = with_crlf(content);
        if (target.in_place) {
            const Handle file = open_file(target.name, GENERIC_WRITE);
            return !file ? refusal(reason()) : write_all(file.get(), text) ? Outcome() : failed("writing");
        }
        TemporaryFile temp(target);
        if (Outcome refused = temp.refused())
            return refused;
        // A file of the user's own is kept, not lost to a name that happens to
        // be an output's.
        const bool keep = target.exists && written_here != nullptr && !written_here(last_bytes(target));
        return temp.write_and_move(text, name, keep ? &kept_as : nullptr);
    }());
}

Outcome update_file(
    const std::string& name, const std::function<std::optional<std::string>(const std::string&)>& change)
{
    return writing_failed(name, [&]() -> Outcome {
        for (;;) {
            Target target;
            if (Outcome refused = classify(name, target))
                return refused;
            if (target.in_place || !target.exists)
                return refusal(target.in_place ? "it is not a regular file" : reason(ERROR_FILE_NOT_FOUND));
            const Handle file = open_file(target.name, GENERIC_READ | GENERIC_WRITE);
            BY_HANDLE_FILE_INFORMATION original;
            if (!file || !::GetFileInformationByHandle(file.get(), &original))
                return refusal(reason());
            if (Outcome failure = lock(file.get(), name))
                return failure;
            // The file is replaced, never changed in place: when another run
            // replaced it while this one waited, the lock is on the old file.
            BY_HANDLE_FILE_INFORMATION now;
            if (!identify(name, now) || now.nFileIndexHigh != original.nFileIndexHigh ||
                now.nFileIndexLow != original.nFileIndexLow)
                continue;

            std::string current;
            if (Outcome failure = read_chunks(
                    file.get(), [&](std::string_view chunk) { current.append(chunk); }, false))
                return failure;
            // What follows a 0x1A is never read, and stays after the change.
            const std::size_t end = std::min(current.find('\x1a'), current.size());
            const std::optional<std::string> updated = change(current.substr(0, end));
            if (!updated)
                return std::nullopt;
            TemporaryFile temp(target);
            if (Outcome refused = temp.refused())
                return refused;
            return temp.write_and_move(*updated + current.substr(end), name);
        }
    }());
}

void remove_temporary_file_now()
{
    if (const wchar_t* name = temporary_in_progress.exchange(nullptr))
        ::DeleteFileW(name);
}
