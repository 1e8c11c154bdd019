// Memory on POSIX: a large buffer asked to be mapped at once.
#include "platform/memory.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

#if defined(MADV_HUGEPAGE) && defined(MADV_POPULATE_WRITE)

namespace {

// Applies advice to the whole units of unit bytes within [data, data + bytes).
void advise(char* data, std::size_t bytes, std::size_t unit, int advice)
{
    const auto address = reinterpret_cast<std::uintptr_t>(data);
    const std::size_t skip = (unit - address % unit) % unit;
    if (bytes <= skip)
        return;
    const std::size_t whole = (bytes - skip) / unit * unit;
    if (whole > 0)
        ::madvise(data + skip, whole, advice);
}

} // namespace

void map_now(void* data, std::size_t bytes)
{
    char* const start = static_cast<char*>(data);
    // Huge pages alone are slower to fault in one by one; asked for together
    // with mapping everything now, they are the fastest way.
    advise(start, bytes, std::size_t{2} << 20, MADV_HUGEPAGE);
    advise(start, bytes, static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)), MADV_POPULATE_WRITE);
}

#else

void map_now(void*, std::size_t) { }

#endif
