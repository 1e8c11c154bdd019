#include "terminal_run.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace {

[[noreturn]] void exec_program(const std::vector<std::string>& args)
{
    std::vector<char*> argv{const_cast<char*>(QUOGTRAN_BINARY)};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(QUOGTRAN_BINARY, argv.data());
    ::_exit(127);
}

[[noreturn]] void run_as_job(const std::vector<std::string>& args)
{
    ::signal(SIGTTOU, SIG_IGN);
    const pid_t job = ::fork();
    if (job == 0) {
        ::setpgid(0, 0);
        ::tcsetpgrp(2, ::getpid());
        ::signal(SIGTTOU, SIG_DFL);
        exec_program(args);
    }
    ::setpgid(job, job);
    ::tcsetpgrp(2, job);
    int status = 0;
    while (::waitpid(job, &status, WUNTRACED) == job && WIFSTOPPED(status)) {
        const char note[] = "[stopped]\n"; // the terminal adds the CR
        (void)!::write(1, note, sizeof note - 1);
        ::usleep(500000);
        ::tcsetpgrp(2, job);
        ::kill(job, SIGCONT);
    }
    ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

bool same_settings(const termios& a, const termios& b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
        std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

} // namespace

TerminalRun::TerminalRun(const std::string& dir, const std::vector<std::string>& args)
    : TerminalRun(dir, args, Options{})
{ }

TerminalRun::TerminalRun(const std::string& dir, const std::vector<std::string>& args, const Options& options)
{
    if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    if (options.settings) {
        termios wanted;
        ::tcgetattr(slave_, &wanted);
        options.settings(wanted);
        ::tcsetattr(slave_, TCSANOW, &wanted);
    }
    if (options.rows != 0) {
        const winsize size{options.rows, options.columns, 0, 0};
        ::ioctl(slave_, TIOCSWINSZ, &size);
    }
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
    if (!options.input_file.empty()) {
        const int in = ::open(options.input_file.c_str(), O_RDONLY);
        ::dup2(in, 0);
        ::close(in);
    }
    if (options.nonblocking_input)
        ::fcntl(0, F_SETFL, ::fcntl(0, F_GETFL) | O_NONBLOCK);
    ::signal(SIGPIPE, SIG_DFL); // whatever the test itself does with it
    if (options.ignore_hangup)
        ::signal(SIGHUP, SIG_IGN);
    ::unsetenv("NO_COLOR");
    ::setenv("TERM", "xterm", 1);
    for (const std::string& setting : options.environment)
        ::putenv(const_cast<char*>(setting.c_str()));
    if (!options.output_file.empty()) {
        const int out = ::open(options.output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::close(out);
    }
    if (options.job_control)
        run_as_job(args);
    exec_program(args);
}

TerminalRun::~TerminalRun()
{
    if (pid_ > 0 && !finished_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ::close(master_);
    ::close(slave_);
}

bool TerminalRun::wait_for(const std::string& text)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (screen_.find(text, seen_) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        read_some(100);
    }
    seen_ = screen_.find(text, seen_) + text.size();
    return true;
}

// Whether the program (under job control, the job the parent started) is
// blocked in a read, as it is at a wait or a prompt: keys typed before then
// would race it.
bool TerminalRun::wait_until_reading()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        pid_t program = pid_;
        std::ifstream(std::string("/proc/") + std::to_string(pid_) + "/task/" + std::to_string(pid_) + "/children") >>
            program;
        // Asleep in read(2): a process stopped by Ctrl-Z still shows the
        // read it will restart once continued, so its state must say so too.
        const std::string process = "/proc/" + std::to_string(program);
        long call = -1;
        std::ifstream(process + "/syscall") >> call;
        std::string stat;
        std::getline(std::ifstream(process + "/stat"), stat);
        const std::size_t name_end = stat.rfind(')');
        if (call == SYS_read && name_end != std::string::npos && stat.substr(name_end).starts_with(") S"))
            return true;
        read_some(5);
    }
    return false;
}

bool TerminalRun::play(const Steps& steps, int gap_ms)
{
    for (const auto& [text, keys] : steps) {
        if ((!text.empty() && !wait_for(text)) || (!keys.empty() && !wait_until_reading()))
            return false;
        for (std::size_t at = 0; gap_ms > 0 && at < keys.size(); ++at) {
            type(keys.substr(at, 1));
            std::this_thread::sleep_for(std::chrono::milliseconds(gap_ms));
        }
        if (gap_ms == 0)
            type(keys);
    }
    return true;
}

void TerminalRun::type(const std::string& keys)
{
    if (::write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size()))
        throw std::runtime_error("cannot type on the terminal");
}

void TerminalRun::signal(int number)
{
    ::kill(pid_, number);
}

void TerminalRun::resize(unsigned short rows)
{
    const winsize size{rows, 80, 0, 0};
    ::ioctl(master_, TIOCSWINSZ, &size);
}

int TerminalRun::finish()
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

bool TerminalRun::settings_restored() const
{
    termios after;
    ::tcgetattr(slave_, &after);
    return same_settings(before_, after);
}

void TerminalRun::read_some(int timeout_ms)
{
    pollfd ready{master_, POLLIN, 0};
    if (::poll(&ready, 1, timeout_ms) <= 0)
        return;
    char chunk[4096];
    const ssize_t got = ::read(master_, chunk, sizeof chunk);
    if (got > 0)
        screen_.append(chunk, static_cast<std::size_t>(got));
}
