// Searches and counts over texts of bytes: the one home of the program's bit
// tricks. Every search here finds exactly what a loop over the bytes finds.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

constexpr std::ptrdiff_t not_found = -1;

// Index of the first occurrence of needle in haystack, or not_found. Every
// byte is ordinary (NUL included); an empty needle is found at 0 in a
// non-empty haystack and nowhere in an empty one.
std::ptrdiff_t find_text(std::string_view haystack, std::string_view needle);

// How many bytes of text are ch: counted in blocks whose tallies fit a
// byte, which the compiler turns into wide compares.
std::size_t count_of(std::string_view text, char ch);

// The one case folding of the program: A-Z to a-z, every other byte as it is.
inline char lower_ascii(char ch)
{
    return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + ('a' - 'A')) : ch;
}

// Byte searches a machine word at a time: most of what is sought stands a
// few bytes on, too near for a call to memchr to pay. A word's bytes are
// numbered from its low end (little-endian loads); elsewhere every search
// takes its byte loop.
namespace word_at_a_time {

constexpr bool usable = std::endian::native == std::endian::little;
constexpr std::size_t width = 8;
constexpr std::uint64_t ones = 0x0101010101010101ull;
constexpr std::uint64_t highs = ones << 7;

inline std::uint64_t load(const char* p)
{
    std::uint64_t value = 0;
    std::memcpy(&value, p, width);
    return value;
}

// Whether the two loads of a short word at at stay inside text.
inline bool two_loads_fit(std::string_view text, std::size_t at)
{
    return at + 2 * width <= text.size();
}

// The high bit of each byte of v that is ch, and of no other. After the
// XOR the bytes sought are 0. Adding 0x7f to the low seven bits of a byte
// carries into its high bit exactly when those bits are not all 0, and the
// carry stops there, so no byte disturbs its neighbour; OR-ing in the byte
// itself sets the high bit of every byte that is not 0. What stays clear
// is a 0 byte: no false hits, unlike the shorter (t - ones) & ~t & highs,
// which marks a 0x01 above a 0.
inline std::uint64_t bytes_equal(std::uint64_t v, char ch)
{
    const std::uint64_t t = v ^ (ones * static_cast<unsigned char>(ch));
    return ~(((t & ~highs) + ~highs) | t) & highs;
}

// Every bit below the first mark: the bytes that come before it. Subtracting
// 1 from the lowest set bit alone clears it and sets all below.
inline std::uint64_t below_first(std::uint64_t marks)
{
    return (marks & (~marks + 1)) - 1;
}

// The number of the byte the first mark falls in (8 when there is none).
inline std::size_t byte_of(std::uint64_t marks)
{
    return static_cast<std::size_t>(std::countr_zero(marks)) / 8;
}

// The low k bytes of a machine word, k at most 8.
inline std::uint64_t low_bytes(std::size_t k)
{
    return k >= width ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * k)) - 1;
}

// The marks, one a byte, gathered into the low 8 bits. Shifted down, the
// mark of byte i is bit 8i. The multiplier's bits are 7(j + 1) for j = 0 to
// 7, so the product holds a copy of each mark at bit 8i + 7(j + 1) for each
// j, and the copy with j = 7 - i falls on bit 56 + i. No two copies share a
// bit (8i + 7m = 8i' + 7m' with m, m' from 1 to 8 forces i = i'), so
// nothing carries, and every other copy falls below bit 56 or past bit 63.
inline std::uint64_t gathered(std::uint64_t marks)
{
    return ((marks >> 7) * 0x0102040810204080ull) >> 56;
}

} // namespace word_at_a_time

// The first k bytes at p (k at most 16, the 16 bytes at p readable) in two
// words, the rest zeros: what a key of a short word is made of.
inline std::array<std::uint64_t, 2> first_bytes(const char* p, std::size_t k)
{
    using namespace word_at_a_time;
    return {load(p) & low_bytes(k), k > width ? load(p + width) & low_bytes(k - width) : 0};
}

