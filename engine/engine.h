// The translation engine: the prepared work text and its arrow rewrites, the
// dictionary loader, and the word-by-word translation pass. The stages work
// on the run-wide texts of state/run_state.h.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// --- Work text -------------------------------------------------------------------

// Reads the file in_name into work_text, prepared: punctuation padded with
// spaces, every LF marked as space LF, CR dropped. A file that cannot be read
// ends the run through the usage screen.
void prepare_work_text();

// Turns each input arrow (prepared as "- > ") in work_text into "==", so that
// it stays inside one word.
void protect_arrows();

// Turns each "==" of out_text back into "->".
void restore_arrows();

// The preparation of a raw text, without any file.
std::string prepare_text(std::string_view raw);

// Replaces in text, from left to right, each occurrence of from by to, which
// must not be longer.
void replace_marks(std::string& text, std::string_view from, std::string_view to);

// --- Dictionary ------------------------------------------------------------------

// Loads dict_name into dict_text without its line breaks, counts its tildes
// into word_count (while nothing has been added), finds its chain link, and
// indexes it. A dictionary that cannot be read ends the run.
void load_dictionary();

// What load_dictionary does with a dictionary's bytes once they are read.
void take_dictionary(std::string contents);

// Removes every CR and LF: line breaks carry no meaning in a dictionary.
void drop_line_ends(std::string& text);

// The name a chain link names: the bytes after the "|" at bar_pos up to the
// next "]", or to the end of the text when no "]" follows.
std::string link_name(std::string_view dict, std::ptrdiff_t bar_pos);

// --- Translation pass -------------------------------------------------------------

// Prints the pass header, then runs the pass.
void translate_pass();

// Translates work_text into out_text, appending, step by step: each word is
// looked up in dict_text, and its translation (or the word itself) is
// followed by one space; line ends stay.
void run_pass();

// --- Dictionary lookup ------------------------------------------------------------

// Where each key first occurs in dict: what find_text(dict, key) says, found
// for all the keys together in one sweep of dict.
std::vector<std::ptrdiff_t> find_keys(std::string_view dict, const std::vector<std::string>& keys);
