// The terminal on POSIX: the one owner of the terminal's saved settings.
//
// Divisions, in order:
//   1. The saved settings and those a key wait or a typed line borrows.
//   2. Borrowing and giving back, from a stage or a signal handler.
//   3. What the terminal is: input, output, rows, colour.
//   4. Bytes: one typed byte, what was typed ahead, an unbuffered write.
#include "platform/terminal.h"

#include "control/bytes.h"

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "control/console.h"
#include "platform/posix/walk.h"

namespace {

struct termios user_settings;                // what the user had, while borrowed
volatile std::sig_atomic_t borrowed_for = 0; // 0, or 1 + the Borrow kind in force

// Whether the user's locale writes text in UTF-8: the terminal's line
// editing must then erase a character whole, not one byte of it.
bool locale_is_utf8()
{
    static const bool utf8 = [] {
        const std::string before = std::setlocale(LC_CTYPE, nullptr);
        std::setlocale(LC_CTYPE, "");
        const bool answer = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
        std::setlocale(LC_CTYPE, before.c_str());
        return answer;
    }();
    return utf8;
}

termios settings_for(Borrow kind, const termios& user)
{
    termios wanted = user;
    if (kind == Borrow::key) {
        // Bytes arrive one by one without Enter and are not shown; ISIG is
        // left as the user has it, so Ctrl-C and Ctrl-Z still work.
        wanted.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        wanted.c_cc[VMIN] = 1;  // block until one byte is there ...
        wanted.c_cc[VTIME] = 0; // ... however long that takes
    } else {
        // The kernel's line editing, with the user's erase, kill, word-erase
        // and end-of-file keys; CR becomes LF, so a terminal whose Enter
        // sends CR ends the line too, and the echo of LF returns the carriage.
        wanted.c_lflag |= ICANON | ECHO;
        wanted.c_iflag |= ICRNL;
        wanted.c_iflag &= ~static_cast<tcflag_t>(IGNCR | INLCR);
        wanted.c_oflag |= OPOST | ONLCR;
#ifdef IUTF8
        if (locale_is_utf8())
            wanted.c_iflag |= IUTF8;
#endif
    }
    return wanted;
}

bool same_settings(const termios& a, const termios& b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
        std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// Async-signal-safe once the locale is known: tcgetattr and tcsetattr only.
bool borrow(Borrow kind)
{
    termios current;
    if (::tcgetattr(STDIN_FILENO, &current) != 0)
        return false;
    const termios wanted = settings_for(kind, current);
    if (same_settings(wanted, current))
        return false;
    user_settings = current;
    borrowed_for = 1 + static_cast<int>(kind); // before the change: a signal may come
    if (::tcsetattr(STDIN_FILENO, TCSANOW, &wanted) != 0) {
        borrowed_for = 0;
        return false;
    }
    return true;
}

} // namespace

bool terminal_is_ours_to_borrow()
{
    static const bool ours = [] {
        struct stat output;
        return ::isatty(STDIN_FILENO) &&
            (::isatty(STDOUT_FILENO) || (::fstat(STDOUT_FILENO, &output) == 0 && S_ISREG(output.st_mode)));
    }();
    return ours;
}

void show_on_terminal(std::string_view text)
{
    static const int terminal = [] {
        if (!terminal_is_ours_to_borrow() || ::isatty(STDOUT_FILENO))
            return -1;
        if (::isatty(STDERR_FILENO))
            return STDERR_FILENO;
        return ::open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
    }();
    if (terminal >= 0)
        write_all(terminal, text); // only a courtesy: the prompt is in the output anyway
}

BorrowedTerminal::BorrowedTerminal(Borrow kind)
{
    if (terminal_is_ours_to_borrow())
        borrow(kind);
}

BorrowedTerminal::~BorrowedTerminal()
{
    if (give_terminal_back_now())
        borrowed_for = 0;
}

bool give_terminal_back_now()
{
    if (borrowed_for == 0)
        return false;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &user_settings);
    return true;
}

void borrow_terminal_again_now()
{
    const int kind = borrowed_for;
    borrowed_for = 0;
    if (kind != 0)
        borrow(static_cast<Borrow>(kind - 1)); // the user may have changed settings meanwhile
}

bool input_is_terminal()
{
    static const bool terminal = ::isatty(STDIN_FILENO) != 0;
    return terminal;
}

bool output_is_terminal()
{
    static const bool terminal = ::isatty(STDOUT_FILENO) != 0;
    return terminal;
}

bool errors_go_apart()
{
    struct stat output;
    struct stat errors;
    return ::fstat(STDERR_FILENO, &errors) == 0 &&
        (::fstat(STDOUT_FILENO, &output) != 0 || output.st_dev != errors.st_dev || output.st_ino != errors.st_ino);
}

void write_error_now(std::string_view bytes)
{
    write_all(STDERR_FILENO, bytes); // a failure has nowhere else to be said
}

WindowSize window_size()
{
    winsize size{};
    if (!output_is_terminal() || ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0)
        return {};
    return {size.ws_row, size.ws_col};
}

// Straight from the descriptor, so that nothing typed ahead is held in a
// buffer where the terminal cannot see it.
int read_terminal_byte()
{
    unsigned char byte;
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
        if (got == 1)
            return byte;
        if (got == 0)
            return EOF;
        if (errno != EINTR)
            return read_failed;
    }
}

// The rest of a key begun is waited for, its bytes however far apart a
// busy machine sends them (half a second each at most); after it, what
// follows at once (a paste, keys pressed together) goes too, until a gap of
// 10 ms.
void drop_typed_ahead(int key)
{
    constexpr int same_press_ms = 10;
    constexpr int rest_of_key_ms = 500;
    constexpr int most_bytes = 256;
    KeyBytes bytes_so_far(static_cast<unsigned char>(key));
    pollfd ready{STDIN_FILENO, POLLIN, 0};
    for (int bytes = 1;
         bytes < most_bytes && ::poll(&ready, 1, bytes_so_far.whole() ? same_press_ms : rest_of_key_ms) == 1; ++bytes) {
        const int byte = read_terminal_byte();
        if (byte < 0)
            break;
        bytes_so_far.take(static_cast<unsigned char>(byte));
    }
    ::tcflush(STDIN_FILENO, TCIFLUSH);
}

void write_output(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void write_now(std::string_view bytes)
{
    (void)!::write(STDOUT_FILENO, bytes.data(), bytes.size());
}

bool colour_possible()
{
    return true;
}
