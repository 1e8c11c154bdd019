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

constexpr std::size_t not_found_yet = static_cast<std::size_t>(-1);

// A word with its hash as looked up, worked out before it is looked up.
struct WordKey {
    std::string_view word; // as in the text
    char first;            // its first byte as looked up
    bool spans;            // it holds '_' (or, for the prefix '~', '~'): its key may span segments
    std::uint64_t hash;
};
WordKey key_of(char prefix, std::string_view word, bool spans);

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

    // The number of a word that was added, or not_found_yet.
    std::size_t find(const WordKey& key) const;

    // Finds each word's key in dict, setting key_pos where it first occurs.
    void search(std::string_view dict);
    // Forgets the words search did not find, renumbering the others.
    void keep_found();

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
