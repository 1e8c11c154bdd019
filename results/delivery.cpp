#include <algorithm>

#include "control/console.h"
#include "control/files.h"
#include "control/usage.h"
#include "results/results.h"
#include "state/run_state.h"

std::string footer_text()
{
    std::string footer = untranslate ? "\nUntranslation by " : "\nTranslation by ";
    footer += "Quog Speak Version ";
    footer += version_text;
    footer += "\n";
    footer += "The dishunary contains ";
    footer += std::to_string(word_count);
    footer += " wurds.\n";
    footer += line_end_text;
    return footer;
}

OutputNames output_names(std::string_view input_name, bool untranslating)
{
    const std::size_t slash = input_name.rfind('/');
    const std::size_t file_part = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = input_name.find('.', file_part);
    const std::string base(input_name.substr(0, dot));
    return {base + (untranslating ? ".txt" : ".qgo"), base + ".htm"};
}

std::string clash(const std::string& name, const std::vector<std::string>& dictionaries)
{
    if (same_file(name, in_name))
        return "\nWriting " + name + " would destroy the input file\n";
    const auto read = std::find_if(dictionaries.begin(), dictionaries.end(),
        [&](const std::string& dictionary) { return same_file(name, dictionary); });
    if (read == dictionaries.end())
        return {};
    return "\nWriting " + name + " would destroy the dictionary " + *read + "\n";
}

void check_output_names()
{
    const OutputNames names = output_names(in_name, untranslate != 0);
    for (const std::string* output : {&names.first, &names.second})
        if (const std::string why = clash(*output, {dict_name}); !why.empty())
            fail_with_usage(why);
}

namespace {

// Each output is replaced whole, so an interrupted run leaves the files of
// the run before, and two runs writing the same names leave one complete
// result.
void write_output(const std::string& name, std::string_view text)
{
    const WriteStatus status = replace_file(name, text);
    if (status != WriteStatus::ok)
        fail(write_failure(status, name));
}

void show_closing_line(const OutputNames& names)
{
    put_text("\n");
    set_attribute(colour_bold);
    set_foreground(colour_white);
    put_text("\nSee " + names.first + " and " + names.second + " for output.\n\n");
    set_attribute(colour_normal);
}

} // namespace

void deliver_results()
{
    out_text += footer_text();
    const OutputNames names = output_names(in_name, untranslate != 0);
    for (const std::string* output : {&names.first, &names.second})
        if (const WriteStatus status = check_replaceable(*output); status != WriteStatus::ok)
            fail(write_failure(status, *output));

    // When words were added, the new translation is shown while it is written.
    if (added_count > 0)
        announce_translation();
    close_up_in_place(out_text);
    if (added_count > 0)
        page_to_console(out_text);
    write_output(names.first, out_text);
    write_output(names.second, out_text);
    show_closing_line(names);
}
