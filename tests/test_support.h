// Helpers for unit tests that drive the console: standard input from bytes,
// standard output captured, and a scratch working directory.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// Makes the following reads of standard input return bytes, then end.
inline void feed_stdin(const std::string& bytes)
{
    const std::string name =
        (std::filesystem::temp_directory_path() / ("quogtran-stdin-" + std::to_string(::getpid()))).string();
    std::ofstream(name, std::ios::binary) << bytes;
    ASSERT_NE(std::freopen(name.c_str(), "rb", stdin), nullptr);
    std::filesystem::remove(name);
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
        std::string pattern = (std::filesystem::temp_directory_path() / "quogtran-unit-XXXXXX").string();
        dir_ = ::mkdtemp(pattern.data());
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    ~ScratchDirectory()
    {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    static void write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(name, std::ios::binary) << bytes;
    }

private:
    std::filesystem::path dir_;
    std::filesystem::path previous_;
};
