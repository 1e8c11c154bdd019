// The run-wide data of one translation run: the table of contents of the
// program's data. Each value says who writes it and who reads it; values
// that only one stage uses live beside that stage instead.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "state/version.h" // version_text: banner, footer, --version

// --- Constants -------------------------------------------------------------------

constexpr std::string_view punct_set = "\",.?!;:<>)("; // padded by preparation, closed up by delivery
constexpr std::string_view line_end_set = "\r\n";      // preparation drops CR and marks LF
constexpr std::string_view line_end_text = "\n";       // the line end a pass and the footer emit

// Colour codes for set_attribute (normal, bold) and set_foreground.
constexpr char colour_red = '1';
constexpr char colour_blue = '4';
constexpr char colour_white = '7';
constexpr char colour_normal = '0';
constexpr char colour_bold = '1';

constexpr std::string_view first_dictionary = "quogo.dic"; // the driver loads it first
constexpr std::string_view message_file = "quogo.msg";     // the dialogue saves added words there

// The key waits: after a message, and after each page of text.
constexpr std::string_view strike_any_key = "\n\nStrike Any Key ...\n";
constexpr std::string_view strike_any_key_page = "\nStrike Any Key ...\n";

// --- Settings: written by the options stage --------------------------------------

extern int verbose;         // -v; read by the pass
extern int untranslate;     // -u; read by the pass, the driver and delivery
extern std::string in_name; // the input file; read by preparation and delivery

// --- Counters -----------------------------------------------------------------------

extern long long word_count;  // written by the loader and the dialogue; read by the footer
extern long long added_count; // written by the dialogue; read by the loader and delivery

// --- Dictionary and chain ---------------------------------------------------------

extern std::string dict_text;                        // written by the loader; read by the pass and the dialogue
extern std::string dict_name;                        // written by the driver; read by the loader, pass and dialogue
extern std::string next_dict_name;                   // written by the loader; read by the chain loop
extern std::ptrdiff_t chain_pos;                     // written by the loader and the chain loop; read by the chain loop
extern std::vector<std::string> dictionaries_loaded; // written by the loader; read by the dialogue

constexpr std::ptrdiff_t chain_none = -1; // the loaded dictionary has no link
constexpr std::ptrdiff_t chain_done = -2; // the chain loop has finished

// --- Texts of the pass ---------------------------------------------------------------

extern std::string work_text; // written by preparation, the chain loop and the dialogue; read by the pass
extern std::string out_text;  // written by the pass; read by the display, the dialogue and delivery

// Puts every run-wide value back to its start value.
void set_run_values();
