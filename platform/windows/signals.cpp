// The process on Windows: the console speaks UTF-8 and takes colour
// escapes for the run, and gets its code pages and output mode back on every
// way out, Ctrl-C and Ctrl-Break included, and an end that std::terminate
// makes.
//
// Divisions, in order: the console as the user had it; the Ctrl-C handler
// and the terminate handler; guard_process.
#include <cstdlib>
#include <exception>
#include <windows.h>

#include "control/console.h"
#include "platform/files.h"
#include "platform/signals.h"
#include "platform/terminal.h"

namespace {

// What the user had; without a console, every call here fails and changes
// nothing.
const UINT user_input_page = ::GetConsoleCP();
const UINT user_output_page = ::GetConsoleOutputCP();
DWORD user_output_mode = 0;

void give_console_back()
{
    ::SetConsoleCP(user_input_page);
    ::SetConsoleOutputCP(user_output_page);
    ::SetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), user_output_mode);
}

// The console as the user had it and no temporary file left, then the end.
[[noreturn]] void tidy_up_and_exit(UINT status)
{
    give_terminal_back_now();
    reset_colour_now();
    remove_temporary_file_now();
    give_console_back();
    ::ExitProcess(status);
}

// Runs on a thread of its own while the run goes on: the status a shell
// gives a run ended by Ctrl-C.
BOOL WINAPI tidy_up_and_end(DWORD)
{
    tidy_up_and_exit(130);
}

// An exception that nothing caught: the end the runtime gives such a run.
[[noreturn]] void tidy_up_and_terminate()
{
    tidy_up_and_exit(3);
}

} // namespace

void guard_process()
{
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (::GetConsoleMode(output, &user_output_mode))
        ::SetConsoleMode(output, user_output_mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    ::SetConsoleCP(CP_UTF8);
    ::SetConsoleOutputCP(CP_UTF8);
    std::atexit(give_console_back);
    ::SetConsoleCtrlHandler(tidy_up_and_end, TRUE);
    std::set_terminate(tidy_up_and_terminate);
}
