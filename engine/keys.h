// The keys of words and of a dictionary's segments: what the lookups find
// where each word of a pass first occurs in the dictionary, by. Private to
// the engine.
//
// A key is a prefix ('_', or '~' when untranslating), the word as looked up
// (a leading capital in lower case) and '_'. When the word holds no '_'
// (and, for '~', no '~'), the key matches at a position p exactly when the
// dictionary has the prefix at p and the bytes from p + 1 up to the next
// '_' are the word: one "segment" of the dictionary, which starts after an
// underscore for '_', and at the last '~' before an underscore for '~'. So
// one sweep over the segments, each looked up among the words, answers all
// such words at once. The rare other words, whose keys span segments, are
// found by a rolling hash of the bytes before each underscore, one for each
// count of prefixes that many of them hold, and the rest by a tree of their
// tokens (span_search.cpp). A pass over a long text with a small dictionary
// indexes the segments instead, and looks each word up as it goes. Either
// way the time grows with the dictionary plus the text.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "control/bytes.h"

constexpr std::size_t not_found_yet = static_cast<std::size_t>(-1);

// The one pair of helpers between a word as written and as looked up.

// A word is looked up with a leading capital in lower case ...
inline char looked_up(char written_first)
{
    return lower_ascii(written_first);
}

// ... so a word with a capital is one whose looked-up form differs, and its
// translation, when it begins with a small letter, gets the capital back.
inline bool has_capital(std::string_view word)
{
    return !word.empty() && looked_up(word.front()) != word.front();
}
inline void give_capital(char& result_first)
{
    if (result_first >= 'a' && result_first <= 'z')
        result_first = static_cast<char>(result_first - ('a' - 'A'));
}

// A word with its hash as looked up, worked out before it is looked up.
struct WordKey {
    std::string_view word; // as in the text
    char first;            // its first byte as looked up
    bool spans;            // it holds '_' (or, for the prefix '~', '~'): its key may span segments
    // A word of under 16 bytes that spans nothing, on a little-endian
    // machine: its bytes as looked up and then '_', the rest zeros.
    std::array<std::uint64_t, 2> head;
    std::uint64_t hash;
};

// The words whose bytes and closing '_' fit two loads: under 16 bytes.
constexpr std::size_t short_word_limit = 2 * word_at_a_time::width - 1;

namespace hashing {

inline std::uint64_t mix(std::uint64_t h)
{
    h ^= h >> 32;
    h *= 0xd6e8feb86659fd93ull;
    h ^= h >> 32;
    return h;
}

constexpr std::uint64_t length_factor = 0x9e3779b97f4a7c15ull;

// New to each run and known to no input: every word's hash starts from it,
// so that no dictionary or text can be made to pile up in one place of a
// table.
extern const std::uint64_t seed;

} // namespace hashing

// The hash of a word as looked up, first in place of its first byte: its
// bytes taken 8 at a time from its start, the last ones padded with zeros,
// mixed one block at a time into its length. A short word is hashed from
// its two loads (short_key) to the same value. Inline: the table pass asks
// it of every segment of the dictionary.
inline std::uint64_t hash_of(std::string_view word, char first)
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

namespace rolling {

// The rolling hash of the span search: over a text t, H(0) = 0 and
// H(i + 1) = H(i) * base + t[i], so the bytes from a to b hash to
// H(b) - H(a) * base^(b - a).
constexpr std::uint64_t base = 0x100000001b3ull;

inline std::uint64_t rolled(std::uint64_t h, char ch)
{
    return h * base + static_cast<unsigned char>(ch);
}

} // namespace rolling

// The key of a word of under 16 bytes that spans no segments, looked up
// with first as its first byte, from its bytes in two words (first_bytes):
// its blocks of bytes as looked up are hashed as hash_of does, one word each.
inline WordKey short_key(std::string_view word, char first, std::array<std::uint64_t, 2> head)
{
    using word_at_a_time::width;
    const std::size_t size = word.size();
    std::uint64_t hash = hashing::seed ^ size * hashing::length_factor;
    if (size > 0)
        hash = hashing::mix(hash ^ (head[0] = (head[0] & ~std::uint64_t{0xff}) | static_cast<unsigned char>(first)));
    if (size > width)
        hash = hashing::mix(hash ^ head[1]);
    const std::uint64_t underscore = std::uint64_t{'_'} << (8 * (size % width));
    // Two selects, not an index: the words stay in registers.
    head[0] |= size < width ? underscore : 0;
    head[1] |= size < width ? 0 : underscore;
    return {word, size == 0 ? '\0' : first, false, head, hash};
}

// The key of a word; that of a word that spans segments is hashed only
// when asked.
WordKey key_of(char prefix, std::string_view word, bool spans, bool hash_spanning = true);

// Hands the word at at in text, up to the next space or the end, with its
// key to take, and returns its length. Most words are short: found, and
// their keys made, from two loads. Each way has a call of its own, so that
// a short key goes to take without a copy on the way.
template <typename Take>
std::size_t scan_word(std::string_view text, std::size_t at, char prefix, bool hash_spanning, Take take)
{
    if (const std::size_t length = short_plain_word(text, at, '_', prefix); length != std::string_view::npos) {
        take(short_key(text.substr(at, length), looked_up(text[at]), first_bytes(text.data() + at, length)));
        return length;
    }
    bool spans = false;
    const std::size_t end = next_space(text, at, '_', prefix, spans);
    take(key_of(prefix, text.substr(at, end - at), spans, hash_spanning));
    return end - at;
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
