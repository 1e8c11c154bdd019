// The program on a real (pseudo-)terminal: single keys, line editing, and
// the terminal's settings put back on every way out.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "sandbox.h"
#include "terminal_run.h"

namespace {

const std::string dictionary = "_still_->~ztill_ _cat_->~kat_";

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
    run.type("k"); // one key, no Enter, still ends the wait
    ASSERT_TRUE(run.wait_for("Press Enter to exit : ")) << run.screen();
    run.type("\r");
    const int status = run.finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << run.screen();
    EXPECT_TRUE(run.settings_restored());
}

TEST(Terminal, SettingsComeBackOnEveryWayOut)
{
    struct Case {
        std::string name;
        std::vector<std::string> args;
        bool with_dictionary;
        std::string wait_text;
        std::string keys;   // typed once wait_text shows
        int signal_number;  // sent once wait_text shows, when not 0
        int exit_status;    // expected when no signal ends the run
        int ending_signal;  // expected signal, or 0
    };
    const Case cases[] = {
        {"normal run", {"story.txt"}, true, "Strike Any Key ...\r\n", "k\r", 0, 0, 0},
        {"usage screen", {"-x", "story.txt"}, true, "Strike Any Key ...\r\n", "k", 0, 1, 0},
        {"missing dictionary", {"story.txt"}, false, "Can't open quogo.dic", "", 0, 1, 0},
        {"interrupt key", {"story.txt"}, true, "Strike Any Key ...\r\n", "\x03", 0, 0, SIGINT},
        {"SIGINT", {"story.txt"}, true, "Strike Any Key ...\r\n", "", SIGINT, 0, SIGINT},
        {"SIGTERM", {"story.txt"}, true, "Strike Any Key ...\r\n", "", SIGTERM, 0, SIGTERM},
        {"SIGHUP", {"story.txt"}, true, "Strike Any Key ...\r\n", "", SIGHUP, 0, SIGHUP},
        {"quit key", {"story.txt"}, true, "Strike Any Key ...\r\n", "\x1c", 0, 0, SIGQUIT},
    };
    for (const Case& c : cases) {
        Sandbox box;
        if (c.with_dictionary)
            box.write("quogo.dic", dictionary);
        box.write("story.txt", "Still cat.\n");
        TerminalRun run(box.dir(), c.args);
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
    }
}

} // namespace
