// The file policy, the same on every platform: what is checked before a
// write, when a copy is kept and under which name, the steps of a
// replacement, the lock and its waiting line, and how a failure reads. The
// platform's primitives (file_system.h) do the steps.
//
// Divisions, in order:
//   1. Failures, named: how a failed read or write reads.
//   2. Copies: the first free copy name, and the copy kept under it.
//   3. The temporary file a replacement is written to.
//   4. The lock.
//   5. The seam's calls, as files.h declares them.
#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "control/console.h"
#include "platform/file_system.h"

namespace {

// The failure to read name, named: the usage screen follows it.
Failure reading_failed(const std::string& name, Failure failure)
{
    if (failure.error == ENOMEM)
        failure.reason = "Not enough memory to read " + shown_name(name);
    else
        failure.reason =
            (failure.step == "opening" ? "Can't open " : "Can't read ") + shown_name(name) + ": " + failure.reason;
    failure.with_usage = true;
    return failure;
}

// The failure to write name, named.
Outcome writing_failed(const std::string& name, Outcome outcome)
{
    if (outcome)
        outcome->reason = "Can't write " + shown_name(name) + ": " + outcome->reason;
    return outcome;
}

// The names a file of the user's own is kept under, the first free one of
// NAME~, NAME.~1~, NAME.~2~ and so on, the numbered copies of Unix tools,
// which have no upper bound.
std::string copy_suffix(int number)
{
    return number == 0 ? "~" : ".~" + std::to_string(number) + "~";
}

// The number of the first copy name of the target that no file has now:
// the one the check names and the one the copy takes, unless another
// program takes it meanwhile.
int first_free_copy(const Target& target, int number = 0)
{
    while (copy_taken(target, copy_suffix(number)))
        ++number;
    return number;
}

// Keeps the target under the first free copy name, and says which in
// kept_as: a copy is never made over a file, so no earlier copy is lost.
Outcome keep_copy(const Target& target, std::string& kept_as)
{
    for (int number = first_free_copy(target);; number = first_free_copy(target, number + 1)) {
        kept_as = target.path + copy_suffix(number);
        bool taken = false;
        const int error = make_copy(target, copy_suffix(number), taken);
        if (error != 0)
            return failed("keeping a copy as " + kept_as, error);
        if (!taken)
            return std::nullopt;
    }
}

// A temporary file beside the file it will replace. It is removed when it
// goes out of scope unless it was renamed into place.
class TemporaryFile {
public:
    TemporaryFile(const Target& target, bool fresh) : target_(target)
    {
        refused_ = create_temporary(target, fresh, name_, file_);
    }
    ~TemporaryFile()
    {
        if (!refused_ && !gone_)
            remove_temporary(target_, name_);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Why it could not be made, or nothing when it was.
    const Outcome& refused() const { return refused_; }
    const SystemFile& file() const { return file_; }

    // Writes content, makes it durable, keeps the old target when asked
    // (keep_as then names the copy), and renames the file over the target.
    Outcome write_and_rename(std::string_view content, std::string* keep_as = nullptr)
    {
        if (Outcome failure = write_and_sync(file_, content))
            return failure;
        if (keep_as != nullptr)
            if (Outcome failure = keep_copy(target_, *keep_as))
                return failure;
        if (!rename_over(target_, name_))
            return failed("renaming");
        gone_ = true;
        // The new name must last as well as the bytes.
        return sync_folder(target_) ? Outcome() : failed("syncing the folder");
    }

    // Removes it now, as a probe's end: a file left behind is named.
    Outcome remove()
    {
        gone_ = true;
        return remove_temporary(target_, name_) ? Outcome() : failed("removing its test file " + name_);
    }

private:
    const Target& target_;
    std::string name_;
    SystemFile file_;
    Outcome refused_;
    bool gone_ = false; // renamed over the target, or removed
};

// Takes the exclusive lock on file, saying so when another program holds it.
Outcome lock(const SystemFile& file, const std::string& name)
{
    bool busy = false;
    if (!try_lock(file, busy))
        return failed("locking");
    if (!busy)
        return std::nullopt;
    put_text("\nWaiting for " + name + ", which another program is changing ...\n");
    std::fflush(stdout);
    return wait_for_lock(file) ? Outcome() : failed("locking");
}

} // namespace

Outcome read_file(
    const std::string& name, const std::function<void(std::string_view)>& take, const Start& start, bool regular_only)
{
    std::fflush(stdout); // the file may be the terminal itself
    SystemFile file;
    if (Outcome refused = open_to_read(name, regular_only, file))
        return reading_failed(name, *refused);
    bool regular = false;
    std::size_t size = 0;
    if (Outcome refused = kind_of(file, regular, size))
        return reading_failed(name, *refused);
    if (regular_only && !regular)
        return reading_failed(name, refusal("not a regular file"));
    if (start && !start(regular, size))
        return std::nullopt;
    const auto take_text = [&](std::string_view bytes) {
        const std::size_t end = text_end(bytes);
        take(bytes.substr(0, end));
        return end == std::string_view::npos;
    };
    if (Outcome failure = read_chunks(file, regular, take_text))
        return reading_failed(name, *failure);
    return std::nullopt;
}

Outcome check_writable(const std::string& name, TailTest written_here)
{
    return writing_failed(name, [&]() -> Outcome {
        Target target;
        if (Outcome refused = find_target(name, target))
            return refused;
        if (target.in_place)
            return std::nullopt; // opened when written, as a shell's > would
        TemporaryFile probe(target, false);
        if (probe.refused())
            return probe.refused();
        // What the replacement will give its file, asked of the probe.
        const bool owner_kept = !target.exists || can_keep_owner(target, probe.file());
        if (Outcome failure = probe.remove())
            return failure;
        if (!owner_kept)
            return refusal("its owner and group can't be kept");
        if (!target.exists || written_here == nullptr || written_here(last_bytes(target)))
            return std::nullopt;
        // The file is the user's own and will be kept: under a name that fits.
        const std::string suffix = copy_suffix(first_free_copy(target));
        if (!copy_name_fits(target, suffix))
            return refusal("its copy " + target.path + suffix + " would have too long a name");
        return std::nullopt;
    }());
}

Outcome replace_file(const std::string& name, std::string_view content, TailTest written_here, std::string& kept_as)
{
    return writing_failed(name, [&]() -> Outcome {
        Target target;
        if (Outcome refused = find_target(name, target))
            return refused;
        std::string converted;
        const std::string_view text = as_written(content, converted);
        if (target.in_place)
            return write_in_place(target, text);
        TemporaryFile temp(target, !target.exists);
        if (temp.refused())
            return temp.refused();
        if (target.exists)
            if (Outcome failure = take_rights(target, temp.file()))
                return failure;
        // A file of the user's own is kept, not lost to a name that happens to
        // be an output's.
        const bool keep = target.exists && written_here != nullptr && !written_here(last_bytes(target));
        return temp.write_and_rename(text, keep ? &kept_as : nullptr);
    }());
}

Outcome update_file(
    const std::string& name, const std::function<std::optional<std::string>(const std::string&)>& change)
{
    return writing_failed(name, [&]() -> Outcome {
        for (;;) {
            Target target;
            if (Outcome refused = find_target(name, target))
                return refused;
            if (target.in_place)
                return refusal("it is not a regular file");
            SystemFile file;
            if (Outcome refused = open_to_update(target, file))
                return refused;
            if (Outcome failure = lock(file, name))
                return failure;
            // The file is replaced, never changed in place: when another run
            // replaced it while this one waited, the lock is on the old file.
            if (!still_there(target, file))
                continue;

            std::string current;
            const auto append = [&](std::string_view chunk) {
                current.append(chunk);
                return true;
            };
            if (Outcome failure = read_chunks(file, true, append))
                return failed("reading", failure->error);
            // What follows the end of the text is never read, and stays after
            // the change.
            const std::size_t end = std::min(text_end(current), current.size());
            const std::optional<std::string> updated = change(current.substr(0, end));
            if (!updated)
                return std::nullopt;
            TemporaryFile temp(target, false);
            if (temp.refused())
                return temp.refused();
            if (Outcome failure = take_rights(target, temp.file()))
                return failure;
            return temp.write_and_rename(*updated + current.substr(end));
        }
    }());
}
