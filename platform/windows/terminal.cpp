// The console on Windows: its input modes stand for the terminal's settings.
// A key wait turns off line input and echo; a typed line turns them on, with
// the console's own line editing. The modes are put back on every way out.
//
// Divisions, in order: the console's handles; borrowing and giving back;
// what the console is; bytes in and out.
#include <cstdio>
#include <windows.h>

#include "control/console.h"
#include "platform/terminal.h"

namespace {

const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);

bool is_console(HANDLE handle)
{
    DWORD mode = 0;
    return ::GetConsoleMode(handle, &mode) != 0;
}

DWORD user_mode = 0;        // what the user had, while borrowed
volatile LONG borrowed = 0; // 1 while the modes are the program's

} // namespace

bool terminal_is_ours_to_borrow()
{
    static const bool ours = is_console(input) && (is_console(output) || ::GetFileType(output) == FILE_TYPE_DISK);
    return ours;
}

void show_on_terminal(std::string_view text)
{
    static const HANDLE console = terminal_is_ours_to_borrow() && !is_console(output)
        ? ::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr)
        : INVALID_HANDLE_VALUE;
    DWORD written = 0;
    if (console != INVALID_HANDLE_VALUE) // only a courtesy: the prompt is in the output anyway
        ::WriteFile(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

BorrowedTerminal::BorrowedTerminal(Borrow kind)
{
    DWORD mode = 0;
    if (!terminal_is_ours_to_borrow() || !::GetConsoleMode(input, &mode))
        return;
    if (kind == Borrow::key)
        ::FlushConsoleInputBuffer(input); // keys typed ahead were typed before the prompt
    constexpr DWORD line_modes = ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT;
    // Ctrl-C stays a signal either way, as ISIG does on a terminal.
    const DWORD wanted = (kind == Borrow::key ? mode & ~line_modes : mode | line_modes) | ENABLE_PROCESSED_INPUT;
    if (wanted == mode)
        return;
    user_mode = mode;
    borrowed = 1; // before the change: Ctrl-C may come
    if (!::SetConsoleMode(input, wanted))
        borrowed = 0;
}

BorrowedTerminal::~BorrowedTerminal()
{
    give_terminal_back_now();
    borrowed = 0;
}

bool give_terminal_back_now()
{
    if (borrowed == 0)
        return false;
    ::SetConsoleMode(input, user_mode);
    return true;
}

bool input_is_terminal()
{
    return is_console(input);
}

bool output_is_terminal()
{
    return is_console(output);
}

bool errors_go_apart()
{
    const HANDLE errors = ::GetStdHandle(STD_ERROR_HANDLE);
    BY_HANDLE_FILE_INFORMATION a;
    BY_HANDLE_FILE_INFORMATION b;
    const bool same = errors == output ||
        (::GetFileInformationByHandle(errors, &a) && ::GetFileInformationByHandle(output, &b) &&
            a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
            a.nFileIndexLow == b.nFileIndexLow);
    return errors != INVALID_HANDLE_VALUE && errors != nullptr && !same;
}

void write_error_now(std::string_view bytes)
{
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

int window_rows()
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    return ::GetConsoleScreenBufferInfo(output, &info) ? info.srWindow.Bottom - info.srWindow.Top + 1 : 0;
}

int window_columns()
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    return ::GetConsoleScreenBufferInfo(output, &info) ? info.srWindow.Right - info.srWindow.Left + 1 : 0;
}

// Ctrl-Z ends the console's input, as the byte 0x1A ends a text file.
int read_terminal_byte()
{
    unsigned char byte = 0;
    DWORD got = 0;
    if (!::ReadFile(input, &byte, 1, &got, nullptr))
        return ::GetLastError() == ERROR_BROKEN_PIPE ? EOF : read_failed;
    return got == 0 || byte == 0x1a ? EOF : byte;
}

void drop_typed_ahead(int)
{
    ::FlushConsoleInputBuffer(input);
}

void write_now(std::string_view bytes)
{
    DWORD written = 0;
    ::WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// On a console, only once it takes escapes (virtual terminal processing,
// turned on at the start of the run).
bool colour_possible()
{
    DWORD mode = 0;
    return !::GetConsoleMode(output, &mode) || (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}
