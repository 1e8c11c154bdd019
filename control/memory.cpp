#include "control/memory.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// How far past data the first multiple of unit lies (0 when data is one).
std::size_t to_boundary(const char* data, std::size_t unit)
{
    const auto address = reinterpret_cast<std::uintptr_t>(data);
    return (unit - address % unit) % unit;
}

// Applies advice to the whole units of unit bytes within [data, data + bytes).
void advise(char* data, std::size_t bytes, std::size_t unit, int advice)
{
    const std::size_t skip = to_boundary(data, unit);
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
    // Whole 2 MiB stretches may take huge pages: one fault maps all of one.
    advise(start, bytes, std::size_t{2} << 20, MADV_HUGEPAGE);
    advise(start, bytes, static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)), MADV_POPULATE_WRITE);
}
