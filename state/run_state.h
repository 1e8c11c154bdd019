// The run-wide data of one translation run. Every stage reads and writes
// these globals; the comment on each says who writes it and who reads it.
#pragma once

#include <cstddef>
#include <string>

#include "engine/dictionary_index.h"

// --- Constants, set once by set_run_values() at start-up ---------------------

extern std::string version_text;  // banner and footer
extern std::string punct_set;     // padded by preparation, closed up by delivery
extern std::string line_end_set;  // CR and LF: dropped or marked by preparation
extern std::string line_end_text; // LF: the line end a pass and the footer emit

// Colour codes: single digits for set_attribute / set_foreground.
extern char colour_red;
extern char colour_blue;
extern char colour_white;
extern char colour_normal;
extern char colour_bold;

// --- Settings from the command line or the prompt (options stage) -----------

extern int verbose;       // -v: the pass reports each translated word
extern int untranslate;   // -u: Quog Speak to English
extern std::string in_name; // the input file; also the base of the output names

// --- Counters ----------------------------------------------------------------

extern long long word_count;  // tildes in the dictionaries used, plus entries added
extern long long added_count; // entries added by the dialogue in this run

// --- Dictionary and chain (loader, chain loop, dialogue) --------------------

extern std::string dict_text;      // the loaded dictionary, line breaks dropped
extern std::string dict_name;      // the dictionary file in use
extern std::string next_dict_name; // the name in the loaded dictionary's link
extern std::ptrdiff_t chain_pos;   // index of the link's "|", or chain_none / chain_done
extern DictionaryIndex dict_index; // lookup index over dict_text, rebuilt by each load

constexpr std::ptrdiff_t chain_none = -1; // the loaded dictionary has no link
constexpr std::ptrdiff_t chain_done = -2; // the chain loop has finished

// --- Texts of the pass (preparation, pass, delivery, dialogue) ---------------

extern std::string work_text; // what a pass reads
extern std::string out_text;  // what a pass appends to
extern std::size_t pass_pos;  // where the next step of the pass starts
extern int pass_done;         // set when the pass has reached the end of work_text

// --- The add-words dialogue ----------------------------------------------------

extern std::string pending_additions; // the group of new entries being typed
extern std::string example_entry;     // shown in the prompt: the last line typed

// Puts every run-wide value back to its start value.
void set_run_values();
