// Results and dictionary growth: the paged display, the footer and the two
// output files, and the dialogue that teaches the dictionary new words.
#pragma once

#include <string>

// Refuses, before anything is written, a run whose outputs (and, when it
// translates, the message file) would overwrite a file it reads, or (when
// asked) could not be written.
void check_outputs(bool writable);

// Closes up every padded punctuation mark (space, mark, space) of text to
// the mark alone.
void close_up_in_place(std::string& text);

// Shows run.out_text: "Your (un)translation follows ...", a key wait, and
// the text a page at a time (q at a wait skips the rest).
void show_text();

// The add-words dialogue; when it stored words in the dictionary (and in
// the message file), says so and returns true.
bool extend_dictionary();

// Footer, both output files and the closing line: the last stage of a run.
void deliver_results();
