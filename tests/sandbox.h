// A scratch directory in which the built program runs with chosen
// arguments, files and standard input.
#pragma once

#include <string>
#include <vector>

struct RunResult {
    int status = -1;     // the exit status, or -1 when the program did not exit
    std::string console; // everything it wrote to standard output and error
};

class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::string& dir() const { return dir_; }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    void write(const std::string& name, const std::string& bytes) const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;
    std::vector<std::string> names(const std::string& folder = ".") const; // the files there, sorted

    struct Options {
        std::string before;                               // shell commands run first, here
        std::string redirects = "<.stdin >.console 2>&1"; // standard input, output and error
        bool as_nobody = false;                           // run as the unprivileged user

        static Options first(std::string commands)
        {
            Options options;
            options.before = std::move(commands);
            return options;
        }
        static Options nobody()
        {
            Options options;
            options.as_nobody = true;
            return options;
        }
    };

    // Runs the program here with args, feeding input on standard input.
    RunResult run(const std::vector<std::string>& args, const std::string& input = "") const;
    RunResult run(const std::vector<std::string>& args, const std::string& input, const Options& options) const;

private:
    std::string dir_;
};

// Runs the program with calls on its temporary files failing (close or
// fsync), through a preloaded library.
Sandbox::Options failing(const std::string& call);

// Runs as root can drop to nobody to meet permissions; others can't.
bool can_run_as_nobody();

// The dictionary most runs use.
inline const std::string two_words = "_still_->~ztill_ _cat_->~kat_";

// A key wait and the add-words prompt, as a terminal shows them.
inline const std::string wait_shown = "Strike Any Key ...\r\n";
inline const std::string prompt_shown = "Press Enter to exit : ";

// The fixed console texts of the program.
extern const std::string banner;
extern const std::string usage_screen;
std::string pass_header(const std::string& dict, bool untranslating = false);
std::string add_prompt(const std::string& dict, const std::string& example);
std::string closing_line(const std::string& first, const std::string& second);
std::string footer(long words, bool untranslating = false);

// How often needle occurs in haystack.
int count_of(const std::string& haystack, const std::string& needle);

// piece, times over.
std::string repeated(const std::string& piece, std::size_t times);
