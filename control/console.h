// Console and text utilities shared by every stage: substring search, line
// and key input, colour escapes, the verbose pause and the way the process
// ends.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

constexpr std::ptrdiff_t not_found = -1;

// Exit statuses: a completed run, and every failure (usage screen included).
constexpr int exit_ok = 0;
constexpr int exit_failure = 1;

// Index of the first occurrence of needle in haystack, or not_found. Every
// byte is ordinary (NUL included); an empty needle is found at 0 in a
// non-empty haystack and nowhere in an empty one.
std::ptrdiff_t find_text(std::string_view haystack, std::string_view needle);

// How many bytes of text are ch: counted in blocks whose tallies fit a
// byte, which the compiler turns into wide compares.
std::size_t count_of(std::string_view text, char ch);

// Byte searches over text a machine word at a time: most of what is sought
// stands a few bytes on, too near for a call to memchr to pay.
namespace word_at_a_time {

constexpr bool usable = std::endian::native == std::endian::little;
constexpr std::uint64_t ones = 0x0101010101010101ull;
constexpr std::uint64_t highs = ones << 7;

inline std::uint64_t load(const char* p)
{
    std::uint64_t value = 0;
    std::memcpy(&value, p, 8);
    return value;
}

// The high bit of each byte of v that is ch, and of no other.
inline std::uint64_t bytes_equal(std::uint64_t v, char ch)
{
    const std::uint64_t t = v ^ (ones * static_cast<unsigned char>(ch));
    return ~(((t & ~highs) + ~highs) | t) & highs;
}

// The number of the byte a high bit marks.
inline std::size_t byte_of(std::uint64_t marked)
{
    return static_cast<std::size_t>(std::countr_zero(marked)) / 8;
}

// The high bits of marked, one a byte, gathered into the low 8 bits.
inline std::uint64_t gathered(std::uint64_t marked)
{
    return ((marked >> 7) * 0x0102040810204080ull) >> 56;
}

} // namespace word_at_a_time

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
    for (; usable && from + 8 <= text.size(); from += 8)
        if (const std::uint64_t hits = bytes_equal(load(text.data() + from), ch); hits != 0)
            return from + byte_of(hits);
    while (from < text.size() && text[from] != ch)
        ++from;
    return from;
}

// Where the first byte at or after from that may be a line end or a
// punctuation mark stands: one below 64 and not a space (text is mostly
// letters and spaces). Within the last 8 bytes, from itself.
inline std::size_t next_low_byte(std::string_view text, std::size_t from)
{
    using namespace word_at_a_time;
    for (; usable && from + 8 <= text.size(); from += 8) {
        const std::uint64_t v = load(text.data() + from);
        if (const std::uint64_t low = ~v & ~(v << 1) & highs & ~bytes_equal(v, ' '); low != 0)
            return from + byte_of(low);
    }
    return from;
}

// The one case folding of the program: A-Z to a-z, every other byte as it is.
inline char lower_ascii(char ch)
{
    return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + ('a' - 'A')) : ch;
}

// The longest typed line taken: a terminal's own line editing holds no more.
constexpr std::size_t longest_line = 4096;

// Reads one line from standard input into line, without its line end. On a
// terminal the line is typed with the terminal's own editing and echo. A
// line longer than longest_line is refused whole: line is left empty, the
// rest of it up to its line end is dropped, and the result is false.
bool read_line(std::string& line);

// Prints prompt, then waits for one key press and ignores it. Off a terminal
// one byte (or the end of input) stands for a key; on a terminal whose
// output goes to another program, one typed line does.
void wait_key(std::string_view prompt);

// Prints a prompt that asks for a typed line: to standard output and, when
// that is a file, to the terminal as well.
void put_prompt(std::string_view prompt);

// ANSI escapes: ESC [ code m and ESC [ 3 code m, or nothing at all when the
// user asked for no colour (NO_COLOR, or TERM=dumb). Any code but '0'
// (normal) leaves a colour or bold on until the next '0'.
void set_attribute(char code);
void set_foreground(char code);
std::string attribute_escape(char code);
std::string foreground_escape(char code);

// Puts the colour back to normal when a colour or bold is on.
void reset_colour();

// The same from a signal handler (async-signal-safe).
void reset_colour_now();

// The pause after each verbose report line: it grows with n cubed, n = 200
// sleeping 5 ms; none when standard output is not a terminal.
void pause_ticks(int n);

// Writes bytes to standard output.
void put_text(std::string_view text);

// Flushes standard output and ends the process, giving the terminal back.
// A failed write to standard output turns a successful status into a failure.
[[noreturn]] void end_process(int status);

// Gives the terminal and the colour back, prints message and ends the run
// with a failure.
[[noreturn]] void die(std::string_view message);
