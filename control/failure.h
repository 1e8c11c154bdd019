// The one way a run fails, in the manner of BSD's err(3): a Failure says
// why, failure_text formats it, and fail prints it and ends the run.
#pragma once

#include <optional>
#include <string>
#include <utility>

struct Failure {
    std::string reason;      // what the user reads, without line ends: "Can't write s.qgo: syncing failed: ..."
    bool with_usage = false; // the usage screen follows it, as after a file that could not even be opened
    std::string step;        // of a file's reading or writing, the step that failed ("syncing"), or empty
    int error = 0;           // the system's error for that step, or 0

    Failure(std::string reason, bool with_usage = false, std::string step = {}, int error = 0)
        : reason(std::move(reason)), with_usage(with_usage), step(std::move(step)), error(error)
    { }
};

// What a step that may fail gives back: nothing when it was done.
using Outcome = std::optional<Failure>;

// The failure as the user reads it: its reason on lines of its own.
std::string failure_text(const Failure& failure);

// Gives the terminal and the colour back, prints the failure and ends the
// run with a failure, through the usage screen when the failure asks for it.
[[noreturn]] void fail(const Failure& failure);
