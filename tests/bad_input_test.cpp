// Every kind of bad input ends in a clear message or a completed run, with
// the right exit status, and loses nothing: the input and the dictionary
// keep their bytes unless the run is meant to change them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <type_traits>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "rows.h"
#include "sandbox.h"

namespace {

// A file's bytes, or what makes them when the row runs: every row is
// built in every process of the suite, and some files are large.
class Bytes {
public:
    Bytes(const char* bytes) : bytes_(bytes) { }
    Bytes(std::string bytes) : bytes_(std::move(bytes)) { }
    template <typename Make>
    requires std::is_convertible_v<Make, std::string (*)()> Bytes(Make make) : make_(make) { }
    std::string get() const { return make_ != nullptr ? make_() : bytes_; }

private:
    std::string bytes_;
    std::string (*make_)() = nullptr;
};
using Files = std::vector<std::pair<std::string, Bytes>>;
using Links = std::vector<std::pair<std::string, std::string>>;

const std::string cat = "_cat_->~kat_";

struct Case {
    std::string name;
    Files files{{"quogo.dic", cat}, {"story.txt", "cat\n"}}; // written before the run
    std::vector<std::string> args{"story.txt"};
    std::string typed{}; // standard input
    bool succeeds = false;
    std::string console_has{};       // a text the console must show
    std::string output_has{};        // a text story.qgo must hold, if any
    std::vector<std::string> dirs{}; // directories made before the run
    Links links{};                   // symbolic links: name, target
    bool extends_dictionary = false;
    Links hard_links{};                          // hard links: name, existing file
    Sandbox::Options options{};                  // commands run first, redirections, user
    std::vector<std::string> absent{};           // files the run must not create
    std::function<bool(const Sandbox&)> setup{}; // run last, before the program; false: it can't be done here
    std::string console_lacks{};                 // a text the console must not show
};

// A memory limit makes an endless file run out of memory at once, but the
// address sanitizer needs more address space than any such limit allows.
#if defined(__SANITIZE_ADDRESS__)
const std::string memory_limit = "";
#else
const std::string memory_limit = "ulimit -v 400000; ";
#endif

std::string big_dictionary()
{
    std::string dict;
    for (int i = 0; i < 100000; ++i)
        dict += " _w" + std::to_string(i) + "_->~q" + std::to_string(i) + "_\n";
    return dict;
}

// 2,000 words holding _, each of another length, and a dictionary with
// 900,000 underscores: searched a length at a time, as the span search once
// was, they took seconds.
std::string words_of_every_length()
{
    std::string text;
    for (int n = 0; n < 2000; ++n)
        text += "w" + std::string(static_cast<std::size_t>(n), 'x') + "_y ";
    return text + "\n";
}
// Words of step 1 to 800 times over between before and after: as many
// counts of what their keys span as such a text can hold.
std::string words_of_many_openings(const std::string& before, const std::string& step, const std::string& after)
{
    std::string text;
    for (std::size_t count = 1; count <= 800; ++count)
        text += before + repeated(step, count) + after + " ";
    return text;
}
std::string many_underscores()
{
    std::string dict;
    for (int n = 0; n < 300000; ++n)
        dict += " _d" + std::to_string(n) + "_->~q" + std::to_string(n) + "_";
    return dict + " _wxxx_y_->~found_";
}

// 100,000 entries whose 8-byte English words the hash that the index once
// had, unkeyed and invertible, sends to one slot of its table, so that
// building it took time in the square of their number.
std::string crafted_dictionary()
{
    const auto unshift = [](std::uint64_t h) { return h ^ h >> 32; };
    std::uint64_t inverse = 0xd6e8feb86659fd93ull; // of the mixing multiplier, by Newton's steps
    for (int step = 0; step < 5; ++step)
        inverse *= 2 - 0xd6e8feb86659fd93ull * inverse;
    std::string dict;
    for (std::uint64_t n = 1; dict.size() < 100000 * 16; ++n) {
        const std::uint64_t block = unshift(unshift(n << 18) * inverse) ^ 8 * 0x9e3779b97f4a7c15ull;
        std::string word(8, '\0');
        std::memcpy(word.data(), &block, 8);
        if (word.find_first_of(std::string("_ ~|]\r\n")) == std::string::npos)
            dict += "_" + word + "_->~q_ ";
    }
    return dict;
}

// Makes the folder shared, as /tmp is (sticky and writable by all), and
// hands every link in it to another user, as if planted there.
bool planted(const Sandbox& box)
{
    ::chmod(box.dir().c_str(), 01777);
    ::chmod(box.path("private").c_str(), 0700);
    for (const std::string& name : box.names()) {
        struct stat info { };
        if (::lstat(box.path(name).c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
            ::lchown(box.path(name).c_str(), 65534, 65534) != 0)
            return false;
    }
    return true;
}

// Makes the folder sticky, of mode and folder_owner, with its links owned
// by link_owner and a folder out that anyone may write.
std::function<bool(const Sandbox&)> sticky(mode_t mode, uid_t folder_owner, uid_t link_owner)
{
    return [=](const Sandbox& box) {
        ::chmod(box.path("out").c_str(), 0777);
        return ::lchown(box.path("story.qgo").c_str(), link_owner, link_owner) == 0 &&
            ::chown(box.dir().c_str(), folder_owner, folder_owner) == 0 && ::chmod(box.dir().c_str(), mode) == 0;
    };
}

// Makes the folder shelf append-only, or ordinary again; false when chattr
// is missing or not allowed here.
bool append_only(const Sandbox& box, bool on)
{
    return !box.exists("shelf") ||
        std::system(("chattr " + std::string(on ? "+a '" : "-a '") + box.path("shelf") + "' 2>/dev/null").c_str()) == 0;
}

// Makes name another user's FIFO in the folder, made shared.
std::function<bool(const Sandbox&)> others_fifo(const std::string& name)
{
    return [=](const Sandbox& box) {
        return ::mkfifo(box.path(name).c_str(), 0666) == 0 && ::chown(box.path(name).c_str(), 65534, 65534) == 0 &&
            planted(box);
    };
}

Sandbox::Options redirected(std::string redirects)
{
    Sandbox::Options options;
    options.redirects = std::move(redirects);
    return options;
}
const std::string long_word(10000, 'w');

// Built when the tests are listed, after the texts they share.
std::vector<Case> bad_inputs()
{
    // A row per case, its fields packed as a table.
    // clang-format off
    return {
        {.name = "missing input", .files = {{"quogo.dic", cat}}, .args = {"missing.txt"},
            .console_has = "\nCan't open missing.txt: No such file or directory\n"},
        {.name = "a missing input whose name holds a line end and a tab", .files = {{"quogo.dic", cat}},
            .args = {"miss\ning\t.txt"}, .console_has = "\nCan't open miss?ing?.txt: No such file or directory\n"},
        {.name = "unreadable input", .files = {{"quogo.dic", cat}}, .args = {"mem.txt"},
            .console_has = "\nCan't read mem.txt: Input/output error\n", .links = {{"mem.txt", "/proc/self/mem"}}},
        {.name = "directory input", .files = {{"quogo.dic", cat}}, .args = {"folder"},
            .console_has = "\nCan't open folder: Is a directory\n", .dirs = {"folder"}},
        {.name = "a linked dictionary whose name holds an escape", .files = {{"quogo.dic", cat + " |gone\x1b[2J.dic]"},
            {"story.txt", "cat\n"}}, .console_has = "\nCan't open gone?[2J.dic: No such file or directory\n"},
        {.name = "missing linked dictionary", .files = {{"quogo.dic", cat + " |gone.dic]"}, {"story.txt", "cat\n"}},
            .console_has = "\nCan't open gone.dic: No such file or directory\n"},
        {.name = "self-linked dictionary", .files = {{"quogo.dic", cat + " |quogo.dic]"}, {"story.txt", "cat\n"}},
            .succeeds = true, .console_has = "The chain comes back to quogo.dic, so it ends here.",
            .output_has = "kat \n"},
        {.name = "mutually linked dictionaries",
            .files = {{"quogo.dic", cat + " |b.dic]"}, {"b.dic", "_kat_->~kot_ |quogo.dic]"}, {"story.txt", "cat\n"}},
            .succeeds = true, .console_has = "The chain comes back to quogo.dic, so it ends here.",
            .output_has = "kot \n"},
        {.name = "link with no bracket",
            .files = {{"quogo.dic", cat + " |b.dic"}, {"b.dic", "_kat_->~kot_"}, {"story.txt", "cat\n"}},
            .succeeds = true, .console_has = "Now using the b.dic dictionary.", .output_has = "kot \n"},
        {.name = "entry with no closing underscore", .files = {{"quogo.dic", "_cat_->~kat"}, {"story.txt", "cat\n"}},
            .succeeds = true, .console_has = "See story.qgo", .output_has = "kat \n"},
        {.name = "untranslate match with nothing before it",
            .files = {{"quogo.dic", "cat_->~kat_"}, {"story.qgo", "kat\n"}}, .args = {"-u", "story.qgo"},
            .succeeds = true, .console_has = "See story.txt"},
        {.name = "NUL and 0x1A bytes",
            .files = {{"quogo.dic", std::string("_c\0t_->~k\x1at_", 12)}, {"story.txt", std::string("c\0t\x1a\n", 5)}},
            .succeeds = true, .console_has = "See story.qgo", .output_has = std::string("c\0t\x1a \n", 6)},
        // Linear, it takes well under a second; read as it once was, with
        // each chunk copying the unfinished line again, twenty.
        {.name = "60 MB input on one line, within 10 s of processor time",
            .files = {{"quogo.dic", cat}, {"story.txt", [] { return repeated("cat ", 15000000); }}}, .succeeds = true,
            .console_has = "See story.qgo", .output_has = "kat kat kat ",
            .options = Sandbox::Options::first("ulimit -t 10; ")},
        {.name = "100,000-entry dictionary", .files = {{"quogo.dic", big_dictionary}, {"story.txt", "w99999 w0 w5\n"}},
            .succeeds = true, .console_has = "See story.qgo", .output_has = "q99999 q0 q5 \n" + footer(100000)},
        {.name = "a word of 40 MB holding _, within 400 MB of memory",
            .files = {{"quogo.dic", cat + " _a_b_->~ab_"},
                {"story.txt", [] { return repeated("a_", 20000000) + " cat a_b\n"; }}},
            .succeeds = true, .console_has = "See story.qgo", .output_has = "kat ab \n",
            .options = Sandbox::Options::first(memory_limit)},
        {.name = "40 MB of words each holding nine underscores, within 400 MB of memory",
            .files = {{"quogo.dic", cat + " _a0_b0_c0_d0_e0_f0_g0_h0_i0_j0_->~found_"},
                {"story.txt",
                    [] {
                        std::string text;
                        for (int n = 0; text.size() < 40000000; ++n)
                            for (const char letter : std::string("abcdefghij"))
                                text += std::string(letter == 'a' ? "" : "_") + letter + std::to_string(n) +
                                    (letter == 'j' ? " " : "");
                        return text + "\n";
                    }}},
            .succeeds = true, .console_has = "See story.qgo", .output_has = "found ",
            .options = Sandbox::Options::first(memory_limit)},
        {.name = "a dictionary of 30 MB of tildes, within 400 MB of memory",
            .files = {{"quogo.dic", [] { return std::string(30000000, '~'); }}, {"story.txt", "cat\n"}},
            .succeeds = true, .console_has = "See story.qgo", .options = Sandbox::Options::first(memory_limit)},
        {.name = "a last word of 15 bytes without a line end",
            .files = {{"quogo.dic", "_fifteenletterss_->~15_"}, {"story.txt", "cat fifteenletterss"}}, .succeeds = true,
            .output_has = "cat 15 \n"},
        {.name = "word of 10,000 characters",
            .files = {{"quogo.dic", "_" + long_word + "_->~long_"}, {"story.txt", long_word + " " + long_word + "x\n"}},
            .succeeds = true, .console_has = "See story.qgo", .output_has = "long " + long_word + "x \n"},
        {.name = "output on a full device",
            .console_has = "\nCan't write story.htm: writing failed: No space left on device\n",
            .links = {{"story.htm", "/dev/full"}}},
        {.name = "message file that cannot be written", .typed = "kdog->dawg\n\nkk",
            .console_has = banner + "\nCan't write quogo.msg: Is a directory\n", .dirs = {"quogo.msg"}},
        {.name = "untranslating beside a message file that cannot be written",
            .files = {{"quogo.dic", cat}, {"story.qgo", "kat\n"}}, .args = {"-u", "story.qgo"}, .succeeds = true,
            .console_has = "See story.txt", .dirs = {"quogo.msg"}},
        {.name = "typed file name of 10,000 characters", .files = {{"quogo.dic", cat}}, .args = {},
            .typed = std::string(10000, 'n') + "\n",
            .console_has = "\nA file name can't be longer than 4096 bytes\n" + usage_screen},
        {.name = "typed pair of 10,000 characters", .typed = "k" + std::string(10000, 'p') + "\n\n", .succeeds = true,
            .console_has = "Not added: a line can't be longer than 4096 bytes", .output_has = "kat \n"},
        {.name = "endless zeros at the prompt", .files = {{"quogo.dic", cat}}, .args = {},
            .console_has = "\nA file name can't be longer than 4096 bytes\n" + usage_screen,
            .options = redirected("</dev/zero >.console 2>&1")},
        {.name = "message file on a full device", .typed = "kdog->dawg\n\nkk",
            .console_has = "\nCan't write quogo.msg: writing failed: No space left on device\n",
            .links = {{"quogo.msg", "/dev/full"}}, .extends_dictionary = true,
            .console_lacks = "which you will find in the file"},
        {.name = "link as the dictionary's first byte",
            .files = {{"quogo.dic", "|b.dic] " + cat}, {"b.dic", "_kat_->~kot_"}, {"story.txt", "cat\n"}},
            .succeeds = true, .console_has = "Now using the b.dic dictionary.", .output_has = "kot \n"},
        {.name = "message file linked to the dictionary", .typed = "kdog->dawg\n\nkk",
            .console_has = banner + "\nWriting quogo.msg would destroy the dictionary quogo.dic\n",
            .links = {{"quogo.msg", "quogo.dic"}}},
        {.name = "output linked to the dictionary",
            .console_has = "\nWriting story.htm would destroy the dictionary quogo.dic\n",
            .links = {{"story.htm", "quogo.dic"}}},
        {.name = "output hard-linked to the dictionary",
            .console_has = "\nWriting story.qgo would destroy the dictionary quogo.dic\n",
            .hard_links = {{"story.qgo", "quogo.dic"}}},
        {.name = "output linked to a chained dictionary",
            .files = {{"quogo.dic", cat + " |b.dic]"}, {"b.dic", ""}, {"story.txt", "cat\n"}},
            .console_has = "\nWriting story.qgo would destroy the dictionary b.dic\n",
            .links = {{"story.qgo", "b.dic"}}},
        {.name = "translating the message file", .files = {{"quogo.dic", cat}, {"quogo.msg", "cat\n"}},
            .args = {"quogo.msg"}, .typed = "kdog->dawg\n\nkk",
            .console_has = banner + "\nWriting quogo.msg would destroy the input file\n"},
        {.name = "input without end", .files = {{"quogo.dic", cat}}, .args = {"zero.txt"},
            .console_has = "\nNot enough memory to read zero.txt\n" + usage_screen,
            .links = {{"zero.txt", "/dev/zero"}}, .options = Sandbox::Options::first(memory_limit)},
        {.name = "linked dictionary without end", .files = {{"quogo.dic", cat + " |zero.dic]"}, {"story.txt", "cat\n"}},
            .console_has = "Loading dictionary ... \nCan't open zero.dic: not a regular file\n",
            .links = {{"zero.dic", "/dev/zero"}}},
        {.name = "a device as the dictionary", .files = {{"story.txt", "cat\n"}},
            .console_has = "Loading dictionary ... \nCan't open quogo.dic: not a regular file\n",
            .links = {{"quogo.dic", "/dev/null"}}},
        {.name = "a FIFO no one writes as a linked dictionary",
            .files = {{"quogo.dic", cat + " |fifo.dic]"}, {"story.txt", "cat\n"}},
            .console_has = "Loading dictionary ... \nCan't open fifo.dic: not a regular file\n",
            .setup = [](const Sandbox& box) { return ::mkfifo(box.path("fifo.dic").c_str(), 0644) == 0; }},
        {.name = "a sync that fails", .files = {{"quogo.dic", cat}, {"story.txt", "cat\n"}, {"story.qgo", "old"}},
            .console_has = "\nCan't write story.qgo", .options = failing("fsync")},
        {.name = "a close that fails", .files = {{"quogo.dic", cat}, {"story.txt", "cat\n"}, {"story.qgo", "old"}},
            .console_has = "\nCan't write story.qgo", .options = failing("close")},
        {.name = "read-only message file, run as nobody",
            .files = {{"quogo.dic", cat}, {"story.txt", "cat\n"}, {"quogo.msg", "old"}}, .typed = "kdog->dawg\n\nkk",
            .console_has = banner + "\nCan't write quogo.msg: Permission denied\n",
            .options = Sandbox::Options::nobody(), .absent = {"story.qgo"}},
        {.name = "another user's output that nobody may write, run as nobody",
            .files = {{"quogo.dic", cat}, {"story.txt", "cat\n"}, {"story.qgo", "theirs"}},
            .console_has = banner + "\nCan't write story.qgo: its owner and group can't be kept\n",
            .options = Sandbox::Options::nobody(),
            .setup = [](const Sandbox& box) { return ::chmod(box.path("story.qgo").c_str(), 0666) == 0; }},
        {.name = "an output in a folder under one that nobody may pass but not read, run as nobody",
            .files = {{"quogo.dic", cat}, {"shelf/open/story.txt", "cat\n"}}, .args = {"shelf/open/story.txt"},
            .succeeds = true, .console_has = "See shelf/open/story.qgo", .dirs = {"shelf", "shelf/open"},
            .options = Sandbox::Options::nobody(),
            .setup =
                [](const Sandbox& box) {
                    return ::chmod(box.path("shelf").c_str(), 0711) == 0 &&
                        ::chmod(box.path("shelf/open").c_str(), 0777) == 0;
                }},
        {.name = "read-only output, run as nobody",
            .files = {{"quogo.dic", cat}, {"story.txt", "cat\n"}, {"story.htm", "old"}},
            .console_has = "\nCan't write story.htm: Permission denied\n", .options = Sandbox::Options::nobody(),
            .absent = {"story.qgo"}},
        {.name = "output that is a folder", .files = {{"quogo.dic", cat}, {"story.txt", "cat\n"}, {"story.qgo", "old"}},
            .console_has = "\nCan't write story.htm: Is a directory\n", .dirs = {"story.htm"}},
        {.name = "dictionary and message file that cannot be written, run as nobody",
            .files = {{"shelf/quogo.dic", cat}, {"story.txt", "cat\n"}}, .typed = "kdog->dawg\n\nkk",
            .console_has =
                "\nCan't write quogo.msg: writing failed: No space left on device\n\nCan't write quogo.dic: Permission "
                "denied\n",
            .dirs = {"shelf"}, .links = {{"quogo.dic", "shelf/quogo.dic"}, {"quogo.msg", "/dev/full"}},
            .options = Sandbox::Options::nobody(),
            .setup = [](const Sandbox& box) { return ::chmod(box.path("shelf").c_str(), 0555) == 0; }},
        {.name = "an output name too long for the file system",
            .files = {{"quogo.dic", cat}, {std::string(252, 'n') + ".t", "cat\n"}},
            .args = {std::string(252, 'n') + ".t"},
            .console_has = "\nCan't write " + std::string(252, 'n') + ".qgo: File name too long\n"},
        {.name = "an output in an append-only folder", .files = {{"quogo.dic", cat}, {"shelf/story.txt", "cat\n"}},
            .args = {"shelf/story.txt"}, .console_has = "\nCan't write shelf/story.qgo: Operation not permitted\n",
            .dirs = {"shelf"}, .setup = [](const Sandbox& box) { return append_only(box, true); }},
        {.name = "another user's links to outputs in a shared folder",
            .console_has = "\nCan't write story.qgo: story.qgo is another user's link in a shared folder\n",
            .dirs = {"private"}, .links = {{"story.qgo", "private/new"}, {"story.htm", "private/file"}},
            .absent = {"private/new", "private/file"}, .setup = planted},
        {.name = "another user's link to the message file in a shared folder", .typed = "kdog->dawg\n\nkk",
            .console_has = banner + "\nCan't write quogo.msg: quogo.msg is another user's link in a shared folder\n",
            .dirs = {"private"}, .links = {{"quogo.msg", "private/msg"}}, .absent = {"private/msg"}, .setup = planted},
        {.name = "standard input that is a folder", .console_has = "\nCan't read standard input\n",
            .options = redirected("<. >.console 2>&1")},
        {.name = "the dictionary as the input, a known word typed", .files = {{"quogo.dic", cat}},
            .args = {"quogo.dic"}, .typed = "kcat->kat\n\nkk", .succeeds = true,
            .console_has = "See quogo.qgo and quogo.htm"},
        {.name = "the name of an output's copy as the input",
            .files = {{"quogo.dic", cat}, {"story.htm~", "cat\n"}, {"story.htm", "mine"}}, .args = {"story.htm~"},
            .console_has = "\nThe earlier story.htm would be kept as story.htm~, a file this run reads\n"},
        {.name = "a dictionary made to pile up in the index's hash table, within 5 s of processor time",
            .files = {{"quogo.dic", crafted_dictionary}, {"story.txt", [] { return repeated("cat ", 400000); }}},
            .succeeds = true, .console_has = "See story.qgo", .output_has = "cat cat ",
            .options = Sandbox::Options::first("ulimit -t 5; ")},
        {.name = "another user's link on the way to the input, in a shared folder",
            .files = {{"quogo.dic", cat}, {"inc/story.txt", "cat\n"}}, .args = {"inc/story.txt"},
            .console_has = "\nCan't write inc/story.qgo: inc is another user's link in a shared folder\n",
            .dirs = {"private"}, .links = {{"inc", "private"}}, .absent = {"private/story.qgo"}, .setup = planted},
        {.name = "another user's link on the way to a linked dictionary, in a shared folder",
            .files = {{"quogo.dic", cat + " |inc/b.dic]"}, {"inc/b.dic", "_kat_->~kot_"}, {"story.txt", "cat\n"}},
            .console_has = "\nCan't open inc/b.dic: inc is another user's link in a shared folder\n",
            .dirs = {"private"}, .links = {{"inc", "private"}}, .setup = planted},
        {.name = "another user's FIFO as an output, in a shared folder",
            .console_has = banner + "\nCan't write story.htm: story.htm is another user's FIFO in a shared folder\n",
            .dirs = {"private"},
            .setup = others_fifo("story.htm")},
        {.name = "another user's FIFO as the input, in a shared folder", .args = {"fifo.txt"},
            .console_has = "\nCan't open fifo.txt: fifo.txt is another user's FIFO in a shared folder\n",
            .dirs = {"private"}, .options = Sandbox::Options::first("timeout 20 "),
            .setup = others_fifo("fifo.txt")},
        {.name = "another user's file as an output, in a shared folder",
            .files = {{"quogo.dic", cat}, {"story.txt", "cat\n"}, {"story.qgo", "theirs"}},
            .console_has = banner + "\nCan't write story.qgo: story.qgo is another user's file in a shared folder\n",
            .dirs = {"private"},
            .setup =
                [](const Sandbox& box) {
                    return ::chmod(box.path("story.qgo").c_str(), 0666) == 0 &&
                        ::chown(box.path("story.qgo").c_str(), 65534, 65534) == 0 && planted(box);
                }},
        {.name = "the user's own output whose copy's name would be too long",
            .files = {{"quogo.dic", cat}, {std::string(251, 'n') + ".t", "cat\n"},
                {std::string(251, 'n') + ".qgo", "mine"}},
            .args = {std::string(251, 'n') + ".t"},
            .console_has = banner + "\nCan't write " + std::string(251, 'n') + ".qgo: its copy " +
                std::string(251, 'n') + ".qgo~ would have too long a name\n"},
        {.name = "the user's own link to an output in another user's shared folder", .succeeds = true,
            .output_has = "kat \n", .dirs = {"out"}, .links = {{"story.qgo", "out/story.qgo"}},
            .setup = sticky(01777, 65534, 0)},
        {.name = "the folder owner's link to an output in a shared folder, run as nobody", .succeeds = true,
            .output_has = "kat \n", .dirs = {"out"}, .links = {{"story.qgo", "out/story.qgo"}},
            .options = Sandbox::Options::nobody(), .setup = sticky(01777, 0, 0)},
        {.name = "another user's link to an output in a sticky folder that not all may write", .succeeds = true,
            .output_has = "kat \n", .dirs = {"out"}, .links = {{"story.qgo", "out/story.qgo"}},
            .setup = sticky(01755, 0, 65534)},
        {.name = "an output that is a link to itself",
            .console_has = "\nCan't write story.qgo: Too many levels of symbolic links\n",
            .links = {{"story.qgo", "story.qgo"}}, .options = Sandbox::Options::first("ulimit -t 5; ")},
        {.name = "the user's own output whose second copy's name would be too long",
            .files = {{"quogo.dic", cat}, {std::string(248, 'n') + ".t", "cat\n"},
                {std::string(248, 'n') + ".qgo", "mine"}, {std::string(248, 'n') + ".qgo~", "older"}},
            .args = {std::string(248, 'n') + ".t"},
            .console_has = banner + "\nCan't write " + std::string(248, 'n') + ".qgo: its copy " +
                std::string(248, 'n') + ".qgo.~1~ would have too long a name\n"},
        {.name = "outputs of an earlier run whose copies' names would be too long",
            .files = {{"quogo.dic", cat}, {std::string(251, 'n') + ".t", "cat\n"},
                {std::string(251, 'n') + ".qgo", "kat \n" + footer(1)},
                {std::string(251, 'n') + ".htm", "kat \n" + footer(1)}},
            .args = {std::string(251, 'n') + ".t"}, .succeeds = true,
            .console_has = "See " + std::string(251, 'n') + ".qgo"},
        {.name = "the name of an output's copy linked to the dictionary",
            .files = {{"quogo.dic", cat}, {"story.txt", "cat\n"}, {"story.qgo", "mine"}},
            .console_has = "\nThe earlier story.qgo would be kept as story.qgo~, a file this run reads\n",
            .links = {{"story.qgo~", "quogo.dic"}}},
        {.name = "the user's own output with a thousand copies kept already", .succeeds = true,
            .console_has = "The earlier story.qgo is kept as story.qgo.~1000~.\n",
            .setup =
                [](const Sandbox& box) {
                    box.write("story.qgo", "mine");
                    for (int number = 0; number < 1000; ++number)
                        box.write(number == 0 ? "story.qgo~" : "story.qgo.~" + std::to_string(number) + "~", "old");
                    return true;
                }},
        {.name = "an output's folder replaced by a link between the check and the write", .files = {{"quogo.dic", cat}},
            .args = {"shelf/story.txt"}, .succeeds = true, .console_has = "See shelf/story.qgo",
            .dirs = {"shelf", "elsewhere"}, .options = failing("swap"), .absent = {"elsewhere/story.qgo"},
            .setup =
                [](const Sandbox& box) {
                    box.write("shelf/story.txt", "cat\n");
                    return true;
                }},
        {.name = "2,000 words holding _, each of another length, within 2 s of processor time",
            .files = {{"quogo.dic", many_underscores}, {"story.txt", words_of_every_length}}, .succeeds = true,
            .console_has = "See story.qgo", .output_has = " found ",
            .options = Sandbox::Options::first("ulimit -t 2; ")},
        {.name = "a key of 1 MB that stands at every underscore of the dictionary, within 5 s of processor time",
            .files = {{"quogo.dic", [] { return std::string(3000000, '_'); }},
                {"story.txt", [] { return std::string(1000000, '_'); }}},
            .succeeds = true, .console_has = "See story.qgo", .options = Sandbox::Options::first("ulimit -t 5; ")},
        {.name = "words holding 1 to 800 underscores, against 100,000 entries, within 2 s of processor time",
            .files = {{"quogo.dic", [] { return big_dictionary() + " _x_y_->~found_"; }},
                {"story.txt",
                    [] {
                        std::string text;
                        for (std::size_t count = 1; count <= 800; ++count)
                            text += "x" + std::string(count, '_') + "x ";
                        return text + "x_y\n";
                    }}},
            .succeeds = true, .console_has = "See story.qgo", .output_has = " found ",
            .options = Sandbox::Options::first("ulimit -t 2; ")},
        {.name = "a dictionary of 3 MB of x_ against words holding 1 to 800 underscores, within 2 s of processor time",
            .files = {{"quogo.dic", [] { return repeated("x_", 1500000) + " _y_x_x_x_x_x_x_x_x_y_->~found_"; }},
                {"story.txt", [] { return words_of_many_openings("x", "_x", "") + " y_x_x_x_x_x_x_x_x_y\n"; }}},
            .succeeds = true, .console_has = "See story.qgo", .output_has = " found ",
            .options = Sandbox::Options::first("ulimit -t 2; ")},
        {.name = "the same untranslated: 3 MB of ~_ against words holding 1 to 800 tildes, within 2 s of processor time",
            .files = {{"quogo.dic", [] { return repeated("~_", 1500000) + " _found_->~y~_~_~_~_~_~_~_~_~y_"; }},
                {"story.qgo", [] { return words_of_many_openings("y", "~_", "y") + " y~_~_~_~_~_~_~_~_~y\n"; }}},
            .args = {"-u", "story.qgo"}, .succeeds = true, .console_has = " found ",
            .options = Sandbox::Options::first("ulimit -t 2; ")},
        {.name = "a write that takes nothing",
            .console_has = "\nCan't write story.qgo: writing failed: No space left on device\n",
            .options = Sandbox::Options::first("ulimit -t 5; " + failing("nothing").before)},
        {.name = "a test file whose removal fails",
            .console_has = "\nCan't write story.qgo: removing its test file .quogtran-", .options = failing("unlink")},
        {.name = "a folder sync that fails",
            .console_has = "\nCan't write story.qgo: syncing the folder failed: Input/output error\n",
            .options = failing("folder")},
        {.name = "an output folder the user cannot write, run as nobody",
            .files = {{"quogo.dic", cat}, {"shelf/story.txt", "cat\n"}}, .args = {"shelf/story.txt"},
            .console_has = banner + "\nCan't write shelf/story.qgo: Permission denied\n" + usage_screen,
            .dirs = {"shelf"}, .options = Sandbox::Options::nobody()},
        {.name = "an attribute that cannot be kept",
            .files = {{"quogo.dic", cat}, {"story.txt", "cat\n"}, {"story.qgo", "old"}},
            .console_has =
                "\nCan't write story.qgo: keeping the extended attribute user.origin failed: Input/output error\n",
            .options = failing("fsetxattr"),
            .setup =
                [](const Sandbox& box) {
                    return ::setxattr(box.path("story.qgo").c_str(), "user.origin", "mine", 4, 0) == 0;
                }},
        {.name = "message file linked to the first dictionary of a chain",
            .files = {{"quogo.dic", cat + " |b.dic]"}, {"story.txt", "cat\n"}}, .typed = "kdog->dawg\n\nkk",
            .console_has = banner + "\nWriting quogo.msg would destroy the dictionary quogo.dic\n",
            .links = {{"quogo.msg", "quogo.dic"}},
            .setup =
                [](const Sandbox& box) {
                    box.write("b.dic", "_kat_->~kot_");
                    return true;
                }},
    };
    // clang-format on
}

class BadInput : public testing::TestWithParam<Case> { };

TEST_P(BadInput, EndsClearlyAndLosesNothing)
{
    const Case& c = GetParam();
    if (memory_limit.empty() && c.console_has.find("Not enough memory") != std::string::npos)
        GTEST_SKIP() << "no memory limit under the address sanitizer";
    if (c.options.as_nobody && !can_run_as_nobody())
        GTEST_SKIP() << "only root can play another user";
    Sandbox box;
    for (const auto& dir : c.dirs)
        ASSERT_EQ(::mkdir(box.path(dir).c_str(), 0755), 0) << dir;
    for (const auto& [name, target] : c.links)
        ASSERT_EQ(::symlink(target.c_str(), box.path(name).c_str()), 0) << name;
    for (const auto& [name, bytes] : c.files)
        box.write(name, bytes.get());
    for (const auto& [name, existing] : c.hard_links)
        ASSERT_EQ(::link(box.path(existing).c_str(), box.path(name).c_str()), 0) << name;
    if (c.setup && !c.setup(box))
        GTEST_SKIP() << "it could not be set up here (chattr, xattrs or another user's files)";

    const RunResult run = box.run(c.args, c.typed, c.options);
    append_only(box, false);
    EXPECT_EQ(run.status, c.succeeds ? 0 : 1);
    EXPECT_NE(run.console.find(c.console_has), std::string::npos) << run.console;
    EXPECT_TRUE(c.console_lacks.empty() || run.console.find(c.console_lacks) == std::string::npos) << run.console;
    EXPECT_EQ(run.console.find("for output.") != std::string::npos, c.succeeds);
    if (!c.output_has.empty()) {
        EXPECT_NE(box.read("story.qgo").find(c.output_has), std::string::npos);
    }
    for (const auto& [name, bytes] : c.files) {
        const std::string expected =
            name == "quogo.dic" && c.extends_dictionary ? bytes.get() + "\nx+=\" _dog_->~dawg_\";\n" : bytes.get();
        EXPECT_TRUE(box.read(name) == expected) << name;
    }
    for (const std::string& name : c.absent)
        EXPECT_FALSE(box.exists(name)) << name;
    for (const std::string& dir : {std::string("."), std::string("shelf")})
        for (const std::string& name : box.names(dir))
            EXPECT_FALSE(name.starts_with(".quogtran-")) << dir << "/" << name;
}

INSTANTIATE_TEST_SUITE_P(Each, BadInput, testing::ValuesIn(bad_inputs()), row_name<Case>);

// Another user swaps, over and over, their dictionary in a shared folder
// with their link to a file that only root may read: no run of root's reads
// through the link.
TEST(SharedFolder, ALinkSwappedInIsNeverReadThrough)
{
    if (!can_run_as_nobody())
        GTEST_SKIP() << "only root can play another user";
    Sandbox box;
    ::mkdir(box.path("private").c_str(), 0700);
    box.write("private/secret.dic", "_kat_->~SECRET_");
    box.write("quogo.dic", cat + " |names.dic]");
    box.write("story.txt", "cat\n");
    box.write("names.dic", "_kat_->~kot_");
    ASSERT_EQ(::symlink("private/secret.dic", box.path("swap").c_str()), 0);
    ASSERT_EQ(::lchown(box.path("swap").c_str(), 65534, 65534) | ::chown(box.path("names.dic").c_str(), 65534, 65534) |
            ::chmod(box.dir().c_str(), 01777),
        0);
    const pid_t swapper = ::fork();
    if (swapper == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(1);
        for (long n = 0; n < 100000000 && ::getppid() != 1; ++n)
            ::renameat2(AT_FDCWD, box.path("names.dic").c_str(), AT_FDCWD, box.path("swap").c_str(), RENAME_EXCHANGE);
        ::_exit(0);
    }
    int read_through = 0;
    for (int n = 0; n < 100; ++n) {
        box.run({"story.txt"});
        read_through += box.read("story.qgo").find("SECRET") != std::string::npos ? 1 : 0;
    }
    ::kill(swapper, SIGKILL);
    ::waitpid(swapper, nullptr, 0);
    EXPECT_EQ(read_through, 0);
}

} // namespace
