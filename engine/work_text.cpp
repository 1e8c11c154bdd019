#include "engine/engine.h"

#include "control/console.h"
#include "control/usage.h"
#include "state/run_state.h"

std::string prepare_text(std::string_view raw)
{
    std::string prepared;
    prepared.reserve(raw.size() + raw.size() / 4 + 16);
    const ByteSet punctuation_marks(punct_set);
    const ByteSet line_ends(line_end_set);
    for (const char ch : raw) {
        const bool punctuation = punctuation_marks.contains(ch);
        if (punctuation) {
            prepared.push_back(' ');
            prepared.push_back(ch);
            prepared.push_back(' ');
        }
        if (ch == '\n') {
            prepared.push_back(' ');
            prepared.push_back('\n');
        }
        if (!punctuation && !line_ends.contains(ch))
            prepared.push_back(ch);
    }
    return prepared;
}

// Both arrow rewrites use marks that cannot overlap what replaces them, so a
// single left-to-right sweep gives what repeated first-match replacing gives.
std::string replace_marks(std::string_view text, std::string_view from, std::string_view to)
{
    std::string result;
    result.reserve(text.size());
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(from, start);
        if (at == std::string_view::npos || from.empty())
            break;
        result.append(text.substr(start, at - start));
        result.append(to);
        start = at + from.size();
    }
    result.append(text.substr(start));
    return result;
}

void prepare_work_text()
{
    work_text = prepare_text(read_or_fail(in_name, OnFailure::usage));
}

void protect_arrows()
{
    work_text = replace_marks(work_text, "- > ", "==");
}

void restore_arrows()
{
    out_text = replace_marks(out_text, "==", "->");
}
