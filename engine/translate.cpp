#include <algorithm>

#include "control/console.h"
#include "engine/dictionary_index.h"
#include "engine/engine.h"
#include "state/run_state.h"

namespace {

std::size_t pass_pos; // where the next step of the pass starts
bool pass_done;       // set when the pass has reached the end of work_text

bool is_upper(char ch) { return ch >= 'A' && ch <= 'Z'; }
bool is_lower(char ch) { return ch >= 'a' && ch <= 'z'; }

// Where the result of a key found at key_pos begins. Translating, it follows
// the key's "->~"; untranslating, it is the English word before the "_->~",
// found by stepping back to the underscore that opens it. A malformed
// dictionary never sends either outside the text: a result that would begin
// past the end is empty, and one with no underscore before it begins at 0.
std::size_t result_begin(std::size_t key_pos, std::size_t key_length)
{
    if (!untranslate)
        return std::min(key_pos + key_length + 3, dict_text.size());
    if (key_pos < 4)
        return 0;
    std::size_t at = key_pos - 4;
    for (;;) {
        if (dict_text[at] == '_')
            return at + 1;
        if (at == 0)
            return 0;
        --at;
    }
}

// The result runs to the next underscore, or to the end of the text.
std::string_view result_at(std::size_t begin)
{
    const std::string_view rest = std::string_view(dict_text).substr(begin);
    return rest.substr(0, rest.find('_'));
}

void emit_word(std::string_view word)
{
    std::string key;
    key.reserve(word.size() + 2);
    key.push_back(untranslate ? '~' : '_');
    key.append(word);
    key.push_back('_');

    // Only the first letter is folded: 'Cat' is looked up as 'cat'.
    const bool capital = !word.empty() && is_upper(word.front());
    if (capital)
        key[1] = static_cast<char>(key[1] + 32);

    const std::ptrdiff_t found = dict_index.find_key(dict_text, key);
    if (found == not_found) {
        out_text.append(word);
        out_text.push_back(' ');
        return;
    }

    const std::size_t begin = result_begin(static_cast<std::size_t>(found), key.size());
    const std::size_t result_start = out_text.size();
    out_text.append(result_at(begin));
    if (capital && out_text.size() > result_start && is_lower(out_text[result_start]))
        out_text[result_start] = static_cast<char>(out_text[result_start] - 32);
    out_text.push_back(' ');

    if (verbose) {
        put_text(word);
        put_text(" -> ");
        put_text(std::string_view(out_text).substr(result_start));
        put_text("\n");
        pause_ticks(200);
    }
}

} // namespace

// One step of the pass: a line end, or one word looked up and emitted.
static void translate_word()
{
    const std::string_view rest = std::string_view(work_text).substr(pass_pos);

    // A word's line end, marked as space LF, or a bare LF: emit a line end.
    if (rest.size() >= 2 && rest[0] == ' ' && rest[1] == '\n') {
        out_text.append(line_end_text);
        pass_pos += 2;
    } else if (!rest.empty() && rest[0] == '\n') {
        out_text.append(line_end_text);
        pass_pos += 1;
    } else {
        // The word runs to the next space; an empty word (a space that is not
        // a line end's) is looked up like any other, so runs of spaces stay.
        const std::size_t space = rest.find(' ');
        const std::string_view word = rest.substr(0, space);
        emit_word(word);

        // Past the word and its space. When a line end follows, the next step
        // sees a bare LF and emits it, just as it would emit a space LF.
        pass_pos = space == std::string_view::npos ? work_text.size() : pass_pos + space + 1;
    }
    pass_done = pass_pos >= work_text.size();
}

void run_pass()
{
    pass_pos = 0;
    pass_done = false;
    out_text.reserve(out_text.size() + work_text.size() + work_text.size() / 8);
    do
        translate_word();
    while (!pass_done);
}

void translate_pass()
{
    put_text("\n\n");
    put_text("Now using the ");
    put_text(dict_name);
    put_text(" dictionary.");
    put_text("\n\nPlease be patient while I ");
    if (untranslate)
        put_text("un");
    put_text("translate ...\n\n");
    run_pass();
}
