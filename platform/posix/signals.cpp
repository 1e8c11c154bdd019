// The process on POSIX: standard descriptors kept, and every signal that
// ends or stops it leaves the terminal, the colour and the files as they were.
//
// Divisions, in order:
//   1. The signals that end the process, and the handler that tidies up first.
//   2. Ctrl-Z: the terminal given back while stopped, borrowed again after.
//   3. guard_process: the handlers set, unless the caller ignored a signal.
#include "platform/signals.h"

#include <csignal>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "control/console.h"
#include "platform/files.h"
#include "platform/terminal.h"

namespace {

// Every catchable signal whose default action ends the process.
constexpr int fatal_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGABRT, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU,
    SIGVTALRM, SIGPROF, SIGSEGV, SIGBUS, SIGFPE, SIGILL};

void set_action(int signal_number, void (*handler)(int))
{
    struct sigaction action { };
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal_number, &action, nullptr);
}

// Tidies up, then dies of the same signal, so the parent learns the truth.
// Only async-signal-safe calls.
extern "C" void tidy_up_and_die(int signal_number)
{
    give_terminal_back_now();
    reset_colour_now();
    remove_temporary_file_now();
    set_action(signal_number, SIG_DFL);
    // Still blocked while the handler runs: delivered, by default, on return
    // (a fault of the program's own happens again and is delivered then).
    raise(signal_number);
}

// Ctrl-Z: the shell gets the terminal as the user left it while the program
// is stopped; a wait in progress borrows it again once continued.
extern "C" void stop_politely(int signal_number)
{
    const bool was_borrowed = give_terminal_back_now();
    set_action(signal_number, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, signal_number);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    raise(signal_number); // stops here until SIGCONT
    set_action(signal_number, stop_politely);
    if (was_borrowed)
        borrow_terminal_again_now();
    show_prompt_again_now(); // so that the user sees where the run stands
}

// A signal the caller had ignored (nohup, a background job) stays ignored.
void handle_unless_ignored(int signal_number, void (*handler)(int))
{
    struct sigaction current { };
    if (sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
        return;
    set_action(signal_number, handler);
}

} // namespace

void guard_process()
{
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        if (fcntl(fd, F_GETFD) == -1)
            open("/dev/null", O_RDWR); // takes the lowest free number: this one
    std::signal(SIGXFSZ, SIG_IGN);
    for (const int signal_number : fatal_signals)
        handle_unless_ignored(signal_number, tidy_up_and_die);
    handle_unless_ignored(SIGTSTP, stop_politely);
}
