#include <algorithm>

#include "control/console.h"
#include "control/usage.h"
#include "engine/dictionary_index.h"
#include "engine/engine.h"
#include "state/run_state.h"

std::string link_name(std::string_view dict, std::ptrdiff_t bar_pos)
{
    const std::string_view rest = dict.substr(static_cast<std::size_t>(bar_pos) + 1);
    return std::string(rest.substr(0, rest.find(']')));
}

DictionaryIndex dict_index;

void drop_line_ends(std::string& text)
{
    const ByteSet line_ends(line_end_set);
    text.erase(std::remove_if(text.begin(), text.end(), [&line_ends](char ch) { return line_ends.contains(ch); }),
               text.end());
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

    dict_index.build(dict_text);
}

void load_dictionary()
{
    put_text("\nLoading dictionary ... ");

    take_dictionary(read_or_fail(dict_name, OnFailure::end));
    dictionaries_loaded.push_back(dict_name);
    put_text("Dictionary loaded!");
}
