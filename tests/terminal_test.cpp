// The program on a real (pseudo-)terminal: single keys, line editing, and
// the terminal's settings put back on every way out.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include "rows.h"
#include "sandbox.h"
#include "terminal_run.h"

namespace {

// One key ends a wait, unechoed; a page holds 20 lines, or in a smaller
// window two fewer than it has rows, so that the page and its prompt fit;
// q skips the rest of the display, and the files are written whole.
struct Paged {
    std::string name;
    unsigned short rows;     // the window's, 0 for the terminal's own
    unsigned short shrunk;   // the rows it has after the first page, when not 0
    std::vector<int> breaks; // the line each page ends with
    std::string last_key = "#";
    std::string first_key = "#"; // at "Your (un)translation follows"
    unsigned short columns = 80;
    std::size_t padding = 0; // bytes before each line's words
};

std::vector<Paged> paged_rows()
{
    return {{"the terminal's own size", 0, 0, {20}}, {"a window of 12 rows", 12, 0, {10, 20}},
        {"a window shrunk after the first page", 30, 8, {20, 26}}, {"q at a page", 12, 0, {10}, "q"},
        {"q before the first page", 0, 0, {}, "#", "q"},
        {"lines of 50 columns in a window of 30, two rows each", 10, 0, {4, 8}, "q", "#", 30, 44}};
}

class OneKey : public testing::TestWithParam<Paged> { };

TEST_P(OneKey, EndsAKeyWaitAndAPageFitsTheWindow)
{
    const Paged& c = GetParam();
    Sandbox box;
    box.write("quogo.dic", two_words);
    std::string story;
    for (int line = 1; line <= 27; ++line)
        story += std::string(c.padding, 'x') + (c.padding == 0 ? "" : " ") + "cat " + std::to_string(line) + "\n";
    box.write("story.txt", story);
    TerminalRun::Options options;
    options.rows = c.rows;
    options.columns = c.columns;
    TerminalRun run(box.dir(), {"story.txt"}, options);
    ASSERT_TRUE(run.play({{"Strike Any Key ...\r\n", c.first_key}}));
    for (const int line : c.breaks) {
        ASSERT_TRUE(run.wait_for("kat " + std::to_string(line) + " \r\n\r\nStrike Any Key ...\r\n")) << run.screen();
        if (c.shrunk != 0)
            run.resize(c.shrunk);
        ASSERT_TRUE(run.play({{"", line == c.breaks.back() ? c.last_key : "#"}}));
    }
    EXPECT_EQ(run.screen().find("#"), std::string::npos);
    ASSERT_TRUE(run.wait_for("Press Enter to exit : ")) << run.screen();
    EXPECT_EQ(run.screen().find("kat 27") == std::string::npos, c.last_key == "q" || c.first_key == "q");
    run.type("\r");
    const int status = run.finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << run.screen();
    EXPECT_TRUE(run.settings_restored());
    EXPECT_NE(box.read("story.qgo").find("kat 1 \n"), std::string::npos);
    EXPECT_NE(box.read("story.qgo").find("kat 27 \n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Each, OneKey, testing::ValuesIn(paged_rows()), row_name<Paged>);

TEST(Terminal, ATypedLineIsEchoedAndEditedByBackspace)
{
    Sandbox box;
    box.write("quogo.dic", two_words);
    box.write("story.txt", "Still cat.\n");
    TerminalRun run(box.dir(), {});
    ASSERT_TRUE(run.wait_for("-v -u filename.typ "));
    run.type("-v storx\x7fy.tx");
    run.type("\x7f");
    run.type("xt\r");
    ASSERT_TRUE(run.wait_for("Strike Any Key ...\r\n")) << run.screen();
    EXPECT_NE(run.screen().find("-v storx\b \by.tx\b \bxt\r\n"), std::string::npos) << run.screen();
    EXPECT_NE(run.screen().find("Still -> Ztill"), std::string::npos) << run.screen();
    run.type("k");
    ASSERT_TRUE(run.wait_for("Press Enter to exit : "));
    run.type("\r");
    run.finish();
    EXPECT_TRUE(run.settings_restored());
    EXPECT_TRUE(box.exists("story.qgo"));
}

// Ctrl-Z at a wait, then fg: the terminal is the user's while the job is
// stopped, and the run goes on afterwards, whether it reads its keys from
// the terminal or from a FIFO.
TEST(Terminal, SuspendedItLeavesTheTerminalAsItFoundItAndGoesOn)
{
    ::signal(SIGPIPE, SIG_IGN); // a run that ended early has closed the FIFO
    for (const bool from_fifo : {false, true}) {
        Sandbox box;
        box.write("quogo.dic", two_words);
        box.write("story.txt", "Still cat.\n");
        TerminalRun::Options as_job;
        as_job.job_control = true;
        if (from_fifo) {
            ::mkfifo(box.path("keys").c_str(), 0600);
            as_job.input_file = box.path("keys");
        }
        TerminalRun run(box.dir(), {"story.txt"}, as_job);
        const int keys = from_fifo ? ::open(box.path("keys").c_str(), O_WRONLY) : -1;
        ASSERT_TRUE(run.wait_for("Strike Any Key ...")) << from_fifo;
        run.type("\x1a"); // Ctrl-Z
        ASSERT_TRUE(run.wait_for("[stopped]\r\n")) << run.screen();
        EXPECT_TRUE(run.settings_restored());
        ASSERT_TRUE(run.wait_until_reading()) << run.screen(); // continued by now
        if (from_fifo) {
            EXPECT_EQ(::write(keys, "k\n", 2), 2);
        } else {
            run.type("k"); // one key, no Enter, still ends the wait
            ASSERT_TRUE(run.wait_for("Press Enter to exit : ")) << run.screen();
            run.type("\r");
        }
        const int status = run.finish();
        ::close(keys);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << from_fifo << run.screen();
        EXPECT_TRUE(run.settings_restored());
        EXPECT_TRUE(box.exists("story.qgo")) << from_fifo;
    }
}

// Ctrl-Z while the run works, at no wait (the report of the second pass,
// after words were added), then fg: no answered wait is shown again.
TEST(Terminal, SuspendedAtNoWaitItShowsNoWaitAgain)
{
    Sandbox box;
    box.write("quogo.dic", two_words);
    box.write("story.txt", repeated("cat ", 300) + "\n"); // a report of 1.5 s
    TerminalRun::Options as_job;
    as_job.job_control = true;
    TerminalRun run(box.dir(), {"-v", "story.txt"}, as_job);
    ASSERT_TRUE(run.play({{wait_shown, "k"}, {prompt_shown, "mouse->mowse\r"}, {prompt_shown, "\r"}, {wait_shown, "k"},
        {"cat -> kat", ""}}))
        << run.screen();
    run.type("\x1a");
    ASSERT_TRUE(run.wait_for("[stopped]\r\n")) << run.screen();
    ASSERT_TRUE(run.play({{wait_shown, "k"}})) << run.screen();
    const std::string after = run.screen().substr(run.screen().rfind("[stopped]"));
    EXPECT_LT(after.find("Your (un)translation follows"), after.find("Strike Any Key")) << after;
    EXPECT_EQ(run.finish(), 0) << run.screen();
}

// Each key press ends one wait whole, and typed lines are edited by the
// terminal's own keys: what is stored is what the user saw.
struct Typed {
    std::string name;
    std::vector<std::string> args;
    std::function<void(termios&)> settings;
    TerminalRun::Steps steps;
    int exit_status;
    std::string stored; // quogo.dic afterwards
    bool job_control = false;
    int gap_ms = 0;                         // between the bytes typed
    std::vector<std::string> environment{}; // "NAME=value" each
};

std::vector<Typed> typed_rows()
{
    using Steps = TerminalRun::Steps;
    // A key at the first wait, a line at the add-words prompt, Enter, and
    // keys for the waits that follow added words.
    const auto adding = [&](const std::string& key, const std::string& line, const std::string& shown_wait = wait_shown,
                            const std::string& enter = "\r") {
        return Steps{{shown_wait, key}, {prompt_shown, line + enter}, {prompt_shown, enter}, {shown_wait, "k"},
            {shown_wait, "k"}};
    };
    const auto without_icrnl = [](termios& t) { t.c_iflag &= ~static_cast<tcflag_t>(ICRNL); };
    const auto raw = [](termios& t) { ::cfmakeraw(&t); };
    const auto raw_without_minimum = [](termios& t) {
        ::cfmakeraw(&t);
        t.c_cc[VMIN] = 0;
    };
    const auto utf8 = [](termios& t) { t.c_iflag |= IUTF8; };
    const auto keys_without_minimum = [](termios& t) {
        t.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        t.c_cc[VMIN] = 0;
    };
    const std::string mouse = two_words + "\nx+=\" _mouse_->~mowse_\";\n";
    return {
        {"arrow key at a wait", {"story.txt"}, nullptr, adding("\x1b[B", "mouse->mowse"), 0, mouse},
        {"function key at a wait", {"story.txt"}, nullptr, adding("\x1b[15~", "mouse->mowse"), 0, mouse},
        {"keypad key at a wait", {"story.txt"}, nullptr, adding("\x1bOP", "mouse->mowse"), 0, mouse},
        {"UTF-8 key at a wait", {"story.txt"}, nullptr, adding("\xc3\xa9", "mouse->mowse"), 0, mouse},
        {"Ctrl-U at a prompt", {"story.txt"}, nullptr, adding("k", "mosue\x15mouse->mowse"), 0, mouse},
        {"Ctrl-W at a prompt", {"story.txt"}, nullptr, adding("k", "bad word\x17\x17mouse->mowse"), 0, mouse},
        {"UTF-8 erase at a prompt", {"story.txt"}, utf8,
            adding("k",
                "mous\xc3\xa9\x7f"
                "e->mowse"),
            0, mouse},
        {"Enter that sends CR", {"story.txt"}, without_icrnl, adding("k", "mouse->mowse"), 0, mouse},
        {"raw terminal", {"story.txt"}, raw, adding("k", "mouse->mowse", "Strike Any Key ...\n"), 0, mouse},
        {"raw terminal that returns at once", {"story.txt"}, raw_without_minimum,
            adding("k", "mouse->mowse", "Strike Any Key ...\n"), 0, mouse},
        {"CR ignored", {"story.txt"}, [](termios& t) { t.c_iflag |= IGNCR; }, adding("k", "mouse->mowse"), 0, mouse},
        {"Enter that sends LF, mapped to CR", {"story.txt"}, [](termios& t) { t.c_iflag |= INLCR; },
            adding("k", "mouse->mowse", wait_shown, "\n"), 0, mouse},
        {"Ctrl-Z at a prompt, then fg, where Enter sends CR", {"story.txt"}, without_icrnl,
            {{wait_shown, "k"}, {prompt_shown, "\x1a"}, {"[stopped]", ""}, {"", "mouse->mowse\r"}, {"mowse\x1b[0m", ""},
                {prompt_shown, "\r"}, {wait_shown, "k"}, {wait_shown, "k"}},
            0, mouse, true},
        {"Ctrl-Z at a wait, then fg: the wait shown again", {"story.txt"}, nullptr,
            {{wait_shown, "\x1a"}, {"[stopped]", ""}, {wait_shown, "k"}, {prompt_shown, "mouse->mowse\r"},
                {prompt_shown, "\r"}, {wait_shown, "k"}, {wait_shown, "k"}},
            0, mouse, true},
        {"arrow key whose bytes come 50 ms apart", {"story.txt"}, nullptr, adding("\x1b[B", "mouse->mowse"), 0, mouse,
            false, 50},
        {"UTF-8 key of three bytes", {"story.txt"}, nullptr, adding("\xe0\xa4\x85", "mouse->mowse"), 0, mouse},
        {"two keys at once", {"story.txt"}, nullptr, adding("kx", "mouse->mowse"), 0, mouse},
        {"a paste of 300 bytes at a wait", {"story.txt"}, nullptr, adding(std::string(300, 'x'), "mouse->mowse"), 0,
            mouse},
        {"key mode but for its minimum", {"story.txt"}, keys_without_minimum, adding("k", "mouse->mowse"), 0, mouse},
        {"UTF-8 erase where the terminal was not told of UTF-8", {"story.txt"},
            [](termios& t) { t.c_iflag &= ~static_cast<tcflag_t>(IUTF8); },
            adding("k",
                "mous\xc3\xa9\x7f"
                "e->mowse"),
            0, mouse, false, 0, {"LC_ALL=C.UTF-8"}},
        {"control character at a prompt", {"story.txt"}, nullptr,
            {{wait_shown, "k"}, {prompt_shown, "mo\tuse->mowse\r"},
                {"Not added: a line can't hold control characters", ""}, {prompt_shown, "\r"}},
            0, two_words},
        {"Ctrl-D at the file-name prompt", {}, nullptr, {{"-v -u filename.typ ", "\x04"}, {wait_shown, "k"}}, 1,
            two_words},
        {"the terminal as the input file", {"typed.txt"}, nullptr,
            {{"Dictionary loaded!", "Still cat\r\x04"}, {wait_shown, "k"}, {"Ztill kat", ""}, {prompt_shown, "\r"}}, 0,
            two_words},
    };
}

class KeysAndLines : public testing::TestWithParam<Typed> { };

TEST_P(KeysAndLines, AreTakenAsTyped)
{
    const Typed& c = GetParam();
    Sandbox box;
    box.write("quogo.dic", two_words);
    box.write("story.txt", "Still cat.\n");
    ::symlink("/dev/tty", box.path("typed.txt").c_str());
    TerminalRun::Options options;
    options.settings = c.settings;
    options.job_control = c.job_control;
    options.environment = c.environment;
    TerminalRun run(box.dir(), c.args, options);
    ASSERT_TRUE(run.play(c.steps, c.gap_ms)) << c.name << ": " << run.screen();
    const int status = run.finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.exit_status) << c.name << ": " << run.screen();
    EXPECT_EQ(box.read("quogo.dic"), c.stored) << c.name;
    EXPECT_TRUE(run.settings_restored()) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Each, KeysAndLines, testing::ValuesIn(typed_rows()), row_name<Typed>);

// With its output going to another program (a pager, which owns the
// terminal then) the run leaves the terminal's settings alone, even while
// it waits, and a wait takes a line. With its output going to a file, the
// prompts show on the terminal too and the waits take keys as on screen.
TEST(Terminal, OutputElsewhere)
{
    for (const bool to_pipe : {true, false}) {
        Sandbox box;
        box.write("quogo.dic", two_words);
        box.write("story.txt", "Still cat.\n");
        TerminalRun::Options options;
        options.output_file = box.path("shown");
        int paged = -1;
        if (to_pipe) {
            ::mkfifo(options.output_file.c_str(), 0600);
            paged = ::open(options.output_file.c_str(), O_RDONLY | O_NONBLOCK);
        }
        TerminalRun run(box.dir(), {"story.txt"}, options);
        std::string output;
        if (to_pipe) {
            for (int tries = 0; tries < 3000 && output.find("Strike Any Key") == std::string::npos; ++tries) {
                char chunk[4096];
                const ssize_t got = ::read(paged, chunk, sizeof chunk);
                output.append(chunk, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
                ::usleep(10000);
            }
            ASSERT_TRUE(run.wait_until_reading()); // the wait has begun
            EXPECT_TRUE(run.settings_restored());
            run.type("k\r\r");
        } else {
            ASSERT_TRUE(run.play({{wait_shown, "k"}, {prompt_shown, "mouse->mowse\r"}, {prompt_shown, "\r"},
                {wait_shown, "k"}, {wait_shown, "k"}}))
                << run.screen();
        }
        const int status = run.finish();
        for (char chunk[4096]; to_pipe && ::read(paged, chunk, sizeof chunk) > 0;)
            output += chunk;
        ::close(paged);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << to_pipe << run.screen();
        EXPECT_NE((to_pipe ? output : box.read("shown")).find("Ztill kat."), std::string::npos) << to_pipe;
        EXPECT_TRUE(run.settings_restored());
        if (!to_pipe) {
            EXPECT_EQ(box.read("quogo.dic"), two_words + "\nx+=\" _mouse_->~mowse_\";\n");
            EXPECT_EQ(run.screen().find("Ztill kat."), std::string::npos); // the text itself is not mirrored
        }
    }
}

struct WayOut {
    std::string name;
    std::vector<std::string> args;
    bool with_dictionary;
    TerminalRun::Steps steps;
    int signal_number;  // sent after the steps, when not 0
    int exit_status;    // expected when no signal ends the run
    int ending_signal;  // expected signal, or 0
    std::string then{}; // typed after the signal
    TerminalRun::Options options{};
    std::string message_file{}; // what quogo.msg is: "fifo" (no one reads it), "folder", or nothing
};

std::vector<WayOut> ways_out()
{
    TerminalRun::Options nonblocking;
    nonblocking.nonblocking_input = true;
    TerminalRun::Options nohup;
    nohup.ignore_hangup = true;
    std::vector<WayOut> cases = {
        {"normal run", {"story.txt"}, true, {{wait_shown, "k"}, {prompt_shown, "\r"}}, 0, 0, 0},
        {"usage screen", {"-x", "story.txt"}, true, {{wait_shown, "k"}}, 0, 1, 0},
        {"missing dictionary", {"story.txt"}, false, {{"Can't open quogo.dic", ""}}, 0, 1, 0},
        {"interrupt key", {"story.txt"}, true, {{wait_shown, "\x03"}}, 0, 0, SIGINT},
        {"quit key", {"story.txt"}, true, {{wait_shown, "\x1c"}}, 0, 0, SIGQUIT},
        {"message file that cannot be written", {"story.txt"}, true,
            {{"Can't write quogo.msg: Is a directory", ""}, {wait_shown, "k"}}, 0, 1, 0, "", {}, "folder"},
        {"a read that fails", {"story.txt"}, true, {{wait_shown, ""}}, 0, 1, 0, "", nonblocking},
        {"SIGHUP ignored, as under nohup", {"story.txt"}, true, {{wait_shown, ""}}, SIGHUP, 0, 0, "k", nohup},
        {"SIGINT while the message file is written", {"story.txt"}, true,
            {{wait_shown, "k"}, {prompt_shown, "dog->dawg\r\r"}, {"the following message:", ""}}, SIGINT, 0, SIGINT, "",
            {}, "fifo"},
    };
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGABRT, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU,
             SIGVTALRM, SIGPROF, SIGSEGV, SIGBUS, SIGFPE, SIGILL})
        cases.push_back({strsignal(number), {"story.txt"}, true, {{wait_shown, ""}}, number, 0, number});
    return cases;
}

class Settings : public testing::TestWithParam<WayOut> { };

TEST_P(Settings, ComeBackOnEveryWayOut)
{
    const WayOut& c = GetParam();
    Sandbox box;
    if (c.with_dictionary)
        box.write("quogo.dic", two_words);
    box.write("story.txt", "Still cat.\n");
    if (c.message_file == "fifo")
        ::mkfifo(box.path("quogo.msg").c_str(), 0644);
    if (c.message_file == "folder")
        ::mkdir(box.path("quogo.msg").c_str(), 0755);
    TerminalRun run(box.dir(), c.args, c.options);
    ASSERT_TRUE(run.play(c.steps)) << c.name << run.screen();
    if (c.signal_number != 0)
        run.signal(c.signal_number);
    run.type(c.then);
    if (!c.then.empty()) {
        EXPECT_TRUE(run.play({{"Press Enter to exit : ", "\r"}})) << c.name;
    }
    const int status = run.finish();
    if (c.ending_signal != 0) {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.ending_signal) << c.name;
    } else {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.exit_status) << c.name << run.screen();
    }
    EXPECT_TRUE(run.settings_restored()) << c.name;
    // No colour or bold is left on: the last escape is the reset.
    EXPECT_EQ(run.screen().rfind("\x1b["), run.screen().rfind("\x1b[0m")) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Each, Settings, testing::ValuesIn(ways_out()), row_name<WayOut>);

} // namespace
