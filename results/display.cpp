#include "control/console.h"
#include "results/results.h"
#include "state/run_state.h"

namespace {
constexpr int lines_per_page = 20;
}

namespace {

// Closes up the n bytes at from into to, which may be from itself: closing
// up only ever shortens, so it works in place. Returns the bytes written.
std::size_t close_up_into(const char* from, std::size_t n, char* to)
{
    const ByteSet punctuation_marks(punct_set);
    std::size_t written = 0;
    for (std::size_t k = 0; k < n;) {
        char ch = from[k++];
        if (ch == ' ' && k + 1 < n && punctuation_marks.contains(from[k]) && from[k + 1] == ' ') {
            ch = from[k];
            k += 2;
        }
        to[written++] = ch;
    }
    return written;
}

} // namespace

std::string close_up(std::string_view text)
{
    std::string closed(text.size(), '\0');
    closed.resize(close_up_into(text.data(), text.size(), closed.data()));
    return closed;
}

void close_up_in_place(std::string& text)
{
    text.resize(close_up_into(text.data(), text.size(), text.data()));
}

namespace {

// Shows text a page at a time; each page goes through show first. Closing up
// never crosses a line end, so a page can be closed up on its own.
template <typename Show> void page_through(std::string_view text, Show show)
{
    int lines = 0;
    std::size_t start = 0;
    for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
        if (++lines < lines_per_page)
            continue;
        show(text.substr(start, at + 1 - start));
        start = at + 1;
        lines = 0;
        wait_key(strike_any_key_page);
    }
    show(text.substr(start));
}

} // namespace

void page_to_console(std::string_view text)
{
    page_through(text, put_text);
}

void announce_translation()
{
    put_text("\n\nYour (un)translation follows ...");
    wait_key(strike_any_key);
}

void show_text()
{
    announce_translation();
    page_through(out_text, [](std::string_view page) { put_text(close_up(page)); });
    put_text("\n");
}
