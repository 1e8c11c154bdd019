#include "engine/lookup.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <set>
#include <string>

#include "control/bytes.h"
#include "control/console.h"
#include "engine/memory.h"

namespace {

// A hash of word as looked up: first in place of its first byte. Its bytes
// are taken 8 at a time from its start, the last ones padded with zeros,
// into its length; so a short word is hashed from one load (short_key).
std::uint64_t hash_of(std::string_view word, char first)
{
    std::uint64_t h = word.size() * 0x9e3779b97f4a7c15ull;
    for (std::size_t at = 0; at < word.size(); at += 8) {
        std::uint64_t block = 0;
        std::memcpy(&block, word.data() + at, std::min<std::size_t>(8, word.size() - at));
        if (at == 0)
            block = (block & ~std::uint64_t{0xff}) | static_cast<unsigned char>(first);
        h = mix(h ^ block);
    }
    return h;
}

std::uint64_t tag_of(std::uint64_t hash)
{
    return hash & 0xffffffff00000000ull;
}

std::size_t shape_of(std::size_t length, char first)
{
    return (length & 63) << 8 | static_cast<unsigned char>(first);
}

// The rolling hash of the span search: over a text t, H(0) = 0 and
// H(i + 1) = H(i) * base + t[i], so the bytes from a to b hash to
// H(b) - H(a) * base^(b - a).
constexpr std::uint64_t base = 0x100000001b3ull;

std::uint64_t rolled(std::uint64_t h, char ch)
{
    return h * base + static_cast<unsigned char>(ch);
}

// The hash of a key that may span segments: its rolling hash, mixed, so
// that the span search finds its words in the table by the same hash.
// Four bytes a step: the chain of products that must wait on each other is
// a quarter as long.
std::uint64_t spanning_hash(char prefix, char first, std::string_view rest)
{
    constexpr std::uint64_t base2 = base * base;
    const auto byte = [&](std::size_t at) { return static_cast<std::uint64_t>(static_cast<unsigned char>(rest[at])); };
    std::uint64_t h = rolled(rolled(0, prefix), first);
    std::size_t at = 0;
    for (; at + 4 <= rest.size(); at += 4)
        h = h * base2 * base2 + (byte(at) * base + byte(at + 1)) * base2 + byte(at + 2) * base + byte(at + 3);
    for (; at < rest.size(); ++at)
        h = rolled(h, rest[at]);
    return mix(rolled(h, '_'));
}

// Calls visit(key position, segment) for each segment of dict, in order:
// '_' keys stand at an underscore and run to the next; '~' keys stand at the
// last '~' before an underscore (and after the one before it).
template <typename Visit> void for_each_segment(char prefix, std::string_view dict, Visit visit)
{
    std::size_t key_pos = 0;
    bool open = false; // a key may stand at key_pos: the underscore before, or for '~' the last '~' since
    for_each_byte(dict, '_', prefix, [&](std::size_t at) {
        if (dict[at] == '_' && open)
            visit(key_pos, dict.substr(key_pos + 1, at - key_pos - 1));
        open = prefix == '_' || dict[at] == '~';
        key_pos = at;
    });
}

} // namespace

WordKey key_of(char prefix, std::string_view word, bool spans, bool hash_spanning)
{
    const char first = word.empty() ? '\0' : lower_ascii(word.front());
    if (word_at_a_time::usable && !spans && word.size() < 16) {
        std::array<std::uint64_t, 2> loaded{};
        std::memcpy(loaded.data(), word.data(), word.size());
        return short_key(word, first, loaded[0], loaded[1]);
    }
    if (spans)
        return {word, first, true, {}, hash_spanning ? spanning_hash(prefix, first, word.substr(1)) : 0};
    return {word, first, false, {}, hash_of(word, first)};
}

