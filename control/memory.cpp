#include "control/memory.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace {

std::uintptr_t round_up(std::uintptr_t at, std::uintptr_t unit)
{
    return (at + unit - 1) & ~(unit - 1);
}

std::uintptr_t round_down(std::uintptr_t at, std::uintptr_t unit)
{
    return at & ~(unit - 1);
}

} // namespace

void map_now(void* data, std::size_t bytes)
{
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    // Whole 2 MiB stretches may take huge pages: one fault maps all of one.
    constexpr std::uintptr_t huge = std::uintptr_t{2} << 20;
    const std::uintptr_t huge_first = round_up(start, huge);
    const std::uintptr_t huge_last = round_down(start + bytes, huge);
    if (huge_last > huge_first)
        ::madvise(reinterpret_cast<void*>(huge_first), huge_last - huge_first, MADV_HUGEPAGE);
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t first = round_up(start, page);
    const std::uintptr_t last = round_down(start + bytes, page);
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
}
