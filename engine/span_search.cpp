// The search for the words whose keys span segments, all of them in one
// sweep of the dictionary: the method of Aho and Corasick, over tokens.
//
// A key is cut before each '_' and each prefix byte in it: a token is such
// a byte and what follows it up to the next one. The dictionary is cut the
// same way, so a key stands at p exactly when the dictionary's tokens from p
// on are the key's and the one after them begins with '_', the key's
// closing underscore. The keys' tokens make a tree, one path a key; the
// sweep takes the dictionary's tokens one at a time down it. Where a token
// leads nowhere, the sweep falls back to the deepest node whose path ends
// the path it has come down, and tries again from there. Each token takes
// one step down, each fall-back at least one up, so the sweep costs the
// dictionary's tokens and no more, however the keys are made.
#include "engine/word_table.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::uint32_t no_node = std::numeric_limits<std::uint32_t>::max();

// A token: the byte that opens it, and the bytes after it.
struct Token {
    char opening;
    std::string_view rest;

    bool operator==(const Token&) const = default;
};

std::uint64_t hash_of_token(const Token& token)
{
    const char first = token.rest.empty() ? '\0' : token.rest.front();
    return hashing::mix(hash_of(token.rest, first) ^ static_cast<unsigned char>(token.opening));
}

// The tree of the keys' tokens. Its nodes are made a depth at a time, so a
// node's fall-back, which is shallower, is known when it is made.
class KeyTree {
public:
    struct Node {
        std::uint32_t parent;
        std::uint32_t offset; // of its token's bytes after the opening, in the word table's copy
        std::uint32_t size;
        std::uint32_t fall_back = 0;
        std::uint32_t ending = no_node; // the deepest node of a whole key that its path ends with
        std::uint32_t word = no_node;   // whose key its path is
    };

    // Room for a node for each token, taken as it is used.
    KeyTree(char prefix, std::string_view texts, std::size_t tokens) : prefix_(prefix), texts_(texts)
    {
        nodes_.reserve(tokens + 1);
        nodes_.push_back({no_node, 0, 0});
    }

    const Node& node(std::uint32_t number) const { return nodes_[number]; }
    void set_word(std::uint32_t number, std::size_t word) { nodes_[number].word = static_cast<std::uint32_t>(word); }

    // Where token leads from the node, or no_node.
    std::uint32_t child(std::uint32_t parent, const Token& token, std::uint64_t token_hash) const
    {
        const std::size_t found = edges_.find(edge_hash(parent, token_hash),
            [&](std::size_t child) { return nodes_[child].parent == parent && token_of(child) == token; });
        return found == not_found_yet ? no_node : static_cast<std::uint32_t>(found);
    }

    // Where token leads from the node, or where it would lead after falling
    // back as far as need be: the root when nowhere, as for a token whose
    // shape no token of the tree has.
    std::uint32_t step(std::uint32_t from, const Token& token) const
    {
        if (!shapes_.may_hold(token.rest.size(), token.rest.empty() ? '\0' : token.rest.front()))
            return 0;
        const std::uint64_t token_hash = hash_of_token(token);
        for (;;) {
            if (const std::uint32_t next = child(from, token, token_hash); next != no_node)
                return next;
            if (from == 0)
                return 0;
            from = nodes_[from].fall_back;
        }
    }