SegmentIndex::SegmentIndex(char prefix, std::string_view dict, bool with_arrows) : dict_(dict)
{
    // Sized for an entry's worth of segments (an entry holds one '~'), and
    // grown should there be more, so that the dictionary is swept once.
    std::size_t used = 0;
    make_room(count_of(dict, '~'));
    for_each_segment(prefix, dict, [&](std::size_t key_pos, std::string_view segment) {
        if (segment.starts_with(' ') || segment.ends_with(' ') || (!with_arrows && segment.starts_with("->~")))
            return;
        const char first = segment.empty() ? '\0' : segment.front();
        const bool quick = word_at_a_time::usable && segment.size() < 16 && key_pos + 18 <= dict.size();
        const WordKey key = quick
            ? short_key(segment, first, word_at_a_time::load(segment.data()), word_at_a_time::load(segment.data() + 8))
            : WordKey{segment, first, false, {}, hash_of(segment, first)};
        if (find(key) != not_found_yet)
            return; // the first occurrence is kept
        if (++used > slots_.size() / 2)
            make_room(used);
        place(key.hash, key_pos);
    });
}

// A table for at least count segments at most half full, holding those
// that were there.
void SegmentIndex::make_room(std::size_t count)
{
    std::size_t size = 16;
    while (size < count * 2)
        size *= 2;
    std::vector<std::uint64_t> old;
    reserve_mapped(old, size);
    old.assign(size, free_slot);
    old.swap(slots_);
    for (const std::uint64_t slot : old) {
        if (slot == free_slot)
            continue;
        const std::size_t key_pos = (slot & 0xffffffffffffull) - 1;
        const std::string_view segment = dict_.substr(key_pos + 1, next_byte(dict_, key_pos + 1, '_') - key_pos - 1);
        place(hash_of(segment, segment.empty() ? '\0' : segment.front()), key_pos);
    }
}

void SegmentIndex::place(std::uint64_t hash, std::size_t key_pos)
{
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = hash & mask;
    while (slots_[at] != free_slot)
        at = (at + 1) & mask;
    slots_[at] = (hash >> 48) << 48 | (key_pos + 1);
}

WordTable::WordTable(char prefix, std::size_t text_size) : prefix_(prefix), slots_(1024, free_slot)
{
    texts_.reserve(text_size);
}

void WordTable::fetch(const WordKey& key) const
{
    const std::uint64_t slot = slots_[key.hash & (slots_.size() - 1)];
    if (slot == free_slot || tag_of(slot) != tag_of(key.hash))
        return;
    const Word& word = words_[(slot & 0xffffffffu) - 1];
    __builtin_prefetch(&word);
    __builtin_prefetch(texts_.data() + word.offset);
}

// The slot of the word whose first byte as looked up is first, or the free
// slot where it belongs.
std::size_t WordTable::slot_of(std::uint64_t hash, char first, std::string_view word) const
{
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const std::uint64_t slot = slots_[at];
        if (slot == free_slot)
            return at;
        if (tag_of(slot) != tag_of(hash))
            continue;
        const Word& there = words_[(slot & 0xffffffffu) - 1];
        if (there.size == word.size() &&
            (word.empty() || (texts_[there.offset] == first && text_of(there).substr(1) == word.substr(1))))
            return at;
    }
}

void WordTable::grow()
{
    std::vector<std::uint64_t> old;
    reserve_mapped(old, slots_.size() * 2);
    old.assign(slots_.size() * 2, free_slot);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const std::uint64_t slot : old) {
        if (slot == free_slot)
            continue;
        const Word& word = words_[(slot & 0xffffffffu) - 1];
        std::size_t at = key_of(prefix_, text_of(word), word.spans != 0).hash & mask;
        while (slots_[at] != free_slot)
            at = (at + 1) & mask;
        slots_[at] = slot;
    }
}

