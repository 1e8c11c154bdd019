// Large buffers made ready in one go: a hint to the system, kept here with
// the other calls of the platform.
#pragma once

#include <algorithm>
#include <cstddef>

// Asks the kernel to map the pages of bytes at data now, in one call and
// in huge pages where it can: on a virtual machine a page faulted in on
// first touch costs more than the work then done on it. Only a hint;
// nothing changes where it is declined or unknown.
void map_now(void* data, std::size_t bytes);

// Reserves room for size items of a string or vector and maps the first
// mapped of them at once (all of them, unless told).
template <typename Buffer>
void reserve_mapped(Buffer& buffer, std::size_t size, std::size_t mapped = static_cast<std::size_t>(-1))
{
    buffer.reserve(size);
    map_now(buffer.data(), std::min(mapped, buffer.capacity()) * sizeof(*buffer.data()));
}
