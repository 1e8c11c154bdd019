// The run-wide data of one translation run: the table of contents of the
// program's data. Each field says who writes it and who reads it; values
// that only one stage uses live beside that stage instead.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "state/version.h" // version_text: banner, footer, --version

// --- Constants -------------------------------------------------------------------

constexpr std::string_view punct_set = "\",.?!;:<>)("; // padded by preparation, closed up after the passes
// Whether a byte is one of punct_set, by its value.
constexpr std::array<bool, 256> punct_table = [] {
    std::array<bool, 256> table{};
    for (const char ch : punct_set)
        table[static_cast<unsigned char>(ch)] = true;
    return table;
}();
constexpr std::string_view line_end_text = "\n"; // the line end a pass and the footer emit

// Colour codes for set_attribute (normal, bold) and set_foreground.
constexpr char colour_red = '1';
constexpr char colour_blue = '4';
constexpr char colour_white = '7';
constexpr char colour_normal = '0';
constexpr char colour_bold = '1';

constexpr std::string_view first_dictionary = "quogo.dic"; // each translation loads it first
constexpr std::string_view message_file = "quogo.msg";     // the dialogue saves added words there

// The key waits: after a message, and after each page of text.
constexpr std::string_view strike_any_key = "\n\nStrike Any Key ...\n";
constexpr std::string_view strike_any_key_page = "\nStrike Any Key ...\n";

// A file the run reads, as the refusal to write over it names it.
struct FileRead {
    std::string name;        // as the run names it
    std::string what;        // "the input file", or "the dictionary NAME" when it is only that
    bool input = false;      // it is the input
    bool dictionary = false; // it is a dictionary of the chain so far
};

// A dictionary the text has already passed through.
struct Dictionary {
    std::string name;
    std::string text;
};

struct Run {
    // --- Settings: written by read_options ---------------------------------------
    bool verbose = false;     // -v; read by the pass
    bool untranslate = false; // -u; read by the pass, the driver and delivery
    std::string in_name;      // the input file; read by preparation, delivery and the clash checks

    // --- Dictionaries: written by load_dictionary and the chain loop ---------------
    std::string dict_name;            // the dictionary in use; read by the pass, the dialogue and the clash checks
    std::string dict_text;            // its text, line breaks dropped; read by the pass and the dialogue
    std::size_t dict_tildes = 0;      // its '~' (one an entry) and '_', counted as it is taken: the pass
    std::size_t dict_underscores = 0; // picks its lookup, and sizes the index, by them
    std::vector<Dictionary> earlier;  // the chain before it, in order; read by the dialogue and the clash checks
    // The files the run reads, by their identities: the input and quogo.dic
    // from the start, and each dictionary as it is loaded; written by
    // note_read, read by in_chain and clash.
    std::map<std::string, FileRead> reads;
    long long word_count = 0; // tildes in the dictionaries loaded; read by the footer

    // --- Texts ---------------------------------------------------------------------
    // The input, read by each translation's first pass: a regular file is
    // read anew each time, a chunk at a time; anything else (a pipe, a
    // terminal) once, by preparation, into work_text.
    bool input_read_anew = false;
    std::size_t input_size = 0;              // of a regular input when it was taken
    std::string input_version;               // of a regular input when it was taken: every read must find it so
    std::optional<std::uint64_t> input_hash; // of its bytes as the first whole reading found them
    std::string work_text;
    std::string out_text; // written by the passes and closed up by the chain loop; shown, footed and written

    long long added_count = 0; // the pairs the dialogue stored; read by delivery
};

// The one run of this process; run = {} starts it afresh.
extern Run run;
