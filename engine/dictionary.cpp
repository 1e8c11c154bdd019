#include <algorithm>

#include "control/console.h"
#include "control/files.h"
#include "control/memory.h"
#include "control/usage.h"
#include "engine/engine.h"
#include "state/run_state.h"

std::string link_name(std::string_view dict, std::ptrdiff_t bar_pos)
{
    const std::string_view rest = dict.substr(static_cast<std::size_t>(bar_pos) + 1);
    return std::string(rest.substr(0, rest.find(']')));
}

void drop_line_ends(std::string& text)
{
    // Moved a line at a time: line ends are few and far between.
    const std::size_t first = text.find_first_of("\r\n");
    if (first == std::string::npos)
        return;
    std::size_t write = first;
    for (std::size_t read = first + 1; read < text.size();) {
        std::size_t end = read;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        std::copy(text.begin() + static_cast<std::ptrdiff_t>(read), text.begin() + static_cast<std::ptrdiff_t>(end),
            text.begin() + static_cast<std::ptrdiff_t>(write));
        write += end - read;
        read = end + 1;
    }
    text.resize(write);
}

void take_dictionary(std::string contents)
{
    drop_line_ends(contents);
    dict_text = std::move(contents);
    if (added_count == 0)
        word_count += std::count(dict_text.begin(), dict_text.end(), '~');

    chain_pos = find_text(dict_text, "|");
    if (chain_pos != not_found)
        next_dict_name = link_name(dict_text, chain_pos);
}

void load_dictionary()
{
    put_text("\nLoading dictionary ... ");

    std::string contents;
    read_or_fail(dict_name, OnFailure::end, [&](InputFile& file) {
        reserve_mapped(contents, file.size());
        return file.read([&](std::string_view chunk) { contents.append(chunk); });
    });
    take_dictionary(std::move(contents));
    dictionaries_loaded.push_back(dict_name);
    put_text("Dictionary loaded!");
}
