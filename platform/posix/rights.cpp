// Rights and copies on POSIX: a replacement takes on the owner, group,
// mode and extended attributes (the ACL among them) of the file it
// replaces, and a file of the user's own is kept beside it by a hard link.
//
// Divisions, in order:
//   1. Extended attributes: read from the very file, copied exactly.
//   2. Rights: owner, then mode, then attributes.
//   3. Copies beside the file.
#include <algorithm>
#include <climits>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>
#if defined(__linux__)
#include <sys/xattr.h>
#endif

#include "platform/file_system.h"

namespace {

// 1. Extended attributes

#if defined(__linux__)
// The names of a file's extended attributes, its ACL among them, from list
// (listxattr or flistxattr), whose answer the kernel keeps within 64 KiB;
// none where the file system keeps none. The room for it, as for a value,
// is left as it comes: zeroing it cost half of a small run's instructions.
constexpr std::size_t attribute_room = 1 << 16;
template <typename List> std::vector<std::string> attribute_names(List list)
{
    const auto names = std::make_unique_for_overwrite<char[]>(attribute_room);
    std::vector<std::string> split;
    for (ssize_t at = 0, size = list(names.get(), attribute_room); at < size; at += split.back().size() + 1)
        split.emplace_back(names.get() + at);
    return split;
}

// Gives copy exactly the extended attributes of the target: its ACL, so
// that nobody gains or loses a right, and the others. They are read
// through /proc/self/fd from that very file, held open (by the name where
// /proc is missing).
Outcome copy_attributes(const Target& target, int copy)
{
    const SystemFile held(::openat(target.folder.get(), target.last.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    std::string original = "/proc/self/fd/" + std::to_string(held.get());
    if (!held.is_open() || ::access(original.c_str(), F_OK) != 0)
        original = target.path;
    const auto wanted =
        attribute_names([&](char* list, std::size_t size) { return ::listxattr(original.c_str(), list, size); });
    const auto value = std::make_unique_for_overwrite<char[]>(attribute_room); // the most a value may hold
    for (const std::string& name : wanted) {
        const ssize_t size = ::getxattr(original.c_str(), name.c_str(), value.get(), attribute_room);
        if (size < 0 || ::fsetxattr(copy, name.c_str(), value.get(), static_cast<std::size_t>(size), 0) != 0)
            return failed("keeping the extended attribute " + name);
    }
    for (const std::string& name :
        attribute_names([&](char*list, std::size_t size) { return ::flistxattr(copy, list, size); }))
        if (std::find(wanted.begin(), wanted.end(), name) == wanted.end() && ::fremovexattr(copy, name.c_str()) != 0)
            return failed("removing the extended attribute " + name);
    return std::nullopt;
}
#else
Outcome copy_attributes(const Target&, int)
{
    return std::nullopt;
}
#endif

} // namespace

// 2. Rights

Outcome take_rights(const Target& target, const SystemFile& file)
{
    const struct stat& info = target.native.info;
    if (::fchown(file.get(), info.st_uid, info.st_gid) != 0)
        return failed("keeping the owner");
    // After the owner: a change of owner may clear the set-id bits.
    if (::fchmod(file.get(), info.st_mode & 07777) != 0)
        return failed("keeping the mode");
    return copy_attributes(target, file.get());
}

bool can_keep_owner(const Target& target, const SystemFile& file)
{
    return ::fchown(file.get(), target.native.info.st_uid, target.native.info.st_gid) == 0;
}

// 3. Copies beside the file

bool copy_taken(const Target& target, const std::string& suffix)
{
    struct stat info;
    return ::fstatat(target.folder.get(), (target.last + suffix).c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool copy_name_fits(const Target& target, const std::string& suffix)
{
    return target.last.size() + suffix.size() <= NAME_MAX;
}

// A hard link: the copy costs nothing, and a link is never made over a file.
int make_copy(const Target& target, const std::string& suffix, bool& taken)
{
    const int folder = target.folder.get();
    const bool made = ::linkat(folder, target.last.c_str(), folder, (target.last + suffix).c_str(), 0) == 0;
    taken = !made && errno == EEXIST;
    return made || taken ? 0 : errno;
}
