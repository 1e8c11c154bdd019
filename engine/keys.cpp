#include "engine/keys.h"

#include <cassert>
#include <cstring>
#include <random>

const std::uint64_t hashing::seed = [] {
    std::random_device device;
    return std::uint64_t{device()} << 32 ^ device();
}();

namespace {

// The hash of a key that may span segments: its rolling hash, mixed, so
// that the span search finds its words in the table by the same hash.
// Four bytes a step: the chain of products that must wait on each other is
// a quarter as long.
std::uint64_t spanning_hash(char prefix, char first, std::string_view rest)
{
    constexpr std::uint64_t base2 = rolling::base * rolling::base;
    const auto byte = [&](std::size_t at) { return static_cast<std::uint64_t>(static_cast<unsigned char>(rest[at])); };
    std::uint64_t h = rolling::rolled(rolling::rolled(0, prefix), first);
    std::size_t at = 0;
    for (; at + 4 <= rest.size(); at += 4)
        h = h * base2 * base2 + (byte(at) * rolling::base + byte(at + 1)) * base2 + byte(at + 2) * rolling::base +
            byte(at + 3);
    for (; at < rest.size(); ++at)
        h = rolling::rolled(h, rest[at]);
    return hashing::mix(rolling::rolled(h, '_'));
}

} // namespace

WordKey key_of(char prefix, std::string_view word, bool spans, bool hash_spanning)
{
    const char first = word.empty() ? '\0' : looked_up(word.front());
    if (word_at_a_time::usable && !spans && word.size() <= short_word_limit) {
        std::array<std::uint64_t, 2> copied{};
        std::memcpy(copied.data(), word.data(), word.size());
        const WordKey key = short_key(word, first, copied);
        assert(key.hash == hash_of(word, first)); // the index finds short and long keys alike
        return key;
    }
    if (spans)
        return {word, first, true, {}, hash_spanning ? spanning_hash(prefix, first, word.substr(1)) : 0};
    return {word, first, false, {}, hash_of(word, first)};
}
