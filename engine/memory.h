// Large buffers made ready in one go. Private to the engine.
#pragma once

#include <cstddef>
#include <string>

// Asks the kernel to map the pages of bytes at data now, in one call and
// in huge pages where it can: on a virtual machine a page faulted in on
// first touch costs more than the work then done on it. Only a hint;
// nothing changes where it is declined or unknown.
void map_now(void* data, std::size_t bytes);

// Reserves room for size bytes and maps all of it at once.
inline void reserve_mapped(std::string& text, std::size_t size)
{
    text.reserve(size);
    map_now(text.data(), text.capacity());
}
