// The program on a real (pseudo-)terminal: single keys, line editing, and
// the terminal's settings put back on every way out.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

#include <cstring>
#include <functional>

#include <chrono>
#include <thread>

#include "sandbox.h"
#include "terminal_run.h"

namespace {

const std::string dictionary = "_still_->~ztill_ _cat_->~kat_";
const std::string wait = "Strike Any Key ...\r\n";

TEST(Terminal, OneKeyWithoutEnterEndsAKeyWaitAndIsNotEchoed)
{
    Sandbox box;
    box.write("quogo.dic", dictionary);
    box.write("story.txt", "Still cat.\n");
    TerminalRun run(box.dir(), {"story.txt"});
    ASSERT_TRUE(run.wait_for("Strike Any Key ...\r\n"));
    run.type("q");
    ASSERT_TRUE(run.wait_for("Press Enter to exit : ")) << run.screen();
    EXPECT_NE(run.screen().find("Strike Any Key ...\r\nZtill kat.\r\n"), std::string::npos) << run.screen();
    run.type("\r");
    const int status = run.finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << run.screen();
    EXPECT_TRUE(run.settings_restored());
    EXPECT_EQ(box.read("story.qgo").substr(0, 11), "Ztill kat.\n");
}

TEST(Terminal, ATypedLineIsEchoedAndEditedByBackspace)
{
    Sandbox box;
    box.write("quogo.dic", dictionary);
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

TEST(Terminal, SuspendedItLeavesTheTerminalAsItFoundItAndResumesInCharacterMode)
{
    Sandbox box;
    box.write("quogo.dic", dictionary);
    box.write("story.txt", "Still cat.\n");
    TerminalRun::Options as_job;
    as_job.job_control = true;
    TerminalRun run(box.dir(), {"story.txt"}, as_job);
    ASSERT_TRUE(run.wait_for("Strike Any Key ...\r\n"));
    run.type("\x1a"); // Ctrl-Z
    ASSERT_TRUE(run.wait_for("[stopped]\r\n")) << run.screen();
    EXPECT_TRUE(run.settings_restored());
    std::this_thread::sleep_for(std::chrono::milliseconds(700)); // continued by now
    run.type("k");                                               // one key, no Enter, still ends the wait
    ASSERT_TRUE(run.wait_for("Press Enter to exit : ")) << run.screen();
    run.type("\r");
    const int status = run.finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << run.screen();
    EXPECT_TRUE(run.settings_restored());
}

// Each key press ends one wait whole, and typed lines are edited by the
// terminal's own keys: what is stored is what the user saw.
TEST(Terminal, KeysAndLinesAreTakenAsTyped)
{
    using Steps = TerminalRun::Steps;
    const std::string prompt = "Press Enter to exit : ";
    // A key at the first wait, a line at the add-words prompt, Enter, and
    // keys for the waits that follow added words.
    const auto adding = [&](const std::string& key, const std::string& line, const std::string& shown_wait = wait) {
        return Steps{{shown_wait, key}, {prompt, line + "\r"}, {prompt, "\r"}, {shown_wait, "k"}, {shown_wait, "k"}};
    };
    const auto without_icrnl = [](termios& t) { t.c_iflag &= ~static_cast<tcflag_t>(ICRNL); };
    const auto raw = [](termios& t) { ::cfmakeraw(&t); };
    const auto utf8 = [](termios& t) { t.c_iflag |= IUTF8; };
    const std::string mouse = dictionary + "x+=\" _mouse_->~mowse_\";";
    struct Case {
        std::string name;
        std::vector<std::string> args;
        std::function<void(termios&)> settings;
        Steps steps;
        int exit_status;
        std::string stored; // quogo.dic afterwards
    };
    const Case cases[] = {
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
        {"control character at a prompt", {"story.txt"}, nullptr,
            {{wait, "k"}, {prompt, "mo\tuse->mowse\r"}, {"Not added: a line can't hold control characters", ""},
                {prompt, "\r"}},
            0, dictionary},
        {"Ctrl-D at the file-name prompt", {}, nullptr, {{"-v -u filename.typ ", "\x04"}, {wait, "k"}}, 1, dictionary},
        {"the terminal as the input file", {"typed.txt"}, nullptr,
            {{"Dictionary loaded!", "Still cat\r\x04"}, {wait, "k"}, {"Ztill kat", ""}, {prompt, "\r"}}, 0, dictionary},
    };
    for (const Case& c : cases) {
        Sandbox box;
        box.write("quogo.dic", dictionary);
        box.write("story.txt", "Still cat.\n");
        ::symlink("/dev/tty", box.path("typed.txt").c_str());
        TerminalRun::Options options;
        options.settings = c.settings;
        TerminalRun run(box.dir(), c.args, options);
        ASSERT_TRUE(run.play(c.steps)) << c.name << ": " << run.screen();
        const int status = run.finish();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.exit_status) << c.name << ": " << run.screen();
        EXPECT_EQ(box.read("quogo.dic"), c.stored) << c.name;
        EXPECT_TRUE(run.settings_restored()) << c.name;
    }
}

// With its output going to another program (a pager) the run leaves the
// terminal's settings alone, even while it waits; a wait takes a line.
TEST(Terminal, OutputElsewhereLeavesTheSettingsAlone)
{
    Sandbox box;
    box.write("quogo.dic", dictionary);
    box.write("story.txt", "Still cat.\n");
    TerminalRun::Options options;
    options.output_file = box.path("paged.txt");
    TerminalRun run(box.dir(), {"story.txt"}, options);
    for (int tries = 0; tries < 500 && box.read("paged.txt").find("Strike Any Key") == std::string::npos; ++tries)
        ::usleep(10000);
    ::usleep(100000); // the wait has begun
    EXPECT_TRUE(run.settings_restored());
    run.type("k\r\r");
    const int status = run.finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(box.read("paged.txt").find("Ztill kat."), std::string::npos);
    EXPECT_TRUE(run.settings_restored());
}

TEST(Terminal, SettingsComeBackOnEveryWayOut)
{
    struct Case {
        std::string name;
        std::vector<std::string> args;
        bool with_dictionary;
        std::string wait_text;
        std::string keys;  // typed once wait_text shows
        int signal_number; // sent once wait_text shows, when not 0
        int exit_status;   // expected when no signal ends the run
        int ending_signal; // expected signal, or 0
    };
    std::vector<Case> cases = {
        {"normal run", {"story.txt"}, true, "Strike Any Key ...\r\n", "k\r", 0, 0, 0},
        {"usage screen", {"-x", "story.txt"}, true, "Strike Any Key ...\r\n", "k", 0, 1, 0},
        {"missing dictionary", {"story.txt"}, false, "Can't open quogo.dic", "", 0, 1, 0},
        {"interrupt key", {"story.txt"}, true, "Strike Any Key ...\r\n", "\x03", 0, 0, SIGINT},
        {"SIGINT", {"story.txt"}, true, "Strike Any Key ...\r\n", "", SIGINT, 0, SIGINT},
        {"SIGTERM", {"story.txt"}, true, "Strike Any Key ...\r\n", "", SIGTERM, 0, SIGTERM},
        {"SIGHUP", {"story.txt"}, true, "Strike Any Key ...\r\n", "", SIGHUP, 0, SIGHUP},
        {"quit key", {"story.txt"}, true, "Strike Any Key ...\r\n", "\x1c", 0, 0, SIGQUIT},
        {"message file that cannot be written", {"story.txt"}, true, "Press Enter to exit : ", "dog->dawg\r\rk", 0, 1,
            0},
    };
    for (const int number : {SIGQUIT, SIGPIPE, SIGABRT, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGVTALRM, SIGPROF, SIGSEGV,
             SIGBUS, SIGFPE, SIGILL})
        cases.push_back({strsignal(number), {"story.txt"}, true, "Strike Any Key ...\r\n", "", number, 0, number});
    for (const Case& c : cases) {
        Sandbox box;
        if (c.with_dictionary)
            box.write("quogo.dic", dictionary);
        box.write("story.txt", "Still cat.\n");
        ::mkdir(box.path("quogo.msg").c_str(), 0755);
        TerminalRun run(box.dir(), c.args);
        if (c.wait_text == "Press Enter to exit : ") {
            ASSERT_TRUE(run.wait_for("Strike Any Key ...\r\n")) << c.name;
            run.type("k");
        }
        ASSERT_TRUE(run.wait_for(c.wait_text)) << c.name << run.screen();
        if (!c.keys.empty())
            run.type(c.keys);
        if (c.signal_number != 0)
            run.signal(c.signal_number);
        const int status = run.finish();
        if (c.ending_signal != 0) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.ending_signal) << c.name;
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.exit_status) << c.name;
        }
        EXPECT_TRUE(run.settings_restored()) << c.name;
        // No colour or bold is left on: the last escape is the reset.
        EXPECT_EQ(run.screen().rfind("\x1b["), run.screen().rfind("\x1b[0m")) << c.name;
    }
}

} // namespace