// Whether the k bytes at p (k at most 16, the 16 bytes at p readable) are
// the first k of the two words: a compare of each word under a mask.
inline bool same_bytes(const char* p, const std::array<std::uint64_t, 2>& words, std::size_t k)
{
    using namespace word_at_a_time;
    return ((load(p) ^ words[0]) & low_bytes(k)) == 0 &&
        ((load(p + width) ^ words[1]) & (k > width ? low_bytes(k - width) : 0)) == 0;
}

// The length of the word at at in text when a space ends it within 16
// bytes and neither mark nor other stands before the space; npos when
// either does, when no space comes by then, or when the 16 bytes at at are
// not all in text. Most words are short: found with two loads.
inline std::size_t short_plain_word(std::string_view text, std::size_t at, char mark, char other)
{
    using namespace word_at_a_time;
    if (!usable || !two_loads_fit(text, at))
        return std::string_view::npos;
    const std::uint64_t first8 = load(text.data() + at);
    const std::uint64_t next8 = load(text.data() + at + width);
    const std::uint64_t space = bytes_equal(first8, ' ');
    const std::uint64_t later_space = bytes_equal(next8, ' ');
    const std::uint64_t marks = bytes_equal(first8, mark) | bytes_equal(first8, other);
    const std::uint64_t later_marks = bytes_equal(next8, mark) | bytes_equal(next8, other);
    // The space in the first load with no mark before it, or one in the
    // second with no mark in the first or before it.
    if (space != 0)
        return (marks & below_first(space)) == 0 ? byte_of(space) : std::string_view::npos;
    if (later_space != 0 && marks == 0 && (later_marks & below_first(later_space)) == 0)
        return width + byte_of(later_space);
    return std::string_view::npos;
}

// Where the first space at or after at stands in text, or text.size();
// marked is set when mark or other stands before it.
inline std::size_t next_space(std::string_view text, std::size_t at, char mark, char other, bool& marked)
{
    using namespace word_at_a_time;
    for (; usable && at + width <= text.size(); at += width) {
        const std::uint64_t v = load(text.data() + at);
        const std::uint64_t marks = bytes_equal(v, mark) | bytes_equal(v, other);
        if (const std::uint64_t spaces = bytes_equal(v, ' '); spaces != 0) {
            marked = marked || (marks & below_first(spaces)) != 0;
            return at + byte_of(spaces);
        }
        marked = marked || marks != 0;
    }
    for (; at < text.size() && text[at] != ' '; ++at)
        marked = marked || text[at] == mark || text[at] == other;
    return at;
}

// Calls take(at) for each position of text that holds ch or other, in
// order: 64 bytes a round, where they fall gathered into one mask.
template <typename Take> void for_each_byte(std::string_view text, char ch, char other, Take take)
{
    using namespace word_at_a_time;
    std::size_t at = 0;
    for (; usable && at + 64 <= text.size(); at += 64) {
        std::uint64_t hits = 0;
        for (std::size_t word = 0; word < 8; ++word) {
            const std::uint64_t v = load(text.data() + at + 8 * word);
            hits |= gathered(bytes_equal(v, ch) | bytes_equal(v, other)) << (8 * word);
        }
        for (; hits != 0; hits &= hits - 1)
            take(at + static_cast<std::size_t>(std::countr_zero(hits)));
    }
    for (; at < text.size(); ++at)
        if (text[at] == ch || text[at] == other)
            take(at);
}

// Where the first ch at or after from stands in text, or text.size().
inline std::size_t next_byte(std::string_view text, std::size_t from, char ch)
{
    using namespace word_at_a_time;
    for (; usable && from + width <= text.size(); from += width)
        if (const std::uint64_t hits = bytes_equal(load(text.data() + from), ch); hits != 0)
            return from + byte_of(hits);
    while (from < text.size() && text[from] != ch)
        ++from;
    return from;
}

// Where the first byte at or after from that may be a line end or a
// punctuation mark stands: one below 64 and not a space (text is mostly
// letters and spaces). Within the last 8 bytes, from itself. A byte is below
// 64 when its bits 7 and 6 are both clear: ~v has them set, and ~(v << 1)
// brings bit 6 of each byte up to where bit 7 is tested (the bit shifted in
// from the byte below lands on bit 0, which the mask drops).
inline std::size_t next_low_byte(std::string_view text, std::size_t from)
{
    using namespace word_at_a_time;
    for (; usable && from + width <= text.size(); from += width) {
        const std::uint64_t v = load(text.data() + from);
        if (const std::uint64_t low = ~v & ~(v << 1) & highs & ~bytes_equal(v, ' '); low != 0)
            return from + byte_of(low);
    }
    return from;
}

