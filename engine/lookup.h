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
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "control/bytes.h"
#include "control/console.h"

constexpr std::size_t not_found_yet = static_cast<std::size_t>(-1);
constexpr std::uint64_t free_slot = 0; // of the tables' open addressing

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
// The key of a word; that of a word that spans segments is hashed only
// when asked.
WordKey key_of(char prefix, std::string_view word, bool spans, bool hash_spanning = true);

inline std::uint64_t mix(std::uint64_t h)
{
    h ^= h >> 32;
    h *= 0xd6e8feb86659fd93ull;
    h ^= h >> 32;
    return h;
}

// The low k bytes of a machine word, k at most 8.
inline std::uint64_t low_bytes(std::size_t k)
{
    return k >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * k)) - 1;
}

// The key of a word of under 16 bytes that spans no segments, looked up
// with first as its first byte, from the 16 bytes loaded at its start: its
// blocks of bytes as looked up are hashed as hash_of does, one load each.
inline WordKey short_key(std::string_view word, char first, std::uint64_t first8, std::uint64_t next8)
{
    const std::size_t size = word.size();
    std::array<std::uint64_t, 2> head{first8 & low_bytes(size), size > 8 ? next8 & low_bytes(size - 8) : 0};
    std::uint64_t hash = size * 0x9e3779b97f4a7c15ull;
    if (size > 0)
        hash = mix(hash ^ (head[0] = (head[0] & ~std::uint64_t{0xff}) | static_cast<unsigned char>(first)));
    if (size > 8)
        hash = mix(hash ^ head[1]);
    const std::uint64_t underscore = std::uint64_t{'_'} << (8 * (size % 8));
    return {word, size == 0 ? '\0' : first, false,
        {head[0] | (size < 8 ? underscore : 0), head[1] | (size < 8 ? 0 : underscore)}, hash};
}

// Every segment of a dictionary, by its bytes, with where it first stands.
class SegmentIndex {
public:
    // Segments that begin or end with a space are left out, as no word holds
    // one, and so are those that begin with "->~" unless with_arrows.
    SegmentIndex(char prefix, std::string_view dict, bool with_arrows);
    // Fetch the memory that find will need, the first part a little before
    // the second, so that a stream of lookups need not wait for it.
    void prefetch(const WordKey& key) const { __builtin_prefetch(&slots_[key.hash & (slots_.size() - 1)]); }
    void fetch(const WordKey& key) const;
    // Where the key of a word that spans no segments first stands.
    std::size_t find(const WordKey& key) const;

private:
    void make_room(std::size_t count);
    void place(std::uint64_t hash, std::size_t key_pos);

    std::string_view dict_;
    // Open addressing with linear probing: a slot holds 16 bits of the hash
    // and the key's position + 1, or 0 when free; at most half are used.
    std::vector<std::uint64_t> slots_;
};

// The distinct words of a text.
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

    // Fetch the memory that add and find will need, in two parts.
    void prefetch(const WordKey& key) const { __builtin_prefetch(&slots_[key.hash & (slots_.size() - 1)]); }
    void fetch(const WordKey& key) const;

    // Adds the word (unless it is there) and returns its number.
    std::size_t add(const WordKey& key);

    // Finds each word's key in dict, setting key_pos where it first occurs.
    void search(std::string_view dict);

    const std::vector<Word>& words() const { return words_; }
    // The word as looked up: its first byte in lower case when a capital.
    std::string_view text_of(const Word& word) const { return std::string_view(texts_).substr(word.offset, word.size); }

private:
    std::size_t slot_of(std::uint64_t hash, char first, std::string_view word) const;
    void grow();
    void search_segments(std::string_view dict);
    void search_spanning(std::string_view dict);

    char prefix_;
    std::vector<Word> words_;
    std::string texts_; // the words' bytes, one after another
    // Open addressing with linear probing: a slot holds the high half of a
    // word's hash and its number + 1, or 0 when free; at most half are used.
    std::vector<std::uint64_t> slots_;
    // Which (length, first byte) pairs the segment words have, so that most
    // segments are passed over without being hashed.
    std::array<std::uint64_t, 64 * 256 / 64> shapes_{};
    bool any_spanning_ = false;
};

inline void SegmentIndex::fetch(const WordKey& key) const
{
    const std::uint64_t slot = slots_[key.hash & (slots_.size() - 1)];
    if (slot != free_slot && slot >> 48 == key.hash >> 48)
        __builtin_prefetch(dict_.data() + (slot & 0xffffffffffffull) - 1);
}

inline std::size_t SegmentIndex::find(const WordKey& key) const
{
    const std::size_t mask = slots_.size() - 1;
    const std::size_t size = key.word.size();
    for (std::size_t at = key.hash & mask; slots_[at] != free_slot; at = (at + 1) & mask) {
        if (slots_[at] >> 48 != key.hash >> 48)
            continue;
        const std::size_t key_pos = (slots_[at] & 0xffffffffffffull) - 1;
        // The segment there is the word exactly when its bytes are the word's
        // and an underscore follows them: for a short word, a compare or two.
        if (word_at_a_time::usable && size < 16 && key_pos + 17 <= dict_.size()) {
            const char* there = dict_.data() + key_pos + 1;
            if (((word_at_a_time::load(there) ^ key.head[0]) & low_bytes(size + 1)) == 0 &&
                ((word_at_a_time::load(there + 8) ^ key.head[1]) & (size >= 8 ? low_bytes(size - 7) : 0)) == 0)
                return key_pos;
            continue;
        }
        if (key_pos + 1 + size >= dict_.size() || dict_[key_pos + 1 + size] != '_' ||
            (size > 0 && dict_[key_pos + 1] != key.first))
            continue;
        std::size_t same = 1; // words are short: a loop beats a call
        while (same < size && dict_[key_pos + 1 + same] == key.word[same])
            ++same;
        if (same >= size)
            return key_pos;
    }
    return not_found_yet;
}
