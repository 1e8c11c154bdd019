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

namespace {

void open_output(OutputFile& file, const std::string& name)
{
    if (!file.open(name))
        cant_open(name);
}

void finish_output(OutputFile& file, const std::string& name)
{
    if (!file.finish()) {
        put_text("\nCan't write " + name + "\n");
        end_process(exit_failure);
    }
}

} // namespace

void deliver_results()
{
    out_text += footer_text();
    const OutputNames names = output_names(in_name, untranslate != 0);

    OutputFile first;
    OutputFile second;
    open_output(first, names.first);
    open_output(second, names.second);

    if (added_count > 0) {
        put_text("\n\nYour (un)translation follows ...");
        wait_key("\n\nStrike Any Key ...\n");
    }

    const std::string closed = close_up(out_text);
    first.write(closed);
    second.write(closed);
    if (added_count > 0)
        page_to_console(closed);
    finish_output(first, names.first);
    finish_output(second, names.second);

    put_text("\n");
    set_attribute(colour_bold);
    set_foreground(colour_white);
    put_text("\nSee " + names.first + " and " + names.second + " for output.\n\n");
    set_attribute(colour_normal);
}
