// Where the key of each word of a pass first occurs in the dictionary.
// Private to the engine.
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
// length such a key has. A pass over a long text with a small dictionary
// indexes the segments instead, and looks each word up as it goes. Either
// way the time grows with the dictionary plus the text.
#pragma once

#include <array>
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "control/bytes.h"

constexpr std::size_t not_found_yet = static_cast<std::size_t>(-1);

// --- Capitals: the one pair of helpers between a word as written and as looked up

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

// --- Keys ---------------------------------------------------------------------------

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

// The hash of a word as looked up, first in place of its first byte: its
// bytes taken 8 at a time from its start, the last ones padded with zeros,
// mixed one block at a time into its length. A short word is hashed from
// its two loads (short_key) to the same value.
std::uint64_t hash_of(std::string_view word, char first);

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

// The key of a word of under 16 bytes that spans no segments, looked up
// with first as its first byte, from the 16 bytes loaded at its start: its
// blocks of bytes as looked up are hashed as hash_of does, one load each.
inline WordKey short_key(std::string_view word, char first, std::uint64_t first8, std::uint64_t next8)
{
    using word_at_a_time::low_bytes;
    using word_at_a_time::width;
    const std::size_t size = word.size();
    std::array<std::uint64_t, 2> head{first8 & low_bytes(size), size > width ? next8 & low_bytes(size - width) : 0};
    std::uint64_t hash = hashing::seed ^ size * hashing::length_factor;
    if (size > 0)
        hash = hashing::mix(hash ^ (head[0] = (head[0] & ~std::uint64_t{0xff}) | static_cast<unsigned char>(first)));
    if (size > width)
        hash = hashing::mix(hash ^ head[1]);
    const std::uint64_t underscore = std::uint64_t{'_'} << (8 * (size % width));
    return {word, size == 0 ? '\0' : first, false,
        {head[0] | (size < width ? underscore : 0), head[1] | (size < width ? 0 : underscore)}, hash};
}

// The key of a word; that of a word that spans segments is hashed only
// when asked.
WordKey key_of(char prefix, std::string_view word, bool spans, bool hash_spanning = true);

// Where the word at at ends (at a space, or the end of text), setting spans
// when it holds '_' or prefix.
std::size_t word_end(std::string_view text, std::size_t at, char prefix, bool& spans);

// Hands the word at at in text, up to the next space or the end, with its
// key to take, and returns its length. Most words are short: found, and
// their keys made, from two loads. Each way has a call of its own, so that
// a short key goes to take without a copy on the way.
template <typename Take>
std::size_t scan_word(std::string_view text, std::size_t at, char prefix, bool hash_spanning, Take take)
{
    using namespace word_at_a_time;
    if (usable && two_loads_fit(text, at)) {
        const std::uint64_t first8 = load(text.data() + at);
        const std::uint64_t next8 = load(text.data() + at + width);
        const std::uint64_t space = bytes_equal(first8, ' ');
        const std::uint64_t later_space = bytes_equal(next8, ' ');
        const std::uint64_t marks = bytes_equal(first8, '_') | bytes_equal(first8, prefix);
        const std::uint64_t later_marks = bytes_equal(next8, '_') | bytes_equal(next8, prefix);
        // The space in the first load with no mark before it, or one in the
        // second with no mark in the first or before it.
        const bool clean = space != 0 ? (marks & below_first(space)) == 0
                                      : later_space != 0 && marks == 0 && (later_marks & below_first(later_space)) == 0;
        if (clean) {
            const std::size_t length = space != 0 ? byte_of(space) : width + byte_of(later_space);
            take(short_key(text.substr(at, length), looked_up(text[at]), first8, next8));
            return length;
        }
    }
    bool spans = false;
    const std::size_t end = word_end(text, at, prefix, spans);
    take(key_of(prefix, text.substr(at, end - at), spans, hash_spanning));
    return end - at;
}

// --- The table ----------------------------------------------------------------------

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
    void place(std::uint64_t hash, std::size_t value);

    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    std::size_t items_ = 0;
};

// --- The segment index --------------------------------------------------------------

// Every segment of a dictionary, by its bytes, with where it first stands.
class SegmentIndex {
public:
    SegmentIndex() = default;
    // Segments that begin or end with a space are left out, as no word holds
    // one, and so are those that begin with "->~" unless with_arrows.
    SegmentIndex(char prefix, std::string_view dict, bool with_arrows);

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
        using namespace word_at_a_time;
        const std::size_t size = key.word.size();
        if (usable && size <= short_word_limit && two_loads_fit(dict_, key_pos + 1)) {
            const char* there = dict_.data() + key_pos + 1;
            return ((load(there) ^ key.head[0]) & low_bytes(size + 1)) == 0 &&
                ((load(there + width) ^ key.head[1]) & (size >= width ? low_bytes(size + 1 - width) : 0)) == 0;
        }
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

// --- The word table -----------------------------------------------------------------

// The distinct words of a text, and where each one's key first stands in a
// dictionary.
class WordTable {
public:
    struct Word {
        std::size_t key_pos;
        std::uint32_t offset; // of its bytes, as looked up, in the table's own copy
        std::uint32_t size : 31;
        std::uint32_t spans : 1;
    };

    // Room for the words' bytes is set aside for a text of text_size bytes
    // at once (the memory is taken as it is used), so that it never moves.
    explicit WordTable(char prefix, std::size_t text_size = 0);

    // Fetch the memory that add and find will need: the slot, then the word.
    void prefetch(const WordKey& key) const { table_.prefetch(key.hash); }
    void prefetch_more(const WordKey& key) const
    {
        table_.prefetch_item(key.hash, [&](std::size_t number) {
            __builtin_prefetch(&words_[number]);
            __builtin_prefetch(texts_.data() + words_[number].offset);
        });
    }

    // Adds the word (unless it is there) and returns its number.
    std::size_t add(const WordKey& key);
    // The number of the word, or not_found_yet.
    std::size_t find(const WordKey& key) const
    {
        return table_.find(key.hash, [&](std::size_t number) { return is_word(key, words_[number]); });
    }

    // Finds each word's key in dict, setting key_pos where it first occurs.
    void search(std::string_view dict);

    const std::vector<Word>& words() const { return words_; }
    // The word as looked up: its first byte in lower case when a capital.
    std::string_view text_of(const Word& word) const { return std::string_view(texts_).substr(word.offset, word.size); }

private:
    bool is_word(const WordKey& key, const Word& word) const
    {
        return word.size == key.word.size() && word.spans == key.spans &&
            (key.word.empty() || (texts_[word.offset] == key.first && text_of(word).substr(1) == key.word.substr(1)));
    }
    void search_segments(std::string_view dict);
    void search_spanning(std::string_view dict);

    char prefix_;
    std::vector<Word> words_;
    std::string texts_; // the words' bytes, one after another
    OpenTable table_;
    // Which (length, first byte) pairs the segment words have, so that most
    // segments are passed over without being hashed.
    std::array<std::uint64_t, 64 * 256 / 64> shapes_{};
    bool any_spanning_ = false;
};
