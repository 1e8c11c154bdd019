// What the files' implementations on every platform share: how a failure of
// a write is worded, and the names of kept copies. Private to them.
#pragma once

#include <string>

#include "control/failure.h"

// Within the implementations a failure's line holds only its reason, until
// the call the caller made names the file.

// A refusal that the system's errors do not say.
inline Failure refusal(const std::string& why)
{
    return {why, true, "opening"};
}

// The failure to write name, named.
inline Outcome writing_failed(const std::string& name, Outcome outcome)
{
    if (outcome)
        outcome->line = "\nCan't write " + name + ": " + outcome->line + "\n";
    return outcome;
}

// The names a file of the user's own is kept under, the first free one of
// NAME~, NAME.~1~, NAME.~2~ and so on, the numbered copies of Unix tools,
// which have no upper bound.
inline std::string copy_name(const std::string& path, int number)
{
    return path + (number == 0 ? "~" : ".~" + std::to_string(number) + "~");
}
