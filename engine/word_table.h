// The distinct words of a text, and where each one's key first stands in a
// dictionary. Private to the engine.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/keys.h"
#include "engine/open_table.h"

// Which shapes, (length, first byte) pairs with lengths taken modulo 64,
// the words have: a segment of a shape that no word has is passed over
// without being hashed. One bit a shape.
class ShapeFilter {
public:
    void add(std::size_t length, char first)
    {
        const std::size_t shape = shape_of(length, first);
        bits_[shape / 64] |= std::uint64_t{1} << (shape % 64);
    }
    bool may_hold(std::size_t length, char first) const
    {
        const std::size_t shape = shape_of(length, first);
        return (bits_[shape / 64] >> (shape % 64) & 1) != 0;
    }
    bool empty() const
    {
        return std::all_of(bits_.begin(), bits_.end(), [](std::uint64_t bits) { return bits == 0; });
    }

private:
    static std::size_t shape_of(std::size_t length, char first)
    {
        return (length & 63) << 8 | static_cast<unsigned char>(first);
    }
    std::array<std::uint64_t, 64 * 256 / 64> bits_{};
};

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
    // Words that span segments are found by the count of prefixes they
    // hold: a count is asked for at each underscore of the dictionary when
    // the words holding it have a token for every so many underscores, which
    // keeps the asking within that many times their tokens; the words of
    // every other count go to a tree of their tokens, which costs those
    // tokens, each about as much time as that many askings (and more memory).
    static constexpr std::size_t underscores_per_token = 64;
    void search_segments(std::string_view dict);
    void search_spanning(std::string_view dict);
    void search_token_tree(std::string_view dict, std::size_t dict_openings, const std::vector<std::size_t>& words);

    char prefix_;
    std::vector<Word> words_;
    std::string texts_; // the words' bytes, one after another
    OpenTable table_;
    ShapeFilter shapes_; // of the words that span no segments
    bool any_spanning_ = false;
};
