#include "control/options.h"

#include <string>
#include <string_view>

#include "control/bytes.h"
#include "control/console.h"
#include "control/failure.h"
#include "control/usage.h"
#include "state/run_state.h"

namespace {

// Where an unknown option's reason sends the user.
constexpr std::string_view help_hint = "quogtran --help shows the options";

// A typed line: options are found anywhere in it, and the file name is what
// follows its last space; a line without options is the file name whole.
void read_typed_options()
{
    put_prompt("\n\n-v -u filename.typ ");
    std::string line;
    if (!read_line(line))
        fail({"A file name can't be longer than " + std::to_string(longest_line) + " bytes", true});
    if (line.empty())
        fail({"No file name was given", true});

    run.verbose = find_text(line, "-v") != not_found;
    run.untranslate = find_text(line, "-u") != not_found;
    if (!run.verbose && !run.untranslate) {
        run.in_name = line;
        return;
    }

    // A space at the very start does not count: the name needs one later on.
    const std::size_t last_space = line.rfind(' ');
    if (last_space == std::string::npos || last_space == 0)
        fail({"Type the options, then a space and the file name", true});
    run.in_name = line.substr(last_space + 1);
}

// Options first, then one file name; "--" ends the options, so that a file
// name may begin with "-".
void read_argument_options(int argc, const char* const* argv)
{
    int at = 1;
    for (; at < argc - 1; ++at) {
        const std::string_view option = argv[at];
        if (option == "--") {
            if (at + 2 != argc)
                fail({"One file name only, after --", true});
            run.in_name = argv[at + 1];
            return;
        }
        // Only the letter after the '-' counts, in either case.
        const char letter = option.size() < 2 || option[0] != '-' ? '\0' : lower_ascii(option[1]);
        if (option.empty() || option[0] != '-')
            fail({"One file name only: " + std::string(option) + " is one too many", true});
        if (letter != 'u' && letter != 'v')
            fail({"Unknown option " + std::string(option) + " (" + std::string(help_hint) + ")", true});
        (letter == 'u' ? run.untranslate : run.verbose) = true;
    }
    run.in_name = argv[at];
}

} // namespace

void answer_help_or_version(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "--version") {
            put_text(argument == "--help" ? help_text() : "quogtran " + std::string(version_text) + "\n");
            end_process(exit_ok);
        }
    }
}

void read_options(int argc, const char* const* argv)
{
    const bool after_dashes = argc > 2 && std::string_view(argv[argc - 2]) == "--";
    if (argc <= 1)
        read_typed_options();
    else
        read_argument_options(argc, argv);

    if (find_text(run.in_name, "-") == 0 && !after_dashes) {
        const bool option_alone =
            (run.in_name.size() == 2 && (lower_ascii(run.in_name[1]) == 'u' || lower_ascii(run.in_name[1]) == 'v')) ||
            run.in_name == "--";
        if (option_alone)
            fail({"The file name is missing after " + run.in_name, true});
        fail({"Unknown option " + run.in_name + " (" + std::string(help_hint) +
                "; a file name that begins with - goes after --)",
            true});
    }
}
