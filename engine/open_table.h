// The open table under the segment index and the word table. Private to
// the engine.
#pragma once

#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/keys.h"

// Open addressing with linear probing, at most half full, under the segment
// index and the word table alike. A slot holds the top 16 bits of an item's
// hash, its tag, so that most other items are passed over unseen, and the
// item's value + 1; a free slot holds 0. What a value stands for, and when
// an item is the one sought, its user says.
class OpenTable {
public:
    static constexpr unsigned tag_bits = 16;
    static constexpr std::size_t value_limit = (std::size_t{1} << (64 - tag_bits)) - 1; // value + 1 must fit

    struct Slot {
        std::uint64_t value_plus_one : 64 - tag_bits; // 0: a free slot
        std::uint64_t tag : tag_bits;
    };
    // A free slot is all zeros: one compare of the whole word tells it.
    static bool is_free(Slot slot) { return std::bit_cast<std::uint64_t>(slot) == 0; }

    // Room for items without growing.
    explicit OpenTable(std::size_t items = 0) { make_room(items); }

    static std::uint64_t tag_of(std::uint64_t hash) { return hash >> (64 - tag_bits); }
    void prefetch(std::uint64_t hash) const { __builtin_prefetch(&slots_[hash & mask_]); }
    // Once the slot is in: fetch what the item in it needs, where(value),
    // when its tag is the hash's.
    template <typename Where> void prefetch_item(std::uint64_t hash, Where where) const
    {
        const Slot home = slots_[hash & mask_];
        if (!is_free(home) && home.tag == tag_of(hash))
            where(home.value_plus_one - 1);
    }

    // The value of the first item of this hash that is(value) accepts, or
    // not_found_yet.
    template <typename Is> std::size_t find(std::uint64_t hash, Is is) const
    {
        for (std::size_t at = hash & mask_; !is_free(slots_[at]); at = (at + 1) & mask_)
            if (slots_[at].tag == tag_of(hash) && is(slots_[at].value_plus_one - 1))
                return slots_[at].value_plus_one - 1;
        return not_found_yet;
    }

    // Adds an item that is not there yet. Before the table is half full it
    // grows, and hash_of(value) gives the hash of each item in it.
    template <typename HashOf> void add(std::uint64_t hash, std::size_t value, HashOf hash_of)
    {
        assert(value < value_limit);
        if (++items_ * 2 > slots_.size())
            grow(hash_of);
        place(hash, value);
    }

private:
    template <typename HashOf> [[gnu::noinline]] void grow(HashOf hash_of)
    {
        for (const Slot& slot : make_room(items_))
            if (!is_free(slot))
                place(hash_of(slot.value_plus_one - 1), slot.value_plus_one - 1);
    }
    std::vector<Slot> make_room(std::size_t items);
    // Here, not beside make_room: each user's adds and growth inline it.
    void place(std::uint64_t hash, std::size_t value)
    {
        std::size_t at = hash & mask_;
        while (!is_free(slots_[at]))
            at = (at + 1) & mask_;
        slots_[at] = {value + 1, tag_of(hash)};
    }

    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    std::size_t items_ = 0;
};