    // The node the token at offset, size bytes after its opening, leads to
    // from parent; made, with its fall-back, when there is none yet.
    std::uint32_t grow(std::uint32_t parent, std::size_t offset, std::size_t size)
    {
        const Token token = token_at(parent, offset, size);
        const std::uint64_t token_hash = hash_of_token(token);
        if (const std::uint32_t there = child(parent, token, token_hash); there != no_node)
            return there;
        Node made{parent, static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(size)};
        if (parent != 0)
            made.fall_back = step(nodes_[parent].fall_back, token);
        const Node& fall_back = nodes_[made.fall_back];
        made.ending = fall_back.word != no_node ? made.fall_back : fall_back.ending;
        const auto number = static_cast<std::uint32_t>(nodes_.size());
        nodes_.push_back(made);
        shapes_.add(size, size == 0 ? '\0' : texts_[offset]);
        edges_.add(edge_hash(parent, token_hash), number,
            [&](std::size_t child) { return edge_hash(nodes_[child].parent, hash_of_token(token_of(child))); });
        return number;
    }

private:
    static std::uint64_t edge_hash(std::uint32_t parent, std::uint64_t token_hash)
    {
        return hashing::mix(token_hash ^ parent * hashing::length_factor);
    }
    // A key's first token opens with the prefix; every other with the byte
    // before its bytes in the word.
    Token token_at(std::uint32_t parent, std::size_t offset, std::size_t size) const
    {
        return {parent == 0 ? prefix_ : texts_[offset - 1], texts_.substr(offset, size)};
    }
    Token token_of(std::size_t number) const
    {
        return token_at(nodes_[number].parent, nodes_[number].offset, nodes_[number].size);
    }

    char prefix_;
    std::string_view texts_;
    std::vector<Node> nodes_;
    OpenTable edges_;    // from a node and a token to the node it leads to
    ShapeFilter shapes_; // of the tokens' bytes after their openings
};

} // namespace

void WordTable::search_token_tree(
    std::string_view dict, std::size_t dict_openings, const std::vector<std::size_t>& words)
{
    const std::string_view opening_bytes = prefix_ == '_' ? "_" : "_~";
    // The words' paths, grown a token at a time each round: where each
    // word's next token begins, and the node it has reached. A key with more
    // openings than the dictionary's dict_openings (its closing '_' one of
    // them) is nowhere in it, and is left out.
    struct Climb {
        std::size_t word;
        std::size_t at;
        std::uint32_t node;
    };
    const auto openings_in = [&](std::string_view text) {
        return count_of(text, '_') + (prefix_ == '_' ? 0 : count_of(text, prefix_));
    };
    std::vector<Climb> climbing;
    climbing.reserve(words.size());
    std::size_t tokens = 0;
    for (const std::size_t number : words)
        if (const std::size_t openings = openings_in(text_of(words_[number])); openings + 2 <= dict_openings) {
            climbing.push_back({number, words_[number].offset, 0});
            tokens += openings + 1;
        }
    KeyTree tree(prefix_, texts_, tokens);
    while (!climbing.empty()) {
        for (Climb& climb : climbing) {
            const Word& word = words_[climb.word];
            const std::string_view rest = std::string_view(texts_).substr(climb.at, word.offset + word.size - climb.at);
            const std::size_t size = std::min(rest.find_first_of(opening_bytes), rest.size());
            climb.node = tree.grow(climb.node, climb.at, size);
            climb.at += size + 1; // past the word's end when its last token is in
        }
        std::erase_if(climbing, [&](const Climb& climb) {
            const bool whole = climb.at > words_[climb.word].offset + words_[climb.word].size;
            if (whole)
                tree.set_word(climb.node, climb.word);
            return whole;
        });
    }

    // The sweep: at each '_', the keys that end just before it stand there;
    // a node found already was found with every node of its endings.
    std::uint32_t at_node = 0;
    std::size_t opening = std::string_view::npos; // of the token being read
    for_each_byte(dict, '_', prefix_, [&](std::size_t at) {
        if (opening != std::string_view::npos) {
            const Token token{dict[opening], dict.substr(opening + 1, at - opening - 1)};
            at_node = tree.step(at_node, token);
        }
        opening = at;
        if (dict[at] != '_')
            return;
        std::uint32_t whole = tree.node(at_node).word != no_node ? at_node : tree.node(at_node).ending;
        for (; whole != no_node && words_[tree.node(whole).word].key_pos == not_found_yet;
             whole = tree.node(whole).ending) {
            Word& word = words_[tree.node(whole).word];
            word.key_pos = at - 1 - word.size;
        }
    });
}
