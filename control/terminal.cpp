// The one owner of the terminal's saved settings.
#include "control/console.h"

#include <csignal>
#include <cstdlib>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct termios saved_settings;
struct termios char_settings;
volatile std::sig_atomic_t char_mode_on = 0;

// Signals whose default action ends the process: restore, then die of the
// same signal. Only async-signal-safe calls.
extern "C" void restore_and_reraise(int signal_number)
{
    if (char_mode_on)
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_settings);
    char_mode_on = 0;
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

// Ctrl-Z: give the shell its terminal back while stopped, and take
// character mode up again once continued.
extern "C" void suspend_politely(int signal_number)
{
    const bool was_on = char_mode_on != 0;
    if (was_on)
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_settings);
    std::signal(signal_number, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, signal_number);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    std::raise(signal_number); // stops here until SIGCONT
    std::signal(signal_number, suspend_politely);
    if (was_on)
        tcsetattr(STDIN_FILENO, TCSANOW, &char_settings);
}

extern "C" void restore_at_exit()
{
    restore_console();
}

} // namespace

void console_char_mode()
{
    if (char_mode_on || !isatty(STDIN_FILENO))
        return;
    if (tcgetattr(STDIN_FILENO, &saved_settings) != 0)
        return;

    static bool hooks_installed = false;
    if (!hooks_installed) {
        std::atexit(restore_at_exit);
        for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
            std::signal(signal_number, restore_and_reraise);
        std::signal(SIGTSTP, suspend_politely);
        hooks_installed = true;
    }

    char_settings = saved_settings;
    char_settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    char_settings.c_cc[VMIN] = 1;
    char_settings.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &char_settings) == 0)
        char_mode_on = 1;
}

void restore_console()
{
    if (!char_mode_on)
        return;
    tcsetattr(STDIN_FILENO, TCSANOW, &saved_settings);
    char_mode_on = 0;
}

bool console_is_terminal()
{
    return char_mode_on != 0;
}
