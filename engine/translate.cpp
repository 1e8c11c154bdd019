#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "control/bytes.h"
#include "control/console.h"
#include "engine/engine.h"
#include "engine/lookup.h"
#include "engine/memory.h"
#include "state/run_state.h"

namespace {

// Room left after a pass's text for the footer that delivery appends, so
// that appending it does not copy the whole text.
constexpr std::size_t footer_room = 256;

// Where the word at from ends (at a space, or the end of text), setting
// spans when it holds '_' or prefix. A word's bytes are taken 8 at a time.
std::size_t word_end(std::string_view text, std::size_t from, char prefix, bool& spans)
{
    using namespace word_at_a_time;
    for (; usable && from + 8 <= text.size(); from += 8) {
        const std::uint64_t v = load(text.data() + from);
        const std::uint64_t marks = bytes_equal(v, '_') | bytes_equal(v, prefix);
        if (const std::uint64_t spaces = bytes_equal(v, ' '); spaces != 0) {
            spans = spans || (marks & ((spaces & (~spaces + 1)) - 1)) != 0;
            return from + byte_of(spaces);
        }
        spans = spans || marks != 0;
    }
    for (; from < text.size() && text[from] != ' '; ++from)
        spans = spans || text[from] == '_' || text[from] == prefix;
    return from;
}

// The steps of a pass over text: a line end (a word's space LF, or a bare
// LF), or a word up to the next space. An empty word (a space that is not a
// line end's) is a step like any other, so runs of spaces stay; an empty
// text is one step, the empty word.
// Each word comes with its key.
template <typename LineEnd, typename Word>
void walk_steps(std::string_view text, char prefix, bool hash_spanning, LineEnd line_end, Word word)
{
    const std::size_t size = text.size();
    std::size_t at = 0;
    do {
        if (at + 1 < size && text[at] == ' ' && text[at + 1] == '\n') {
            line_end();
            at += 2;
        } else if (at < size && text[at] == '\n') {
            line_end();
            at += 1;
        } else {
            // Past the word and its space. When a line end follows, the next
            // step sees a bare LF and emits it, just as it would a space LF.
            // Most words are short: found, and their keys made, in two loads.
            using namespace word_at_a_time;
            if (usable && at + 16 <= size) {
                const std::uint64_t first8 = load(text.data() + at);
                const std::uint64_t next8 = load(text.data() + at + 8);
                const std::uint64_t marks = bytes_equal(first8, '_') | bytes_equal(first8, prefix);
                const std::uint64_t space = bytes_equal(first8, ' ');
                const std::uint64_t later_space = bytes_equal(next8, ' ');
                const std::uint64_t later_marks = bytes_equal(next8, '_') | bytes_equal(next8, prefix);
                const std::size_t length = space != 0 ? byte_of(space) : 8 + byte_of(later_space);
                const bool clean = space != 0
                    ? (marks & ((space & (~space + 1)) - 1)) == 0
                    : later_space != 0 && marks == 0 && (later_marks & ((later_space & (~later_space + 1)) - 1)) == 0;
                if (clean) {
                    word(short_key(text.substr(at, length), lower_ascii(text[at]), first8, next8));
                    at += length + 1;
                    continue;
                }
            }
            bool spans = false;
            const std::size_t space = word_end(text, at, prefix, spans);
            word(key_of(prefix, text.substr(at, space - at), spans, hash_spanning));
            at = space + 1;
        }
    } while (at < size);
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
    return dict.substr(begin, next_byte(dict, begin, '_') - begin);
}

// Emits one word: the result of its key found at key_pos, with the word's
// capital when the result begins with a small letter, or when the key was
// not found the word as written; then a space.
void emit_word(std::string& out, std::string_view word, std::size_t key_pos, std::string_view result)
{
    if (key_pos == not_found_yet) {
        out.append(word);
        out.push_back(' ');
        return;
    }
    const std::size_t start = out.size();
    out.append(result);
    if (!word.empty() && lower_ascii(word.front()) != word.front() && out.size() > start && out[start] >= 'a' &&
        out[start] <= 'z')
        out[start] = static_cast<char>(out[start] - ('a' - 'A'));
    out.push_back(' ');
    if (run.verbose) {
        put_text(std::string(word) + " -> " + out.substr(start) + "\n");
        pause_ticks(200);
    }
}

std::string_view result_of(std::size_t key_pos, std::size_t word_size)
{
    return key_pos == not_found_yet ? std::string_view()
                                    : result_at(run.dict_text, key_pos, word_size + 2, run.untranslate);
}

// Room for an output a quarter longer than a pass's text of size bytes,
// and the footer that delivery appends, of which as much as the text is
// mapped at once; a longer one grows as any text does.
void reserve_output(std::size_t size)
{
    const std::size_t start = run.out_text.size() + footer_room;
    reserve_mapped(run.out_text, start + size + size / 4, start + size);
}

// The steps of text as walk_steps gives them, each word with its key, a
// batch at a time: all of a batch is walked, the memory its lookups in
// table need is fetched for all of it, in two rounds, and then each step is
// handed on. A lookup then seldom waits for memory. An empty text is one
// step.
template <typename Table, typename LineEnd, typename Word>
void walk_ahead(const PassText& text, char prefix, bool hash_spanning, const Table& table, LineEnd line_end, Word word)
{
    constexpr std::size_t batch = 32;
    std::array<WordKey, batch> keys;     // each word's, where it is written at once
    std::array<bool, batch> line_ends{}; // or a line end in its place
    std::size_t walked = 0;
    const auto hand_on = [&] {
        for (std::size_t at = 0; at < walked; ++at)
            if (!line_ends[at])
                table.prefetch(keys[at]);
        for (std::size_t at = 0; at < walked; ++at)
            if (!line_ends[at])
                table.fetch(keys[at]);
        for (std::size_t at = 0; at < walked; ++at)
            line_ends[at] ? line_end() : word(keys[at]);
        walked = 0;
    };
    const auto taken = [&](bool is_line_end) {
        line_ends[walked++] = is_line_end;
        if (walked == batch)
            hand_on();
    };
    const auto walk = [&](std::string_view piece) {
        walk_steps(
            piece, prefix, hash_spanning, [&] { taken(true); },
            [&](const WordKey& key) {
                keys[walked] = key;
                taken(false);
            });
        hand_on(); // before the piece's bytes go
    };
    bool walked_any = false;
    text.pieces([&](std::string_view piece) {
        walked_any = walked_any || !piece.empty();
        if (!piece.empty())
            walk(piece);
    });
    if (!walked_any)
        walk("");
}

// A long text with a small dictionary: the dictionary's segments indexed,
// and each word looked up as the text is walked; the few words whose keys
// may span segments are found together first.
void index_pass(const PassText& text, char prefix)
{
    // Where the key of each word that may span segments stands, or
    // not_found_yet, in the order of the text.
    std::vector<std::size_t> spanning_keys;
    bool any_plain = true; // a word whose key stands in one segment
    if (text.holds_any_of(prefix == '~' ? "_~" : "_")) {
        WordTable spanning(prefix, text.size());
        spanning_keys.reserve(text.size() / 16); // taken as it is used, and seldom moved
        any_plain = false;
        walk_ahead(
            text, prefix, true, spanning, [] {},
            [&](const WordKey& key) {
                if (key.spans)
                    spanning_keys.push_back(spanning.add(key));
                any_plain = any_plain || !key.spans;
            });
        spanning.search(run.dict_text);
        for (std::size_t& key : spanning_keys)
            key = spanning.words()[key].key_pos;
    }
    // A word with "->~" is rare enough to be looked for before the Quog
    // side of every entry is indexed for it (and the prepared input has
    // none: its '>' stand alone).
    const SegmentIndex index(prefix, any_plain ? std::string_view(run.dict_text) : std::string_view(),
        text.in_memory().find("->~") != std::string_view::npos);
    reserve_output(text.size());
    std::size_t spanning_walked = 0; // a file changed since the first walk may hold more
    // A spanning word's key is left unhashed: the index is only asked to
    // fetch slot 0 for it, and never to find it.
    walk_ahead(
        text, prefix, false, index, [&] { run.out_text.append(line_end_text); },
        [&](const WordKey& key) {
            const std::size_t key_pos = !key.spans       ? index.find(key)
                : spanning_walked < spanning_keys.size() ? spanning_keys[spanning_walked++]
                                                         : not_found_yet;
            emit_word(run.out_text, key.word, key_pos, result_of(key_pos, key.word.size()));
        });
}

// A large dictionary with a short text: the text's distinct words
// gathered, and the dictionary swept once for all of them.
void table_pass(const PassText& text, char prefix)
{
    constexpr std::uint32_t line_end_step = 0xffffffffu;
    constexpr std::uint32_t capital_bit = 0x80000000u;
    WordTable table(prefix, text.size());
    std::vector<std::uint32_t> steps; // each word's number in the table and capital, or a line end
    walk_ahead(
        text, prefix, true, table, [&] { steps.push_back(line_end_step); },
        [&](const WordKey& key) {
            const bool capital = !key.word.empty() && key.first != key.word.front();
            steps.push_back(static_cast<std::uint32_t>(table.add(key)) | (capital ? capital_bit : 0));
        });
    table.search(run.dict_text);
    reserve_output(text.size());

    std::string word;
    for (const std::uint32_t step : steps) {
        if (step == line_end_step) {
            run.out_text.append(line_end_text);
            continue;
        }
        // The word as written: as looked up, with this step's capital.
        const WordTable::Word& found = table.words()[step & ~capital_bit];
        word = table.text_of(found);
        if ((step & capital_bit) != 0)
            word.front() = static_cast<char>(word.front() - ('a' - 'A'));
        emit_word(run.out_text, word, found.key_pos, result_of(found.key_pos, found.size));
    }
}

} // namespace

void run_pass(const PassText& text)
{
    // Whichever is fewer is gathered in a table: the dictionary's segments
    // (one for each underscore, at most) or the text's words (one in a few
    // bytes).
    const char prefix = run.untranslate ? '~' : '_';
    const std::size_t underscores = count_of(run.dict_text, '_');
    (underscores < text.size() / 3 ? index_pass : table_pass)(text, prefix);
}

void translate_pass(const PassText& text)
{
    put_text("\n\nNow using the " + run.dict_name + " dictionary.\n\nPlease be patient while I " +
        (run.untranslate ? "un" : "") + "translate ...\n\n");
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
