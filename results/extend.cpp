#include <algorithm>
#include <optional>
#include <vector>

#include "control/bytes.h"
#include "control/console.h"
#include "control/failure.h"
#include "engine/engine.h"
#include "platform/files.h"
#include "results/results.h"
#include "results/shared.h"
#include "state/run_state.h"

namespace {

constexpr std::size_t pending_limit = 1000;

// One stored line: a new entry with the key that finds its English word,
// or a chain link (any line holding "]") kept as typed, with no key.
struct Addition {
    std::string text;
    std::string key;
};
using Group = std::vector<Addition>;

long long pairs_in(const Group& group)
{
    return std::count_if(group.begin(), group.end(), [](const Addition& addition) { return !addition.key.empty(); });
}

// The group as it goes into the dictionary and the message file, or without
// its closing while it grows.
std::string group_text(const Group& group, bool closed = true)
{
    std::string text = "x+=\"";
    for (const Addition& addition : group)
        text += " " + addition.text;
    return closed ? text + "\";" : text;
}

std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view()
                                           : text.substr(first, text.find_last_not_of(' ') + 1 - first);
}

// A typed line split at its first "->", each side without the spaces
// around it.
struct Pair {
    std::string_view english;
    std::string_view quog;
};
std::optional<Pair> split_pair(std::string_view line)
{
    const std::ptrdiff_t arrow = find_text(line, "->");
    if (arrow == not_found)
        return std::nullopt;
    const auto at = static_cast<std::size_t>(arrow);
    return Pair{trimmed(line.substr(0, at)), trimmed(line.substr(at + 2))};
}

// Why a pair could not work, or empty when it can: its words must not hold
// the bytes that delimit entries and links; the English word is looked up
// as one word of the text, with its capital in lower case; a '~' in the
// Quog word would be taken for another entry when untranslating; and the
// word must reach the dictionary it goes into, new.
std::string pair_refusal(const Pair& pair, const Group& group)
{
    if (pair.english.empty() || pair.quog.empty())
        return "both sides of -> need a word";
    for (const std::string_view side : {pair.english, pair.quog})
        if (side.find_first_of("_|]") != std::string_view::npos)
            return "a word can't hold _, | or ]";
    if (pair.english.find_first_of("~ ") != std::string_view::npos)
        return "the English word can't hold ~ or a space";
    if (pair.quog.find('~') != std::string_view::npos)
        return "the Quog word can't hold ~";
    if (std::any_of(pair.english.begin(), pair.english.end(),
            [](char ch) { return punct_table[static_cast<unsigned char>(ch)]; }) ||
        pair.english.find("==") != std::string_view::npos)
        return "the English word can't hold \" , . ? ! ; : < > ) ( or ==: in a text they are never part of a word";
    if (pair.english.front() >= 'A' && pair.english.front() <= 'Z')
        return "start it in lower case; capitals in the text are found through it";
    const std::string english(pair.english);
    if (std::any_of(group.begin(), group.end(), [&](const Addition& a) { return a.key == "_" + english + "_"; }))
        return english + " is in this group already";
    if (const std::optional<std::string> known = translation_of(run.dict_text, english))
        return english + " is already in " + run.dict_name + " as " + *known;
    for (const Dictionary& dictionary : run.earlier)
        if (translation_of(dictionary.text, english))
            return english + " is translated by " + dictionary.name + ", earlier in the chain, and never reaches " +
                run.dict_name;
    return {};
}

// Why a typed chain link could not take effect, or empty when it can: it
// names a regular file of this folder that holds entries, neither it nor a
// dictionary it leads on to is of the chain already, and the dictionary
// (dict, with the group) links on to nothing yet.
std::string link_refusal(std::string_view link, const Group& group, std::string_view dict)
{
    if (link.size() < 3 || link.front() != '|' || link.back() != ']' ||
        link.substr(1, link.size() - 2).find_first_of("|]") != std::string_view::npos ||
        file_name_start(link.substr(1, link.size() - 2)) != 0)
        return "type a link as |NAME], NAME a file of this folder";
    if (dict.find('|') != std::string::npos ||
        std::any_of(group.begin(), group.end(), [](const Addition& a) { return a.key.empty(); }))
        return run.dict_name + " links on already";
    std::string name(link.substr(1, link.size() - 2));
    for (int hop = 0; hop < 100; ++hop) {
        std::string text;
        if (read_file(
                name, [&](std::string_view chunk) { text.append(chunk); }, {}, true))
            return hop == 0 ? name + " is not a regular file that can be read" : "";
        if (in_chain(name))
            return "it leads back to " + name + ", a dictionary of the chain already";
        drop_line_ends(text);
        if (hop == 0 && !holds_entry(text))
            return name + " holds no entries";
        const std::size_t bar = text.find('|');
        if (bar == std::string::npos)
            break;
        name = text.substr(bar + 1, text.find(']', bar) - bar - 1);
    }
    return {};
}

