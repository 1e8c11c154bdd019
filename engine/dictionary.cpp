#include <algorithm>

#include "control/console.h"
#include "control/files.h"
#include "engine/engine.h"
#include "state/run_state.h"

std::string link_name(std::string_view dict, std::ptrdiff_t bar_pos)
{
    const std::string_view rest = dict.substr(static_cast<std::size_t>(bar_pos) + 1);
    return std::string(rest.substr(0, rest.find(']')));
}

void take_dictionary(std::string contents)
{
    // Line breaks carry no meaning in a dictionary.
    const ByteSet line_ends(line_end_set);
    contents.erase(std::remove_if(contents.begin(), contents.end(),
                                  [&line_ends](char ch) { return line_ends.contains(ch); }),
                   contents.end());
    dict_text = std::move(contents);
    if (added_count == 0)
        word_count += std::count(dict_text.begin(), dict_text.end(), '~');

    chain_pos = find_text(dict_text, "|");
    if (chain_pos != not_found)
        next_dict_name = link_name(dict_text, chain_pos);

    dict_index.build(dict_text);
}

void load_dictionary()
{
    put_text("\nLoading dictionary ... ");

    std::string contents;
    const ReadStatus status = read_file(dict_name, contents);
    if (status != ReadStatus::ok) {
        put_text(read_failure(status, dict_name));
        end_process(exit_failure);
    }
    take_dictionary(std::move(contents));
    put_text("Dictionary loaded!");
}
