// The console on Windows: its input modes stand for the terminal's settings.
// A key wait turns off line input and echo; a typed line turns them on, with
// the console's own line editing. The modes are put back on every way out.
// The console is read and written in characters (UTF-16), which the
// program takes and gives as UTF-8; a file or pipe takes the bytes.
//
// Divisions, in order: the console's handles and its characters; borrowing
// and giving back; what the console is; bytes in and out.
#include <algorithm>
#include <cstdio>
#include <windows.h>

#include "control/console.h"
#include "platform/terminal.h"
#include "platform/windows/system.h"

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

// Writes bytes to handle: on a console as its characters, a mebibyte of
// bytes at a time; else as they are.
void write_to(HANDLE handle, std::string_view bytes)
{
    DWORD written = 0;
    if (!is_console(handle)) {
        ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        return;
    }
    static std::string pending; // a character cut by the end of a write, for the next
    for (std::size_t at = 0; at < bytes.size(); at += 1 << 20) {
        const std::wstring text = console_text(pending, bytes.substr(at, 1 << 20));
        ::WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}

// What a key or a line typed at the console gave, in UTF-8, not yet read.
std::string typed;
std::size_t typed_read = 0;

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
    if (console != INVALID_HANDLE_VALUE) // only a courtesy: the prompt is in the output anyway
        write_to(console, text);
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
    write_to(::GetStdHandle(STD_ERROR_HANDLE), bytes);
}

WindowSize window_size()
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!::GetConsoleScreenBufferInfo(output, &info))
        return {};
    return {info.srWindow.Bottom - info.srWindow.Top + 1, info.srWindow.Right - info.srWindow.Left + 1};
}

// A character at a time from the console, a surrogate pair whole, handed
// on a byte at a time. Ctrl-Z ends the console's input, as the byte 0x1A
// ends a text file.
int read_terminal_byte()
{
    if (typed_read == typed.size()) {
        wchar_t units[2];
        DWORD got = 0;
        if (!::ReadConsoleW(input, units, 1, &got, nullptr))
            return ::GetLastError() == ERROR_BROKEN_PIPE ? EOF : read_failed;
        if (got == 0 || units[0] == 0x1a)
            return EOF;
        DWORD low = 0;
        if (units[0] >= 0xd800 && units[0] < 0xdc00 && !::ReadConsoleW(input, units + 1, 1, &low, nullptr))
            return read_failed;
        typed = to_utf8(std::wstring_view(units, got + low));
        typed_read = 0;
    }
    return static_cast<unsigned char>(typed[typed_read++]);
}

void drop_typed_ahead(int)
{
    ::FlushConsoleInputBuffer(input);
    typed_read = typed.size();
}

void write_now(std::string_view bytes)
{
    write_to(output, bytes);
}

void write_output(std::string_view text)
{
    if (is_console(output))
        write_to(output, text);
    else
        std::fwrite(text.data(), 1, text.size(), stdout);
}

// On a console, only once it takes escapes (virtual terminal processing,
// turned on at the start of the run).
bool colour_possible()
{
    DWORD mode = 0;
    return !::GetConsoleMode(output, &mode) || (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}
