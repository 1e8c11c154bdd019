// Answers dictionary lookups without scanning the whole dictionary.
//
// A lookup key is a prefix ('_' or '~'), a word and a closing '_'. When the
// word holds no '_' (and, for the '~' prefix, no '~'), the key matches at a
// position p exactly when dict[p] is the prefix and the bytes from p + 1 up
// to the next '_' are the word. So it is enough to remember, for every such
// "segment", the first position where it starts: between two consecutive
// underscores for '_', and from the last '~' before an underscore for '~'.
// Building touches every byte a bounded number of times, whatever the
// dictionary holds. Any other key falls back to the plain search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class DictionaryIndex {
public:
    // Indexes dict; lookups must then pass the same, unchanged text.
    void build(std::string_view dict);
    void clear();

    // The position find_text(dict, key) gives. Uses the index when it was
    // built over this very text and the key has the indexed shape.
    std::ptrdiff_t find_key(std::string_view dict, std::string_view key) const;

private:
    struct Slot {
        std::uint32_t prefix_pos; // where the prefix byte stands
        std::uint32_t length;     // bytes of the word after it
        std::uint32_t hash;
    };
    static constexpr std::uint32_t empty_slot = UINT32_MAX;

    class Table {
    public:
        void clear();
        void insert_first(std::string_view dict, std::uint32_t prefix_pos, std::uint32_t length);
        std::ptrdiff_t find(std::string_view dict, std::string_view word) const;

    private:
        void grow();
        std::vector<Slot> slots_;
        std::size_t used_ = 0;
    };

    bool built_for(std::string_view dict) const;

    Table underscore_table_;
    Table tilde_table_;
    const char* built_data_ = nullptr;
    std::size_t built_size_ = 0;
    bool built_ = false;
    // Keys answered by the plain search, remembered so that a text repeating
    // such a word does not search the dictionary again each time.
    mutable std::unordered_map<std::string, std::ptrdiff_t> fallback_answers_;
};

// The index over dict_text, rebuilt by each load.
extern DictionaryIndex dict_index;
