// Large buffers made ready in one go. Private to the engine.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

// Asks the kernel to map the pages of bytes at data now, in one call and
// in huge pages where it can: on a virtual machine a page faulted in on
// first touch costs more than the work then done on it. Only a hint;
// nothing changes where it is declined or unknown.
void map_now(void* data, std::size_t bytes);

// Reserves room for size bytes and maps the first mapped of them at once
// (all of them, unless told).
inline void reserve_mapped(std::string& text, std::size_t size, std::size_t mapped = static_cast<std::size_t>(-1))
{
    text.reserve(size);
    map_now(text.data(), std::min(mapped, text.capacity()));
}
