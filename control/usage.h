// The usage screen that follows an error of options or files, and the help
// that --help prints.
#pragma once

#include <string>
#include <string_view>

// The lines of the usage screen, each after its line end.
std::string usage_text();

// What --help prints: synopsis, options, files and exit statuses.
std::string help_text();

// Prints the usage screen, waits for a key and ends the run with a failure.
[[noreturn]] void show_usage();

// Gives the terminal and the colour back, prints message, then the usage
// screen.
[[noreturn]] void die_with_usage(std::string_view message);

// Ends the run because name could not be written: with the usage screen
// when it could not even be opened for writing.
struct WriteFailure;
[[noreturn]] void die_writing(const std::string& name, const WriteFailure& failure);
