#include "control/console.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "control/failure.h"
#include "platform/terminal.h"

void put_text(std::string_view text)
{
    write_output(text);
}

void put_problem(std::string_view text)
{
    put_text(text);
    if (output_is_terminal() || !errors_go_apart())
        return;
    std::fflush(stdout);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        if (end > at)
            write_error_now("quogtran: " + std::string(text.substr(at, end - at)) + "\n");
        at = end + 1;
    }
}

namespace {

// The prompt a wait shows, for a job continued after a stop to show again;
// its bytes are kept here, as the caller's may go before the wait ends.
std::string waiting_prompt;
std::atomic<const char*> prompt_bytes{nullptr};
std::atomic<std::size_t> prompt_size{0};

// Forgets the prompt once its wait is over.
struct PromptAnswered {
    ~PromptAnswered() { prompt_bytes.store(nullptr); }
};

} // namespace

void put_prompt(std::string_view prompt)
{
    prompt_bytes.store(nullptr);
    waiting_prompt.assign(prompt);
    prompt_size.store(waiting_prompt.size());
    prompt_bytes.store(waiting_prompt.c_str());
    put_text(prompt);
    show_on_terminal(prompt);
}

namespace {

// Set once standard input has gone on for a mebibyte without a line end
// after a refused line: it is then taken to have ended.
bool input_given_up = false;

// One byte of standard input, or EOF at its end. A terminal is read a byte
// at a time straight from the descriptor, so that nothing typed ahead is
// held in a buffer where the terminal cannot see it; anything else through
// the C library, a block at a time. A failing read is not the end of input:
// what follows would be guesswork. Callers show what was printed first.
int read_byte()
{
    const int byte = input_given_up ? EOF : input_is_terminal() ? read_terminal_byte() : std::getchar();
    if (byte == read_failed || (byte == EOF && std::ferror(stdin)))
        fail({"Can't read standard input"});
    return byte;
}

bool colour_wanted()
{
    static const bool wanted = [] {
        const char* no_colour = std::getenv("NO_COLOR");
        const char* term = std::getenv("TERM");
        return (no_colour == nullptr || *no_colour == '\0') && (term == nullptr || std::strcmp(term, "dumb") != 0) &&
            colour_possible();
    }();
    return wanted;
}

volatile std::sig_atomic_t colour_on = 0;

} // namespace

bool read_line(std::string& line)
{
    constexpr std::size_t most_dropped = std::size_t{1} << 20;
    line.clear();
    const PromptAnswered answered;
    // Borrowed before the prompt shows: what is typed at it is edited as a
    // line from the first key on.
    BorrowedTerminal borrowed(Borrow::line);
    std::fflush(stdout);
    std::size_t dropped = 0;
    for (int ch = read_byte(); ch != EOF && ch != '\n'; ch = read_byte()) {
        if (line.size() < longest_line) {
            line.push_back(static_cast<char>(ch));
        } else if (++dropped == most_dropped) {
            input_given_up = true;
            break;
        }
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back(); // a CR LF line end, as text files and consoles elsewhere give
    if (dropped != 0)
        line.clear();
    return dropped == 0;
}

bool wait_key(std::string_view prompt)
{
    const PromptAnswered answered;
    if (!input_is_terminal()) {
        // Once input has ended nobody is waiting to read the page first.
        put_prompt(prompt);
        if (std::feof(stdin) == 0)
            std::fflush(stdout);
        read_byte();
        return false;
    }
    if (!terminal_is_ours_to_borrow()) {
        put_prompt(prompt);
        std::string ignored;
        read_line(ignored);
        return false;
    }
    // Borrowed before the prompt shows: the key pressed at it is read in
    // character mode, never echoed or held for a line.
    BorrowedTerminal borrowed(Borrow::key);
    put_prompt(prompt);
    std::fflush(stdout);
    // One key press; whatever else is already there (the rest of the key,
    // keys typed ahead or pasted) the user has not seen used.
    const int key = read_byte();
    drop_typed_ahead(key);
    return key == 'q' || key == 'Q';
}

void show_prompt_again_now()
{
    const char* const bytes = prompt_bytes.load();
    if (bytes != nullptr && output_is_terminal())
        write_now({bytes, prompt_size.load()});
}

std::string shown_name(std::string_view name)
{
    std::string shown(name);
    std::replace_if(
        shown.begin(), shown.end(), [](char ch) { return static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f; }, '?');
    return shown;
}

std::string attribute_escape(char code)
{
    return colour_wanted() ? std::string{'\x1b', '[', code, 'm'} : std::string();
}

std::string foreground_escape(char code)
{
    return colour_wanted() ? std::string{'\x1b', '[', '3', code, 'm'} : std::string();
}

void set_attribute(char code)
{
    put_text(attribute_escape(code));
    colour_on = colour_wanted() && code != '0';
}

void set_foreground(char code)
{
    put_text(foreground_escape(code));
    colour_on = colour_wanted();
}

void reset_colour()
{
    if (colour_on)
        set_attribute('0');
}

void reset_colour_now()
{
    if (colour_on)
        write_now("\x1b[0m");
}

void pause_ticks(int n)
{
    // A sleep, not a busy loop: nobody is kept from the processor, and
    // nobody waits at all when the report goes to a file.
    if (!output_is_terminal())
        return;
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::nanoseconds(5LL * n * n * n / 8));
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
