#include "control/usage.h"

#include "control/console.h"
#include "control/failure.h"
#include "platform/files.h"
#include "platform/terminal.h"
#include "state/run_state.h"

std::string help_text()
{
    return "Usage: quogtran [-v] [-u] [--] FILE\n"
           "       quogtran\n"
           "       quogtran --help | --version\n"
           "\n"
           "Translates the text FILE word by word from English to Quog Speak (or back,\n"
           "with -u) through the dictionary quogo.dic and the dictionaries it links to,\n"
           "shows the result a page at a time and writes it to two files. After an\n"
           "English to Quog Speak translation it asks for new word pairs to learn.\n"
           "\n"
           "  -v         report every word translated\n"
           "  -u         \"untranslate\": Quog Speak to English; no words are asked for\n"
           "  --         end the options: a FILE that begins with - comes after it\n"
           "  --help     print this help and exit\n"
           "  --version  print the version and exit\n"
           "\n"
           "Started without arguments, it asks for a line such as \"-v story.txt\".\n"
           "Any key goes on at a key wait; q at a page skips the rest of the text shown\n"
           "(the files are still written whole). Off a terminal each key wait takes one\n"
           "byte of standard input: printf 'kkmouse->mowse\\n\\n' | quogtran story.txt\n"
           "\n"
           "Files:\n"
           "  quogo.dic   the dictionary, in the current folder; a link |NAME] in it\n"
           "              chains the dictionary NAME after it\n"
           "  BASE.qgo    the translation, BASE being FILE up to the first '.' of its\n"
           "              name (BASE.txt with -u)\n"
           "  BASE.htm    the same text again\n"
           "  quogo.msg   the words the last run added, to send to the makers\n"
           "  NAME~       a file of yours that an output replaced, kept\n"
           "\n"
           "Environment:\n"
           "  NO_COLOR   when set and not empty, no colour\n"
           "  TERM=dumb  no colour either\n"
           "\n"
           "Exit status: 0 when the run completed, 1 on any failure, 128 + N for a run\n"
           "ended by signal N (130 for Ctrl-C).\n"
           "More in the manual: man quogtran\n";
}

std::string where_examples_are()
{
    // The program's folder, less one folder for each ".." the way begins with.
    const std::string program = executable_path();
    std::string beside = program.substr(0, file_name_start(program));
    std::string_view rest = examples_beside_program;
    for (; rest.starts_with("../") && beside.size() > 1; rest.remove_prefix(3)) {
        beside.pop_back();
        beside.resize(file_name_start(beside));
    }
    beside += rest;
    const auto holds_examples = [](const std::string& folder) { return !file_identity(folder + "/quogo.dic").empty(); };
    if (!program.empty() && holds_examples(beside))
        return "the installed examples are in " + beside;
    if (holds_examples(std::string(examples_folder)))
        return "the installed examples are in " + std::string(examples_folder);
    if (holds_examples(std::string(source_examples)))
        return "the examples are in " + std::string(source_examples);
    return "no examples are installed";
}

void show_usage()
{
    put_text("\nTranslate English to Quog Speak or \"Untranslate\" Quog Speak to English"
             "\n\nUsage: quogtran -v -u filename.typ"
             "\n-v gives verbose reporting"
             "\n-u \"untranslate\" Quog Speak to English"
             "\nDefault is translate English to Quog Speak");
    wait_key(strike_any_key);
    end_process(exit_failure);
}
