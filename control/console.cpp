#include "control/console.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

std::ptrdiff_t find_text(std::string_view haystack, std::string_view needle)
{
    if (haystack.empty())
        return not_found;
    const std::size_t at = haystack.find(needle);
    return at == std::string_view::npos ? not_found : static_cast<std::ptrdiff_t>(at);
}

bool in_set(std::string_view set, char ch)
{
    return set.find(ch) != std::string_view::npos;
}

void put_text(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

namespace {

// Every read from standard input shows what was printed before it.
int read_byte()
{
    std::fflush(stdout);
    return std::getchar();
}

bool is_erase(int ch)
{
    return ch == '\b' || ch == 0x7f;
}

// Removes the last character of line, all bytes of a UTF-8 sequence at once.
void erase_last_character(std::string& line)
{
    while (!line.empty()) {
        const auto byte = static_cast<unsigned char>(line.back());
        line.pop_back();
        if ((byte & 0xC0) != 0x80)
            break;
    }
}

} // namespace

std::size_t read_line(std::string& line, std::size_t limit)
{
    line.clear();
    const bool echo = console_is_terminal();
    std::size_t room = limit == 0 ? 1 : limit;
    while (--room > 0) {
        const int ch = read_byte();
        if (ch == EOF || ch == '\n')
            break;
        if (echo && is_erase(ch)) {
            if (!line.empty()) {
                erase_last_character(line);
                put_text("\b \b");
            }
            ++room; // an erase stores nothing
            continue;
        }
        line.push_back(static_cast<char>(ch));
        if (echo)
            std::putchar(ch);
    }
    if (echo)
        put_text("\n");
    return line.size();
}

void wait_key(std::string_view prompt)
{
    put_text(prompt);
    (void)read_byte();
}

void set_attribute(char code)
{
    const char escape[] = {'\x1b', '[', code, 'm'};
    put_text(std::string_view(escape, sizeof escape));
}

void set_foreground(char code)
{
    const char escape[] = {'\x1b', '[', '3', code, 'm'};
    put_text(std::string_view(escape, sizeof escape));
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
    restore_console();
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fputs("quogtran: can't write to standard output\n", stderr);
        status = exit_failure;
    }
    std::exit(status);
}