// Why a typed line cannot be stored, or empty when it can.
std::string refusal(std::string_view line, const Group& group)
{
    if (std::any_of(
            line.begin(), line.end(), [](char ch) { return static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f; }))
        return "a line can't hold control characters";
    if (const std::optional<Pair> pair = split_pair(line))
        return pair_refusal(*pair, group);
    if (find_text(line, "]") == not_found)
        return "type a pair like still->ztill, or a link like |more.dic]";
    return link_refusal(trimmed(line), group, run.dict_text);
}

// The lines typed until an empty one, each stored or refused with its
// reason; the prompt shows the line stored last.
Group run_dialogue()
{
    Group group;
    std::string example = "still->ztill";
    for (;;) {
        if (group_text(group, false).size() > pending_limit) {
            put_text("\nAdd other words later!\n");
            return group;
        }
        put_prompt("\nTo add to the " + run.dict_name + " dictionary, enter a string like " +
            attribute_escape(colour_bold) + foreground_escape(colour_white) + example +
            attribute_escape(colour_normal) + "\nPress Enter to exit : ");
        std::string line;
        const bool whole = read_line(line);
        if (whole && line.empty())
            return group;
        const std::string why =
            whole ? refusal(line, group) : "a line can't be longer than " + std::to_string(longest_line) + " bytes";
        if (!why.empty()) {
            put_problem("\nNot added: " + why + "\n");
            continue;
        }
        if (const std::optional<Pair> pair = split_pair(line)) {
            example.assign(pair->english).append("->").append(pair->quog);
            const std::string key = "_" + std::string(pair->english) + "_";
            group.push_back({key + "->~" + std::string(pair->quog) + "_", key});
        } else {
            example = trimmed(line);
            group.push_back({example, ""});
        }
    }
}

// What the dictionary ends inside of, that a group after it would run
// into and change: a link without its "]", or an entry without its closing
// "_"; empty when neither.
std::string unclosed_end(std::string_view dict)
{
    constexpr std::size_t shown = 40;
    const std::size_t bar = dict.find('|');
    if (bar != std::string_view::npos && dict.find(']', bar) == std::string_view::npos)
        return "it ends inside its link " + std::string(dict.substr(bar, shown)) + ", which has no ]";
    const std::size_t arrow = dict.rfind("->~");
    if (arrow == std::string_view::npos || dict.find('_', arrow) != std::string_view::npos)
        return {};
    const std::size_t opening = arrow < 2 ? std::string_view::npos : dict.rfind('_', arrow - 2);
    return "it ends inside its entry " +
        std::string(dict.substr(opening == std::string_view::npos ? 0 : opening, shown)) + ", which has no closing _";
}

// Why the dictionary in use may not take words: quogo.dic always may,
// wherever its links lead; a dictionary named by a chain link only when the
// link names a file of this folder that holds entries, as one handed over
// by someone else could name any file.
Outcome reason_not_to_extend()
{
    const std::string not_extended = run.dict_name + " is not extended: ";
    if (std::string end = unclosed_end(run.dict_text); !end.empty())
        return Failure{not_extended + end};
    if (run.earlier.empty())
        return std::nullopt;
    if (file_name_start(run.dict_name) != 0)
        return Failure{not_extended + "a dictionary reached by a link is, only when the link names it without /"};
    if (!holds_entry(run.dict_text))
        return Failure{not_extended + "it holds no entries, so it may not be a dictionary"};
    return std::nullopt;
}

