#include "control/console.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <unistd.h>
#include <utility>

#include "control/terminal.h"

std::ptrdiff_t find_text(std::string_view haystack, std::string_view needle)
{
    if (haystack.empty())
        return not_found;
    const std::size_t at = haystack.find(needle);
    return at == std::string_view::npos ? not_found : static_cast<std::ptrdiff_t>(at);
}

void put_text(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

namespace {

constexpr int escape = 0x1b;

// A byte read past the end of a key, given back to the next read.
int pushed_back = EOF;

[[noreturn]] void fail_to_read_input()
{
    reset_colour();
    put_text("\nCan't read standard input\n");
    end_process(exit_failure);
}

// Every read from standard input that may wait first shows what was printed
// before it. A terminal is read a byte at a time straight from the
// descriptor, so nothing typed ahead is ever held back in a buffer where the
// terminal cannot see it; anything else through the C library, whose end of
// input, once met, stays met. A failing read is not the end of input: what
// follows would be guesswork.
int read_byte()
{
    if (std::feof(stdin)) // met only off a terminal, where nothing can follow
        return EOF;
    if (!::isatty(STDIN_FILENO)) {
        std::fflush(stdout);
        const int ch = std::getchar();
        if (ch == EOF && std::ferror(stdin))
            fail_to_read_input();
        return ch;
    }
    std::fflush(stdout);
    if (pushed_back != EOF)
        return std::exchange(pushed_back, EOF);
    unsigned char byte;
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
        if (got == 1)
            return byte;
        if (got == 0)
            return EOF;
        if (errno != EINTR)
            fail_to_read_input();
    }
}

// The next byte of the same key: one that is already there or follows at
// once, as the bytes of one key press do.
int byte_of_same_key()
{
    constexpr int same_press_ms = 10;
    if (pushed_back != EOF)
        return read_byte();
    pollfd ready{STDIN_FILENO, POLLIN, 0};
    return ::poll(&ready, 1, same_press_ms) == 1 ? read_byte() : EOF;
}

bool in_range(int byte, int low, int high)
{
    return byte >= low && byte <= high;
}

// The rest of an escape sequence: CSI (ESC [ parameters final), SS3 (ESC O
// letter), or ESC and one key held with Alt.
void read_rest_of_escape()
{
    const int second = byte_of_same_key();
    if (second == EOF)
        return;
    if (second == 'O') {
        byte_of_same_key();
        return;
    }
    if (second != '[')
        return; // Alt and a key
    int byte = byte_of_same_key();
    if (byte == '[') // the Linux console's F1 to F5: ESC [ [ letter
        byte = byte_of_same_key();
    while (in_range(byte, 0x20, 0x3f))
        byte = byte_of_same_key();
    if (byte != EOF && !in_range(byte, 0x40, 0x7e))
        pushed_back = byte;
}

// The continuation bytes of a UTF-8 character whose first byte is lead.
void read_rest_of_character(int lead)
{
    const int more = lead >= 0xf0 ? 3 : lead >= 0xe0 ? 2 : 1;
    for (int i = 0; i < more; ++i) {
        const int byte = byte_of_same_key();
        if (!in_range(byte, 0x80, 0xbf)) {
            pushed_back = byte;
            return;
        }
    }
}

// One key press: a single byte, or every byte of one escape sequence or
// UTF-8 character, so that an arrow key ends one wait and leaves nothing
// behind for the next read.
void read_key()
{
    const int first = read_byte();
    if (first == escape)
        read_rest_of_escape();
    else if (in_range(first, 0xc2, 0xf4))
        read_rest_of_character(first);
}

volatile std::sig_atomic_t colour_on = 0;

void write_escape(std::string_view bytes, bool leaves_colour_on)
{
    put_text(bytes);
    colour_on = leaves_colour_on;
}

} // namespace

std::size_t read_line(std::string& line, std::size_t limit)
{
    line.clear();
    BorrowedTerminal borrowed(Borrow::line);
    std::size_t room = limit == 0 ? 1 : limit;
    while (--room > 0) {
        const int ch = read_byte();
        if (ch == EOF || ch == '\n')
            break;
        line.push_back(static_cast<char>(ch));
    }
    return line.size();
}

void wait_key(std::string_view prompt)
{
    if (std::feof(stdin) || !::isatty(STDIN_FILENO)) {
        put_text(prompt);
        read_byte();
    } else if (!terminal_is_ours_to_borrow()) {
        put_text(prompt);
        std::string ignored;
        read_line(ignored);
    } else {
        // Borrowed before the prompt shows: the key pressed at it is read
        // in character mode, never echoed or held for a line.
        BorrowedTerminal borrowed(Borrow::key);
        put_text(prompt);
        read_key();
    }
}

void set_attribute(char code)
{
    const char bytes[] = {'\x1b', '[', code, 'm'};
    write_escape(std::string_view(bytes, sizeof bytes), code != '0');
}

void set_foreground(char code)
{
    const char bytes[] = {'\x1b', '[', '3', code, 'm'};
    write_escape(std::string_view(bytes, sizeof bytes), true);
}

void reset_colour()
{
    if (colour_on)
        set_attribute('0');
}

void reset_colour_now()
{
    static constexpr char normal[] = "\x1b[0m";
    if (colour_on)
        (void)!::write(STDOUT_FILENO, normal, sizeof normal - 1);
}

void pause_ticks(int n)
{
    // Each idle step stores to a volatile, so the optimiser keeps the loops.
    volatile int idle = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k)
                idle = k;
    (void)idle;
}

void end_process(int status)
{
    give_terminal_back_now();
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fputs("quogtran: can't write to standard output\n", stderr);
        status = exit_failure;
    }
    std::exit(status);
}
