#include "engine/word_table.h"

#include <algorithm>
#include <map>
#include <new>
#include <set>

WordTable::WordTable(char prefix, std::size_t text_size) : prefix_(prefix), table_(512)
{
    texts_.reserve(text_size);
}

std::size_t WordTable::add(const WordKey& key)
{
    if (const std::size_t number = find(key); number != not_found_yet)
        return number;
    // An offset and a size take 31 bits.
    if (texts_.size() + key.word.size() > 0x7fffffffu)
        throw std::bad_alloc();
    const std::size_t number = words_.size();
    words_.push_back({not_found_yet, static_cast<std::uint32_t>(texts_.size()),
        static_cast<std::uint32_t>(key.word.size()), key.spans ? 1u : 0u});
    texts_.append(key.word);
    if (!key.word.empty())
        texts_[words_.back().offset] = key.first;
    table_.add(key.hash, number, [&](std::size_t at) {
        const Word& word = words_[at];
        return key_of(prefix_, text_of(word), word.spans != 0).hash;
    });
    if (key.spans)
        any_spanning_ = true;
    else
        shapes_.add(key.word.size(), key.first);
    return number;
}

void WordTable::search(std::string_view dict)
{
    if (dict.empty())
        return; // nothing is found in an empty text, not even an empty key
    if (!shapes_.empty())
        search_segments(dict);
    if (any_spanning_)
        search_spanning(dict);
}

void WordTable::search_segments(std::string_view dict)
{
    // A segment at key_pos answers the word it spells, unless an earlier
    // one did.
    for_each_segment(prefix_, dict, [&](std::size_t key_pos, std::string_view segment) {
        const char first = segment.empty() ? '\0' : segment.front();
        if (!shapes_.may_hold(segment.size(), first))
            return;
        const std::size_t number = find({segment, first, false, {}, hash_of(segment, first)});
        if (number != not_found_yet && words_[number].key_pos == not_found_yet)
            words_[number].key_pos = key_pos;
    });
}

// A key prefix word '_' starts at a prefix with as many prefixes between it
// and its closing underscore as the word holds. So at each underscore of
// dict, one start is asked for each number of prefixes that the words hold,
// whatever their lengths: for words holding k, the (k + 1)th prefix before;
// the counts that too few words hold are left to the tree.
// The bytes from s to e hash as H(e + 1) - H(s) base^(e + 1 - s), which is
// base^(e + 1) (G(e + 1) - G(s)) with G(i) = H(i) base^-i: base is odd, so
// it has an inverse modulo 2^64, and G of each start is kept as it passes.
void WordTable::search_spanning(std::string_view dict)
{
    // A word holding more prefixes than dict is nowhere in it.
    const std::size_t most = count_of(dict, prefix_);
    const std::size_t underscores = prefix_ == '_' ? most : count_of(dict, '_');
    // Each word that may be there, and its count; as words' bytes take 31
    // bits, both fit 32, and the room is taken once.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> spanning;
    spanning.reserve(words_.size());
    std::map<std::size_t, std::size_t> tokens; // of the words of each count
    for (std::uint32_t number = 0; number < words_.size(); ++number) {
        const std::string_view text = text_of(words_[number]);
        const auto count = static_cast<std::uint32_t>(std::count(text.begin(), text.end(), prefix_));
        if (words_[number].spans && count < most) {
            spanning.emplace_back(number, count);
            tokens[count] += count + 1;
        }
    }
    std::set<std::size_t> counts;      // asked for at each underscore
    std::vector<std::size_t> for_tree; // the words of the other counts
    for (const auto& [number, count] : spanning) {
        if (tokens[count] * underscores_per_token >= underscores)
            counts.insert(count);
        else
            for_tree.push_back(number);
    }
    if (!for_tree.empty())
        search_token_tree(dict, underscores + (prefix_ == '_' ? 0 : most), for_tree);
    if (counts.empty())
        return;
    std::uint64_t inverse = rolling::base; // Newton's steps double the bits that are right
    for (int step = 0; step < 6; ++step)
        inverse *= 2 - rolling::base * inverse;
    // The last prefixes, each with G where it stands, enough for the most.
    std::vector<std::pair<std::size_t, std::uint64_t>> starts(*counts.rbegin() + 1);
    std::size_t seen = 0;
    std::uint64_t h = 0;
    std::uint64_t power = 1;         // base^i
    std::uint64_t inverse_power = 1; // base^-i
    for (std::size_t end = 0; end < dict.size(); ++end) {
        const std::uint64_t g_here = h * inverse_power;
        h = rolling::rolled(h, dict[end]);
        power *= rolling::base;
        inverse_power *= inverse;
        if (dict[end] != '_') {
            if (dict[end] == prefix_)
                starts[seen++ % starts.size()] = {end, g_here};
            // No word holds a space, so no key spans one: the starts before
            // it are let go, and an entry's underscores are asked about
            // only for the few starts within it.
            if (dict[end] == ' ')
                seen = 0;
            continue;
        }
        for (const std::size_t count : counts) {
            if (count + 1 > seen)
                break;
            // The word whose key is the bytes from start to end, found there
            // first. A word found already is never compared again: a key
            // that stands at every underscore would cost its length at each.
            const std::size_t start = starts[(seen - count - 1) % starts.size()].first;
            const std::uint64_t g_start = starts[(seen - count - 1) % starts.size()].second;
            const std::size_t number =
                table_.find(hashing::mix(power * (h * inverse_power - g_start)), [&](std::size_t at) {
                    const Word& word = words_[at];
                    return word.spans && word.key_pos == not_found_yet &&
                        std::size_t{word.size} + 2 == end + 1 - start &&
                        text_of(word) == dict.substr(start + 1, word.size);
                });
            if (number != not_found_yet)
                words_[number].key_pos = start;
        }
        if (prefix_ == '_') // an underscore that ends a key may start the next
            starts[seen++ % starts.size()] = {end, g_here};
    }
}
