// The translation engine: the prepared work text and its arrow rewrites, the
// dictionary loader, and the word-by-word translation pass. The stages work
// on the run-wide data of state/run_state.h.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// --- Work text -------------------------------------------------------------------

// Takes the input run.in_name: a regular file is left to be read, and
// prepared, by each translation; anything else is read now into
// run.work_text, prepared and its arrows protected. An input that cannot be
// read ends the run through the usage screen.
void take_input();

// The text a pass reads, handed over in pieces that each end at a line end
// (all but the last): a text in memory, or the prepared input.
class PassText {
public:
    explicit PassText(std::string_view text) : text_(text), size_(text.size()) { }
    static PassText prepared_input();

    std::size_t size() const { return size_; } // read from a file: the file's size
    std::string_view in_memory() const { return text_; }
    bool holds_any_of(std::string_view bytes) const;
    void pieces(const std::function<void(std::string_view)>& take) const;

private:
    std::string_view text_;
    std::size_t size_;
    bool from_file_ = false;
};

// Prepares a raw text into prepared, a chunk at a time: punctuation padded
// with spaces, every line end (LF, CR LF, or a CR alone) marked as space LF.
class Preparation {
public:
    explicit Preparation(std::string& prepared);
    void append(std::string_view raw);
    void finish(); // after the last chunk

private:
    std::string& prepared_;
    bool cr_pending_ = false; // the chunk before ended in a CR
};

// Turns each input arrow (prepared as "- > ") in text into "==", so that it
// stays inside one word.
void protect_arrows(std::string& text);

// Turns each "==" of run.out_text back into "->".
void restore_arrows();

// Replaces in text, from left to right, each occurrence of from by to, which
// must not be longer.
void replace_marks(std::string& text, std::string_view from, std::string_view to);

// --- Dictionary ------------------------------------------------------------------

// Loads the dictionary name into run.dict_name and run.dict_text and adds its
// tildes to run.word_count; returns the name its chain link gives, if it has
// one. A dictionary that cannot be read ends the run.
std::optional<std::string> load_dictionary(const std::string& name);

// What load_dictionary does with a dictionary's bytes once they are read.
std::optional<std::string> take_dictionary(std::string contents);

// Removes every CR and LF: line breaks carry no meaning in a dictionary.
void drop_line_ends(std::string& text);

// Whether name leads to a dictionary of the chain so far: to the same file,
// or by the same name when it leads to none.
bool in_chain(const std::string& name);

// Notes name as a file the run reads: the input, or a dictionary.
void note_read(const std::string& name, bool input);

// Notes the input and the chain's dictionaries anew, as their names lead
// now: another run may have replaced a dictionary, or this run rewritten it.
void note_reads_again();

// Whether dict holds at least one entry '_english_->~quog_'.
bool holds_entry(std::string_view dict);

// --- Translation pass -------------------------------------------------------------

// Prints the pass header, then runs the pass over text.
void translate_pass(const PassText& text);

// Translates text into run.out_text, appending, step by step: each word is
// looked up in run.dict_text, and its translation (or the word itself) is
// followed by one space; line ends stay.
void run_pass(const PassText& text);

// The Quog word that dict gives the English word (one without a capital), as
// a pass finds it; nothing when dict has no entry for it.
std::optional<std::string> translation_of(std::string_view dict, std::string_view english);