// A hash of a stream of bytes that does not depend on how the stream is cut
// into chunks: each whole block of 8 bytes is mixed with its own position
// (a step on from the seed for each block; the two xored, multiplied by an
// odd constant, then the high half folded into the low) and the mixes are
// summed. No block waits for the mix of the one before, as in a chain of
// multiplies, so the blocks go three times as fast; and as the mix is one
// to one at each position, a change of one block always changes the sum.
// The bytes of a block not yet whole wait for the next chunk. It tells one
// reading of a file from another; seeded, no file can be made to agree with
// another.
class StreamHash {
public:
    explicit StreamHash(std::uint64_t seed) : position_(seed) { }

    void add(std::string_view bytes)
    {
        size_ += bytes.size();
        for (; !bytes.empty() && waiting_ != 0; bytes.remove_prefix(1))
            take_byte(bytes.front());
        const std::size_t whole = bytes.size() / word_at_a_time::width * word_at_a_time::width;
        std::uint64_t sum = sum_; // both kept in registers through the loop
        std::uint64_t position = position_;
        for (std::size_t at = 0; at < whole; at += word_at_a_time::width) {
            position += step;
            sum += mixed(position, word_at_a_time::load(bytes.data() + at));
        }
        sum_ = sum;
        position_ = position;
        for (const char byte : bytes.substr(whole))
            take_byte(byte);
    }

    // Of the bytes so far and their number.
    std::uint64_t value() const { return mixed(position_ + step, pending_ ^ size_) + sum_; }

private:
    static constexpr std::uint64_t step = 0x632be59bd9b4e019ull;

    void take_byte(char byte)
    {
        pending_ |= std::uint64_t{static_cast<unsigned char>(byte)} << (8 * waiting_);
        if (++waiting_ == word_at_a_time::width) {
            position_ += step;
            sum_ += mixed(position_, pending_);
            pending_ = 0;
            waiting_ = 0;
        }
    }
    static std::uint64_t mixed(std::uint64_t position, std::uint64_t block)
    {
        const std::uint64_t mix = (position ^ block) * 0x9e3779b97f4a7c15ull;
        return mix ^ mix >> 32;
    }

    std::uint64_t position_;    // of the last whole block
    std::uint64_t sum_ = 0;     // of the whole blocks' mixes
    std::uint64_t pending_ = 0; // the bytes of a block not yet whole, from its low end
    std::size_t waiting_ = 0;   // how many
    std::uint64_t size_ = 0;    // of all the bytes
};

// How much of a key is still to come, from its bytes so far: an escape
// sequence runs to its final byte (ESC [ and a byte of 0x40 to 0x7e, or ESC
// O and one byte), a UTF-8 character to its last continuation byte; any
// other byte is a key whole.
class KeyBytes {
public:
    explicit KeyBytes(unsigned char first) { take(first); }

    void take(unsigned char byte)
    {
        switch (state_) {
        case State::start:
            state_ = byte == 0x1b ? State::escape : byte >= 0xc0 && byte < 0xf8 ? State::utf8 : State::whole;
            continuing_ = byte >= 0xf0 ? 3 : byte >= 0xe0 ? 2 : 1;
            break;
        case State::escape:
            state_ = byte == '[' ? State::control : byte == 'O' ? State::shift : State::whole;
            break;
        case State::control:
            state_ = byte >= 0x40 && byte <= 0x7e ? State::whole : State::control;
            break;
        case State::shift:
            state_ = State::whole;
            break;
        case State::utf8:
            state_ = --continuing_ == 0 ? State::whole : State::utf8;
            break;
        case State::whole:
            break;
        }
    }
    bool whole() const { return state_ == State::whole; }

private:
    enum class State { start, escape, control, shift, utf8, whole };
    State state_ = State::start;
    int continuing_ = 0; // UTF-8 continuation bytes still to come
};
