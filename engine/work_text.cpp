#include <algorithm>
#include <utility>

#include "control/bytes.h"
#include "control/console.h"
#include "control/failure.h"
#include "engine/engine.h"
#include "engine/keys.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "state/run_state.h"

Preparation::Preparation(std::string& prepared) : prepared_(prepared) { }

void Preparation::append(std::string_view raw)
{
    // A CR at the end of the chunk before waited to see what follows it.
    if (cr_pending_ && !raw.empty()) {
        cr_pending_ = false;
        if (raw.front() != '\n')
            prepared_.append(" \n", 2);
    }
    // Ordinary bytes go over in runs; only the others are looked at alone.
    std::size_t copied = 0; // the bytes before it have gone over
    for (std::size_t at = next_low_byte(raw, 0); at < raw.size(); at = next_low_byte(raw, at + 1)) {
        const char ch = raw[at];
        const bool mark = punct_table[static_cast<unsigned char>(ch)];
        if (!mark && ch != '\n' && ch != '\r')
            continue;
        prepared_.append(raw.data() + copied, at - copied);
        copied = at + 1;
        if (mark) {
            const char padded[] = {' ', ch, ' '};
            prepared_.append(padded, 3);
        } else if (ch == '\r' && at + 1 == raw.size()) {
            cr_pending_ = true;
        } else if (ch == '\n' || raw[at + 1] != '\n') {
            prepared_.append(" \n", 2); // a LF, or an old Mac's CR alone; a CR before a LF goes
        }
    }
    prepared_.append(raw.data() + copied, raw.size() - copied);
}

void Preparation::finish()
{
    if (std::exchange(cr_pending_, false))
        prepared_.append(" \n", 2);
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

namespace {

// Reads the input file, handing each chunk to take; a failure ends the run,
// and so does a regular input that changed since it was taken: the output
// reflects one version of it. A whole reading (without start) must give the
// bytes the first one gave, by their hash: a store through a shared map of
// the file changes neither its size nor its times.
void read_input(const std::function<void(std::string_view)>& take, const Start& start = {})
{
    StreamHash hash(hashing::seed);
    const Outcome failure = read_file(
        run.in_name,
        [&](std::string_view chunk) {
            hash.add(chunk);
            take(chunk);
        },
        start);
    if (failure)
        fail(*failure);
    if (!run.input_read_anew)
        return;
    if (!start && !run.input_hash)
        run.input_hash = hash.value();
    if (file_version(run.in_name) != run.input_version || (!start && run.input_hash != hash.value()))
        fail({"Can't read " + shown_name(run.in_name) + ": it changed while it was read"});
}

} // namespace

void take_input()
{
    run.work_text.clear();
    run.input_version = file_version(run.in_name);
    Preparation preparation(run.work_text);
    read_input([&](std::string_view chunk) { preparation.append(chunk); },
        [](bool regular, std::size_t size) {
            run.input_read_anew = regular; // then read by each translation itself
            run.input_size = size;
            return !regular;
        });
    preparation.finish();
    protect_arrows(run.work_text);
}

PassText PassText::prepared_input()
{
    PassText text(run.work_text);
    text.from_file_ = run.input_read_anew;
    text.size_ = text.from_file_ ? run.input_size : text.size_;
    return text;
}

bool PassText::holds_any_of(std::string_view bytes) const
{
    if (!from_file_)
        return text_.find_first_of(bytes) != std::string_view::npos;
    // Preparation leaves these bytes as they are, so the file tells.
    bool found = false;
    read_input([&](std::string_view chunk) {
        found = found || std::any_of(bytes.begin(), bytes.end(), [&](char b) { return chunk.find(b) != chunk.npos; });
    });
    return found;
}

void PassText::pieces(const std::function<void(std::string_view)>& take) const
{
    if (!from_file_) {
        take(text_);
        return;
    }
    // Each chunk of the file is prepared, and handed over up to its last
    // line end: a step, an arrow and a mark to close up never span one.
    std::string prepared;
    std::string piece;
    Preparation preparation(prepared);
    const auto hand_over = [&](std::size_t end) {
        piece.assign(prepared, end); // the rest, the start of a line to come
        prepared.resize(end);
        prepared.swap(piece);
        protect_arrows(piece);
        take(piece);
    };
    read_input([&](std::string_view chunk) {
        // What was there before holds no line end: only the new bytes are
        // searched, and an unfinished line is never copied again, so that
        // one long line costs what many short ones do.
        const std::size_t searched = prepared.size();
        preparation.append(chunk);
        if (const std::size_t lf = std::string_view(prepared).substr(searched).rfind('\n'); lf != std::string::npos)
            hand_over(searched + lf + 1);
    });
    preparation.finish();
    hand_over(prepared.size());
}

void protect_arrows(std::string& text)
{
    replace_marks(text, "- > ", "==");
}

void restore_arrows()
{
    replace_marks(run.out_text, "==", "->");
}