// The file as it is, with the group on a line of its own after it, in the
// file's own kind of line end (a file with none yet takes the platform's):
// loaded, it reads as the file and the group.
std::string with_group(const std::string& on_disk, std::string_view group)
{
    const std::size_t lf = on_disk.find('\n');
    std::string_view line_end = text_line_end;
    if (lf != std::string::npos)
        line_end = lf > 0 && on_disk[lf - 1] == '\r' ? "\r\n" : "\n";
    std::string extended = on_disk;
    if (!on_disk.empty() && on_disk.back() != '\n' && on_disk.back() != '\r')
        extended += line_end;
    extended.append(group).append(line_end);
    return extended;
}

// Appends the group to the dictionary as it is on disk now, under a lock, so
// that words another run added meanwhile are kept. What the dialogue asked
// of the dictionary as it was loaded is asked again of these bytes: pairs
// that are there by now are dropped, a link that could no longer take effect
// is refused with its reason, and a dictionary that now ends inside a link
// or an entry is not extended. The dictionary must not be the input file of
// this run.
Outcome save_in_dictionary(Group& group)
{
    if (Outcome refused = reason_not_to_extend())
        return refused;
    note_reads_again();
    if (Outcome refused = clash(run.dict_name, true))
        return refused;
    Outcome refused;
    const Outcome failure = update_file(run.dict_name, [&](const std::string& on_disk) -> std::optional<std::string> {
        std::string loaded = on_disk;
        drop_line_ends(loaded);
        if (const std::string end = unclosed_end(loaded); !end.empty()) {
            refused = Failure{run.dict_name + " is not extended: " + end};
            return std::nullopt;
        }
        std::erase_if(group, [&](const Addition& a) {
            if (!a.key.empty())
                return find_text(loaded, a.key) != not_found;
            const std::string why = link_refusal(a.text, {}, loaded);
            if (!why.empty())
                put_problem("\nNot added: " + a.text + ": " + why + "\n");
            return !why.empty();
        });
        if (pairs_in(group) == 0)
            return std::nullopt;
        return with_group(on_disk, group_text(group));
    });
    return refused ? refused : failure;
}

// The message file must not be a file this run reads.
Outcome save_in_message_file(const std::string& group, std::string& kept_as)
{
    const std::string name(message_file);
    note_reads_again(); // the dictionary was rewritten
    if (Outcome refused = clash(name))
        return refused;
    return replace_file(name, group, message_written_here, kept_as);
}

// Shows the group in red and saves it in the message file. When the group
// could not go into the dictionary, the message file still keeps it, and
// then the run ends with both failures.
void report_additions(const std::string& group, const Outcome& dictionary_failure)
{
    set_attribute(colour_bold);
    set_foreground(colour_red);
    put_text(std::string(dictionary_failure ? "\nYour word(s) could not be added to the dictionary!"
                                            : "\nYour word(s) have been added to the dictionary!") +
        "\nPlease e-mail them to the Quog Speak makers so that everyone gets them"
        "\n(quog-words@quogtran.example) the following message:\n\n" +
        group + "\n");
    std::string kept_as;
    const Outcome message_failure = save_in_message_file(group, kept_as);
    if (!message_failure)
        put_text("\n\nwhich you will find in the file " + std::string(message_file) + ".\n");
    set_attribute(colour_normal);
    put_text(kept_note(std::string(message_file), kept_as));

    if (dictionary_failure && message_failure)
        put_problem(failure_text(*message_failure));
    if (dictionary_failure || message_failure)
        fail(dictionary_failure ? *dictionary_failure : *message_failure);
}

} // namespace

bool message_written_here(std::string_view tail)
{
    return tail.ends_with("\";") && tail.find("x+=\"") != std::string_view::npos;
}

bool extend_dictionary()
{
    Group group = run_dialogue();
    if (pairs_in(group) == 0) {
        if (!group.empty())
            put_problem("\nThe link is not added: a link goes into the dictionary with new words only\n");
        return false;
    }
    const Outcome dictionary_failure = save_in_dictionary(group);
    run.added_count = pairs_in(group);
    if (run.added_count == 0)
        return false; // another run added every one of these words meanwhile
    report_additions(group_text(group), dictionary_failure);
    wait_key(strike_any_key);
    return true;
}
