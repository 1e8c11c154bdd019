#include "engine/open_table.h"

#include "platform/memory.h"

// Gives the table room for items at most half full, and hands back the
// slots it had.
std::vector<OpenTable::Slot> OpenTable::make_room(std::size_t items)
{
    std::size_t size = 16;
    while (size < items * 2)
        size *= 2;
    std::vector<Slot> fresh;
    reserve_mapped(fresh, size);
    fresh.assign(size, Slot{0, 0});
    fresh.swap(slots_);
    mask_ = size - 1;
    return fresh;
}
