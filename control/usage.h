// The usage screen that follows an error of options or files, and the help
// that --help prints.
#pragma once

#include <string>
#include <string_view>

// What --help prints: synopsis, options, files and exit statuses.
std::string help_text();

// Prints the usage screen, waits for a key and ends the run with a failure.
[[noreturn]] void show_usage();

// Gives the terminal and the colour back, prints message, then the usage
// screen.
[[noreturn]] void die_with_usage(std::string_view message);

// Why a run cannot go on: the line that says so, and whether the usage
// screen follows it (as it does when a file could not even be opened).
struct Failure {
    std::string line;
    bool with_usage = false;
};
[[noreturn]] void die(const Failure& failure);

// The failure to write name.
struct WriteFailure;
Failure writing(const std::string& name, const WriteFailure& failure);
