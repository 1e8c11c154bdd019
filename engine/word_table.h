// The distinct words of a pass, and where the key of each first occurs in
// the dictionary. Private to the engine.
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
// length such a key has. Either way the time grows with the dictionary plus
// the words, and the memory with the words alone.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class WordTable {
public:
    struct Word {
        std::string_view text; // as it first stood in the text
        char first;            // its first byte as looked up
        bool spans;            // holds '_' (or '~' for '~'): its key may span segments
        std::uint64_t hash;
        std::size_t key_pos = not_found_yet;
    };
    static constexpr std::size_t not_found_yet = static_cast<std::size_t>(-1);

    explicit WordTable(char prefix);

    // Adds word unless it is there (as looked up) and returns its number.
    // The text of the word must outlive the table.
    std::uint32_t add(std::string_view word);

    // Finds each word's key in dict, setting key_pos where it first occurs.
    void search(std::string_view dict);

    const std::vector<Word>& words() const { return words_; }

private:
    char first_of(std::string_view word) const;
    bool spans(std::string_view word) const;
    std::uint64_t& slot_for(std::uint64_t hash, char first, std::string_view word);
    void grow();
    void search_segments(std::string_view dict);
    void search_spanning(std::string_view dict);

    char prefix_;
    std::vector<Word> words_;
    // Open addressing with linear probing: a slot holds the high half of a
    // word's hash and its number + 1, or 0 when free; at most half are used.
    std::vector<std::uint64_t> slots_;
    // Which (length, first byte) pairs the segment words have, so that most
    // segments are passed over without being hashed.
    std::array<std::uint64_t, 64 * 256 / 64> shapes_{};
    bool any_spanning_ = false;
};
