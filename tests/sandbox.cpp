#include "sandbox.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

const std::string banner =
    "\x1b[1m\x1b[34m\n\nQuog Speak Version " QUOGTRAN_VERSION_TEXT " - word by word, from the quogtran makers\x1b[0m";

const std::string usage_screen = "\nTranslate English to Quog Speak or \"Untranslate\" Quog Speak to English"
                                 "\n\nUsage: quogtran -v -u filename.typ"
                                 "\n-v gives verbose reporting"
                                 "\n-u \"untranslate\" Quog Speak to English"
                                 "\nDefault is translate English to Quog Speak"
                                 "\n\nStrike Any Key ...\n";

std::string pass_header(const std::string& dict, bool untranslating)
{
    return "\n\nNow using the " + dict + " dictionary.\n\nPlease be patient while I " + (untranslating ? "un" : "") +
        "translate ...\n\n";
}

std::string add_prompt(const std::string& dict, const std::string& example)
{
    return "\nTo add to the " + dict + " dictionary, enter a string like \x1b[1m\x1b[37m" + example +
        "\x1b[0m\nPress Enter to exit : ";
}

std::string closing_line(const std::string& first, const std::string& second)
{
    return "\n\x1b[1m\x1b[37m\nSee " + first + " and " + second + " for output.\n\n\x1b[0m";
}

std::string footer(long words, bool untranslating)
{
    return std::string(untranslating ? "\nUntranslation by " : "\nTranslation by ") +
        "Quog Speak Version " QUOGTRAN_VERSION_TEXT "\nThe dishunary contains " + std::to_string(words) + " wurds.\n\n";
}

int count_of(const std::string& haystack, const std::string& needle)
{
    int count = 0;
    for (std::size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + needle.size()))
        ++count;
    return count;
}

std::string repeated(const std::string& piece, std::size_t times)
{
    std::string text;
    text.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

namespace {
std::string quoted(const std::string& text)
{
    std::string result = "'";
    for (const char ch : text) {
        if (ch == '\'')
            result += "'\\''";
        else
            result += ch;
    }
    return result + "'";
}
} // namespace

Sandbox::Sandbox()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quogtran-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a scratch directory");
    dir_ = pattern;
}

Sandbox::~Sandbox()
{
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

void Sandbox::write(const std::string& name, const std::string& bytes) const
{
    std::ofstream file(path(name), std::ios::binary | std::ios::trunc);
    file << bytes;
    if (!file.flush())
        throw std::runtime_error("cannot write " + name);
}

std::string Sandbox::read(const std::string& name) const
{
    std::ifstream file(path(name), std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

bool Sandbox::exists(const std::string& name) const
{
    struct stat info;
    return ::lstat(path(name).c_str(), &info) == 0;
}

std::vector<std::string> Sandbox::names(const std::string& folder) const
{
    std::vector<std::string> found;
    std::error_code missing;
    for (const auto& entry : std::filesystem::directory_iterator(path(folder), missing))
        found.push_back(entry.path().filename().string());
    std::sort(found.begin(), found.end());
    return found;
}

RunResult Sandbox::run(const std::vector<std::string>& args, const std::string& input) const
{
    return run(args, input, Options{});
}

Sandbox::Options failing(const std::string& call)
{
    // The address sanitizer's runtime would rather be loaded first.
    return Sandbox::Options::first(
        "LD_PRELOAD=" FAULT_SHIM " QUOGTRAN_FAIL=" + call + " ASAN_OPTIONS=verify_asan_link_order=0 ");
}

bool can_run_as_nobody()
{
    return ::geteuid() == 0 && ::getpwnam("nobody") != nullptr;
}

RunResult Sandbox::run(const std::vector<std::string>& args, const std::string& input, const Options& options) const
{
    write(".stdin", input);
    // Colour as the tests expect it, whatever the environment asks for.
    std::string command =
        "cd " + quoted(dir_) + " && unset NO_COLOR; export TERM=xterm; " + options.before + quoted(QUOGTRAN_BINARY);
    for (const std::string& arg : args)
        command += " " + quoted(arg);
    command += " " + options.redirects;

    const passwd* nobody = options.as_nobody ? ::getpwnam("nobody") : nullptr;
    struct stat folder { };
    if (nobody != nullptr && ::stat(dir_.c_str(), &folder) == 0)
        ::chmod(dir_.c_str(), (folder.st_mode & 07000) | 0777); // a sticky folder stays sticky
    const pid_t child = ::fork();
    if (child == 0) {
        if (nobody != nullptr &&
            (::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0))
            ::_exit(126);
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int raw = 0;
    RunResult result;
    if (child > 0 && ::waitpid(child, &raw, 0) == child && WIFEXITED(raw))
        result.status = WEXITSTATUS(raw);
    result.console = read(".console");
    std::filesystem::remove(path(".stdin"));
    std::filesystem::remove(path(".console"));
    return result;
}
