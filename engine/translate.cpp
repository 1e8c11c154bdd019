#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "control/bytes.h"
#include "control/console.h"
#include "engine/engine.h"
#include "engine/segment_index.h"
#include "engine/word_table.h"
#include "platform/memory.h"
#include "state/run_state.h"

namespace {

// Room left after a pass's text for the footer that delivery appends, so
// that appending it does not copy the whole text.
constexpr std::size_t footer_room = 256;

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
        const bool space_lf = at + 1 < size && text[at] == ' ' && text[at + 1] == '\n';
        if (space_lf || (at < size && text[at] == '\n')) {
            line_end();
            at += space_lf ? 2 : 1;
        } else {
            // Past the word and its space. When a line end follows, the next
            // step sees a bare LF and emits it, just as it would a space LF.
            at += scan_word(text, at, prefix, hash_spanning, word) + 1;
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
void emit_word(std::string& out, std::string_view word, std::size_t key_pos)
{
    if (key_pos == not_found_yet) {
        out.append(word);
        out.push_back(' ');
        return;
    }
    const std::size_t start = out.size();
    out.append(result_at(run.dict_text, key_pos, word.size() + 2, run.untranslate));
    if (has_capital(word) && out.size() > start)
        give_capital(out[start]);
    out.push_back(' ');
    if (run.verbose) {
        put_text(std::string(word) + " -> " + out.substr(start) + "\n");
        pause_ticks(200);
    }
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
                table.prefetch_more(keys[at]);
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
// may span segments are found together first, and taken in text order.
class IndexLookup : public SegmentIndex {
public:
    static constexpr bool hashes_spanning = false; // a spanning word is never asked of the index

    IndexLookup(const PassText& text, char prefix)
    {
        bool any_plain = true; // a word whose key stands in one segment
        if (text.holds_any_of(prefix == '~' ? "_~" : "_")) {
            WordTable spanning(prefix, text.size());
            spanning_keys_.reserve(text.size() / 16); // taken as it is used, and seldom moved
            any_plain = false;
            walk_ahead(
                text, prefix, true, spanning, [] {},
                [&](const WordKey& key) {
                    if (key.spans)
                        spanning_keys_.push_back(spanning.add(key));
                    any_plain = any_plain || !key.spans;
                });
            spanning.search(run.dict_text);
            for (std::size_t& key : spanning_keys_)
                key = spanning.words()[key].key_pos;
        }
        // Room for an entry's worth of segments, as an entry holds one '~';
        // but never more than the underscores, after each of which one may
        // end, so that a dictionary of tildes alone gets no table of its size.
        const std::string_view indexed = any_plain ? std::string_view(run.dict_text) : std::string_view();
        const std::size_t segments = any_plain ? std::min(run.dict_tildes, run.dict_underscores) : 0;
        // A word with "->~" is rare enough to be looked for before the Quog
        // side of every entry is indexed for it (and the prepared input has
        // none: its '>' stand alone).
        SegmentIndex::operator=(
            SegmentIndex(prefix, indexed, segments, text.in_memory().find("->~") != std::string_view::npos));
    }

    // A spanning word's key is left unhashed: the index is only asked to
    // fetch slot 0 for it, and never to find it.
    std::size_t find(const WordKey& key) const
    {
        if (!key.spans)
            return SegmentIndex::find(key);
        // A file changed since the first walk may hold more.
        return spanning_walked_ < spanning_keys_.size() ? spanning_keys_[spanning_walked_++] : not_found_yet;
    }

private:
    std::vector<std::size_t> spanning_keys_; // where each spanning word's key stands, in text order
    mutable std::size_t spanning_walked_ = 0;
};

// A large dictionary with a short text: the text's distinct words
// gathered, and the dictionary swept once for all of them.
class TableLookup : public WordTable {
public:
    static constexpr bool hashes_spanning = true;

    TableLookup(const PassText& text, char prefix) : WordTable(prefix, text.size())
    {
        walk_ahead(
            text, prefix, true, *this, [] {}, [&](const WordKey& key) { add(key); });
        search(run.dict_text);
    }

    // Where the word's key first stands, as prefetch and prefetch_more foresee.
    std::size_t find(const WordKey& key) const
    {
        const std::size_t number = WordTable::find(key);
        return number == not_found_yet ? not_found_yet : words()[number].key_pos;
    }
};

// The one pass loop: each step of text emitted, each word with what lookup
// finds for it.
template <typename Lookup> void pass_with(const PassText& text, char prefix)
{
    const Lookup lookup(text, prefix);
    // Room for an output a quarter longer than the text, and the footer
    // that delivery appends, of which as much as the text is mapped at once;
    // a longer one grows as any text does.
    const std::size_t start = run.out_text.size() + footer_room;
    reserve_mapped(run.out_text, start + text.size() + text.size() / 4, start + text.size());
    walk_ahead(
        text, prefix, Lookup::hashes_spanning, lookup, [&] { run.out_text.append(line_end_text); },
        [&](const WordKey& key) { emit_word(run.out_text, key.word, lookup.find(key)); });
}

} // namespace

void run_pass(const PassText& text)
{
    // Whichever is fewer is gathered in a table: the dictionary's segments
    // (one for each underscore, at most) or the text's words (one in a few
    // bytes).
    const char prefix = run.untranslate ? '~' : '_';
    if (run.dict_underscores < text.size() / 3)
        pass_with<IndexLookup>(text, prefix);
    else
        pass_with<TableLookup>(text, prefix);
}

void translate_pass(const PassText& text)
{
    put_text("\n\nNow using the " + shown_name(run.dict_name) + " dictionary.\n\nPlease be patient while I " +
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
