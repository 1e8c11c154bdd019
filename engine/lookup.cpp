#include "engine/lookup.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <random>
#include <set>
#include <string>

#include "platform/memory.h"

const std::uint64_t hashing::seed = [] {
    std::random_device device;
    return std::uint64_t{device()} << 32 ^ device();
}();

namespace {

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
    return hashing::mix(rolled(h, '_'));
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

// The key of a segment, as it stands: of a short one from two loads where
// they fit, and near the end of the dictionary from its bytes copied, so
// that every short key has its head, which the index compares.
WordKey segment_key(std::string_view dict, std::size_t key_pos, std::string_view segment)
{
    using namespace word_at_a_time;
    const char first = segment.empty() ? '\0' : segment.front();
    if (!usable || segment.size() > short_word_limit)
        return {segment, first, false, {}, hash_of(segment, first)};
    if (two_loads_fit(dict, key_pos + 1))
        return short_key(segment, first, load(segment.data()), load(segment.data() + width));
    std::array<std::uint64_t, 2> copied{};
    std::memcpy(copied.data(), segment.data(), segment.size());
    return short_key(segment, first, copied[0], copied[1]);
}

} // namespace

std::uint64_t hash_of(std::string_view word, char first)
{
    std::uint64_t h = hashing::seed ^ word.size() * hashing::length_factor;
    for (std::size_t at = 0; at < word.size(); at += word_at_a_time::width) {
        std::uint64_t block = 0;
        std::memcpy(&block, word.data() + at, std::min(word_at_a_time::width, word.size() - at));
        if (at == 0)
            block = (block & ~std::uint64_t{0xff}) | static_cast<unsigned char>(first);
        h = hashing::mix(h ^ block);
    }
    return h;
}

WordKey key_of(char prefix, std::string_view word, bool spans, bool hash_spanning)
{
    const char first = word.empty() ? '\0' : looked_up(word.front());
    if (word_at_a_time::usable && !spans && word.size() <= short_word_limit) {
        std::array<std::uint64_t, 2> loaded{};
        std::memcpy(loaded.data(), word.data(), word.size());
        const WordKey key = short_key(word, first, loaded[0], loaded[1]);
        assert(key.hash == hash_of(word, first)); // the index finds short and long keys alike
        return key;
    }
    if (spans)
        return {word, first, true, {}, hash_spanning ? spanning_hash(prefix, first, word.substr(1)) : 0};
    return {word, first, false, {}, hash_of(word, first)};
}

std::size_t word_end(std::string_view text, std::size_t at, char prefix, bool& spans)
{
    using namespace word_at_a_time;
    for (; usable && at + width <= text.size(); at += width) {
        const std::uint64_t v = load(text.data() + at);
        const std::uint64_t marks = bytes_equal(v, '_') | bytes_equal(v, prefix);
        if (const std::uint64_t spaces = bytes_equal(v, ' '); spaces != 0) {
            spans = spans || (marks & below_first(spaces)) != 0;
            return at + byte_of(spaces);
        }
        spans = spans || marks != 0;
    }
    for (; at < text.size() && text[at] != ' '; ++at)
        spans = spans || text[at] == '_' || text[at] == prefix;
    return at;
}

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

void OpenTable::place(std::uint64_t hash, std::size_t value)
{
    std::size_t at = hash & mask_;
    while (!is_free(slots_[at]))
        at = (at + 1) & mask_;
    slots_[at] = {value + 1, tag_of(hash)};
}

SegmentIndex::SegmentIndex(char prefix, std::string_view dict, bool with_arrows)
    : dict_(dict), table_(count_of(dict, '~')) // an entry's worth of segments: an entry holds one '~'
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

WordTable::WordTable(char prefix, std::size_t text_size) : prefix_(prefix), table_(512)
{
    texts_.reserve(text_size);
}

