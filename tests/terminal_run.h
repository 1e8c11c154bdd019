// The program started on a new pseudo-terminal as its controlling terminal,
// typed at and read from as a user would.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

class TerminalRun {
public:
    struct Options {
        // Runs as a shell runs a job: in a process group of its own, in the
        // foreground, under a parent that prints "[stopped]" when it stops
        // and continues it half a second later.
        bool job_control = false;
        // Standard output goes to this file instead of the terminal, as when
        // it is piped into a pager.
        std::string output_file;
        // Standard input comes from this file (a FIFO, say) instead.
        std::string input_file;
        // Changes the terminal's settings before the program starts.
        std::function<void(termios&)> settings;
        // Standard input is set non-blocking, so that a read with nothing
        // to read fails.
        bool nonblocking_input = false;
        // SIGHUP is ignored, as nohup leaves it.
        bool ignore_hangup = false;
        // Settings of the environment, "NAME=value" each.
        std::vector<std::string> environment;
        // The window's rows, when not 0, and its columns then.
        unsigned short rows = 0;
        unsigned short columns = 80;
    };

    TerminalRun(const std::string& dir, const std::vector<std::string>& args);
    TerminalRun(const std::string& dir, const std::vector<std::string>& args, const Options& options);
    ~TerminalRun();
    TerminalRun(const TerminalRun&) = delete;
    TerminalRun& operator=(const TerminalRun&) = delete;

    // Reads the screen until text has appeared after what was seen before.
    bool wait_for(const std::string& text);

    // For each step, waits for its text, and then until the program is
    // blocked reading, and types its keys, a byte each gap_ms when that is
    // not 0. False when a text did not appear or the program did not read.
    using Steps = std::vector<std::pair<std::string, std::string>>;
    bool play(const Steps& steps, int gap_ms = 0);
    // Reads the screen until the program is blocked in a read: at a wait or
    // a prompt, ready for keys. False when it is not within 60 s.
    bool wait_until_reading();
    void type(const std::string& keys);
    void signal(int number);
    // Gives the window so many rows, as a user resizing it does.
    void resize(unsigned short rows);

    // Waits for the program to end and returns its wait status.
    int finish();

    // Whether the terminal's settings are those it had before the program.
    bool settings_restored() const;
    const std::string& screen() const { return screen_; }

private:
    void read_some(int timeout_ms);

    int master_ = -1;
    int slave_ = -1;
    pid_t pid_ = -1;
    bool finished_ = false;
    termios before_{};
    std::string screen_;
    std::size_t seen_ = 0;
};
