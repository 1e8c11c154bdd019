// The console as every stage uses it: line and key input, colour escapes,
// the verbose pause and the way the process ends.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Exit statuses: a completed run, and every failure (usage screen included).
constexpr int exit_ok = 0;
constexpr int exit_failure = 1;

// The longest typed line taken: a terminal's own line editing holds no more.
constexpr std::size_t longest_line = 4096;

// Reads one line from standard input into line, without its line end. On a
// terminal the line is typed with the terminal's own editing and echo. A
// line longer than longest_line is refused whole: line is left empty, the
// rest of it up to its line end is dropped, and the result is false.
bool read_line(std::string& line);

// Prints prompt, then waits for one key press. Off a terminal one byte (or
// the end of input) stands for a key; on a terminal whose output goes to
// another program, one typed line does. True when the key was q pressed on
// the terminal: the user asks to skip what is being shown.
bool wait_key(std::string_view prompt);

// Prints a prompt that asks for a typed line: to standard output and, when
// that is a file, to the terminal as well.
void put_prompt(std::string_view prompt);

// Prints the prompt of the wait in progress again, if there is one, for a
// job continued after a stop (async-signal-safe).
void show_prompt_again_now();

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

// A file name as the messages show it: each control byte as '?', as ls -q
// shows names, so that no name, typed or read from a dictionary's link,
// breaks a message's line or sends the terminal an escape of its own.
std::string shown_name(std::string_view name);

// Writes a failure or a refusal to standard output, and, when standard
// output is not the terminal, to standard error too, a line at a time after
// "quogtran: " (once, when both lead to one file): the person learns of it
// wherever the conversation goes.
void put_problem(std::string_view text);

// Flushes standard output and ends the process, giving the terminal back.
// A failed write to standard output turns a successful status into a failure.
[[noreturn]] void end_process(int status);
