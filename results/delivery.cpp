#include <algorithm>
#include <span>
#include <utility>

#include "control/console.h"
#include "control/failure.h"
#include "engine/engine.h"
#include "platform/files.h"
#include "results/results.h"
#include "results/shared.h"
#include "state/run_state.h"

std::string footer_text()
{
    return std::string(run.untranslate ? "\nUntranslation by " : "\nTranslation by ") + "Quog Speak Version " +
        std::string(version_text) + "\nThe dishunary contains " + std::to_string(run.word_count) + " wurds.\n" +
        std::string(line_end_text);
}

OutputNames output_names(std::string_view input_name, bool untranslating)
{
    const std::size_t dot = input_name.find('.', file_name_start(input_name));
    const std::string base(input_name.substr(0, dot));
    return {base + (untranslating ? ".txt" : ".qgo"), base + ".htm"};
}

Outcome clash(const std::string& name, bool updating)
{
    // An identity is confirmed by the name it was noted for: a file replaced
    // since may have left its number to another.
    const std::string identity = file_identity(name);
    const auto read = run.reads.find(identity);
    if (read == run.reads.end() || (updating && !read->second.input) || file_identity(read->second.name) != identity)
        return std::nullopt;
    return Failure{"Writing " + shown_name(name) + " would destroy " + read->second.what, true};
}

namespace {

// An output of this program ends with its footer; anything else in an
// output's place is the user's own, and is kept.
bool written_here(std::string_view tail)
{
    return tail.ends_with(" wurds.\n\n") && tail.find("ranslation by Quog Speak Version ") != std::string_view::npos;
}

} // namespace

void check_outputs(bool writable)
{
    const OutputNames names = output_names(run.in_name, run.untranslate);
    const std::string message(message_file); // written when words are added, so never when untranslating
    const std::pair<const std::string*, TailTest> writes[] = {
        {&names.first, written_here}, {&names.second, written_here}, {&message, message_written_here}};
    for (const auto& [output, tail_test] : std::span(writes, run.untranslate ? 2 : 3)) {
        if (const Outcome refused = clash(*output))
            fail(*refused);
        // A file of the user's own in an output's place is kept as NAME~:
        // that name must not be one the run reads either.
        if (clash(*output + "~"))
            fail({"The earlier " + *output + " would be kept as " + *output + "~, a file this run reads", true});
        if (const Outcome failure = writable ? check_writable(*output, tail_test) : std::nullopt)
            fail(*failure);
    }
}

std::string kept_note(const std::string& name, const std::string& kept_as)
{
    return kept_as.empty() ? "" : "The earlier " + shown_name(name) + " is kept as " + shown_name(kept_as) + ".\n";
}

void deliver_results()
{
    // The text was closed up after the passes; the footer has nothing to close.
    run.out_text += footer_text();
    const OutputNames names = output_names(run.in_name, run.untranslate);
    note_reads_again();

    // When words were added, the new translation is shown while it is written.
    if (run.added_count > 0)
        show_text();
    // Each output is replaced whole, so an interrupted run leaves the files
    // of the run before, and two runs writing the same names leave one
    // complete result.
    std::vector<std::string> kept;
    for (const std::string* name : {&names.first, &names.second}) {
        std::string kept_as;
        if (const Outcome refused = clash(*name))
            fail(*refused);
        if (const Outcome failure = replace_file(*name, run.out_text, written_here, kept_as))
            fail(*failure);
        kept.push_back(kept_note(*name, kept_as));
    }
    put_text("\n");
    set_attribute(colour_bold);
    set_foreground(colour_white);
    put_text("\nSee " + shown_name(names.first) + " and " + shown_name(names.second) + " for output.\n\n");
    set_attribute(colour_normal);
    for (const std::string& line : kept)
        put_text(line);
}
