#include "engine/engine.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <new>

#include "control/console.h"
#include "control/files.h"
#include "control/memory.h"
#include "control/usage.h"
#include "state/run_state.h"

namespace {

// What each byte of the input becomes: a mark three bytes (space, mark,
// space), a LF two (space, LF), a CR none, anything else itself.
class Preparation {
public:
    Preparation()
    {
        lengths_.fill(1);
        for (const char ch : line_end_set)
            lengths_[static_cast<unsigned char>(ch)] = 0;
        lengths_['\n'] = 2;
        for (const char ch : punct_set)
            lengths_[static_cast<unsigned char>(ch)] = 3;
    }

    std::size_t size_of(std::string_view raw) const
    {
        std::size_t size = 0;
        for (const char ch : raw)
            size += lengths_[static_cast<unsigned char>(ch)];
        return size;
    }

    // Ordinary bytes go over in runs; only the others are looked at alone.
    void append(std::string& prepared, std::string_view raw) const
    {
        std::size_t run = 0;
        for (std::size_t at = 0; at < raw.size(); ++at) {
            const char ch = raw[at];
            const int length = lengths_[static_cast<unsigned char>(ch)];
            if (length == 1)
                continue;
            prepared.append(raw.data() + run, at - run);
            run = at + 1;
            if (length == 3) {
                const char padded[] = {' ', ch, ' '};
                prepared.append(padded, 3);
            } else if (length == 2) {
                prepared.append(" \n", 2);
            }
        }
        prepared.append(raw.data() + run, raw.size() - run);
    }

private:
    std::array<std::uint8_t, 256> lengths_{};
};

} // namespace

std::string prepare_text(std::string_view raw)
{
    const Preparation preparation;
    std::string prepared;
    prepared.reserve(preparation.size_of(raw));
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
    const Preparation preparation;
    work_text.clear();
    read_or_fail(in_name, OnFailure::usage, [&](InputFile& input) {
        if (!input.is_regular()) {
            std::string raw; // a pipe or a terminal can be read only once
            const ReadStatus status = input.read([&](std::string_view chunk) { raw.append(chunk); });
            if (status != ReadStatus::ok)
                return status;
            try {
                work_text = prepare_text(raw);
            } catch (const std::bad_alloc&) {
                return ReadStatus::no_memory;
            }
            return ReadStatus::ok;
        }
        // A regular file is read twice, to size the work text exactly
        // without ever holding the raw text as well.
        std::size_t size = 0;
        const ReadStatus counted = input.read([&](std::string_view chunk) { size += preparation.size_of(chunk); });
        if (counted != ReadStatus::ok)
            return counted;
        reserve_mapped(work_text, size);
        return input.read([&](std::string_view chunk) { preparation.append(work_text, chunk); });
    });
}

void protect_arrows()
{
    replace_marks(work_text, "- > ", "==");
}

void restore_arrows()
{
    replace_marks(out_text, "==", "->");
}
