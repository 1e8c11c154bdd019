// Console and text utilities shared by every stage: substring search, line
// and key input, colour escapes, the verbose pause and the way the process
// ends.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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

// Set membership by table, for loops over every byte of a text.
class ByteSet {
public:
    explicit ByteSet(std::string_view set)
    {
        for (const char ch : set)
            member_[static_cast<unsigned char>(ch)] = true;
    }
    bool contains(char ch) const { return member_[static_cast<unsigned char>(ch)]; }

private:
    std::array<bool, 256> member_{};
};

// Reads one line from standard input into line, without its line end, and
// returns the number of bytes stored. At most limit - 1 bytes are stored;
// the rest of a longer line stays pending for the next read. On a terminal
// the line is typed with the terminal's own editing and echo.
constexpr std::size_t no_limit = SIZE_MAX;
std::size_t read_line(std::string& line, std::size_t limit = no_limit);

// Prints prompt, then waits for one key press and ignores it. Off a terminal
// one byte (or the end of input) stands for a key; on a terminal that only
// shows what another program reads, one typed line does.
void wait_key(std::string_view prompt);

// ANSI escapes: ESC [ code m and ESC [ 3 code m. Any code but '0' (normal)
// leaves a colour or bold on until the next '0'.
void set_attribute(char code);
void set_foreground(char code);

// Puts the colour back to normal when a colour or bold is on.
void reset_colour();

// The same from a signal handler (async-signal-safe).
void reset_colour_now();

// A busy pause of n * n * n idle iterations.
void pause_ticks(int n);

// Writes bytes to standard output.
void put_text(std::string_view text);

// Flushes standard output and ends the process. A failed write to standard
// output turns a successful status into a failure.
[[noreturn]] void end_process(int status);
