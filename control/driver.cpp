// The driver: start-up and the stages of a run in their fixed order.
#include <algorithm>
#include <new>
#include <optional>
#include <string>

#include "control/console.h"
#include "control/driver.h"
#include "control/failure.h"
#include "control/options.h"
#include "engine/engine.h"
#include "platform/files.h"
#include "platform/signals.h"
#include "results/results.h"
#include "state/run_state.h"

namespace {

void show_banner()
{
    set_attribute(colour_bold);
    set_foreground(colour_blue);
    put_text("\n\nQuog Speak Version " + std::string(version_text) + " - word by word, from the quogtran makers");
    set_attribute(colour_normal);
}

// Loads quogo.dic, counting the words of a chain from nothing.
std::optional<std::string> load_first_dictionary()
{
    run.word_count = 0;
    run.earlier.clear();
    std::erase_if(run.reads, [](const auto& read) { return !read.second.input; });
    return load_dictionary(std::string(first_dictionary));
}

// The chain loop: the prepared input through the loaded dictionary, and on
// through each dictionary that the one before links to, one pass each; then
// the arrows back and the punctuation closed up, once for the screen and
// the files alike.
void translate_through_chain(std::optional<std::string> next)
{
    run.out_text.clear();
    translate_pass(PassText::prepared_input());
    while (next) {
        // A chain that comes back to a dictionary would repeat passes forever.
        if (in_chain(*next)) {
            put_text("\n\nThe chain comes back to " + shown_name(*next) + ", so it ends here.\n");
            break;
        }
        const std::string previous = std::move(run.out_text);
        run.out_text.clear();
        run.earlier.push_back({std::move(run.dict_name), std::move(run.dict_text)});
        next = load_dictionary(*next);
        check_outputs(false);
        translate_pass(PassText(previous));
    }
    restore_arrows();
    close_up_in_place(run.out_text);
}

} // namespace

void run_quogtran(int argc, const char* const* argv)
{
    guard_process();
    run = {};
    answer_help_or_version(argc, argv);
    show_banner();
    read_options(argc, argv);
    note_read(run.in_name, true);
    note_read(std::string(first_dictionary), false);
    check_outputs(true);
    put_text("\n");

    std::optional<std::string> next = load_first_dictionary();
    take_input();
    translate_through_chain(std::move(next));
    show_text();
    put_text("\n");
    // New words take effect as in a fresh run: the whole chain once more.
    if (!run.untranslate && extend_dictionary())
        translate_through_chain(load_first_dictionary());
    deliver_results();
}

void run_process(int argc, const char* const* argv)
{
    try {
        run_quogtran(argc, argv);
    } catch (const std::bad_alloc&) {
        fail({"Not enough memory"});
    }
    end_process(exit_ok);
}
