// What is Windows' own: text files with CR LF and 0x1A, wide names, the
// read-only attribute, the console. Each row runs quogtran.exe in a scratch
// folder with standard input and output redirected to files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <windows.h>

#include "platform/windows/system.h"
#include "rows.h"
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

// Whether what the program has shown comes to hold text, within a minute.
bool shown_soon(const std::string& text)
{
    for (int tries = 0; tries < 6000; ++tries, ::Sleep(10))
        if (read("shown.out").find(text) != std::string::npos)
            return true;
    return false;
}

// Once the program has shown text, act is done: the rest typed, or a file
// changed.
struct Step {
    std::string text;
    std::function<void()> act;
};

// Runs quogtran with arguments (as the system keeps them) and its output in shown.out, typing
// the bytes of typed on a pipe after the steps; gives its exit status and
// puts its output in shown.
int run_quogtran(
    const std::wstring& arguments, const std::string& typed, std::string& shown, const std::vector<Step>& steps = {})
{
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE keys = nullptr;
    HANDLE typing = nullptr;
    const HANDLE output = ::CreateFileW(L"shown.out", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!::CreatePipe(&keys, &typing, &inherited, 0) || output == INVALID_HANDLE_VALUE)
        return -1;
    ::SetHandleInformation(typing, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = keys;
    startup.hStdOutput = startup.hStdError = output;
    std::wstring command = L"\"" + built(QUOGTRAN_BINARY).wstring() + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    const bool started =
        ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    ::CloseHandle(keys);
    ::CloseHandle(output);
    for (const Step& step : steps)
        if (started && shown_soon(step.text))
            step.act();
    DWORD written = 0;
    ::WriteFile(typing, typed.data(), static_cast<DWORD>(typed.size()), &written, nullptr);
    ::CloseHandle(typing);
    DWORD status = static_cast<DWORD>(-1);
    if (started) {
        ::WaitForSingleObject(process.hProcess, INFINITE);
        ::GetExitCodeProcess(process.hProcess, &status);
        ::CloseHandle(process.hProcess);
        ::CloseHandle(process.hThread);
    }
    shown = read("shown.out");
    return static_cast<int>(status);
}

// Runs a Unix command, as wine runs a Unix program: links are made from
// the Unix side, as wine shows them, and removed from there too.
bool run_unix(const std::string& command)
{
    std::wstring line = std::filesystem::u8path(command).wstring();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    return true;
}

const std::string dictionary = "x+=\" _cat_->~kat_ _dog_->~dogg_\";\r\n";
using Files = std::vector<std::pair<std::string, std::string>>; // UTF-8 names, bytes

struct Case {
    std::string name;
    std::string input_name = "story.txt"; // UTF-8
    std::string input = "cat";
    std::string dict = dictionary; // quogo.dic, or none when empty
    std::string typed{};
    bool read_only_output = false; // story.qgo there already, read-only
    int status = 0;
    std::string output_name = "story.qgo"; // UTF-8: its bytes must be expected_output
    std::string expected_output{};
    std::string expected_dict = dictionary;
    bool twice = false;      // run again: its own outputs are replaced, no copy kept
    std::string shown_has{}; // a text the console must show
    Files before{};          // more files, there before the run
    Files after{};           // files that must hold these bytes after it; else no NAME~ is made
    std::vector<std::string> folders{};
    std::vector<Step> steps{}; // while the run waits
    Files links{};             // symbolic links made from the Unix side: name, target
    std::wstring argument{};   // in place of input_name, as the system keeps it
};

std::string footer_of(int words)
{
    return "\r\nTranslation by Quog Speak Version " + std::string(QUOGTRAN_VERSION_TEXT) +
        "\r\nThe dishunary contains " + std::to_string(words) + " wurds.\r\n\r\n";
}

std::vector<Case> windows_cases()
{
    const std::string footer = footer_of(2);
    // A row per case, its fields packed as a table.
    // clang-format off
    std::vector<Case> cases{
        {.name = "outputs carry CR LF", .input = "cat\ndog\r\n", .expected_output = "kat \r\ndogg \r\n" + footer},
        {.name = "0x1A ends the input", .input = "cat\x1a dog\n", .output_name = "story.htm",
            .expected_output = "kat " + footer},
        {.name = "0x1A ends a dictionary: the link after it is never followed", .input = "dog",
            .dict = dictionary + "\x1a|gone.dic]", .expected_output = "dogg " + footer,
            .expected_dict = dictionary + "\x1a|gone.dic]"},
        {.name = "a second run keeps no copy of the first one's output", .expected_output = "kat " + footer,
            .twice = true},
        {.name = "a UTF-8 name", .input_name = "r\xc3\xa9" "cit.txt", .output_name = "r\xc3\xa9" "cit.qgo",
            .expected_output = "kat " + footer},
        {.name = "a read-only output is refused before anything is written", .read_only_output = true, .status = 1,
            .expected_output = "mine", .shown_has = "\r\nCan't write story.qgo: Access denied\r\n"},
        {.name = "a missing dictionary: where it is looked for", .dict = "", .status = 1, .expected_dict = "",
            .shown_has = "The dictionary quogo.dic is looked for in the current folder"},
        {.name = "the rewrite keeps the dictionary's CR LF, before its 0x1A", .input = "mouse",
            .dict = dictionary + "\x1a", .typed = "kmouse->mowse\n\nkkk", .expected_output = "mowse " + footer_of(3),
            .expected_dict = dictionary + "x+=\" _mouse_->~mowse_\";\r\n\x1a"},
        {.name = "an earlier copy is never copied over", .expected_output = "kat " + footer,
            .before = {{"story.qgo", "mine"}, {"story.qgo~", "older"}},
            .after = {{"story.qgo~", "older"}, {"story.qgo.~1~", "mine"}}},
        {.name = "a backslash parts folders", .input_name = "dir.v2\\story.txt", .output_name = "dir.v2\\story.qgo",
            .expected_output = "kat " + footer, .folders = {"dir.v2"}},
        {.name = "a device is no dictionary", .dict = dictionary + "|NUL]", .status = 1,
            .expected_dict = dictionary + "|NUL]",
            .shown_has = "\r\nCan't open NUL: a reserved device name on Windows\r\n"},
        {.name = "a name too long for the system is refused as such", .dict = dictionary + "|" + std::string(40000, 'a') + "]",
            .status = 1, .expected_dict = dictionary + "|" + std::string(40000, 'a') + "]",
            .shown_has = "aaa: " + reason(ERROR_FILENAME_EXCED_RANGE) + "\r\n"},
        {.name = "a folder in an output's place", .status = 1,
            .shown_has = "\r\nCan't write story.qgo: Is a directory\r\n", .folders = {"story.qgo"}},
        {.name = "an input saved again while the run waits, of the same size", .typed = "kmouse->mowse\n\nkkk",
            .status = 1, .expected_dict = dictionary + "x+=\" _mouse_->~mowse_\";\r\n",
            .shown_has = "\r\nCan't read story.txt: it changed while it was read\r\n",
            .steps = {{"Strike Any Key", [] { write("story.txt", "dog"); }}}},
        {.name = "a linked output keeps its link, and what it leads to is replaced",
            .expected_output = "kat " + footer, .before = {{"elsewhere/thesis.txt", "mine"}},
            .after = {{"elsewhere/thesis.txt", "kat " + footer}, {"elsewhere/thesis.txt~", "mine"}},
            .folders = {"elsewhere"}, .links = {{"story.qgo", "elsewhere/thesis.txt"}}},
        {.name = "a linked dictionary keeps its link, and what it leads to takes the words", .input = "mouse",
            .dict = dictionary + "|names.dic]", .typed = "kmouse->mowse\n\nkkk",
            .expected_output = "mowse " + footer_of(4), .expected_dict = dictionary + "|names.dic]",
            .before = {{"shared/names.dic", "x+=\" _emu_->~eemu_\";\r\n"}},
            .after = {{"shared/names.dic", "x+=\" _emu_->~eemu_\";\r\nx+=\" _mouse_->~mowse_\";\r\n"}},
            .folders = {"shared"}, .links = {{"names.dic", "shared/names.dic"}}},
        {.name = "a chain link that is not UTF-8", .dict = dictionary + "|caf\xe9.dic]", .status = 1,
            .expected_dict = dictionary + "|caf\xe9.dic]",
            .shown_has = "\r\nCan't open caf\xe9.dic: the name is not valid UTF-8\r\n"},
        {.name = "a typed link that is not UTF-8, after a pair", .input = "mouse",
            .typed = "kmouse->mowse\n|caf\xe9.dic]\n\nkkk", .expected_output = "mowse " + footer_of(3),
            .expected_dict = dictionary + "x+=\" _mouse_->~mowse_\";\r\n",
            .shown_has = "Not added: caf\xe9.dic is not a regular file that can be read"},
        {.name = "an argument holding a lone surrogate", .status = 1,
            .shown_has = ".qgo: the name is not valid UTF-8\r\n", .argument = L"st\xd800ry.txt"},
        {.name = "a one-line dictionary takes the group on a line of its own, with CR LF", .input = "mouse",
            .dict = "_cat_->~kat_ _dog_->~dogg_", .typed = "kmouse->mowse\n\nkkk",
            .expected_output = "mowse " + footer_of(3),
            .expected_dict = "_cat_->~kat_ _dog_->~dogg_\r\nx+=\" _mouse_->~mowse_\";\r\n"},
    };
    for (const char* device : {"nul.txt", "CON.txt", "aux", "Prn.story.txt", "com1.txt", "LPT9.txt", "sub/nul.txt"}) {
        const std::string base = std::string(device).substr(0, std::string(device).find('.'));
        cases.push_back({.name = std::string("the device name ") + device, .input_name = device, .input = "",
            .status = 1, .output_name = "story.qgo",
            .shown_has = "\r\nCan't write " + base + ".qgo: a reserved device name on Windows\r\n",
            .folders = {"sub"}});
    }
    return cases;
    // clang-format on
}

class Windows : public testing::TestWithParam<Case> { };

TEST_P(Windows, TextFilesNamesAndRights)
{
    const Case& c = GetParam();
    const ScratchDirectory scratch;
    for (const std::string& folder : c.folders)
        std::filesystem::create_directory(std::filesystem::u8path(folder));
    if (!c.input.empty()) // a device's name is never written to
        write(std::filesystem::u8path(c.input_name), c.input);
    if (!c.dict.empty())
        write("quogo.dic", c.dict);
    for (const auto& [name, bytes] : c.before)
        write(std::filesystem::u8path(name), bytes);
    for (const auto& [name, target] : c.links)
        if (!run_unix("/bin/ln -s " + target + " " + name))
            GTEST_SKIP() << "no /bin/ln to make a link from the Unix side: not under wine";
    if (c.read_only_output) {
        write("story.qgo", "mine");
        std::filesystem::permissions(
            "story.qgo", std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
    }
    std::string shown;
    const std::wstring arguments = c.argument.empty() ? std::filesystem::u8path(c.input_name).wstring() : c.argument;
    EXPECT_EQ(run_quogtran(arguments, c.typed, shown, c.steps), c.status) << shown;
    if (c.twice) {
        EXPECT_EQ(run_quogtran(arguments, c.typed, shown), c.status) << shown;
    }
    EXPECT_TRUE(!c.after.empty() || !std::filesystem::exists(std::filesystem::u8path(c.output_name + "~")));
    for (const auto& [name, bytes] : c.after)
        EXPECT_EQ(read(std::filesystem::u8path(name)), bytes) << name;
    EXPECT_EQ(read(std::filesystem::u8path(c.output_name)), c.expected_output);
    EXPECT_EQ(read("quogo.dic"), c.expected_dict);
    EXPECT_NE(shown.find(c.shown_has), std::string::npos) << shown;
    for (const std::string folder : {".", "dir.v2"}) {
        std::error_code missing;
        for (const auto& entry : std::filesystem::directory_iterator(folder, missing))
            EXPECT_FALSE(entry.path().filename().string().starts_with(".quogtran-")) << entry.path().string();
    }
    for (const auto& [name, target] : c.links)
        run_unix("/bin/rm " + name); // a link the system cannot follow is never removed from here
}

INSTANTIATE_TEST_SUITE_P(Each, Windows, testing::ValuesIn(windows_cases()), row_name<Case>);

// Each documented failure of ReplaceFileW, as it leaves the files: the old
// one (or, had no backup been taken, neither), the new one under its own
// name. Settled, the name holds the old one, or else the new one.
TEST(Windows, AFailedReplaceLosesNoVersion)
{
    struct Left {
        DWORD error;
        const char *replaced, *backup; // the old file's bytes under each name, or nullptr
        bool in_place;                 // the new one then holds the name
    };
    for (const Left& left : {Left{ERROR_UNABLE_TO_MOVE_REPLACEMENT, "old", nullptr, false},
             {ERROR_UNABLE_TO_MOVE_REPLACEMENT, nullptr, nullptr, true},
             {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, nullptr, "old", false},
             {ERROR_UNABLE_TO_REMOVE_REPLACED, "old", nullptr, false}}) {
        const ScratchDirectory scratch;
        if (left.replaced != nullptr)
            write("story.qgo", left.replaced);
        if (left.backup != nullptr)
            write("backup", left.backup);
        write("new", "new");
        const auto whole = [](const char* name) { return std::filesystem::absolute(name).wstring(); };
        EXPECT_EQ(settle_failed_replace(left.error, whole("story.qgo"), whole("new"), whole("backup")), left.in_place)
            << left.error;
        EXPECT_EQ(read("story.qgo"), left.in_place ? "new" : "old") << left.error;
    }
}

// What the console gives in UTF-16 the program takes in UTF-8, a lone
// surrogate in bytes that are refused as a name; what it writes in UTF-8
// reaches the console whole, a character cut between two writes too.
TEST(Windows, TheConsolesCharactersAreUTF8)
{
    const std::pair<std::wstring, std::string> typed[] = {{L"caf\u00e9", "caf\xc3\xa9"},
        {L"\U0001F600", "\xf0\x9f\x98\x80"}, {L"a\xd800", "a\xed\xa0\x80"}, {L"\xdc00", "\xed\xb0\x80"}};
    for (const auto& [utf16, utf8] : typed) {
        EXPECT_EQ(to_utf8(utf16), utf8);
        std::wstring back;
        EXPECT_EQ(to_utf16(utf8, back), utf8.find('\xed') == std::string::npos) << utf8;
    }
    std::string pending;
    EXPECT_EQ(console_text(pending, "r\xc3"), L"r");
    EXPECT_EQ(console_text(pending,
                  "\xa9"
                  "cit \xf0\x9f"),
        L"\u00e9cit ");
    EXPECT_EQ(console_text(pending, "\x98\x80"), L"\U0001F600");
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
    run_quogtran(L"story.txt", "", shown);
    DWORD after = 0;
    ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &after);
    EXPECT_EQ(after, mode);
}

} // namespace
