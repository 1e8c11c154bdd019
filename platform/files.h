// Whole-file reading, and whole-file replacement that never leaves a file
// half written, never writes where a shell's > could not, never follows a
// link that another user planted in a shared folder, and keeps a file's
// owner, group, mode, ACL and extended attributes.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "control/failure.h"

// What tells the file called name apart from any other and from itself
// changed: its device, inode, size and change times; empty when none is
// there.
std::string file_version(const std::string& name);

// How a line of a text file ends here: LF, or CR LF on Windows.
#if defined(_WIN32)
constexpr std::string_view text_line_end = "\r\n";
#else
constexpr std::string_view text_line_end = "\n";
#endif

// The path of the running program, or empty when the system does not say.
std::string executable_path();

// Where the file's own name begins in path: after its last folder separator.
std::size_t file_name_start(std::string_view path);

// What tells the existing file called name apart from any other, links
// followed: its device and inode (volume and file index on Windows); empty
// when none is there.
std::string file_identity(const std::string& name);

// Opens the file called name (never through another user's link in a shared
// folder) and hands its bytes to take, a chunk at a time, once start has seen whether it is a regular file and how big
// it is (only a regular file's size is known beforehand) and has not said to stop. Standard output is flushed first:
// the file may be the terminal itself. A failure says "Can't open NAME", "Can't read NAME", or "Not enough memory to
// read NAME" when take runs out of memory; the usage screen follows it. With regular_only, anything but a regular file
// fails at once ("Can't open NAME: not a regular file"): a FIFO or a device is never waited on or read.
using Start = std::function<bool(bool regular, std::size_t size)>;
Outcome read_file(const std::string& name, const std::function<void(std::string_view)>& take, const Start& start = {},
    bool regular_only = false);

// Whether name could be written now: the decision the write itself takes,
// tried without changing any file; with written_here, as replace_file takes
// it, the name of the copy it would keep is checked too. A failure says "Can't write NAME: WHY",
// WHY being the system's reason ("Is a directory") or the step that failed
// and why ("syncing failed: Input/output error"); the usage screen follows
// when the file could not even be opened. Every failure of a write leaves
// the file as it was.
using TailTest = bool (*)(std::string_view tail);
Outcome check_writable(const std::string& name, TailTest written_here = nullptr);

// Replaces the file called name with content. A regular file (or a name not
// yet taken) is written to a temporary file beside it that is then renamed
// over it; a device, FIFO or terminal is written where it is, as a shell's >
// would. Symbolic links are followed and kept. When written_here is given
// and says that the old file's last bytes are not of this program's making,
// the old file is first kept as NAME~, or when that is taken as the first
// free NAME.~N~, and kept_as names it (else it stays as it is): no earlier
// copy is ever removed.
Outcome replace_file(const std::string& name, std::string_view content, TailTest written_here, std::string& kept_as);

// Read-modify-write of a regular file under an exclusive lock on it: change
// receives the content on disk and returns the new content, or nothing when
// the file should stay as it is. Concurrent updates by other runs queue up
// (a line says so while this one waits) and each sees the others' result.
Outcome update_file(
    const std::string& name, const std::function<std::optional<std::string>(const std::string&)>& change);

// Removes the temporary file of a replacement in progress. Safe to call from
// a signal handler.
void remove_temporary_file_now();
