// Loaded with LD_PRELOAD, makes one kind of call on the program's temporary
// files fail with EIO after doing its work, as a failing disk would
// (QUOGTRAN_FAIL=close, fsync, fsetxattr or unlink), makes a write take nothing
// (QUOGTRAN_FAIL=nothing), makes the sync of a folder
// fail (QUOGTRAN_FAIL=folder), makes the creation of a temporary file
// take 300 ms (QUOGTRAN_FAIL=slow), so that a signal can arrive just then,
// or, as the first new output's temporary file is made, moves the folder
// shelf away and puts a link to the folder elsewhere in its place
// (QUOGTRAN_FAIL=swap), as another program might between a check and a write.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool wanted(const char* call)
{
    const char* what = std::getenv("QUOGTRAN_FAIL");
    return what != nullptr && std::strcmp(what, call) == 0;
}

bool temporary(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    return std::strncmp(slash != nullptr ? slash + 1 : path, ".quogtran-", 10) == 0;
}

bool fails(const char* call, int fd)
{
    if (!wanted(call))
        return false;
    char target[4096];
    const ssize_t length = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target - 1);
    if (length <= 0)
        return false;
    target[length] = '\0';
    return temporary(target);
}

template <typename Call> Call real(const char* name)
{
    return reinterpret_cast<Call>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int close(int fd)
{
    const bool fail = fails("close", fd);
    const int result = real<int (*)(int)>("close")(fd);
    if (!fail)
        return result;
    errno = EIO;
    return -1;
}

extern "C" int fsync(int fd)
{
    struct stat info { };
    const bool folder = wanted("folder") && ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
    if (!folder && !fails("fsync", fd))
        return real<int (*)(int)>("fsync")(fd);
    errno = EIO;
    return -1;
}

// A write to a temporary file that takes nothing, as a device with no room
// may answer (QUOGTRAN_FAIL=nothing).
extern "C" ssize_t write(int fd, const void* bytes, size_t size)
{
    if (fails("nothing", fd))
        return 0;
    return real<ssize_t (*)(int, const void*, size_t)>("write")(fd, bytes, size);
}

extern "C" int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags)
{
    if (!fails("fsetxattr", fd))
        return real<int (*)(int, const char*, const void*, size_t, int)>("fsetxattr")(fd, name, value, size, flags);
    errno = EIO;
    return -1;
}

extern "C" int unlinkat(int folder, const char* path, int flags)
{
    const int result = real<int (*)(int, const char*, int)>("unlinkat")(folder, path, flags);
    if (!wanted("unlink") || !temporary(path))
        return result;
    errno = EIO;
    return -1;
}

namespace {

void before_creating(const char* path, mode_t mode)
{
    static bool swapped = false;
    if (wanted("swap") && !swapped && temporary(path) && mode == 0666) {
        swapped = true;
        ::rename("shelf", "shelf.old");
        ::symlink("elsewhere", "shelf");
    }
}

} // namespace

extern "C" int open(const char* path, int flags, ...)
{
    va_list more;
    va_start(more, flags);
    const auto mode = static_cast<mode_t>((flags & O_CREAT) != 0 ? va_arg(more, int) : 0);
    va_end(more);
    before_creating(path, mode);
    const int fd = real<int (*)(const char*, int, ...)>("open")(path, flags, mode);
    if (wanted("slow") && temporary(path))
        ::usleep(300000);
    return fd;
}

extern "C" int openat(int folder, const char* path, int flags, ...)
{
    va_list more;
    va_start(more, flags);
    const auto mode = static_cast<mode_t>((flags & O_CREAT) != 0 ? va_arg(more, int) : 0);
    va_end(more);
    before_creating(path, mode);
    const int fd = real<int (*)(int, const char*, int, ...)>("openat")(folder, path, flags, mode);
    if (wanted("slow") && temporary(path))
        ::usleep(300000);
    return fd;
}
