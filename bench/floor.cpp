// The least any program must do for a run's result: both outputs written
// whole and durably, each to a temporary file beside it that is synced and
// renamed over it, then the folder synced. A run of quogtran is compared
// with this, given the two files it wrote:
//   floor OUT1 COPY1 OUT2 COPY2   writes COPY1's bytes as OUT1, COPY2's as OUT2
// The copies are read first, whole, in as few calls as the system takes.
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file's bytes, in as few reads as the system takes.
std::string read_whole(const char* name)
{
    const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
    struct stat info { };
    std::string bytes;
    if (fd < 0 || ::fstat(fd, &info) != 0)
        return bytes;
    bytes.resize(static_cast<std::size_t>(info.st_size));
    for (std::size_t at = 0; at < bytes.size();) {
        const ssize_t got = ::read(fd, bytes.data() + at, bytes.size() - at);
        if (got <= 0)
            break;
        at += static_cast<std::size_t>(got);
    }
    ::close(fd);
    return bytes;
}

bool write_durably(const std::string& name, const std::string& bytes)
{
    const std::string temporary = name + ".floor-tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool done = fd >= 0;
    // A mebibyte at a time, each handed to the disk at once, so that the
    // sync waits for less: the quickest way the system offers.
    constexpr std::size_t piece = std::size_t{1} << 20;
    for (std::size_t at = 0; done && at < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.data() + at, std::min(piece, bytes.size() - at));
        done = written > 0;
#ifdef SYNC_FILE_RANGE_WRITE
        if (done)
            ::sync_file_range(fd, static_cast<off_t>(at), written, SYNC_FILE_RANGE_WRITE);
#endif
        at += done ? static_cast<std::size_t>(written) : 0;
    }
    done = done && ::fsync(fd) == 0;
    done = fd >= 0 && ::close(fd) == 0 && done;
    return done && ::rename(temporary.c_str(), name.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fputs("usage: floor OUT1 COPY1 OUT2 COPY2\n", stderr);
        return 2;
    }
    for (int pair = 1; pair < argc; pair += 2) {
        if (!write_durably(argv[pair], read_whole(argv[pair + 1]))) {
            std::perror(argv[pair]);
            return 1;
        }
    }
    const int folder = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return folder >= 0 && ::fsync(folder) == 0 ? 0 : 1;
}
