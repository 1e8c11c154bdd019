// What the results stages share with one another, beyond the driver's
// reach: paging, the footer, the output names, and the checks and notes of
// the files they write.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "control/failure.h"

// Writes text to the console, waiting for a key after each page; q at a
// page skips the rest.
void page_to_console(std::string_view text);

// The footer appended to the text before it is written.
std::string footer_text();

struct OutputNames {
    std::string first;  // <base>.qgo, or <base>.txt when untranslating
    std::string second; // <base>.htm
};

// The base is the input name cut at the first "." of its file-name part.
OutputNames output_names(std::string_view input_name, bool untranslating);

// Why writing name would destroy a file the run reads, the input or a
// dictionary of the chain so far (the usage screen follows); nothing when
// it would not. Names are
// compared by the files they lead to, links followed. The one rule, asked
// by every write; updating a dictionary (not the input) writes what it reads.
Outcome clash(const std::string& name, bool updating = false);

// The line that says where a file of the user's own that name replaced is
// kept, or nothing when none was.
std::string kept_note(const std::string& name, const std::string& kept_as);

// Whether the last bytes of a message file are this program's making: it
// holds one group.
bool message_written_here(std::string_view tail);
