// The dictionary lookup of a pass, private to the engine. A pass knows the
// words it will look up before it starts, as they depend only on its work
// text, so the dictionary is prepared for exactly those.
//
// A key is a prefix ('_' or '~'), a word and a closing '_'. When the word
// holds no '_' (and, for '~', no '~'), the key matches at a position p
// exactly when the dictionary has the prefix at p and the bytes from p + 1
// up to the next '_' are the word: one "segment" of the dictionary, which
// starts after an underscore for '_', and at the last '~' before an
// underscore for '~'. So such words are answered by an index of the
// segments, and only of those whose length and first byte some expected
// word has. The few other words, whose keys may straddle segments, are
// found together by one multi-pattern search. Both take time in proportion
// to the dictionary plus the words, whatever bytes they hold.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class DictionaryLookup {
public:
    // With fold_capitals, a word's leading capital is looked up in lower
    // case, so 'Cat' and 'cat' share a key.
    DictionaryLookup(char prefix, bool fold_capitals);

    // Before build: a word the lookups will ask about.
    void expect(std::string_view word);

    // Prepares the answers for the expected words. dict must stay as it is
    // for as long as the lookup is used.
    void build(std::string_view dict);

    // A lookup worked out ahead: find() of a stream of words runs faster
    // when each is prepared some words before, and its candidate fetched a
    // few words before (each asks the processor to fetch memory it will need).
    struct Prepared {
        std::string_view word;
        char first; // the word's first byte as looked up
        std::uint64_t hash;
    };
    Prepared prepare(std::string_view word) const;
    void fetch_candidate(const Prepared& prepared) const;

    // Where prefix + word + '_' first occurs in the dictionary, as
    // find_text says: the position, or not_found.
    std::ptrdiff_t find(const Prepared& prepared) const;
    std::ptrdiff_t find(std::string_view word) const { return find(prepare(word)); }

private:
    char first_of(std::string_view word) const;
    bool in_segments(std::string_view word) const;
    bool wanted(std::size_t length, char first) const;
    bool segment_at(std::size_t key_pos, const Prepared& word) const;
    template <typename Visit> void for_each_segment(Visit visit) const;
    void index_segments();
    void search_the_others();

    char prefix_;
    bool fold_capitals_;
    std::string_view dict_;
    // Which (length, first byte) pairs the expected words have.
    std::array<std::uint64_t, 64 * 256 / 64> shapes_{};
    bool any_shape_ = false;
    // The segments of wanted shapes, first occurrence of each word only, in
    // open addressing with linear probing: a slot holds 16 bits of the hash
    // and the key's position + 1, or 0 when free; at most half are in use.
    std::vector<std::uint64_t> slots_;
    // The expected words no segment can answer, folded, with their answers.
    std::unordered_map<std::string, std::ptrdiff_t> others_;
};
