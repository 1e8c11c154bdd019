// The terminal is borrowed, never taken: its settings change only while the
// program waits for a key or a typed line, and are put back exactly, on
// every way out. Nothing here touches a terminal unless standard input and
// standard output both are one (a pager reading our output owns it then).
#pragma once

// What a wait borrows the terminal for.
enum class Borrow {
    key,  // one key press: no line buffering, no echo, signal keys kept
    line, // a typed line: the terminal's own line editing, CR or LF ends it
};

// True when standard input and standard output are both terminals.
bool terminal_is_ours_to_borrow();

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
