// Results and dictionary growth: the paged display, the footer and the two
// output files, and the dialogue that teaches the dictionary new words.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The first display of run.out_text, a page at a time.
void show_text();

// Footer, both output files and the closing line: the last stage of a run.
void deliver_results();

// The add-words dialogue; when it stored words in the dictionary (and in
// the message file), says so and returns true.
bool extend_dictionary();

// "Your (un)translation follows ..." and a key wait.
void announce_translation();

// Closes up every padded punctuation mark (space, mark, space) of text to
// the mark alone.
void close_up_in_place(std::string& text);

// The footer appended to the text before it is written.
std::string footer_text();

struct OutputNames {
    std::string first;  // <base>.qgo, or <base>.txt when untranslating
    std::string second; // <base>.htm
};

// The base is the input name cut at the first "." of its file-name part.
OutputNames output_names(std::string_view input_name, bool untranslating);

// Why writing name would destroy a file the run reads: the input, or one of
// dictionaries; empty when it would not. Names are compared by the files
// they lead to, links followed.
std::string clash(const std::string& name, const std::vector<std::string>& dictionaries);

// Refuses, before anything is written, a run whose outputs would overwrite
// its input or the dictionary named, or (when asked) could not be written.
void check_outputs(const std::string& dictionary, bool writable);

// Writes text to the console, waiting for a key after each page.
void page_to_console(std::string_view text);
