#include <algorithm>
#include <cstring>

#include "control/bytes.h"
#include "control/console.h"
#include "platform/terminal.h"
#include "results/results.h"
#include "results/shared.h"
#include "state/run_state.h"

namespace {

// Closes up the n bytes at from into to, which may be from itself: closing
// up only ever shortens, so it works in place. Returns the bytes written.
// Marks are rare, so the bytes between them go over in runs.
std::size_t close_up_into(const char* from, std::size_t n, char* to)
{
    std::size_t written = 0;
    std::size_t copied = 0; // the bytes before it have gone over
    const auto copy_up_to = [&](std::size_t end) {
        std::memmove(to + written, from + copied, end - copied);
        written += end - copied;
    };
    // A mark between two spaces, the first of them not yet taken by the
    // mark before, loses both.
    const std::string_view text(from, n);
    for (std::size_t at = next_low_byte(text, 1); at + 1 < n; at = next_low_byte(text, at + 1)) {
        if (!punct_table[static_cast<unsigned char>(from[at])] || from[at - 1] != ' ' || from[at + 1] != ' ' ||
            at <= copied)
            continue;
        copy_up_to(at - 1);
        to[written++] = from[at];
        copied = at + 2;
    }
    copy_up_to(n);
    return written;
}

// A page: at most 20 lines, and on a terminal no more screen rows than fit
// with the prompt after it. Asked at every page, as the window may change.
struct PageSize {
    int lines = 20;
    int rows = 0;    // of the screen a page may fill, or 0 off a terminal
    int columns = 0; // of the window, or 0
};
PageSize page_size()
{
    const WindowSize window = window_size();
    return {20, window.rows == 0 ? 0 : std::max(window.rows - 2, 1), window.columns};
}

// The screen rows a line takes in a window of so many columns: a character
// (a UTF-8 sequence) a column, a tab to the next multiple of 8, and a line
// wider than the window wraps.
int rows_of(std::string_view line, int columns)
{
    std::size_t used = 0;
    for (const char byte : line)
        if ((static_cast<unsigned char>(byte) & 0xc0) != 0x80)
            used = byte == '\t' ? (used / 8 + 1) * 8 : used + 1;
    const std::size_t width = static_cast<std::size_t>(columns);
    return columns <= 0 || used <= width ? 1 : static_cast<int>((used + width - 1) / width);
}

} // namespace

void close_up_in_place(std::string& text)
{
    text.resize(close_up_into(text.data(), text.size(), text.data()));
}

void page_to_console(std::string_view text)
{
    PageSize page = page_size();
    int lines = 0;
    int rows = 0;
    std::size_t start = 0; // of the page
    for (std::size_t line = 0, end = text.find('\n'); end != std::string_view::npos;
         line = end + 1, end = text.find('\n', line)) {
        ++lines;
        // The page is full, or the next line would not fit on it. Off a
        // terminal a page is counted in lines alone.
        bool next_overflows = false;
        if (page.rows != 0) {
            rows += rows_of(text.substr(line, end - line), page.columns);
            const std::size_t next_end = std::min(text.find('\n', end + 1), text.size());
            next_overflows = next_end > end + 1 &&
                rows + rows_of(text.substr(end + 1, next_end - end - 1), page.columns) > page.rows;
        }
        if (lines < page.lines && (page.rows == 0 || rows < page.rows) && !next_overflows)
            continue;
        put_text(text.substr(start, end + 1 - start));
        start = end + 1;
        lines = 0;
        rows = 0;
        if (wait_key(strike_any_key_page))
            return; // q: the rest of this display is skipped
        page = page_size();
    }
    put_text(text.substr(start));
}

void show_text()
{
    put_text("\n\nYour (un)translation follows ...");
    if (!wait_key(strike_any_key)) // q: the display is skipped
        page_to_console(run.out_text);
}
