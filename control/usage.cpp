#include "control/usage.h"

#include <cstdio>

#include "control/console.h"
#include "state/run_state.h"

std::string usage_text()
{
    return "\nTranslate English to Quog Speak "
           "or \"Untranslate\" Quog Speak to English"
           "\n\nUsage: quogtran -v -u filename.typ"
           "\n-v gives verbose reporting"
           "\n-u \"untranslate\" Quog Speak to English"
           "\nDefault is translate English to Quog Speak";
}

void show_usage()
{
    put_text(usage_text());
    wait_key(strike_any_key);
    end_process(exit_failure);
}

void fail(std::string_view line)
{
    reset_colour();
    put_text(line);
    end_process(exit_failure);
}

void fail_with_usage(std::string_view line)
{
    reset_colour();
    put_text(line);
    show_usage();
}

void fail(const Failure& failure)
{
    if (failure.with_usage)
        fail_with_usage(failure.line);
    fail(failure.line);
}

std::string read_failure(ReadStatus status, const std::string& name)
{
    switch (status) {
    case ReadStatus::cant_read:
        return "\nCan't read " + name + "\n";
    case ReadStatus::no_memory:
        return "\nNot enough memory to read " + name + "\n";
    default:
        return "\nCan't open " + name + "\n";
    }
}

Failure write_failure(WriteStatus status, const std::string& name)
{
    switch (status) {
    case WriteStatus::cant_open:
        return {"\nCan't open " + name + "\n", true};
    case WriteStatus::cant_read:
        return {"\nCan't read " + name + "\n"};
    case WriteStatus::owner_not_kept:
        return {"\nCan't keep the owner of " + name + ", so it is left as it was\n"};
    default:
        return {"\nCan't write " + name + "\n"};
    }
}

void read_or_fail(const std::string& name, OnFailure on_failure, const std::function<ReadStatus(InputFile&)>& read)
{
    // The file may be the terminal itself: what was printed shows first.
    std::fflush(stdout);
    InputFile file(name);
    const ReadStatus status = file.status() == ReadStatus::ok ? read(file) : file.status();
    if (status == ReadStatus::ok)
        return;
    if (on_failure == OnFailure::usage)
        fail_with_usage(read_failure(status, name));
    fail(read_failure(status, name));
}
