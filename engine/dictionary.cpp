#include <algorithm>
#include <cerrno>

#include "control/bytes.h"
#include "control/console.h"
#include "control/failure.h"
#include "control/usage.h"
#include "engine/engine.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "state/run_state.h"

void drop_line_ends(std::string& text)
{
    // Line ends are few: the bytes between them go over in runs.
    if (text.find('\r') != std::string::npos)
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    replace_marks(text, "\n", "");
}

bool holds_entry(std::string_view dict)
{
    // An arrow with a word on each side, each closed by an underscore.
    for (std::size_t arrow = dict.find("_->~"); arrow != std::string_view::npos; arrow = dict.find("_->~", arrow + 1)) {
        const std::size_t opening = arrow == 0 ? std::string_view::npos : dict.rfind('_', arrow - 1);
        const std::size_t closing = dict.find('_', arrow + 4);
        if (opening != std::string_view::npos && opening + 1 < arrow && closing != std::string_view::npos &&
            closing > arrow + 4)
            return true;
    }
    return false;
}

bool in_chain(const std::string& name)
{
    // Asked once for each link: a look-up in the set, so that a long chain
    // costs in proportion to its length.
    const auto read = run.reads.find(file_identity(name));
    return name == run.dict_name || (read != run.reads.end() && read->second.dictionary);
}

void note_reads_again()
{
    run.reads.clear();
    note_read(run.in_name, true);
    for (const Dictionary& dictionary : run.earlier)
        note_read(dictionary.name, false);
    note_read(run.dict_name, false);
}

void note_read(const std::string& name, bool input)
{
    const std::string identity = file_identity(name);
    if (identity.empty())
        return;
    FileRead& read = run.reads[identity];
    read.name = read.name.empty() ? name : read.name;
    read.what = input || read.input ? "the input file" : "the dictionary " + name;
    read.input = read.input || input;
    read.dictionary = read.dictionary || !input;
}

std::optional<std::string> take_dictionary(std::string contents)
{
    drop_line_ends(contents);
    run.dict_text = std::move(contents);
    run.dict_tildes = count_of(run.dict_text, '~');
    run.dict_underscores = count_of(run.dict_text, '_');
    run.word_count += static_cast<long long>(run.dict_tildes);

    // The first "|" links to the next dictionary, named up to the next "]"
    // (or the end of the text, when none follows).
    const std::size_t bar = run.dict_text.find('|');
    if (bar == std::string::npos)
        return std::nullopt;
    const std::string_view rest = std::string_view(run.dict_text).substr(bar + 1);
    return std::string(rest.substr(0, rest.find(']')));
}

std::optional<std::string> load_dictionary(const std::string& name)
{
    put_text("\nLoading dictionary ... ");
    run.dict_name = name;
    std::string contents;
    Outcome failure = read_file(
        name, [&](std::string_view chunk) { contents.append(chunk); },
        [&](bool, std::size_t size) {
            reserve_mapped(contents, size);
            return true;
        },
        true);
    if (failure) {
        // Without quogo.dic, where to look and where examples are help.
        if (failure->error == ENOENT && name == first_dictionary)
            failure->reason +=
                "\nThe dictionary " + name + " is looked for in the current folder; " + where_examples_are();
        failure->with_usage = false; // a dictionary that cannot be read ends the run at once
        fail(*failure);
    }
    note_read(name, false);
    std::optional<std::string> next = take_dictionary(std::move(contents));
    put_text("Dictionary loaded!");
    return next;
}
