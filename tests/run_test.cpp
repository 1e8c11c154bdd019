// The whole program, run as a user runs it: arguments, standard input,
// console bytes, file bytes and exit status.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "rows.h"
#include "sandbox.h"

namespace {

const std::string loaded = "\nLoading dictionary ... Dictionary loaded!";
const std::string follows = "\n\nYour (un)translation follows ...\n\nStrike Any Key ...\n";

// text without its colour escapes.
std::string without_escapes(std::string text)
{
    for (std::size_t at = text.find('\x1b'); at != std::string::npos; at = text.find('\x1b', at))
        text.erase(at, text.find('m', at) + 1 - at);
    return text;
}

// Byte for byte, with colour or without it when the user asks for none.
TEST(Run, TheWorkedExampleByteForByte)
{
    const std::pair<std::string, bool> colours[] = {
        {"", true}, {"NO_COLOR=1 ", false}, {"TERM=dumb ", false}, {"NO_COLOR= ", true}};
    for (const auto& [asked, coloured] : colours) {
        Sandbox box;
        box.write("story.txt", "Still cat.\n");
        box.write("quogo.dic", two_words);
        const RunResult run = box.run({"-v", "story.txt"}, "", Sandbox::Options::first(asked));
        EXPECT_EQ(run.status, 0);
        const std::string console = banner + "\n" + loaded + pass_header("quogo.dic") +
            "Still -> Ztill \ncat -> kat \n" + follows + "Ztill kat.\n" + "\n" +
            add_prompt("quogo.dic", "still->ztill") + closing_line("story.qgo", "story.htm");
        EXPECT_EQ(run.console, coloured ? console : without_escapes(console)) << asked;
        const std::string expected = "Ztill kat.\n" + footer(2);
        EXPECT_EQ(box.read("story.qgo"), expected);
        EXPECT_EQ(box.read("story.htm"), expected);
        EXPECT_EQ(box.read("quogo.dic"), two_words);
        EXPECT_FALSE(box.exists("quogo.msg"));
    }
}

TEST(Run, UntranslateGoesBackWithoutTheDialogue)
{
    Sandbox box;
    box.write("story.qgo", "Ztill kat, kat!\n\nZtill.");
    box.write("quogo.dic", two_words);
    const RunResult run = box.run({"-u", "story.qgo"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.console,
        banner + "\n" + loaded + pass_header("quogo.dic", true) + follows + "Still cat, cat!\n\nStill.\n" +
            closing_line("story.txt", "story.htm"));
    EXPECT_EQ(box.read("story.txt"), "Still cat, cat!\n\nStill." + footer(2, true));
    EXPECT_EQ(box.read("story.htm"), box.read("story.txt"));
}

TEST(Run, OptionAndPromptRules)
{
    struct Case {
        std::vector<std::string> args;
        std::string typed;
        bool verbose, untranslating;
        std::string input;
    };
    const Case cases[] = {
        {{"story.txt"}, "", false, false, "story.txt"},
        {{"-V", "-U", "story.qgo"}, "", true, true, "story.qgo"},
        {{"-verbose", "story.txt"}, "", true, false, "story.txt"},
        {{"-u", "-u", "story.qgo"}, "", false, true, "story.qgo"},
        {{}, "-v story.txt\n", true, false, "story.txt"},
        {{}, "story.txt\n", false, false, "story.txt"},
        {{}, "my story.txt\n", false, false, "my story.txt"},
        {{}, "-u my-verse.qgo\n", true, true, "my-verse.qgo"},
        {{"--", "-x.txt"}, "", false, false, "-x.txt"},
        {{"-v", "--", "-v"}, "", true, false, "-v"},
    };
    for (const Case& c : cases) {
        Sandbox box;
        box.write("quogo.dic", two_words);
        box.write(c.input, c.untranslating ? "Ztill kat.\n" : "Still cat.\n");
        const RunResult run = box.run(c.args, c.typed);
        const std::string where = c.args.empty() ? "typed " + c.typed : c.args.front();
        EXPECT_EQ(run.status, 0) << where;
        if (c.args.empty()) {
            EXPECT_EQ(run.console.find(banner + "\n\n-v -u filename.typ \n"), 0u) << where;
        }
        EXPECT_EQ(
            count_of(run.console, "Still -> Ztill \n") + count_of(run.console, "Ztill -> Still \n"), c.verbose ? 1 : 0)
            << where;
        EXPECT_EQ(count_of(run.console, "I untranslate ..."), c.untranslating ? 1 : 0) << where;
        const std::string base = c.input.substr(0, c.input.find('.'));
        EXPECT_TRUE(box.exists(base + (c.untranslating ? ".txt" : ".qgo"))) << where;
        EXPECT_TRUE(box.exists(base + ".htm")) << where;
    }
}

TEST(Run, EveryErrorOfOptionsShowsTheUsageScreen)
{
    struct Case {
        std::vector<std::string> args;
        std::string typed;
        std::string why; // the line before the usage screen
    };
    const std::string help = " (quogtran --help shows the options)";
    const std::string dashes = " (quogtran --help shows the options; a file name that begins with - goes after --)";
    const Case cases[] = {
        {{"-x", "story.txt"}, "", "Unknown option -x" + help},
        {{"v", "story.txt"}, "", "One file name only: v is one too many"},
        {{"-", "story.txt"}, "", "Unknown option -" + help},
        {{"-v"}, "", "The file name is missing after -v"},
        {{"-v", "-story.txt"}, "", "Unknown option -story.txt" + dashes},
        {{}, "", "No file name was given"},
        {{}, "\n", "No file name was given"},
        {{}, "-v\n", "Type the options, then a space and the file name"},
        {{}, " -vstory.txt\n", "Type the options, then a space and the file name"},
        {{}, " my-verse.txt\n", "Type the options, then a space and the file name"},
        {{"-h"}, "", "Unknown option -h" + dashes},
        {{"-h", "story.txt"}, "", "Unknown option -h" + help},
        {{}, "-story.txt\n", "Unknown option -story.txt" + dashes},
        {{"--"}, "", "The file name is missing after --"},
        {{"-v", "--", "a.txt", "story.txt"}, "", "One file name only, after --"},
        {{"--verbose", "story.txt"}, "", "Unknown option --verbose" + help},
    };
    for (const Case& c : cases) {
        Sandbox box;
        box.write("quogo.dic", two_words);
        box.write("story.txt", "Still cat.\n");
        const RunResult run = box.run(c.args, c.typed);
        const std::string prompt = c.args.empty() ? "\n\n-v -u filename.typ " : "";
        const std::string where = c.args.empty() ? "typed " + c.typed : c.args.front();
        EXPECT_NE(run.status, 0) << where;
        EXPECT_EQ(run.console, banner + prompt + "\n" + c.why + "\n" + usage_screen) << where;
        EXPECT_FALSE(box.exists("story.qgo")) << where;
    }
}

// The two long options answer on standard output and wait for nothing;
// the help names every option, the files and the exit statuses.
TEST(Run, HelpAndVersionAnswerAtOnce)
{
    const std::string version = std::string("quogtran ") + QUOGTRAN_VERSION_TEXT + "\n";
    const std::vector<std::string> help = {"Usage: quogtran [-v] [-u] [--] FILE\n", "\n  -v ", "\n  -u ", "\n  --help ",
        "\n  --version ", "Started without arguments", "quogo.dic", "BASE.qgo", "BASE.txt", "BASE.htm", "quogo.msg",
        "NAME~", "Exit status: 0", "man quogtran", "\n  --  ", "NO_COLOR", "TERM=dumb", "q at a page", "128 + N"};
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {{{"--help"}, help},
        {{"--version"}, {version}}, {{"-v", "--help"}, help}, {{"--version", "story.txt"}, {version}}};
    for (const auto& [args, answer] : cases) {
        Sandbox box;
        const RunResult run = box.run(args, "k");
        EXPECT_EQ(run.status, 0) << args.front();
        EXPECT_EQ(run.console.find(answer.front()), 0u) << args.front();
        for (const std::string& part : answer)
            EXPECT_NE(run.console.find(part), std::string::npos) << part;
        EXPECT_EQ(run.console.find("Strike Any Key"), std::string::npos) << args.front();
    }
}

// The pause after each word a verbose run reports is a sleep, and none when
// the report goes to a file: the run takes no more processor time than a
// quiet one.
TEST(Run, AVerboseReportCostsNoProcessorTime)
{
    Sandbox box;
    box.write("quogo.dic", two_words);
    box.write("story.txt", repeated("cat ", 200) + "\n");
    const auto processor_seconds = [&](const std::vector<std::string>& args) {
        rusage before{};
        rusage after{};
        ::getrusage(RUSAGE_CHILDREN, &before);
        EXPECT_EQ(box.run(args).status, 0);
        ::getrusage(RUSAGE_CHILDREN, &after);
        const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
        return seconds(after.ru_utime) - seconds(before.ru_utime);
    };
    const double quiet = processor_seconds({"story.txt"});
    const double verbose = processor_seconds({"-v", "story.txt"});
    EXPECT_LT(verbose, quiet + 0.2); // 200 busy pauses of 8 million steps each would take a second
}

TEST(Run, AnInputThatCannotBeOpenedAfterTheDictionaryLoaded)
{
    Sandbox box;
    box.write("quogo.dic", two_words);
    const RunResult typed = box.run({}, "-v story.txt \n");
    EXPECT_NE(typed.status, 0);
    EXPECT_EQ(typed.console,
        banner + "\n\n-v -u filename.typ " + "\n" + loaded + "\nCan't open : No such file or directory\n" +
            usage_screen);

    ::mkdir(box.path("folder.txt").c_str(), 0755);
    for (const auto& [name, why] : {std::pair<std::string, std::string>{"missing.txt", "No such file or directory"},
             {"folder.txt", "Is a directory"}}) {
        const RunResult run = box.run({name});
        EXPECT_NE(run.status, 0) << name;
        EXPECT_EQ(run.console, banner + "\n" + loaded + "\nCan't open " + name + ": " + why + "\n" + usage_screen);
    }
}

TEST(Run, AMissingDictionaryEndsTheRunWithoutTheUsageScreen)
{
    Sandbox box;
    box.write("story.txt", "Still cat.\n");
    const RunResult run = box.run({"story.txt"});
    EXPECT_NE(run.status, 0);
    const std::string hint =
        "\nLoading dictionary ... \nCan't open quogo.dic: No such file or directory\nThe dictionary quogo.dic is "
        "looked for in the current folder; ";
    EXPECT_EQ(run.console.find(banner + "\n" + hint), 0u);
    // Run from the build tree: the examples installed here, or those of the
    // source tree it was built from.
    const std::string where = run.console.substr(run.console.rfind(" are in ") + 8);
    EXPECT_TRUE(where.ends_with("/examples\n") &&
        ::access((where.substr(0, where.size() - 1) + "/quogo.dic").c_str(), F_OK) == 0)
        << where;

    box.write("quogo.dic", two_words + " |gone.dic]");
    const RunResult linked = box.run({"story.txt"});
    EXPECT_NE(linked.status, 0);
    const std::string ending = "Loading dictionary ... \nCan't open gone.dic: No such file or directory\n";
    EXPECT_EQ(linked.console.rfind(ending), linked.console.size() - ending.size());
    EXPECT_FALSE(box.exists("story.qgo"));
}

TEST(Run, AChainOfTwoDictionaries)
{
    Sandbox box;
    box.write("story.txt", "Still cat!\n");
    box.write("quogo.dic", "_still_->~ztill_ |more.dic] _cat_->~kat_");
    box.write("more.dic", "_ztill_->~stoll_ _kat_->~kitty_ _!_->~?_");
    const RunResult run = box.run({"story.txt"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.console.find(banner + "\n" + loaded + pass_header("quogo.dic") + loaded + pass_header("more.dic") +
                  follows + "Stoll kitty?\n"),
        0u);
    EXPECT_EQ(box.read("story.qgo"), "Stoll kitty?\n" + footer(5));
    EXPECT_EQ(run.console.find(add_prompt("more.dic", "still->ztill")) != std::string::npos, true);
}

TEST(Run, ChainsThatComeBackEndWithOneLine)
{
    struct Case {
        std::string quogo, other, message;
        int passes;
    };
    const Case cases[] = {
        {"_cat_->~kat_ |quogo.dic]", "", "\n\nThe chain comes back to quogo.dic, so it ends here.\n", 1},
        {"_cat_->~kat_ |./quogo.dic]", "", "\n\nThe chain comes back to ./quogo.dic, so it ends here.\n", 1},
        {"_cat_->~kat_ |b.dic]", "_kat_->~kot_ |quogo.dic]",
            "\n\nThe chain comes back to quogo.dic, so it ends here.\n", 2},
    };
    for (const Case& c : cases) {
        Sandbox box;
        box.write("story.txt", "cat\n");
        box.write("quogo.dic", c.quogo);
        if (!c.other.empty())
            box.write("b.dic", c.other);
        const RunResult run = box.run({"story.txt"});
        EXPECT_EQ(run.status, 0) << c.quogo;
        EXPECT_EQ(count_of(run.console, c.message), 1) << c.quogo;
        EXPECT_EQ(count_of(run.console, "Now using the "), c.passes) << c.quogo;
        EXPECT_EQ(box.read("story.qgo"), (c.passes == 1 ? "kat \n" : "kot \n") + footer(c.passes)) << c.quogo;
    }
}

// Each link of a chain is compared with the dictionaries before it at the
// cost of one look-up: a chain of 1,000 takes a few calls to the system for
// each dictionary, not one for each pair of them.
TEST(Run, AChainOfAThousandDictionariesAsksTheSystemInProportion)
{
    if (std::system("strace -V >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no strace to count the calls";
    Sandbox box;
    box.write("story.txt", "cat\n");
    box.write("quogo.dic", "_cat_->~kat_ |d1.dic]");
    for (int n = 1; n < 1000; ++n)
        box.write("d" + std::to_string(n) + ".dic", "_kat_->~kat_ |d" + std::to_string(n + 1) + ".dic]");
    box.write("d1000.dic", "_kat_->~kot_");
    const RunResult run = box.run({"story.txt"}, "",
        Sandbox::Options::first("ASAN_OPTIONS=detect_leaks=0 strace -f -qq -o .calls -e trace=/stat "));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(box.read("story.qgo").substr(0, 5), "kot \n");
    EXPECT_LT(count_of(box.read(".calls"), "\n"), 50 * 1000) << "calls asking for a file's status";
}

TEST(Run, FortyFiveLinesPauseTwiceOnTheConsoleAndNeverInTheFiles)
{
    Sandbox box;
    std::string story;
    for (int line = 1; line <= 45; ++line)
        story += "cat " + std::to_string(line) + "\n";
    box.write("story.txt", story);
    box.write("quogo.dic", two_words);
    const RunResult run = box.run({"story.txt"});
    EXPECT_EQ(run.status, 0);
    const std::string wait = "\nStrike Any Key ...\n";
    EXPECT_EQ(count_of(run.console, wait), 3);
    EXPECT_NE(run.console.find("kat 20 \n" + wait + "kat 21 \n"), std::string::npos);
    EXPECT_NE(run.console.find("kat 40 \n" + wait + "kat 41 \n"), std::string::npos);
    EXPECT_EQ(count_of(box.read("story.qgo"), "Strike"), 0);
    EXPECT_EQ(count_of(box.read("story.qgo"), "kat "), 45);
}

// The outputs are named after the input; a file of the user's own that
// bears an output's name is kept as NAME~ (an output of the program's own
// is simply replaced).
TEST(Run, OutputNamesFollowTheInputsFileName)
{
    struct Case {
        std::string input, first, second;
        bool untranslating = false;
        std::string there_before{}; // the first output's bytes before the run
        bool kept = false;          // the first output's old bytes are kept as NAME~
        std::string older_copy{};   // a NAME~ there before the run, kept as it is: the copy is NAME.~1~
    };
    const Case cases[] = {
        {"./story.txt", "./story.qgo", "./story.htm"},
        {"dir.v2/story.txt", "dir.v2/story.qgo", "dir.v2/story.htm"},
        {"my.story.txt", "my.qgo", "my.htm"},
        {"story", "story.qgo", "story.htm"},
        {"essay.qgo", "essay.txt", "essay.htm", true, "My essay, said I: my own.\n", true},
        {"index.txt", "index.qgo", "index.htm", false, "A page of my own\n", true},
        {"index.txt", "index.qgo", "index.htm", false, "A page of my own\n", true, "An older page\n"},
        {"story.txt", "story.qgo", "story.htm", false, "kot \n" + footer(7)},
    };
    for (const Case& c : cases) {
        Sandbox box;
        ::mkdir(box.path("dir.v2").c_str(), 0755);
        box.write(c.input, c.untranslating ? "kat\n" : "cat\n");
        box.write("quogo.dic", two_words);
        if (!c.there_before.empty())
            box.write(c.first, c.there_before);
        if (!c.older_copy.empty())
            box.write(c.first + "~", c.older_copy);
        const RunResult run = c.untranslating ? box.run({"-u", c.input}) : box.run({c.input});
        EXPECT_EQ(run.status, 0) << c.input;
        const std::string translated = (c.untranslating ? "cat \n" : "kat \n") + footer(2, c.untranslating);
        EXPECT_EQ(box.read(c.first), translated) << c.input;
        EXPECT_EQ(box.read(c.second), translated) << c.input;
        const std::string copy = c.first + (c.older_copy.empty() ? "~" : ".~1~");
        const std::string keeping = "The earlier " + c.first + " is kept as " + copy + ".\n";
        EXPECT_EQ(run.console.rfind(closing_line(c.first, c.second) + (c.kept ? keeping : "")),
            run.console.size() - closing_line(c.first, c.second).size() - (c.kept ? keeping.size() : 0))
            << c.input;
        EXPECT_EQ(box.exists(copy), c.kept) << c.input;
        if (c.kept) {
            EXPECT_EQ(box.read(copy), c.there_before) << c.input;
            EXPECT_EQ(box.read(c.first + "~"), c.older_copy.empty() ? c.there_before : c.older_copy) << c.input;
        }
    }
}

struct Clash {
    std::string name;
    std::vector<std::string> args;
    std::string input, clash;
};

class AnOutputThatIsTheInput : public testing::TestWithParam<Clash> { };

TEST_P(AnOutputThatIsTheInput, IsRefusedBeforeAnythingIsWritten)
{
    const Clash& c = GetParam();
    Sandbox box;
    box.write("quogo.dic", two_words);
    box.write(c.input, "Ztill kat.\n");
    if (c.args.back() == "alias.txt") {
        ASSERT_EQ(::symlink("story.qgo", box.path("alias.txt").c_str()), 0);
        ASSERT_EQ(::symlink("story.qgo", box.path("alias.qgo").c_str()), 0);
    }
    const RunResult run = box.run(c.args);
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.console, banner + "\nWriting " + c.clash + " would destroy the input file\n" + usage_screen);
    EXPECT_EQ(box.read(c.input), "Ztill kat.\n");
}

INSTANTIATE_TEST_SUITE_P(Each, AnOutputThatIsTheInput,
    testing::Values(Clash{"untranslating a .txt", {"-u", "story.txt"}, "story.txt", "story.txt"},
        Clash{"a .qgo", {"story.qgo"}, "story.qgo", "story.qgo"},
        Clash{"a .htm", {"story.htm"}, "story.htm", "story.htm"},
        Clash{"by another spelling", {"-u", "./story.txt"}, "story.txt", "./story.txt"},
        Clash{"through links", {"alias.txt"}, "story.qgo", "alias.qgo"}),
    row_name<Clash>);

TEST(Run, AFailedWriteIsReportedAndTheRunFails)
{
    Sandbox box;
    box.write("quogo.dic", two_words);
    box.write("story.txt", "cat\n");
    ASSERT_EQ(::symlink("/dev/full", box.path("story.htm").c_str()), 0);
    const RunResult run = box.run({"story.txt"});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(
        run.console.find("\nCan't write story.htm: writing failed: No space left on device\n"), std::string::npos);
    EXPECT_EQ(run.console.find("for output."), std::string::npos);

    ::unlink(box.path("story.htm").c_str());
    ::mkdir(box.path("story.htm").c_str(), 0755);
    const RunResult blocked = box.run({"story.txt"});
    EXPECT_NE(blocked.status, 0);
    // Found before anything is loaded or shown.
    EXPECT_EQ(blocked.console, banner + "\nCan't write story.htm: Is a directory\n" + usage_screen);
}

// With standard output in a file, a failure and a refusal reach standard
// error too, where the person still sees them; with both in one file, once.
TEST(Run, AFailureReachesStandardErrorWhenTheOutputGoesElsewhere)
{
    struct Case {
        std::vector<std::string> args;
        std::string typed, errors; // errors.txt afterwards
    };
    const Case cases[] = {
        {{"nosuch.txt"}, "", "quogtran: Can't open nosuch.txt: No such file or directory\n"},
        {{"story.txt"}, "kmo~use->mowse\n\n", "quogtran: Not added: the English word can't hold ~ or a space\n"},
    };
    for (const Case& c : cases) {
        Sandbox box;
        box.write("quogo.dic", two_words);
        box.write("story.txt", "cat\n");
        Sandbox::Options apart;
        apart.redirects = "<.stdin >.console 2>errors.txt";
        box.run(c.args, c.typed, apart);
        EXPECT_EQ(box.read("errors.txt"), c.errors) << c.args.front();
        EXPECT_EQ(count_of(box.run(c.args, c.typed).console, c.errors.substr(10)), 1) << c.args.front();
    }
}

// Standard output on a full device, or whose first write fails.
TEST(Run, AConsoleThatCannotBeWrittenFailsTheRun)
{
    const bool traceable = std::system("strace -V >/dev/null 2>&1") == 0;
    std::string skipped;
    for (const std::string how : {">/dev/full", // the leak check cannot run under strace
             "ASAN_OPTIONS=detect_leaks=0 strace -qq -o /dev/null -e trace=write -e inject=write:error=EIO:when=1"}) {
        if (how[0] != '>' && !traceable) {
            skipped = "no strace to make a write fail";
            continue;
        }
        Sandbox box;
        box.write("quogo.dic", two_words);
        box.write("story.txt", "cat\n");
        const bool full = how[0] == '>';
        const std::string command = "cd '" + box.dir() + "' && " + (full ? "" : how + " ") + "'" + QUOGTRAN_BINARY +
            "' story.txt </dev/null " + (full ? how : ">/dev/null") + " 2>errors.txt";
        const int raw = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << how;
        EXPECT_EQ(box.read("errors.txt"), "quogtran: can't write to standard output\n") << how;
        EXPECT_EQ(box.read("story.qgo"), "kat \n" + footer(2)) << how;
    }
    if (!skipped.empty())
        GTEST_SKIP() << skipped;
}

// A closed standard descriptor is reopened on /dev/null before any file is
// opened, so that no output file takes its number and receives the console.
TEST(Run, ClosedStandardDescriptorsAreNotReplacedByFiles)
{
    for (const std::string redirects :
        {"<.stdin >&- 2>.console", "<&- >.console 2>&1", "<.stdin >.console 2>&-", "<&- >&- 2>&-"}) {
        Sandbox box;
        box.write("quogo.dic", two_words);
        box.write("story.txt", "cat\n");
        Sandbox::Options options;
        options.redirects = redirects;
        const RunResult run = box.run({"story.txt"}, "", options);
        EXPECT_EQ(run.status, 0) << redirects;
        EXPECT_EQ(box.read("story.qgo"), "kat \n" + footer(2)) << redirects;
        EXPECT_EQ(box.read("story.htm"), "kat \n" + footer(2)) << redirects;
    }
}

TEST(Run, NulAndControlZAreOrdinaryBytes)
{
    Sandbox box;
    box.write("quogo.dic", std::string("_cat_->~k\0t_ _d\x1ag_->~dawg_", 27));
    box.write("story.txt", std::string("cat d\x1ag x\0y\x1az.\n", 15));
    const RunResult run = box.run({"story.txt"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(box.read("story.qgo"), std::string("k\0t dawg x\0y\x1az.\n", 16) + footer(2));
}

TEST(Run, AnyInputSizeIsTranslatedWhole)
{
    Sandbox box;
    std::string dict;
    for (int i = 0; i < 3000; ++i)
        dict += "_w" + std::to_string(i) + "_->~q" + std::to_string(i) + "_\n";
    // Over many chunks of reading: line ends of every kind, and arrows that
    // join two words into one.
    std::string story;
    std::string expected;
    bool joined = false;
    for (int i = 0; i < 100000; ++i) {
        const std::string raw = "w" + std::to_string(i % 3500);
        const bool arrow = i % 13 == 5 && i % 10 != 9;
        story += raw + (i % 10 == 9 ? (i % 30 == 9 ? ".\n" : i % 30 == 19 ? ".\r\n" : ".\r") : arrow ? "->" : " ");
        const bool known = i % 3500 < 3000 && !arrow && !joined;
        expected += (known ? "q" + std::to_string(i % 3500) : raw) + (i % 10 == 9 ? ".\n" : arrow ? "->" : " ");
        joined = arrow;
    }
    box.write("quogo.dic", dict);
    box.write("story.txt", story);
    const RunResult run = box.run({"story.txt"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(box.read("story.qgo") == expected + footer(3000));
}

} // namespace
