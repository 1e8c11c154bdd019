// The primitives the file policy (files.cpp) is built on, one set for each
// platform: small steps that decide nothing the other platform decides
// otherwise. Within them a failure's reason is the system's alone,
// until the policy names the file. Private to platform/.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "control/failure.h"

#if defined(_WIN32)
#include <cstddef>
using SystemHandle = void*; // a HANDLE
constexpr SystemHandle no_handle = nullptr;
struct Native {
    std::wstring whole; // the name whole, from the drive on: what the system is given
};
#else
#include <sys/stat.h>
using SystemHandle = int; // a file descriptor
constexpr SystemHandle no_handle = -1;
struct Native {
    struct stat info { }; // of the file there now: what a replacement takes on
};
#endif

// Owns an open file of the system's: closed when it goes, unless closed
// before.
class SystemFile {
public:
    explicit SystemFile(SystemHandle handle = no_handle) : handle_(handle) { }
    ~SystemFile();
    SystemFile(const SystemFile&) = delete;
    SystemFile& operator=(const SystemFile&) = delete;
    // Takes other's file, closing its own.
    SystemFile& operator=(SystemFile&& other) noexcept
    {
        std::swap(handle_, other.handle_);
        return *this;
    }

    SystemHandle get() const { return handle_; }
    bool is_open() const { return handle_ != no_handle; }
    // Closes now, saying whether the close succeeded: a failed close may be
    // the first news of a failed write.
    bool close();

private:
    SystemHandle handle_;
};

// The system's error of the last call that failed.
int last_error();
// A file that could not be opened (or read, as step says), for the reason
// error gives.
Failure refusal(int error = last_error(), std::string step = "opening");
// A refusal that the system's errors do not say.
inline Failure refusal(const std::string& why)
{
    return {why, true, "opening"};
}
// A step of a write that failed, after the file was opened.
Failure failed(const std::string& step, int error = last_error());

// Where writing a name puts the bytes: the one decision that both the check
// and the write take.
struct Target {
    std::string path;      // where the name's links lead, for messages
    SystemFile folder;     // the folder there, held open by the walk, where the system has one
    std::string last;      // the file's name in it
    bool in_place = false; // a device, FIFO or terminal, written where it is
    bool exists = false;   // else a regular file, there now or not yet
    Native native;
};
// Refuses what a shell's > could not write and a link another user planted,
// and says where writing name would put its bytes.
Outcome find_target(const std::string& name, Target& target);

// Reading: a file opened as read_file describes, and its bytes handed to
// take (from the start when from_start, else as they come) for as long as
// it asks for more. Running out of memory in take fails with ENOMEM.
Outcome open_to_read(const std::string& name, bool regular_only, SystemFile& file);
// Whether file is a regular file, and then its size; a folder is refused.
Outcome kind_of(const SystemFile& file, bool& regular, std::size_t& size);
Outcome read_chunks(const SystemFile& file, bool from_start, const std::function<bool(std::string_view)>& take);

// Text files as the platform keeps them: where a text ends in bytes read
// (npos when it runs to their end), and content as it is written, made in
// converted when it differs.
std::size_t text_end(std::string_view bytes);
std::string_view as_written(std::string_view content, std::string& converted);
// The last bytes of the target as a text file reads: enough to tell whose
// making it is.
std::string last_bytes(const Target& target);

// Writes content to a device, FIFO or terminal where it is.
Outcome write_in_place(const Target& target, std::string_view content);
// Every byte written, then made durable, then closed: a failure names the
// step. A write that takes nothing has found no room.
Outcome write_and_sync(SystemFile& file, std::string_view content);

// A new file beside the target, of a name no file has, known to the signal
// handler until it is removed or renamed over the target; fresh asks for a
// new file's rights (the umask's share taken), else for the owner's alone.
Outcome create_temporary(const Target& target, bool fresh, std::string& name, SystemFile& file);
// Whether it is gone.
bool remove_temporary(const Target& target, const std::string& name);
// Gives the temporary file the owner, group, mode and attributes of the
// target there now; can_keep_owner asks only whether the owner could be.
Outcome take_rights(const Target& target, const SystemFile& file);
bool can_keep_owner(const Target& target, const SystemFile& file);
// Renames the temporary file over the target, in one step; then the folder
// is synced, so that the new name lasts as well as the bytes.
bool rename_over(const Target& target, const std::string& name);
bool sync_folder(const Target& target);

// Copies beside the target: whether the name target.last + suffix is taken
// or would be too long, and the file kept under it, never over a file
// (taken then says it was there); the system's error, or 0.
bool copy_taken(const Target& target, const std::string& suffix);
bool copy_name_fits(const Target& target, const std::string& suffix);
int make_copy(const Target& target, const std::string& suffix, bool& taken);

// Updating: the target opened for reading and writing (the target's rights
// then those of the file opened), the exclusive lock taken at once or
// waited for (busy says another program holds it), and whether the file
// opened is still the one the target's name leads to.
Outcome open_to_update(Target& target, SystemFile& file);
bool try_lock(const SystemFile& file, bool& busy);
bool wait_for_lock(const SystemFile& file);
bool still_there(const Target& target, const SystemFile& file);
