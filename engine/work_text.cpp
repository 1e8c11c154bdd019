#include <algorithm>
#include <array>
#include <cstdint>

#include "control/console.h"
#include "control/files.h"
#include "control/usage.h"
#include "engine/engine.h"
#include "engine/memory.h"
#include "state/run_state.h"

namespace {

// What each byte of the input becomes: a mark three bytes (space, mark,
// space), a LF two (space, LF), a CR two when it ends a line alone and none
// before a LF, anything else itself.
class Preparation {
public:
    Preparation()
    {
        lengths_.fill(1);
        lengths_['\n'] = 2;
        lengths_['\r'] = 0;
        for (const char ch : punct_set)
            lengths_[static_cast<unsigned char>(ch)] = 3;
    }

    std::size_t size_of(std::string_view raw) const
    {
        std::size_t size = 0;
        for (std::size_t at = 0; at < raw.size(); ++at)
            size += length_at(raw, at);
        return size;
    }

    // Ordinary bytes go over in runs; only the others are looked at alone.
    void append(std::string& prepared, std::string_view raw) const
    {
        std::size_t run = 0;
        for (std::size_t at = 0; at < raw.size(); ++at) {
            const int length = length_at(raw, at);
            if (length == 1)
                continue;
            prepared.append(raw.data() + run, at - run);
            run = at + 1;
            if (length == 3) {
                const char padded[] = {' ', raw[at], ' '};
                prepared.append(padded, 3);
            } else if (length == 2) {
                prepared.append(" \n", 2);
            }
        }
        prepared.append(raw.data() + run, raw.size() - run);
    }

private:
    int length_at(std::string_view raw, std::size_t at) const
    {
        const char ch = raw[at];
        if (ch == '\r' && (at + 1 == raw.size() || raw[at + 1] != '\n'))
            return 2; // an old Mac line end
        return lengths_[static_cast<unsigned char>(ch)];
    }

    std::array<std::uint8_t, 256> lengths_{};
};

} // namespace

std::string prepare_text(std::string_view raw)
{
    const Preparation preparation;
    std::string prepared;
    reserve_mapped(prepared, preparation.size_of(raw));
    preparation.append(prepared, raw);
    return prepared;
}

// Both arrow rewrites use marks that cannot overlap what replaces them, so a
// single left-to-right sweep gives what repeated first-match replacing gives;
// and what replaces a mark is never longer, so the sweep works in place.
void replace_marks(std::string& text, std::string_view from, std::string_view to)
{
    std::size_t read = from.empty() ? std::string::npos : text.find(from);
    std::size_t write = read;
    while (read != std::string::npos) {
        std::copy(to.begin(), to.end(), text.begin() + static_cast<std::ptrdiff_t>(write));
        write += to.size();
        read += from.size();
        const std::size_t next = std::min(text.find(from, read), text.size());
        std::copy(text.begin() + static_cast<std::ptrdiff_t>(read), text.begin() + static_cast<std::ptrdiff_t>(next),
            text.begin() + static_cast<std::ptrdiff_t>(write));
        write += next - read;
        read = next == text.size() ? std::string::npos : next;
    }
    if (write != std::string::npos)
        text.resize(write);
}

void prepare_work_text()
{
    // Read once, whole, then prepared: a pipe or a terminal can be read
    // only once, and a file's size tells how much to read.
    std::string raw;
    const ReadStatus status = read_file(run.in_name, [&](InputFile& input) {
        reserve_mapped(raw, input.size());
        return input.read([&](std::string_view chunk) { raw.append(chunk); });
    });
    if (status != ReadStatus::ok)
        die_with_usage(read_failure(status, run.in_name));
    run.work_text = prepare_text(raw);
}

void protect_arrows()
{
    replace_marks(run.work_text, "- > ", "==");
}

void restore_arrows()
{
    replace_marks(run.out_text, "==", "->");
}
