// Helpers for unit tests that drive the console: standard input from bytes,
// standard output captured, and a scratch working directory.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

// A name under the temporary folder that no file has yet, most likely.
inline std::filesystem::path fresh_temporary(const std::string& prefix)
{
    static std::mt19937_64 random{std::random_device{}()};
    return std::filesystem::temp_directory_path() / (prefix + std::to_string(random()));
}

// Sets (or, with nullptr, removes) an environment variable.
inline void set_environment(const char* name, const char* value)
{
#ifdef _WIN32
    _putenv_s(name, value == nullptr ? "" : value);
#else
    value == nullptr ? ::unsetenv(name) : ::setenv(name, value, 1);
#endif
}

// Makes the following reads of standard input return bytes, then end.
inline void feed_stdin(const std::string& bytes)
{
    const std::string name = fresh_temporary("quogtran-stdin-").string();
    std::ofstream(name, std::ios::binary) << bytes;
    ASSERT_NE(std::freopen(name.c_str(), "rb", stdin), nullptr);
    std::error_code open_on_windows; // where an open file stays until it is closed
    std::filesystem::remove(name, open_on_windows);
}

inline void start_capture()
{
    std::fflush(stdout);
    testing::internal::CaptureStdout();
}

inline std::string captured()
{
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// Runs a test inside a fresh scratch directory, the working directory for
// as long as the object lives.
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        do
            dir_ = fresh_temporary("quogtran-unit-");
        while (!std::filesystem::create_directory(dir_));
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    ~ScratchDirectory()
    {
        std::filesystem::current_path(previous_);
        remove_tree(dir_);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    static void write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(name, std::ios::binary) << bytes;
    }

private:
    // Each entry tried once, so that one that will not go (a link wine cannot
    // follow, a file a program just ended still holds) is left behind
    // rather than tried for ever, as remove_all may under wine.
    static void remove_tree(const std::filesystem::path& dir)
    {
        std::error_code ignored;
        std::vector<std::filesystem::path> entries;
        for (std::filesystem::directory_iterator entry(dir, ignored), end; !ignored && entry != end;
             entry.increment(ignored))
            entries.push_back(entry->path());
        for (const std::filesystem::path& entry : entries) {
            if (std::filesystem::is_directory(std::filesystem::symlink_status(entry, ignored))) {
                remove_tree(entry);
                continue;
            }
            // A read-only file, as a row leaves one, goes too on Windows.
            std::filesystem::permissions(entry, std::filesystem::perms::owner_write,
                std::filesystem::perm_options::add | std::filesystem::perm_options::nofollow, ignored);
            std::filesystem::remove(entry, ignored);
        }
        std::filesystem::remove(dir, ignored);
    }

    std::filesystem::path dir_;
    std::filesystem::path previous_;
};
