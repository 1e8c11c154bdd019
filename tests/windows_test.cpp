// What is Windows' own: text files with CR LF and 0x1A, wide names, the
// read-only attribute, the console. Each row runs quogtran.exe in a scratch
// folder with standard input and output redirected to files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <windows.h>

#include "test_support.h"

namespace {

// A path of the build, which under wine is a Linux path: on the Z: drive.
std::filesystem::path built(const std::string& path)
{
    return std::filesystem::path(path.starts_with('/') ? "Z:" + path : path);
}

std::string read(const std::filesystem::path& name)
{
    std::ifstream file(name, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void write(const std::filesystem::path& name, const std::string& bytes)
{
    std::ofstream(name, std::ios::binary) << bytes;
}

// Runs quogtran with arguments (UTF-8), typed bytes as its standard input;
// gives its exit status and puts its output in shown.
int run_quogtran(const std::string& arguments, const std::string& typed, std::string& shown)
{
    write("typed.in", typed);
    const std::wstring command = L"\"" + built(QUOGTRAN_BINARY).wstring() + L"\" " +
        std::filesystem::u8path(arguments).wstring() + L" < typed.in > shown.out";
    const int status = _wsystem(command.c_str());
    shown = read("shown.out");
    return status;
}

const std::string dictionary = "x+=\" _cat_->~kat_ _dog_->~dogg_\";\r\n";

struct Case {
    std::string what;
    std::string input_name; // UTF-8
    std::string input;
    std::string dict; // quogo.dic, or none when empty
    std::string typed;
    bool read_only_output; // story.qgo there already, read-only
    int status;
    std::string output_name; // UTF-8: its bytes must be expected_output
    std::string expected_output;
    std::string expected_dict;
    bool twice = false;      // run again: its own outputs are replaced, no copy kept
    std::string shown_has{}; // a text the console must show
};

TEST(Windows, TextFilesNamesAndRights)
{
    const auto footer_of = [](int words) {
        return "\r\nTranslation by Quog Speak Version " + std::string(QUOGTRAN_VERSION_TEXT) +
            "\r\nThe dishunary contains " + std::to_string(words) + " wurds.\r\n\r\n";
    };
    const std::string footer = footer_of(2);
    const Case cases[] = {
        {"outputs carry CR LF", "story.txt", "cat\ndog\r\n", dictionary, "", false, 0, "story.qgo",
            "kat \r\ndogg \r\n" + footer, dictionary},
        {"0x1A ends the input", "story.txt", "cat\x1a dog\n", dictionary, "", false, 0, "story.htm", "kat " + footer,
            dictionary},
        {"0x1A ends a dictionary: the link after it is never followed", "story.txt", "dog",
            dictionary + "\x1a|gone.dic]", "", false, 0, "story.qgo", "dogg " + footer, dictionary + "\x1a|gone.dic]"},
        {"a second run keeps no copy of the first one's output", "story.txt", "cat", dictionary, "", false, 0,
            "story.qgo", "kat " + footer, dictionary, true},
        {"a UTF-8 name",
            "r\xc3\xa9"
            "cit.txt",
            "cat", dictionary, "", false, 0,
            "r\xc3\xa9"
            "cit.qgo",
            "kat " + footer, dictionary},
        {"a read-only output is refused before anything is written", "story.txt", "cat", dictionary, "", true, 1,
            "story.qgo", "mine", dictionary, false, "\nCan't write story.qgo: Access"},
        {"a missing dictionary: where it is looked for", "story.txt", "cat", "", "", false, 1, "story.qgo", "", "",
            false, "The dictionary quogo.dic is looked for in the current folder"},
        {"the rewrite keeps the dictionary's CR LF, before its 0x1A", "story.txt", "mouse", dictionary + "\x1a",
            "kmouse->mowse\n\nkkk", false, 0, "story.qgo", "mowse " + footer_of(3),
            dictionary + "x+=\" _mouse_->~mowse_\";\r\n\x1a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ScratchDirectory scratch;
        write(std::filesystem::u8path(c.input_name), c.input);
        if (!c.dict.empty())
            write("quogo.dic", c.dict);
        if (c.read_only_output) {
            write("story.qgo", "mine");
            std::filesystem::permissions(
                "story.qgo", std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
        }
        std::string shown;
        EXPECT_EQ(run_quogtran(c.input_name, c.typed, shown), c.status) << shown;
        if (c.twice) {
            EXPECT_EQ(run_quogtran(c.input_name, c.typed, shown), c.status) << shown;
        }
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::u8path(c.output_name + "~")));
        EXPECT_EQ(read(std::filesystem::u8path(c.output_name)), c.expected_output);
        EXPECT_EQ(read("quogo.dic"), c.expected_dict);
        EXPECT_NE(shown.find(c.shown_has), std::string::npos) << shown;
    }
}

TEST(Windows, TheConsoleModeIsPutBack)
{
    DWORD mode = 0;
    if (!::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode))
        GTEST_SKIP() << "standard input is no console here: the console's modes can only be tried by hand";
    const ScratchDirectory scratch;
    write("story.txt", "cat");
    write("quogo.dic", dictionary);
    std::string shown;
    run_quogtran("story.txt", "", shown);
    DWORD after = 0;
    ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &after);
    EXPECT_EQ(after, mode);
}

} // namespace
