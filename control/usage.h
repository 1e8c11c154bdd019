// The usage screen that follows an error of options or files, and the help
// that --help prints.
#pragma once

#include <string>

// What --help prints: synopsis, options, files and exit statuses.
std::string help_text();

// Prints the usage screen, waits for a key and ends the run with a failure.
[[noreturn]] void show_usage();
