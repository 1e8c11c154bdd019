#include <algorithm>
#include <array>
#include <unordered_map>

#include "control/console.h"
#include "control/memory.h"
#include "engine/engine.h"
#include "engine/key_search.h"
#include "engine/lookup.h"
#include "state/run_state.h"

namespace {

// Room left after a pass's text for the footer that delivery appends, so
// that appending it does not copy the whole text.
constexpr std::size_t footer_room = 256;

bool is_upper(char ch)
{
    return ch >= 'A' && ch <= 'Z';
}
bool is_lower(char ch)
{
    return ch >= 'a' && ch <= 'z';
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
    const std::size_t underscore = std::string_view(dict_text).rfind('_', key_pos - 4);
    return underscore == std::string_view::npos ? 0 : underscore + 1;
}

// The result runs from its beginning to the next underscore, or to the end
// of the text. Stepping back never passes that underscore, so finding a
// result takes time in proportion to the result itself.
std::string_view result_at(std::ptrdiff_t key_pos, std::size_t key_length)
{
    const std::string_view rest =
        std::string_view(dict_text).substr(result_begin(static_cast<std::size_t>(key_pos), key_length));
    return rest.substr(0, rest.find('_'));
}

void report_word(std::string_view word, std::string_view result_and_space)
{
    put_text(word);
    put_text(" -> ");
    put_text(result_and_space);
    put_text("\n");
    pause_ticks(200);
}

// Emits one word: its translation with the word's capital when it begins
// with a small letter, or the word itself when it has none; then a space.
void emit_word(std::string_view word, std::ptrdiff_t found)
{
    if (found == not_found) {
        out_text.append(word);
        out_text.push_back(' ');
        return;
    }
    const std::size_t start = out_text.size();
    out_text.append(result_at(found, word.size() + 2));
    if (!word.empty() && is_upper(word.front()) && out_text.size() > start && is_lower(out_text[start]))
        out_text[start] = static_cast<char>(out_text[start] - 32);
    out_text.push_back(' ');
    if (verbose)
        report_word(word, std::string_view(out_text).substr(start));
}

// Runs the steps of the text, each word looked up some steps behind where
// the walk has got to, so that the memory each lookup needs has been
// fetched by the time it runs.
void translate_steps(const DictionaryLookup& lookup)
{
    constexpr std::size_t ahead = 16;
    std::array<DictionaryLookup::Prepared, ahead> pending; // a line end has no word (nullptr)
    std::size_t walked = 0;
    std::size_t done = 0;
    const auto finish_one = [&] {
        if (const auto& soon = pending[(done + ahead / 2) % ahead];
            done + ahead / 2 < walked && soon.word.data() != nullptr)
            lookup.fetch_candidate(soon);
        const DictionaryLookup::Prepared& step = pending[done++ % ahead];
        if (step.word.data() == nullptr)
            out_text.append(line_end_text);
        else
            emit_word(step.word, lookup.find(step));
    };
    const auto start_one = [&](const DictionaryLookup::Prepared& step) {
        if (walked - done == ahead)
            finish_one();
        pending[walked++ % ahead] = step;
    };
    walk_steps(
        work_text,
        [&] {
            start_one({std::string_view(), '\0', 0});
        },
        [&](std::string_view word) { start_one(lookup.prepare(word)); });
    while (done < walked)
        finish_one();
}

} // namespace

void run_pass()
{
    DictionaryLookup lookup(untranslate ? '~' : '_', true);
    walk_steps(
        work_text, [] {}, [&](std::string_view word) { lookup.expect(word); });
    lookup.build(dict_text);
    // Room for a text a quarter longer than the work text, mapped at once;
    // a longer one grows as any text does.
    reserve_mapped(out_text, out_text.size() + work_text.size() + work_text.size() / 4 + footer_room);
    translate_steps(lookup);
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

std::vector<std::ptrdiff_t> find_keys(std::string_view dict, const std::vector<std::string>& keys)
{
    // Keys of the shape prefix, word, '_' go to the lookup of their prefix;
    // any other key to the multi-pattern search.
    const auto lookup_of = [](std::string_view key) {
        const bool shaped = key.size() >= 2 && (key.front() == '_' || key.front() == '~') && key.back() == '_';
        return shaped ? (key.front() == '_' ? 0 : 1) : -1;
    };
    const auto word_of = [](std::string_view key) { return key.substr(1, key.size() - 2); };
    DictionaryLookup lookups[2] = {DictionaryLookup('_', false), DictionaryLookup('~', false)};
    KeySearch others;
    std::vector<std::ptrdiff_t> positions(keys.size(), not_found);
    std::vector<std::uint32_t> first_with_key(keys.size());
    std::unordered_map<std::string_view, std::uint32_t> seen;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const std::string_view key = keys[i];
        if (const int l = lookup_of(key); l >= 0) {
            lookups[l].expect(word_of(key));
        } else if (!key.empty()) {
            first_with_key[i] = seen.emplace(key, static_cast<std::uint32_t>(i)).first->second;
            others.add(key, first_with_key[i]);
        }
    }
    for (DictionaryLookup& lookup : lookups)
        lookup.build(dict);
    others.run(
        dict, [&](std::uint32_t id, std::size_t position) { positions[id] = static_cast<std::ptrdiff_t>(position); });
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const std::string_view key = keys[i];
        if (const int l = lookup_of(key); l >= 0)
            positions[i] = lookups[l].find(word_of(key));
        else
            positions[i] = key.empty() ? find_text(dict, key) : positions[first_with_key[i]];
    }
    return positions;
}
