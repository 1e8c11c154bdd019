// The usage screen that follows an error of options or files, and the help
// that --help prints.
#pragma once

#include <string>

// What --help prints: synopsis, options, files and exit statuses.
std::string help_text();

// Where examples of the dictionary are, for the hint after a missing
// quogo.dic: "the installed examples are in DIR" (beside the program, under
// whatever prefix it was installed, or where it was configured to go), "the
// examples are in DIR" of the source tree it was built from, or "no
// examples are installed".
std::string where_examples_are();

// Prints the usage screen, waits for a key and ends the run with a failure.
[[noreturn]] void show_usage();
