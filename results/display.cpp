#include "control/console.h"
#include "results/results.h"
#include "state/run_state.h"

namespace {
constexpr int lines_per_page = 20;
}

std::string close_up(std::string_view text)
{
    std::string closed;
    closed.reserve(text.size());
    const ByteSet punctuation_marks(punct_set);
    for (std::size_t k = 0; k < text.size();) {
        char ch = text[k++];
        if (ch == ' ' && k + 1 < text.size() && punctuation_marks.contains(text[k]) && text[k + 1] == ' ') {
            ch = text[k];
            k += 2;
        }
        closed.push_back(ch);
    }
    return closed;
}

void page_to_console(std::string_view text)
{
    int lines = 0;
    std::size_t start = 0;
    for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
        if (++lines < lines_per_page)
            continue;
        put_text(text.substr(start, at + 1 - start));
        start = at + 1;
        lines = 0;
        wait_key(strike_any_key_page);
    }
    put_text(text.substr(start));
}

void announce_translation()
{
    put_text("\n\nYour (un)translation follows ...");
    wait_key(strike_any_key);
}

void show_text()
{
    announce_translation();
    page_to_console(close_up(out_text));
    put_text("\n");
}