std::size_t WordTable::add(const WordKey& key)
{
    std::uint64_t& slot = slots_[slot_of(key.hash, key.first, key.word)];
    if (slot != free_slot)
        return (slot & 0xffffffffu) - 1;
    // A slot numbers words in 32 bits; an offset and a size take 31.
    if (words_.size() >= 0xffffffffu - 1 || texts_.size() + key.word.size() > 0x7fffffffu)
        throw std::bad_alloc();
    const std::size_t number = words_.size();
    words_.push_back({not_found_yet, static_cast<std::uint32_t>(texts_.size()),
        static_cast<std::uint32_t>(key.word.size()), key.spans ? 1u : 0u});
    texts_.append(key.word);
    if (!key.word.empty())
        texts_[words_.back().offset] = key.first;
    slot = tag_of(key.hash) | (number + 1);
    if (key.spans) {
        any_spanning_ = true;
    } else {
        const std::size_t shape = shape_of(key.word.size(), key.first);
        shapes_[shape / 64] |= std::uint64_t{1} << (shape % 64);
    }
    if (words_.size() * 2 > slots_.size())
        grow();
    return number;
}

void WordTable::search(std::string_view dict)
{
    if (dict.empty())
        return; // nothing is found in an empty text, not even an empty key
    if (std::any_of(shapes_.begin(), shapes_.end(), [](std::uint64_t bits) { return bits != 0; }))
        search_segments(dict);
    if (any_spanning_)
        search_spanning(dict);
}

void WordTable::search_segments(std::string_view dict)
{
    // A segment at key_pos answers the word it spells, unless an earlier
    // one did.
    const auto answer = [&](std::size_t key_pos, std::string_view segment) {
        const char first = segment.empty() ? '\0' : segment.front();
        const std::size_t shape = shape_of(segment.size(), first);
        if ((shapes_[shape / 64] >> (shape % 64) & 1) == 0)
            return;
        const std::uint64_t slot = slots_[slot_of(hash_of(segment, first), first, segment)];
        if (slot == free_slot)
            return;
        Word& word = words_[(slot & 0xffffffffu) - 1];
        if (!word.spans && word.key_pos == not_found_yet)
            word.key_pos = key_pos;
    };
    for_each_segment(prefix_, dict, answer);
}

void WordTable::search_spanning(std::string_view dict)
{
    // The lengths the spanning words' keys have, and base to their powers.
    std::set<std::size_t> lengths;
    for (const Word& word : words_)
        if (word.spans)
            lengths.insert(word.size + 2);
    std::vector<std::pair<std::size_t, std::uint64_t>> powers;
    std::uint64_t power = 1;
    for (std::size_t length = 0; length <= *lengths.rbegin(); ++length, power *= base)
        if (lengths.count(length) != 0)
            powers.emplace_back(length, power);

    // H of the last bytes, enough of them for the longest key.
    std::size_t ring_size = 1;
    while (ring_size <= *lengths.rbegin())
        ring_size *= 2;
    std::vector<std::uint64_t> ring(ring_size, 0);
    const std::size_t mask = ring_size - 1;
    std::uint64_t h = 0;
    for (std::size_t end = 0; end < dict.size(); ++end) {
        h = rolled(h, dict[end]);
        ring[(end + 1) & mask] = h;
        if (dict[end] != '_')
            continue;
        // Each key that ends at this underscore, for each length there is.
        for (const auto& [length, power_of_length] : powers) {
            if (length > end + 1)
                break;
            const std::size_t start = end + 1 - length;
            if (dict[start] != prefix_)
                continue;
            // The words whose keys hash as the bytes from start do.
            const std::uint64_t hash = mix(h - ring[start & mask] * power_of_length);
            const std::size_t slots = slots_.size() - 1;
            for (std::size_t at = hash & slots; slots_[at] != free_slot; at = (at + 1) & slots) {
                if (tag_of(slots_[at]) != tag_of(hash))
                    continue;
                Word& word = words_[(slots_[at] & 0xffffffffu) - 1];
                if (word.spans && word.key_pos == not_found_yet && std::size_t{word.size} + 2 == length &&
                    text_of(word) == dict.substr(start + 1, word.size))
                    word.key_pos = start;
            }
        }
    }
}
