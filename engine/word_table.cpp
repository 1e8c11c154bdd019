#include "engine/word_table.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>

#include "control/console.h"

namespace {

std::uint64_t mix(std::uint64_t h)
{
    h ^= h >> 32;
    h *= 0xd6e8feb86659fd93ull;
    h ^= h >> 32;
    return h;
}

// A hash of word as looked up: first in place of its first byte.
std::uint64_t hash_of(std::string_view word, char first)
{
    std::uint64_t h = 0x9E3779B97F4A7C15ull * (word.size() + 1);
    if (word.empty())
        return mix(h);
    h ^= static_cast<unsigned char>(first);
    const char* rest = word.data() + 1;
    std::size_t left = word.size() - 1;
    for (; left >= 8; rest += 8, left -= 8) {
        std::uint64_t chunk;
        std::memcpy(&chunk, rest, 8);
        h = mix(h ^ chunk) * 0x9E3779B97F4A7C15ull;
    }
    if (left > 0) {
        std::uint64_t chunk = 0;
        std::memcpy(&chunk, rest, left);
        h = mix(h ^ chunk) * 0x9E3779B97F4A7C15ull;
    }
    return mix(h);
}

constexpr std::uint64_t free_slot = 0;

std::uint64_t tag_of(std::uint64_t hash)
{
    return hash & 0xffffffff00000000ull;
}

std::size_t shape_of(std::size_t length, char first)
{
    return (length & 63) << 8 | static_cast<unsigned char>(first);
}

// Whether word, as looked up with first, is the text text.
bool same_word(const WordTable::Word& word, char first, std::string_view text)
{
    return word.text.size() == text.size() &&
        (text.empty() || (word.first == first && word.text.substr(1) == text.substr(1)));
}

// The rolling hash of the span search: over a text t, H(0) = 0 and
// H(i + 1) = H(i) * base + t[i], so the bytes from a to b hash to
// H(b) - H(a) * base^(b - a).
constexpr std::uint64_t base = 0x100000001b3ull;

std::uint64_t rolled(std::uint64_t h, char ch)
{
    return h * base + static_cast<unsigned char>(ch);
}

} // namespace

WordTable::WordTable(char prefix) : prefix_(prefix), slots_(1024, free_slot) { }

char WordTable::first_of(std::string_view word) const
{
    return word.empty() ? '\0' : lower_ascii(word.front());
}

bool WordTable::spans(std::string_view word) const
{
    return word.find_first_of(prefix_ == '~' ? "_~" : "_") != std::string_view::npos;
}

std::uint64_t& WordTable::slot_for(std::uint64_t hash, char first, std::string_view word)
{
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        std::uint64_t& slot = slots_[at];
        if (slot == free_slot ||
            (tag_of(slot) == tag_of(hash) && same_word(words_[(slot & 0xffffffffu) - 1], first, word)))
            return slot;
    }
}

void WordTable::grow()
{
    std::vector<std::uint64_t> old(slots_.size() * 2, free_slot);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const std::uint64_t slot : old) {
        if (slot == free_slot)
            continue;
        std::size_t at = words_[(slot & 0xffffffffu) - 1].hash & mask;
        while (slots_[at] != free_slot)
            at = (at + 1) & mask;
        slots_[at] = slot;
    }
}

std::uint32_t WordTable::add(std::string_view word)
{
    const char first = first_of(word);
    const std::uint64_t hash = hash_of(word, first);
    std::uint64_t& slot = slot_for(hash, first, word);
    if (slot != free_slot)
        return static_cast<std::uint32_t>((slot & 0xffffffffu) - 1);
    if (words_.size() >= 0x7fffffffu)
        throw std::bad_alloc(); // more distinct words than the numbering holds
    const auto number = static_cast<std::uint32_t>(words_.size());
    const bool spanning = spans(word);
    words_.push_back({word, first, spanning, hash});
    slot = tag_of(hash) | (number + 1);
    if (spanning) {
        any_spanning_ = true;
    } else {
        const std::size_t shape = shape_of(word.size(), first);
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
        const std::uint64_t slot = slot_for(hash_of(segment, first), first, segment);
        if (slot == free_slot)
            return;
        Word& word = words_[(slot & 0xffffffffu) - 1];
        if (!word.spans && word.key_pos == not_found_yet)
            word.key_pos = key_pos;
    };
    if (prefix_ == '_') {
        // '_' keys stand at an underscore and run to the next.
        for (std::size_t at = dict.find('_'), next; at != std::string_view::npos; at = next) {
            next = dict.find('_', at + 1);
            if (next != std::string_view::npos)
                answer(at, dict.substr(at + 1, next - at - 1));
        }
        return;
    }
    // '~' keys stand at the last '~' before an underscore, after the one before.
    for (std::size_t start = 0, underscore; (underscore = dict.find('_', start)) != std::string_view::npos;
         start = underscore + 1) {
        const std::size_t tilde = dict.substr(start, underscore - start).rfind('~');
        if (tilde != std::string_view::npos)
            answer(start + tilde, dict.substr(start + tilde + 1, underscore - start - tilde - 1));
    }
}

void WordTable::search_spanning(std::string_view dict)
{
    // The spanning words by the rolling hash of their keys, and the lengths
    // those keys have.
    std::unordered_multimap<std::uint64_t, std::uint32_t> keys;
    std::vector<std::size_t> lengths;
    for (std::uint32_t number = 0; number < words_.size(); ++number) {
        const Word& word = words_[number];
        if (!word.spans)
            continue;
        std::uint64_t h = rolled(rolled(0, prefix_), word.first);
        for (const char ch : word.text.substr(1))
            h = rolled(h, ch);
        keys.emplace(rolled(h, '_'), number);
        lengths.push_back(word.text.size() + 2);
    }
    std::sort(lengths.begin(), lengths.end());
    lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
    std::vector<std::uint64_t> powers;
    for (const std::size_t length : lengths) {
        std::uint64_t power = 1;
        for (std::size_t i = 0; i < length; ++i)
            power *= base;
        powers.push_back(power);
    }

    // H of the last bytes, enough of them for the longest key.
    std::size_t ring_size = 1;
    while (ring_size <= lengths.back())
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
        for (std::size_t l = 0; l < lengths.size() && lengths[l] <= end + 1; ++l) {
            const std::size_t start = end + 1 - lengths[l];
            if (dict[start] != prefix_)
                continue;
            const auto [from, to] = keys.equal_range(h - ring[start & mask] * powers[l]);
            for (auto candidate = from; candidate != to; ++candidate) {
                Word& word = words_[candidate->second];
                if (word.key_pos == not_found_yet && word.text.size() + 2 == lengths[l] &&
                    same_word(word, dict[start + 1], dict.substr(start + 1, word.text.size())))
                    word.key_pos = start;
            }
        }
    }
}
