#include <algorithm>
#include <cstring>

#include "control/bytes.h"
#include "control/console.h"
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

// The lines of a page: 20, or fewer on a terminal with fewer rows, so that a
// page and the prompt after it fit on the screen. Asked at every page, as
// the window may change.
int lines_per_page()
{
    constexpr int most = 20;
    const int rows = window_rows();
    return rows == 0 ? most : std::clamp(rows - 2, 1, most);
}

} // namespace

void close_up_in_place(std::string& text)
{
    text.resize(close_up_into(text.data(), text.size(), text.data()));
}

void page_to_console(std::string_view text)
{
    int lines = 0;
    int page = lines_per_page();
    std::size_t start = 0;
    for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
        if (++lines < page)
            continue;
        put_text(text.substr(start, at + 1 - start));
        start = at + 1;
        lines = 0;
        if (wait_key(strike_any_key_page))
            return; // q: the rest of this display is skipped
        page = lines_per_page();
    }
    put_text(text.substr(start));
}

void show_text()
{
    put_text("\n\nYour (un)translation follows ...");
    if (!wait_key(strike_any_key)) // q: the display is skipped
        page_to_console(run.out_text);
}
