// The program on a real (pseudo-)terminal: single keys, line editing, and
// the terminal's settings put back on every way out.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "sandbox.h"

namespace {

bool same_settings(const termios& a, const termios& b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// The program started on a new pseudo-terminal as its controlling terminal.
class TerminalRun {
public:
    // With job_control the program runs as a shell runs a job: in a process
    // group of its own, in the foreground, under a parent that prints
    // "[stopped]" when it stops and continues it half a second later.
    TerminalRun(const std::string& dir, const std::vector<std::string>& args, bool job_control = false)
    {
        if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        ::tcgetattr(slave_, &before_);
        pid_ = ::fork();
        if (pid_ != 0)
            return;
        ::setsid();
        ::ioctl(slave_, TIOCSCTTY, 0);
        ::dup2(slave_, 0);
        ::dup2(slave_, 1);
        ::dup2(slave_, 2);
        ::close(master_);
        ::close(slave_);
        if (::chdir(dir.c_str()) != 0)
            ::_exit(126);
        if (job_control)
            run_as_job(args);
        exec_program(args);
    }

    ~TerminalRun()
    {
        if (pid_ > 0 && !finished_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(master_);
        ::close(slave_);
    }
    TerminalRun(const TerminalRun&) = delete;
    TerminalRun& operator=(const TerminalRun&) = delete;

    // Reads the screen until text has appeared after what was seen before.
    bool wait_for(const std::string& text)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (screen_.find(text, seen_) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            read_some(100);
        }
        seen_ = screen_.find(text, seen_) + text.size();
        return true;
    }

    void type(const std::string& keys) { ASSERT_EQ(::write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size())); }
    void signal(int number) { ::kill(pid_, number); }

    // Waits for the program to end and returns its wait status.
    int finish()
    {
        int status = 0;
        for (int tries = 0; tries < 1000; ++tries) {
            read_some(10);
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                finished_ = true;
                read_some(10);
                return status;
            }
        }
        return -1;
    }

    bool settings_restored() const
    {
        termios after;
        ::tcgetattr(slave_, &after);
        return same_settings(before_, after);
    }
    const std::string& screen() const { return screen_; }

private:
    [[noreturn]] static void exec_program(const std::vector<std::string>& args)
    {
        std::vector<char*> argv{const_cast<char*>(QUOGTRAN_BINARY)};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(QUOGTRAN_BINARY, argv.data());
        ::_exit(127);
    }

    [[noreturn]] static void run_as_job(const std::vector<std::string>& args)
    {
        ::signal(SIGTTOU, SIG_IGN);
        const pid_t job = ::fork();
        if (job == 0) {
            ::setpgid(0, 0);
            ::tcsetpgrp(0, ::getpid());
            ::signal(SIGTTOU, SIG_DFL);
            exec_program(args);
        }
        ::setpgid(job, job);
        ::tcsetpgrp(0, job);
        int status = 0;
        while (::waitpid(job, &status, WUNTRACED) == job && WIFSTOPPED(status)) {
            const char note[] = "[stopped]\n"; // the terminal adds the CR
            (void)!::write(1, note, sizeof note - 1);
            ::usleep(500000);
            ::tcsetpgrp(0, job);
            ::kill(job, SIGCONT);
        }
        ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    }

    void read_some(int timeout_ms)
    {
        pollfd ready{master_, POLLIN, 0};
        if (::poll(&ready, 1, timeout_ms) <= 0)
            return;
        char chunk[4096];
        const ssize_t got = ::read(master_, chunk, sizeof chunk);
        if (got > 0)
            screen_.append(chunk, static_cast<std::size_t>(got));
    }

    int master_ = -1;
    int slave_ = -1;
    pid_t pid_ = -1;
    bool finished_ = false;
    termios before_{};
    std::string screen_;
    std::size_t seen_ = 0;
};

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
    TerminalRun run(box.dir(), {"story.txt"}, true);
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
