// The process on Windows: the console speaks UTF-8 and takes colour
// escapes for the run, and gets its code pages and output mode back on every
// way out, Ctrl-C and Ctrl-Break included.
#include <cstdlib>
#include <windows.h>

#include "control/console.h"
#include "control/files.h"
#include "control/signals.h"
#include "control/terminal.h"

namespace {

UINT user_input_page = 0;
UINT user_output_page = 0;
DWORD user_output_mode = 0;
bool output_mode_changed = false;

void give_console_back()
{
    if (user_input_page != 0)
        ::SetConsoleCP(user_input_page);
    if (user_output_page != 0)
        ::SetConsoleOutputCP(user_output_page);
    if (output_mode_changed)
        ::SetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), user_output_mode);
}

// Runs on a thread of its own while the run goes on: tidies up and ends the
// process with the status a shell gives a run ended by Ctrl-C.
BOOL WINAPI tidy_up_and_end(DWORD)
{
    give_terminal_back_now();
    reset_colour_now();
    remove_temporary_file_now();
    give_console_back();
    ::ExitProcess(130);
}

} // namespace

void guard_process()
{
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    user_input_page = ::GetConsoleCP();
    user_output_page = ::GetConsoleOutputCP();
    output_mode_changed = ::GetConsoleMode(output, &user_output_mode) &&
        ::SetConsoleMode(output, user_output_mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    if (user_input_page != 0)
        ::SetConsoleCP(CP_UTF8);
    if (user_output_page != 0)
        ::SetConsoleOutputCP(CP_UTF8);
    std::atexit(give_console_back);
    ::SetConsoleCtrlHandler(tidy_up_and_end, TRUE);
}
