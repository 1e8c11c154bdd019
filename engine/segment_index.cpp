#include "engine/segment_index.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace {

// The key of a segment, as it stands: of a short one from two loads where
// they fit, and near the end of the dictionary from its bytes copied, so
// that every short key has its head, which the index compares.
WordKey segment_key(std::string_view dict, std::size_t key_pos, std::string_view segment)
{
    const char first = segment.empty() ? '\0' : segment.front();
    if (!word_at_a_time::usable || segment.size() > short_word_limit)
        return {segment, first, false, {}, hash_of(segment, first)};
    if (word_at_a_time::two_loads_fit(dict, key_pos + 1))
        return short_key(segment, first, first_bytes(segment.data(), segment.size()));
    std::array<std::uint64_t, 2> copied{};
    std::memcpy(copied.data(), segment.data(), segment.size());
    return short_key(segment, first, copied);
}

} // namespace

// Flattened: the step for each segment (its key, the look and the
// addition) is inlined into the sweep; called, it cost a tenth more.
[[gnu::flatten]] SegmentIndex::SegmentIndex(char prefix, std::string_view dict, std::size_t segments, bool with_arrows)
    : dict_(dict), table_(segments)
{
    for_each_segment(prefix, dict, [&](std::size_t key_pos, std::string_view segment) {
        if (segment.starts_with(' ') || segment.ends_with(' ') || (!with_arrows && segment.starts_with("->~")))
            return;
        const WordKey key = segment_key(dict, key_pos, segment);
        assert(key.hash == hash_of(segment, key.first));
        if (find(key) != not_found_yet)
            return; // the first occurrence is kept
        table_.add(key.hash, key_pos, [&](std::size_t at) {
            const std::string_view there = dict.substr(at + 1, next_byte(dict, at + 1, '_') - at - 1);
            return hash_of(there, there.empty() ? '\0' : there.front());
        });
    });
}
