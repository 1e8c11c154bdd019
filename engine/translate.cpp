#include <algorithm>
#include <cstdint>
#include <vector>

#include "control/console.h"
#include "engine/engine.h"
#include "engine/memory.h"
#include "engine/word_table.h"
#include "state/run_state.h"

namespace {

// Room left after a pass's text for the footer that delivery appends, so
// that appending it does not copy the whole text.
constexpr std::size_t footer_room = 256;

bool is_upper(char ch)
{
    return ch >= 'A' && ch <= 'Z';
}

// The steps of a pass over text: a line end (a word's space LF, or a bare
// LF), or a word up to the next space. An empty word (a space that is not a
// line end's) is a step like any other, so runs of spaces stay; an empty
// text is one step, the empty word.
template <typename LineEnd, typename Word> void walk_steps(std::string_view text, LineEnd line_end, Word word)
{
    std::size_t at = 0;
    do {
        if (text.compare(at, 2, " \n") == 0) {
            line_end();
            at += 2;
        } else if (at < text.size() && text[at] == '\n') {
            line_end();
            at += 1;
        } else {
            // Past the word and its space. When a line end follows, the next
            // step sees a bare LF and emits it, just as it would a space LF.
            const std::size_t space = text.find(' ', at);
            word(text.substr(at, space - at));
            at = space == std::string_view::npos ? text.size() : space + 1;
        }
    } while (at < text.size());
}

// The result of a key found at key_pos. Translating, it follows the key's
// "->~"; untranslating, it is the English word before the "_->~", found by
// stepping back to the underscore that opens it. Either runs to the next
// underscore, or to the end of the text. A malformed dictionary never sends
// either outside the text: a result that would begin past the end is empty,
// and one with no underscore before it begins at 0. Stepping back never
// passes that underscore, so a result costs time in proportion to itself.
std::string_view result_at(std::string_view dict, std::size_t key_pos, std::size_t key_length, bool untranslating)
{
    std::size_t begin = std::min(key_pos + key_length + 3, dict.size());
    if (untranslating) {
        const std::size_t underscore = key_pos < 4 ? std::string_view::npos : dict.rfind('_', key_pos - 4);
        begin = underscore == std::string_view::npos ? 0 : underscore + 1;
    }
    const std::string_view rest = dict.substr(begin);
    return rest.substr(0, rest.find('_'));
}

// The word as this step wrote it: the text of its first occurrence with
// this step's own first byte.
void append_as_written(std::string& out, const WordTable::Word& word, bool capital)
{
    const std::size_t start = out.size();
    out.append(word.text);
    if (!word.text.empty())
        out[start] = capital ? static_cast<char>(word.first - ('a' - 'A')) : word.first;
}

void report_word(const WordTable::Word& word, bool capital, std::string_view result_and_space)
{
    std::string shown;
    append_as_written(shown, word, capital);
    put_text(shown + " -> ");
    put_text(result_and_space);
    put_text("\n");
    pause_ticks(200);
}

// A step of the pass: a word's number in the table, with its capital in the
// top bit, or a line end.
constexpr std::uint32_t line_end_step = 0xffffffffu;
constexpr std::uint32_t capital_bit = 0x80000000u;

} // namespace

void run_pass(std::string_view text)
{
    // First the words, each numbered once however often it comes; then the
    // dictionary searched for all of them together; then the output.
    WordTable table(run.untranslate ? '~' : '_');
    std::vector<std::uint32_t> steps;
    steps.reserve(text.size() / 6 + 1);
    walk_steps(
        text, [&] { steps.push_back(line_end_step); },
        [&](std::string_view word) {
            const bool capital = !word.empty() && is_upper(word.front());
            steps.push_back(table.add(word) | (capital ? capital_bit : 0));
        });
    table.search(run.dict_text);

    // Each word's result: its translation, or nothing when it has none.
    const std::vector<WordTable::Word>& words = table.words();
    std::vector<std::string_view> results(words.size());
    for (std::size_t i = 0; i < words.size(); ++i)
        if (words[i].key_pos != WordTable::not_found_yet)
            results[i] = result_at(run.dict_text, words[i].key_pos, words[i].text.size() + 2, run.untranslate);

    // Room for a text a quarter longer than this one, mapped at once; a
    // longer one grows as any text does.
    reserve_mapped(run.out_text, run.out_text.size() + text.size() + text.size() / 4 + footer_room);
    std::string& out = run.out_text;
    for (const std::uint32_t step : steps) {
        if (step == line_end_step) {
            out.append(line_end_text);
            continue;
        }
        const std::uint32_t number = step & ~capital_bit;
        const bool capital = (step & capital_bit) != 0;
        const WordTable::Word& word = words[number];
        const std::size_t start = out.size();
        if (word.key_pos == WordTable::not_found_yet) {
            append_as_written(out, word, capital);
            out.push_back(' ');
            continue;
        }
        out.append(results[number]);
        if (capital && out.size() > start && out[start] >= 'a' && out[start] <= 'z')
            out[start] = static_cast<char>(out[start] - ('a' - 'A'));
        out.push_back(' ');
        if (run.verbose)
            report_word(word, capital, std::string_view(out).substr(start));
    }
}

void translate_pass(std::string_view text)
{
    put_text("\n\n");
    put_text("Now using the ");
    put_text(run.dict_name);
    put_text(" dictionary.");
    put_text("\n\nPlease be patient while I ");
    if (run.untranslate)
        put_text("un");
    put_text("translate ...\n\n");
    run_pass(text);
}

std::optional<std::string> translation_of(std::string_view dict, std::string_view english)
{
    const std::string key = "_" + std::string(english) + "_";
    const std::ptrdiff_t at = find_text(dict, key);
    if (at == not_found)
        return std::nullopt;
    return std::string(result_at(dict, static_cast<std::size_t>(at), key.size(), false));
}
