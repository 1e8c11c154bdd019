#include "engine/lookup.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "control/console.h"
#include "control/memory.h"
#include "engine/key_search.h"

namespace {

constexpr std::uint64_t free_slot = 0;
constexpr int tag_shift = 48;
constexpr std::uint64_t position_mask = (std::uint64_t{1} << tag_shift) - 1;

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

std::uint64_t tag_of(std::uint64_t hash)
{
    return hash >> tag_shift;
}

std::size_t shape_of(std::size_t length, char first)
{
    return (length & 63) << 8 | static_cast<unsigned char>(first);
}

} // namespace

DictionaryLookup::DictionaryLookup(char prefix, bool fold_capitals) : prefix_(prefix), fold_capitals_(fold_capitals) { }

char DictionaryLookup::first_of(std::string_view word) const
{
    if (word.empty())
        return '\0';
    const char first = word.front();
    return fold_capitals_ && first >= 'A' && first <= 'Z' ? static_cast<char>(first + 32) : first;
}

// A word holding no '_' (and, for '~', no '~') is one segment of a key.
bool DictionaryLookup::in_segments(std::string_view word) const
{
    return std::none_of(
        word.begin(), word.end(), [this](char ch) { return ch == '_' || (ch == '~' && prefix_ == '~'); });
}

bool DictionaryLookup::wanted(std::size_t length, char first) const
{
    const std::size_t shape = shape_of(length, first);
    return (shapes_[shape / 64] >> (shape % 64) & 1) != 0;
}

void DictionaryLookup::expect(std::string_view word)
{
    const char first = first_of(word);
    if (in_segments(word)) {
        const std::size_t shape = shape_of(word.size(), first);
        shapes_[shape / 64] |= std::uint64_t{1} << (shape % 64);
        any_shape_ = true;
    } else {
        std::string folded(word);
        folded.front() = first;
        others_.emplace(std::move(folded), not_found);
    }
}

// Calls visit(key position, segment) for each segment of the dictionary, in
// order: '_' keys stand at an underscore and run to the next; '~' keys stand
// at the last '~' before an underscore (and after the one before it).
template <typename Visit> void DictionaryLookup::for_each_segment(Visit visit) const
{
    if (prefix_ == '_') {
        for (std::size_t at = dict_.find('_'), next; at != std::string_view::npos; at = next) {
            next = dict_.find('_', at + 1);
            if (next != std::string_view::npos)
                visit(at, dict_.substr(at + 1, next - at - 1));
        }
        return;
    }
    for (std::size_t start = 0, underscore; (underscore = dict_.find('_', start)) != std::string_view::npos;
         start = underscore + 1) {
        const std::size_t tilde = dict_.substr(start, underscore - start).rfind('~');
        if (tilde != std::string_view::npos)
            visit(start + tilde, dict_.substr(start + tilde + 1, underscore - start - tilde - 1));
    }
}

// Whether the key of word stands at key_pos: its bytes, then an underscore.
bool DictionaryLookup::segment_at(std::size_t key_pos, const Prepared& word) const
{
    const std::size_t length = word.word.size();
    if (key_pos + 1 + length >= dict_.size() || dict_[key_pos + 1 + length] != '_')
        return false;
    return length == 0 ||
        (dict_[key_pos + 1] == word.first && dict_.compare(key_pos + 2, length - 1, word.word.substr(1)) == 0);
}

void DictionaryLookup::index_segments()
{
    std::size_t count = 0;
    for_each_segment([&](std::size_t, std::string_view segment) {
        count += wanted(segment.size(), segment.empty() ? '\0' : segment.front()) ? 1 : 0;
    });
    if (count == 0)
        return;
    std::size_t size = 16;
    while (size < count * 2)
        size *= 2;
    reserve_mapped(slots_, size);
    slots_.assign(size, free_slot);

    const std::size_t mask = size - 1;
    for_each_segment([&](std::size_t key_pos, std::string_view segment) {
        const char first = segment.empty() ? '\0' : segment.front();
        if (!wanted(segment.size(), first))
            return;
        const Prepared word{segment, first, hash_of(segment, first)};
        std::size_t at = word.hash & mask;
        for (; slots_[at] != free_slot; at = (at + 1) & mask)
            if (tag_of(slots_[at]) == tag_of(word.hash) && segment_at((slots_[at] & position_mask) - 1, word))
                return; // the first occurrence is kept
        slots_[at] = tag_of(word.hash) << tag_shift | (key_pos + 1);
    });
}

void DictionaryLookup::search_the_others()
{
    KeySearch search;
    std::vector<std::ptrdiff_t*> answers;
    for (auto& [word, answer] : others_) {
        search.add(std::string(1, prefix_) + word + "_", static_cast<std::uint32_t>(answers.size()));
        answers.push_back(&answer);
    }
    search.run(
        dict_, [&](std::uint32_t id, std::size_t position) { *answers[id] = static_cast<std::ptrdiff_t>(position); });
}

void DictionaryLookup::build(std::string_view dict)
{
    dict_ = dict;
    if (dict_.empty())
        return; // nothing is found in an empty text, not even an empty key
    if (any_shape_)
        index_segments();
    if (!others_.empty())
        search_the_others();
}

DictionaryLookup::Prepared DictionaryLookup::prepare(std::string_view word) const
{
    const char first = first_of(word);
    const std::uint64_t hash = hash_of(word, first);
    if (!slots_.empty())
        __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
    return {word, first, hash};
}

void DictionaryLookup::fetch_candidate(const Prepared& prepared) const
{
    if (slots_.empty())
        return;
    const std::uint64_t slot = slots_[prepared.hash & (slots_.size() - 1)];
    if (slot != free_slot && tag_of(slot) == tag_of(prepared.hash))
        __builtin_prefetch(dict_.data() + (slot & position_mask) - 1);
}

std::ptrdiff_t DictionaryLookup::find(const Prepared& prepared) const
{
    if (!in_segments(prepared.word)) {
        std::string folded(prepared.word);
        folded.front() = prepared.first;
        const auto known = others_.find(folded);
        return known == others_.end() ? not_found : known->second;
    }
    if (slots_.empty())
        return not_found;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = prepared.hash & mask; slots_[at] != free_slot; at = (at + 1) & mask) {
        const std::size_t key_pos = (slots_[at] & position_mask) - 1;
        if (tag_of(slots_[at]) == tag_of(prepared.hash) && segment_at(key_pos, prepared))
            return static_cast<std::ptrdiff_t>(key_pos);
    }
    return not_found;
}
