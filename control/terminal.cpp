// The one owner of the terminal's saved settings.
#include "control/console.h"

#include <csignal>
#include <cstdlib>
#include <termios.h>
#include <unistd.h>

namespace {

struct termios saved_settings;
volatile std::sig_atomic_t char_mode_on = 0;

// Only async-signal-safe calls: restore, then die of the same signal.
extern "C" void restore_and_reraise(int signal_number)
{
    if (char_mode_on)
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_settings);
    char_mode_on = 0;
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
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
        for (int signal_number : {SIGINT, SIGTERM, SIGHUP})
            std::signal(signal_number, restore_and_reraise);
        hooks_installed = true;
    }

    struct termios raw = saved_settings;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0)
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
