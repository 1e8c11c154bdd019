// Finds many keys in one text at once (Aho-Corasick): the first occurrence
// of each, in one left-to-right sweep whose time grows with the text plus
// the keys, whatever bytes either holds. Private to the engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

class KeySearch {
public:
    KeySearch();

    // Adds a non-empty key under an id of the caller's; a key added twice
    // keeps its first id.
    void add(std::string_view key, std::uint32_t id);

    // Calls found(id, position) once for each key that occurs in text, with
    // the position of its first occurrence.
    void run(std::string_view text, const std::function<void(std::uint32_t, std::size_t)>& found);

private:
    static constexpr std::uint32_t none = 0; // the root, which no edge leads to

    struct Node {
        std::uint32_t fail = none;        // the longest proper suffix that is also in the trie
        std::uint32_t next_key = none;    // the nearest node along fail links that ends a key
        std::uint32_t first_child = none; // children, for the breadth-first walk
        std::uint32_t next_sibling = none;
        std::uint32_t depth = 0;
        std::int64_t id = -1;   // the key ending here, or -1
        std::int32_t row = -1;  // its row of rows_, for the root and its children
        unsigned char byte = 0; // on the edge from the parent
    };

    std::uint32_t child(std::uint32_t node, unsigned char byte) const;
    void add_child(std::uint32_t node, unsigned char byte, std::uint32_t target);
    void link_failures();

    std::vector<Node> nodes_;
    // The children of the root and of its children, 256 to a row: the sweep
    // spends most of its steps there, so they are looked up directly.
    std::vector<std::uint32_t> rows_;
    // Edges in an open-addressing table: (node << 8 | byte) + 1 -> child.
    std::vector<std::uint64_t> edge_keys_;
    std::vector<std::uint32_t> edge_targets_;
    std::size_t edges_ = 0;
    bool linked_ = false;
};
