// The terminal (or console) as the platform gives it, in one place.
//
// The terminal is borrowed, never taken: its settings change only while the
// program waits for a key or a typed line, and are put back exactly, on
// every way out. Nothing here touches a terminal unless standard input is
// one and standard output is that terminal or a file; output going to
// another program (a pager, which owns the terminal then) leaves it alone.
#pragma once

#include <string_view>

// What a wait borrows the terminal for.
enum class Borrow {
    key,  // one key press: no line buffering, no echo, signal keys kept
    line, // a typed line: the terminal's own line editing, CR or LF ends it
};

// True when the waits may borrow the terminal.
bool terminal_is_ours_to_borrow();

// Shows text on the terminal too when standard output is a file, so that a
// prompt is seen: on standard error if that is the terminal, else /dev/tty.
void show_on_terminal(std::string_view text);

// Switches the terminal to what kind needs for as long as it lives, and
// back to the user's settings when it goes. Changes nothing when the
// settings already suit, or when the terminal is not ours to borrow.
class BorrowedTerminal {
public:
    explicit BorrowedTerminal(Borrow kind);
    ~BorrowedTerminal();
    BorrowedTerminal(const BorrowedTerminal&) = delete;
    BorrowedTerminal& operator=(const BorrowedTerminal&) = delete;
};

// For signal handlers (async-signal-safe): puts the user's settings back
// and says whether the terminal was borrowed; after a stop, borrows it again
// as it was borrowed before.
bool give_terminal_back_now();
void borrow_terminal_again_now();

// Whether standard input, and standard output, are the terminal.
bool input_is_terminal();
bool output_is_terminal();

// The rows and columns of the window standard output shows in, each 0 when
// it is no terminal or does not say.
struct WindowSize {
    int rows = 0;
    int columns = 0;
};
WindowSize window_size();

// Whether standard error leads to another file than standard output.
bool errors_go_apart();

// Writes bytes to standard error at once.
void write_error_now(std::string_view bytes);

// One byte typed at the terminal, EOF at the end of input, or read_failed.
constexpr int read_failed = -2;
int read_terminal_byte();

// Drops, after a key, what else is already there: the rest of an escape
// sequence or a UTF-8 character, and keys typed ahead or pasted. Bounded,
// so that a flood of input cannot hold the wait.
void drop_typed_ahead(int key);

// Writes text to standard output: through the C library's buffer, or on a
// Windows console at once, as its characters.
void write_output(std::string_view text);

// Writes bytes to standard output at once, unbuffered (async-signal-safe).
void write_now(std::string_view bytes);

// Whether colour escapes reach the terminal as colours, or standard output
// is no terminal at all.
bool colour_possible();
