// The usage screen and the ways a run ends in failure. Each exit puts the
// colour back to normal before it prints its line.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "control/files.h"

// The lines of the usage screen, each after its line end.
std::string usage_text();

// Prints the usage screen, waits for a key and ends the run with a failure.
[[noreturn]] void show_usage();

// Prints line and ends the run with a failure.
[[noreturn]] void fail(std::string_view line);

// Prints line, then the usage screen.
[[noreturn]] void fail_with_usage(std::string_view line);

// Why a run cannot go on: its line, and whether the usage screen follows.
struct Failure {
    std::string line;
    bool with_usage = false;
};
[[noreturn]] void fail(const Failure& failure);

// The line that says why a file could not be read or written:
// "\nCan't open NAME\n", "\nCan't write NAME\n" and so on. A file that
// cannot be opened (or may not be replaced) is followed by the usage screen.
std::string read_failure(ReadStatus status, const std::string& name);
Failure write_failure(WriteStatus status, const std::string& name);

// Opens the file called name and hands it to read, which reads it. A file
// that cannot be opened or read ends the run with its failure line (and
// the usage screen, when asked for).
enum class OnFailure { end, usage };
void read_or_fail(const std::string& name, OnFailure on_failure, const std::function<ReadStatus(InputFile&)>& read);
