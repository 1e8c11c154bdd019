#include <algorithm>
#include <optional>
#include <vector>

#include "control/console.h"
#include "control/files.h"
#include "control/usage.h"
#include "engine/engine.h"
#include "results/results.h"
#include "state/run_state.h"

namespace {

constexpr std::size_t pending_limit = 1000;

// One accepted line: a new entry with the key that finds its English word,
// or a chain link (any line holding "]") kept as typed, with no key.
struct Addition {
    std::string text;
    std::string key;
};

std::vector<Addition> additions; // what the dialogue has accepted so far
std::string example_entry;       // shown in the prompt: the line typed last

// The group so far, without its closing.
std::string pending_text()
{
    std::string group = "x+=\"";
    for (const Addition& addition : additions)
        group += " " + addition.text;
    return group;
}

// The group as it goes into the dictionary and the message file.
std::string pending_additions()
{
    return pending_text() + "\";";
}

// A typed line split at its first "->".
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
    return Pair{line.substr(0, at), line.substr(at + 2)};
}

bool holds_control_byte(std::string_view line)
{
    return std::any_of(
        line.begin(), line.end(), [](char ch) { return static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f; });
}

// Why a typed line cannot go into the dictionary, or empty when it can. A
// pair's words must not hold the bytes that delimit entries and links, and
// the English word, looked up as one word of the text, no tilde or space.
std::string refusal(std::string_view line)
{
    if (holds_control_byte(line))
        return "Not added: a line can't hold control characters";
    const std::optional<Pair> pair = split_pair(line);
    if (!pair) {
        if (find_text(line, "]") == not_found)
            return "Not added: type a pair like still->ztill, or a link like |more.dic]";
        return {};
    }
    if (pair->english.empty() || pair->quog.empty())
        return "Not added: both sides of -> need a word";
    for (const std::string_view side : {pair->english, pair->quog})
        if (side.find_first_of("_|]") != std::string_view::npos)
            return "Not added: a word can't hold _, | or ]";
    if (pair->english.find_first_of("~ ") != std::string_view::npos)
        return "Not added: the English word can't hold ~ or a space";
    return {};
}

void show_prompt()
{
    put_text("\nTo add to the " + dict_name);
    put_text(" dictionary, enter a string like ");
    set_attribute(colour_bold);
    set_foreground(colour_white);
    put_text(example_entry);
    set_attribute(colour_normal);
    put_text("\nPress Enter to exit : ");
}

// Takes one accepted line: a chain link is kept as typed and uncounted, a
// pair is counted and kept unless the dictionary has the word already.
void take_line(const std::string& line)
{
    const std::optional<Pair> pair = split_pair(line);
    if (!pair) {
        additions.push_back({line, ""});
        return;
    }
    const std::string english(pair->english);
    const std::string key = "_" + english + "_";
    if (find_text(dict_text, key) != not_found)
        return;
    ++added_count;
    ++word_count;
    additions.push_back({"_" + english + "_->~" + std::string(pair->quog) + "_", key});
}

void run_dialogue()
{
    additions.clear();
    example_entry = "still->ztill";
    for (;;) {
        if (pending_text().size() > pending_limit) {
            put_text("\nAdd other words later!\n");
            return;
        }
        show_prompt();
        std::string line;
        if (read_line(line) == 0)
            return;
        const std::string why = refusal(line);
        if (!why.empty()) {
            put_text("\n" + why + "\n");
            continue;
        }
        example_entry = line;
        take_line(line);
    }
}

// Drops the pairs whose English word the dictionary text already holds, as
// another run may have added it meanwhile, and uncounts them.
void drop_pairs_found_in(std::string_view dictionary)
{
    const auto known = [&](const Addition& addition) {
        return !addition.key.empty() && find_text(dictionary, addition.key) != not_found;
    };
    const auto dropped = std::count_if(additions.begin(), additions.end(), known);
    additions.erase(std::remove_if(additions.begin(), additions.end(), known), additions.end());
    added_count -= dropped;
    word_count -= dropped;
}

// Appends the group to the dictionary as it is on disk now, under a lock, so
// that words another run added meanwhile are kept. The dictionary must not
// be the input file of this run.
Failure save_in_dictionary()
{
    if (std::string why = clash(dict_name, {}); !why.empty())
        return {std::move(why), true};
    const WriteStatus status = update_file(dict_name, [](std::string on_disk) -> std::optional<std::string> {
        drop_line_ends(on_disk);
        drop_pairs_found_in(on_disk);
        if (added_count == 0)
            return std::nullopt;
        return on_disk + pending_additions();
    });
    return status == WriteStatus::ok ? Failure{} : write_failure(status, dict_name);
}

// The message file must not be a file this run reads.
Failure save_in_message_file(const std::string& group)
{
    const std::string name(message_file);
    if (std::string why = clash(name, dictionaries_loaded); !why.empty())
        return {std::move(why), true};
    const WriteStatus status = replace_file(name, group);
    return status == WriteStatus::ok ? Failure{} : write_failure(status, name);
}

// Shows the group in red and saves it in the message file. When the group
// could not go into the dictionary, the message file still keeps it, and
// then the run ends with both failures.
void report_additions(const Failure& dictionary_failure)
{
    const std::string group = pending_additions();
    set_attribute(colour_bold);
    set_foreground(colour_red);
    put_text(dictionary_failure.line.empty() ? "\nYour word(s) have been added to the dictionary!"
                                             : "\nYour word(s) could not be added to the dictionary!");
    put_text("\nPlease e-mail them to the Quog Speak makers so that everyone gets them");
    put_text("\n(quog-words@quogtran.example) ");
    put_text("the following message:\n");
    put_text("\n" + group + "\n");
    const Failure message_failure = save_in_message_file(group);
    if (message_failure.line.empty())
        put_text("\n\nwhich you will find in the file " + std::string(message_file) + ".\n");
    set_attribute(colour_normal);

    if (!dictionary_failure.line.empty()) {
        put_text(message_failure.line);
        fail(dictionary_failure);
    }
    if (!message_failure.line.empty())
        fail(message_failure);
}

} // namespace

void extend_dictionary()
{
    run_dialogue();
    if (added_count == 0)
        return;
    const Failure dictionary_failure = save_in_dictionary();
    if (added_count == 0)
        return; // another run added every one of these words meanwhile
    report_additions(dictionary_failure);
    wait_key(strike_any_key);

    // Once more over the text, with the new words and no further chain.
    work_text = std::move(out_text);
    out_text.clear();
    load_dictionary();
    translate_pass();
}
