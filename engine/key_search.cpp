#include "engine/key_search.h"

#include <cstring>

namespace {

std::uint64_t edge_key(std::uint32_t node, unsigned char byte)
{
    return (std::uint64_t{node} << 8 | byte) + 1;
}

std::size_t edge_slot(std::uint64_t key, std::size_t mask)
{
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 20) & mask;
}

} // namespace

KeySearch::KeySearch() : nodes_(1), edge_keys_(256, 0), edge_targets_(256, none) { }

std::uint32_t KeySearch::child(std::uint32_t node, unsigned char byte) const
{
    if (const std::int32_t row = nodes_[node].row; row >= 0)
        return rows_[static_cast<std::size_t>(row) * 256 + byte];
    const std::uint64_t key = edge_key(node, byte);
    const std::size_t mask = edge_keys_.size() - 1;
    for (std::size_t slot = edge_slot(key, mask);; slot = (slot + 1) & mask) {
        if (edge_keys_[slot] == key)
            return edge_targets_[slot];
        if (edge_keys_[slot] == 0)
            return none;
    }
}

void KeySearch::add_child(std::uint32_t node, unsigned char byte, std::uint32_t target)
{
    // The edge table stays at most half full, so every probe ends soon.
    if ((edges_ + 1) * 2 > edge_keys_.size()) {
        std::vector<std::uint64_t> keys(edge_keys_.size() * 2, 0);
        std::vector<std::uint32_t> targets(keys.size(), none);
        const std::size_t mask = keys.size() - 1;
        for (std::size_t old = 0; old < edge_keys_.size(); ++old) {
            if (edge_keys_[old] == 0)
                continue;
            std::size_t slot = edge_slot(edge_keys_[old], mask);
            while (keys[slot] != 0)
                slot = (slot + 1) & mask;
            keys[slot] = edge_keys_[old];
            targets[slot] = edge_targets_[old];
        }
        edge_keys_.swap(keys);
        edge_targets_.swap(targets);
    }
    const std::uint64_t key = edge_key(node, byte);
    const std::size_t mask = edge_keys_.size() - 1;
    std::size_t slot = edge_slot(key, mask);
    while (edge_keys_[slot] != 0)
        slot = (slot + 1) & mask;
    edge_keys_[slot] = key;
    edge_targets_[slot] = target;
    ++edges_;
    nodes_[target].next_sibling = nodes_[node].first_child;
    nodes_[node].first_child = target;
}

void KeySearch::add(std::string_view key, std::uint32_t id)
{
    if (!rows_.empty()) { // rows are made for a finished trie
        for (Node& node : nodes_)
            node.row = -1;
        rows_.clear();
    }
    std::uint32_t node = 0;
    for (const char ch : key) {
        const auto byte = static_cast<unsigned char>(ch);
        std::uint32_t next = child(node, byte);
        if (next == none) {
            next = static_cast<std::uint32_t>(nodes_.size());
            nodes_.push_back(Node{});
            nodes_[next].depth = nodes_[node].depth + 1;
            nodes_[next].byte = byte;
            add_child(node, byte, next);
        }
        node = next;
    }
    if (node != 0 && nodes_[node].id < 0)
        nodes_[node].id = id;
    linked_ = false;
}

// Breadth first, so that a node's fail link is settled before its children's.
void KeySearch::link_failures()
{
    // Rows for the root and its children, filled from the edge table before
    // child() reads them.
    rows_.clear();
    std::vector<std::uint32_t> shallow{0};
    for (std::uint32_t c = nodes_[0].first_child; c != none; c = nodes_[c].next_sibling)
        shallow.push_back(c);
    std::vector<std::uint32_t> rows(shallow.size() * 256, none);
    for (std::size_t r = 0; r < shallow.size(); ++r)
        for (std::uint32_t c = nodes_[shallow[r]].first_child; c != none; c = nodes_[c].next_sibling)
            rows[r * 256 + nodes_[c].byte] = c;
    rows_.swap(rows);
    for (std::size_t r = 0; r < shallow.size(); ++r)
        nodes_[shallow[r]].row = static_cast<std::int32_t>(r);

    std::vector<std::uint32_t> queue;
    queue.reserve(nodes_.size());
    for (std::uint32_t c = nodes_[0].first_child; c != none; c = nodes_[c].next_sibling)
        queue.push_back(c); // fail and next_key stay at the root
    for (std::size_t at = 0; at < queue.size(); ++at) {
        const std::uint32_t node = queue[at];
        for (std::uint32_t c = nodes_[node].first_child; c != none; c = nodes_[c].next_sibling) {
            const unsigned char byte = nodes_[c].byte;
            std::uint32_t fail = nodes_[node].fail;
            while (fail != 0 && child(fail, byte) == none)
                fail = nodes_[fail].fail;
            nodes_[c].fail = child(fail, byte);
            const Node& via = nodes_[nodes_[c].fail];
            nodes_[c].next_key = via.id >= 0 ? nodes_[c].fail : via.next_key;
            queue.push_back(c);
        }
    }
    linked_ = true;
}

void KeySearch::run(std::string_view text, const std::function<void(std::uint32_t, std::size_t)>& found)
{
    if (!linked_)
        link_failures();
    std::size_t keys_left = 0;
    for (const Node& node : nodes_)
        keys_left += node.id >= 0 ? 1 : 0;
    std::vector<bool> reported(nodes_.size(), false);

    // When every key starts with the same byte, the root skips to that byte.
    const std::uint32_t only = nodes_[0].first_child;
    const bool one_start = only != none && nodes_[only].next_sibling == none;
    const int start_byte = one_start ? nodes_[only].byte : -1;

    std::uint32_t state = 0;
    for (std::size_t at = 0; at < text.size() && keys_left > 0; ++at) {
        if (state == 0 && one_start) {
            const void* next = std::memchr(text.data() + at, start_byte, text.size() - at);
            if (next == nullptr)
                break;
            at = static_cast<std::size_t>(static_cast<const char*>(next) - text.data());
        }
        const auto byte = static_cast<unsigned char>(text[at]);
        std::uint32_t next = child(state, byte);
        while (next == none && state != 0) {
            state = nodes_[state].fail;
            next = child(state, byte);
        }
        state = next;
        // Every key ending here lies on the chain of next_key links. A key
        // already reported occurred earlier, and so did every key on the
        // chain after it (they are its suffixes): the walk stops there.
        for (std::uint32_t node = nodes_[state].id >= 0 ? state : nodes_[state].next_key; node != 0 && !reported[node];
             node = nodes_[node].next_key) {
            reported[node] = true;
            --keys_left;
            found(static_cast<std::uint32_t>(nodes_[node].id), at + 1 - nodes_[node].depth);
        }
    }
}
