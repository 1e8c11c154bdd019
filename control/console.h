// Console and text utilities shared by every stage: substring search, line
// and key input, colour escapes, the verbose pause, the terminal's input mode
// and the way the process ends.
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

// True when ch is one of the bytes of set.
bool in_set(std::string_view set, char ch);

// The same question answered by table, for loops over every byte of a text.
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

// Reads one line from standard input into line, without its LF, and returns
// the number of bytes stored. At most limit - 1 bytes are stored; the rest of
// a longer line stays pending for the next read. On a terminal the stored
// bytes are echoed and Backspace / DEL erase the last character.
constexpr std::size_t no_limit = SIZE_MAX;
std::size_t read_line(std::string& line, std::size_t limit = no_limit);

// Prints prompt, then takes one byte of input (or end of input) and ignores it.
void wait_key(std::string_view prompt);

// ANSI escapes: ESC [ code m and ESC [ 3 code m.
void set_attribute(char code);
void set_foreground(char code);

// A busy pause of n * n * n idle iterations.
void pause_ticks(int n);

// Character input on a terminal: no line buffering, no echo, signals kept.
// Does nothing when standard input is not a terminal. The saved settings come
// back at every exit, including SIGINT, SIGTERM and SIGHUP.
void console_char_mode();

// Puts the terminal settings saved by console_char_mode back; harmless to
// call more than once or when nothing was changed.
void restore_console();

// True while standard input is a terminal in character mode.
bool console_is_terminal();

// Writes bytes to standard output.
void put_text(std::string_view text);

// Flushes standard output, restores the terminal and ends the process. A
// failed write to standard output turns a successful status into a failure.
[[noreturn]] void end_process(int status);
