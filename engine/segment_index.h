// Every segment of a dictionary, by its bytes, with where it first stands:
// the lookup of a pass whose words are many. Private to the engine.
#pragma once

#include <cstddef>
#include <string_view>

#include "engine/keys.h"
#include "engine/open_table.h"

// Every segment of a dictionary, by its bytes, with where it first stands.
class SegmentIndex {
public:
    SegmentIndex() = default;
    // Segments that begin or end with a space are left out, as no word holds
    // one, and so are those that begin with "->~" unless with_arrows. Room
    // is made for so many segments at once.
    SegmentIndex(char prefix, std::string_view dict, std::size_t segments, bool with_arrows);

    // Fetch the memory that find will need, the slot a little before the
    // bytes, so that a stream of lookups need not wait for it.
    void prefetch(const WordKey& key) const { table_.prefetch(key.hash); }
    void prefetch_more(const WordKey& key) const
    {
        table_.prefetch_item(key.hash, [&](std::size_t key_pos) { __builtin_prefetch(dict_.data() + key_pos); });
    }

    // Where the key of a word that spans no segments first stands.
    std::size_t find(const WordKey& key) const
    {
        return table_.find(key.hash, [&](std::size_t key_pos) { return is_segment(key, key_pos); });
    }

private:
    // Whether the segment at key_pos is the word exactly: its bytes and the
    // underscore that follows them. For a short word, a compare or two.
    bool is_segment(const WordKey& key, std::size_t key_pos) const
    {
        const std::size_t size = key.word.size();
        if (word_at_a_time::usable && size <= short_word_limit && word_at_a_time::two_loads_fit(dict_, key_pos + 1))
            return same_bytes(dict_.data() + key_pos + 1, key.head, size + 1);
        if (key_pos + 1 + size >= dict_.size() || dict_[key_pos + 1 + size] != '_' ||
            (size > 0 && dict_[key_pos + 1] != key.first))
            return false;
        std::size_t same = 1; // words are short: a loop beats a call
        while (same < size && dict_[key_pos + 1 + same] == key.word[same])
            ++same;
        return same >= size;
    }

    std::string_view dict_;
    OpenTable table_;
};