std::size_t WordTable::add(const WordKey& key)
{
    if (const std::size_t number = find(key); number != not_found_yet)
        return number;
    // An offset and a size take 31 bits.
    if (texts_.size() + key.word.size() > 0x7fffffffu)
        throw std::bad_alloc();
    const std::size_t number = words_.size();
    words_.push_back({not_found_yet, static_cast<std::uint32_t>(texts_.size()),
        static_cast<std::uint32_t>(key.word.size()), key.spans ? 1u : 0u});
    texts_.append(key.word);
    if (!key.word.empty())
        texts_[words_.back().offset] = key.first;
    table_.add(key.hash, number, [&](std::size_t at) {
        const Word& word = words_[at];
        return key_of(prefix_, text_of(word), word.spans != 0).hash;
    });
    if (key.spans) {
        any_spanning_ = true;
    } else {
        const std::size_t shape = shape_of(key.word.size(), key.first);
        shapes_[shape / 64] |= std::uint64_t{1} << (shape % 64);
    }
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
    for_each_segment(prefix_, dict, [&](std::size_t key_pos, std::string_view segment) {
        const char first = segment.empty() ? '\0' : segment.front();
        const std::size_t shape = shape_of(segment.size(), first);
        if ((shapes_[shape / 64] >> (shape % 64) & 1) == 0)
            return;
        const std::size_t number = find({segment, first, false, {}, hash_of(segment, first)});
        if (number != not_found_yet && words_[number].key_pos == not_found_yet)
            words_[number].key_pos = key_pos;
    });
}

// A key prefix word '_' starts at a prefix with as many prefixes between it
// and its closing underscore as the word holds. So at each underscore of
// dict, one start is asked for each number of prefixes that the words hold,
// whatever their lengths: for words holding k, the (k + 1)th prefix before.
// The bytes from s to e hash as H(e + 1) - H(s) base^(e + 1 - s), which is
// base^(e + 1) (G(e + 1) - G(s)) with G(i) = H(i) base^-i: base is odd, so
// it has an inverse modulo 2^64, and G of each start is kept as it passes.
void WordTable::search_spanning(std::string_view dict)
{
    // A word holding more prefixes than dict is nowhere in it.
    const std::size_t most = count_of(dict, prefix_);
    std::set<std::size_t> counts; // of the prefixes in the words
    for (const Word& word : words_)
        if (const std::string_view text = text_of(word); word.spans)
            if (const auto count = static_cast<std::size_t>(std::count(text.begin(), text.end(), prefix_));
                count < most)
                counts.insert(count);
    if (counts.empty())
        return;
    std::uint64_t inverse = base; // Newton's steps double the bits that are right
    for (int step = 0; step < 6; ++step)
        inverse *= 2 - base * inverse;
    // The last prefixes, each with G where it stands, enough for the most.
    std::vector<std::pair<std::size_t, std::uint64_t>> starts(*counts.rbegin() + 1);
    std::size_t seen = 0;
    std::uint64_t h = 0;
    std::uint64_t power = 1;         // base^i
    std::uint64_t inverse_power = 1; // base^-i
    for (std::size_t end = 0; end < dict.size(); ++end) {
        const std::uint64_t g_here = h * inverse_power;
        h = rolled(h, dict[end]);
        power *= base;
        inverse_power *= inverse;
        if (dict[end] != '_') {
            if (dict[end] == prefix_)
                starts[seen++ % starts.size()] = {end, g_here};
            continue;
        }
        for (const std::size_t count : counts) {
            if (count + 1 > seen)
                break;
            // The word whose key is the bytes from start to end, found there first.
            const std::size_t start = starts[(seen - count - 1) % starts.size()].first;
            const std::uint64_t g_start = starts[(seen - count - 1) % starts.size()].second;
            const std::size_t number =
                table_.find(hashing::mix(power * (h * inverse_power - g_start)), [&](std::size_t at) {
                    const Word& word = words_[at];
                    return word.spans && std::size_t{word.size} + 2 == end + 1 - start &&
                        text_of(word) == dict.substr(start + 1, word.size);
                });
            if (number != not_found_yet && words_[number].key_pos == not_found_yet)
                words_[number].key_pos = start;
        }
        if (prefix_ == '_') // an underscore that ends a key may start the next
            starts[seen++ % starts.size()] = {end, g_here};
    }
}
