#include "control/console.h"
#include "control/files.h"
#include "control/usage.h"
#include "engine/engine.h"
#include "results/results.h"
#include "state/run_state.h"

namespace {

constexpr std::size_t pending_limit = 1000;
const std::string message_name = "quogo.msg";

// Why a typed line cannot go into the dictionary, or empty when it can. A
// pair's words must not hold the bytes that delimit entries and links, and
// the English word, looked up as one word of the text, no tilde or space.
std::string refusal(std::string_view line)
{
    const std::ptrdiff_t arrow = find_text(line, "->");
    if (arrow == not_found) {
        if (find_text(line, "]") == not_found)
            return "Not added: type a pair like still->ztill, or a link like |more.dic]";
        return {};
    }
    const std::string_view left = line.substr(0, static_cast<std::size_t>(arrow));
    const std::string_view right = line.substr(static_cast<std::size_t>(arrow) + 2);
    if (left.empty() || right.empty())
        return "Not added: both sides of -> need a word";
    for (const std::string_view side : {left, right})
        if (side.find_first_of("_|]") != std::string_view::npos)
            return "Not added: a word can't hold _, | or ]";
    if (left.find_first_of("~ ") != std::string_view::npos)
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
    const std::ptrdiff_t arrow = find_text(line, "->");
    if (arrow == not_found) {
        pending_additions += " " + line;
        return;
    }
    const std::string left = line.substr(0, static_cast<std::size_t>(arrow));
    const std::string right = line.substr(static_cast<std::size_t>(arrow) + 2);
    const std::string key = "_" + left + "_";
    if (dict_index.find_key(dict_text, key) != not_found)
        return;
    ++added_count;
    ++word_count;
    pending_additions += " _" + left + "_->~" + right + "_";
}

void run_dialogue()
{
    pending_additions = "x+=\"";
    example_entry = "still->ztill";
    for (;;) {
        if (pending_additions.size() > pending_limit) {
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

void report_additions()
{
    set_attribute(colour_bold);
    set_foreground(colour_red);
    put_text("\nYour word(s) have been added to the dictionary!");
    put_text("\nPlease e-mail them to the Quog Speak makers so that everyone gets them");
    put_text("\n(quog-words@quogtran.example) ");
    put_text("the following message:\n");
    put_text("\n" + pending_additions + "\n");
}

void write_message_file()
{
    OutputFile message;
    if (!message.open(message_name))
        cant_open(message_name);
    message.write(pending_additions);
    if (!message.finish())
        cant_open(message_name);
}

} // namespace

void extend_dictionary()
{
    run_dialogue();
    if (added_count == 0)
        return;

    // The dictionary is the user's data: it is replaced whole or not at all.
    pending_additions += "\";";
    if (!replace_file(dict_name, dict_text + pending_additions))
        cant_open(dict_name);
    dict_text += pending_additions;

    report_additions();
    write_message_file();
    put_text("\n\nwhich you will find in the file quogo.msg.\n");
    set_attribute(colour_normal);
    wait_key("\n\nStrike Any Key ...\n");

    // Once more over the text, with the new words and no further chain.
    work_text = std::move(out_text);
    out_text.clear();
    load_dictionary();
    translate_pass();
}
