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

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "sandbox.h"

namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

struct Case {
    std::string name;
    Files files; // written before the run
    std::vector<std::string> args;
    std::string typed; // standard input
    bool succeeds;
    std::string console_has;         // a text the console must show
    std::string output_has;          // a text story.qgo must hold, if any
    std::vector<std::string> dirs{}; // directories made before the run
    Files links{};                   // symbolic links: name, target
    bool extends_dictionary = false;
    Files hard_links{};                          // hard links: name, existing file
    Sandbox::Options options{};                  // commands run first, redirections, user
    std::vector<std::string> absent{};           // files the run must not create
    std::function<bool(const Sandbox&)> setup{}; // run last, before the program; false: it can't be done here
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

const std::string cat = "_cat_->~kat_";

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

// Makes the folder shelf append-only, or ordinary again; false when chattr
// is missing or not allowed here.
bool append_only(const Sandbox& box, bool on)
{
    return !box.exists("shelf") ||
        std::system(("chattr " + std::string(on ? "+a '" : "-a '") + box.path("shelf") + "' 2>/dev/null").c_str()) == 0;
}

Sandbox::Options redirected(std::string redirects)
{
    Sandbox::Options options;
    options.redirects = std::move(redirects);
    return options;
}
const std::string long_word(10000, 'w');

TEST(BadInput, EachEndsClearlyAndLosesNothing)
{
    const Case cases[] = {
        {"missing input", {{"quogo.dic", cat}}, {"missing.txt"}, "", false, "\nCan't open missing.txt: No such file or directory\n", ""},
        {"unreadable input", {{"quogo.dic", cat}}, {"mem.txt"}, "", false, "\nCan't read mem.txt: Input/output error\n", "", {},
            {{"mem.txt", "/proc/self/mem"}}},
        {"directory input", {{"quogo.dic", cat}}, {"folder"}, "", false, "\nCan't open folder: Is a directory\n", "", {"folder"}},
        {"missing linked dictionary", {{"quogo.dic", cat + " |gone.dic]"}, {"story.txt", "cat\n"}}, {"story.txt"}, "",
            false, "\nCan't open gone.dic: No such file or directory\n", ""},
        {"self-linked dictionary", {{"quogo.dic", cat + " |quogo.dic]"}, {"story.txt", "cat\n"}}, {"story.txt"}, "",
            true, "The chain comes back to quogo.dic, so it ends here.", "kat \n"},
        {"mutually linked dictionaries",
            {{"quogo.dic", cat + " |b.dic]"}, {"b.dic", "_kat_->~kot_ |quogo.dic]"}, {"story.txt", "cat\n"}},
            {"story.txt"}, "", true, "The chain comes back to quogo.dic, so it ends here.", "kot \n"},
        {"link with no bracket", {{"quogo.dic", cat + " |b.dic"}, {"b.dic", "_kat_->~kot_"}, {"story.txt", "cat\n"}},
            {"story.txt"}, "", true, "Now using the b.dic dictionary.", "kot \n"},
        {"entry with no closing underscore", {{"quogo.dic", "_cat_->~kat"}, {"story.txt", "cat\n"}}, {"story.txt"}, "",
            true, "See story.qgo", "kat \n"},
        {"untranslate match with nothing before it", {{"quogo.dic", "cat_->~kat_"}, {"story.qgo", "kat\n"}},
            {"-u", "story.qgo"}, "", true, "See story.txt", ""},
        {"NUL and 0x1A bytes",
            {{"quogo.dic", std::string("_c\0t_->~k\x1at_", 12)}, {"story.txt", std::string("c\0t\x1a\n", 5)}},
            {"story.txt"}, "", true, "See story.qgo", std::string("c\0t\x1a \n", 6)},
        // Linear, it takes well under a second; read as it once was, with
        // each chunk copying the unfinished line again, twenty.
        {"60 MB input on one line, within 10 s of processor time", {{"quogo.dic", cat}, {"story.txt", repeated("cat ", 15000000)}},
            {"story.txt"}, "", true, "See story.qgo", "kat kat kat ", {}, {}, false, {},
            Sandbox::Options::first("ulimit -t 10; ")},
        {"100,000-entry dictionary", {{"quogo.dic", big_dictionary()}, {"story.txt", "w99999 w0 w5\n"}}, {"story.txt"},
            "", true, "See story.qgo", "q99999 q0 q5 \n" + footer(100000)},
        {"a word of 40 MB holding _, within 400 MB of memory",
            {{"quogo.dic", cat + " _a_b_->~ab_"}, {"story.txt", repeated("a_", 20000000) + " cat a_b\n"}}, {"story.txt"},
            "", true, "See story.qgo", "kat ab \n", {}, {}, false, {}, Sandbox::Options::first(memory_limit)},
        {"word of 10,000 characters",
            {{"quogo.dic", "_" + long_word + "_->~long_"}, {"story.txt", long_word + " " + long_word + "x\n"}},
            {"story.txt"}, "", true, "See story.qgo", "long " + long_word + "x \n"},
        {"output on a full device", {{"quogo.dic", cat}, {"story.txt", "cat\n"}}, {"story.txt"}, "", false,
            "\nCan't write story.htm: writing failed: No space left on device\n", "", {}, {{"story.htm", "/dev/full"}}},
        {"message file that cannot be written", {{"quogo.dic", cat}, {"story.txt", "cat\n"}}, {"story.txt"},
            "kdog->dawg\n\nkk", false, banner + "\nCan't write quogo.msg: Is a directory\n", "", {"quogo.msg"}},
        {"untranslating beside a message file that cannot be written", {{"quogo.dic", cat}, {"story.qgo", "kat\n"}},
            {"-u", "story.qgo"}, "", true, "See story.txt", "", {"quogo.msg"}},
        {"typed file name of 10,000 characters", {{"quogo.dic", cat}}, {}, std::string(10000, 'n') + "\n", false,
            "\nA file name can't be longer than 4096 bytes\n" + usage_screen, ""},
        {"typed pair of 10,000 characters", {{"quogo.dic", cat}, {"story.txt", "cat\n"}}, {"story.txt"},
            "k" + std::string(10000, 'p') + "\n\n", true, "Not added: a line can't be longer than 4096 bytes",
            "kat \n"},
        {"endless zeros at the prompt", {{"quogo.dic", cat}}, {}, "", false,
            "\nA file name can't be longer than 4096 bytes\n" + usage_screen, "", {}, {}, false, {},
            redirected("</dev/zero >.console 2>&1")},
        {"message file on a full device", {{"quogo.dic", cat}, {"story.txt", "cat\n"}}, {"story.txt"},
            "kdog->dawg\n\nkk", false, "\nCan't write quogo.msg: writing failed: No space left on device\n", "", {},
            {{"quogo.msg", "/dev/full"}}, true},
        {"link as the dictionary's first byte",
            {{"quogo.dic", "|b.dic] " + cat}, {"b.dic", "_kat_->~kot_"}, {"story.txt", "cat\n"}}, {"story.txt"}, "",
            true, "Now using the b.dic dictionary.", "kot \n"},
        {"message file linked to the dictionary", {{"quogo.dic", cat}, {"story.txt", "cat\n"}}, {"story.txt"},
            "kdog->dawg\n\nkk", false, banner + "\nWriting quogo.msg would destroy the dictionary quogo.dic\n", "", {},
            {{"quogo.msg", "quogo.dic"}}},
        {"output linked to the dictionary", {{"quogo.dic", cat}, {"story.txt", "cat\n"}}, {"story.txt"}, "", false,
            "\nWriting story.htm would destroy the dictionary quogo.dic\n", "", {}, {{"story.htm", "quogo.dic"}}},
        {"output hard-linked to the dictionary", {{"quogo.dic", cat}, {"story.txt", "cat\n"}}, {"story.txt"}, "", false,
            "\nWriting story.qgo would destroy the dictionary quogo.dic\n", "", {}, {}, false,
            {{"story.qgo", "quogo.dic"}}},
        {"output linked to a chained dictionary",
            {{"quogo.dic", cat + " |b.dic]"}, {"b.dic", ""}, {"story.txt", "cat\n"}}, {"story.txt"}, "", false,
            "\nWriting story.qgo would destroy the dictionary b.dic\n", "", {}, {{"story.qgo", "b.dic"}}},
        {"translating the message file", {{"quogo.dic", cat}, {"quogo.msg", "cat\n"}}, {"quogo.msg"},
            "kdog->dawg\n\nkk", false, banner + "\nWriting quogo.msg would destroy the input file\n", "", {}, {}},
        {"input without end", {{"quogo.dic", cat}}, {"zero.txt"}, "", false,
            "\nNot enough memory to read zero.txt\n" + usage_screen, "", {}, {{"zero.txt", "/dev/zero"}}, false, {},
            Sandbox::Options::first(memory_limit)},
        {"linked dictionary without end", {{"quogo.dic", cat + " |zero.dic]"}, {"story.txt", "cat\n"}}, {"story.txt"},
            "", false, "Loading dictionary ... \nCan't open zero.dic: not a regular file\n", "", {},
            {{"zero.dic", "/dev/zero"}}},
        {"a device as the dictionary", {{"story.txt", "cat\n"}}, {"story.txt"}, "", false,
            "Loading dictionary ... \nCan't open quogo.dic: not a regular file\n", "", {}, {{"quogo.dic", "/dev/null"}}},
        {"a FIFO no one writes as a linked dictionary", {{"quogo.dic", cat + " |fifo.dic]"}, {"story.txt", "cat\n"}},
            {"story.txt"}, "", false, "Loading dictionary ... \nCan't open fifo.dic: not a regular file\n", "", {}, {},
            false, {}, {}, {},
            [](const Sandbox& box) { return ::mkfifo(box.path("fifo.dic").c_str(), 0644) == 0; }},
        {"a sync that fails", {{"quogo.dic", cat}, {"story.txt", "cat\n"}, {"story.qgo", "old"}}, {"story.txt"}, "",
            false, "\nCan't write story.qgo", "", {}, {}, false, {}, failing("fsync")},
        {"a close that fails", {{"quogo.dic", cat}, {"story.txt", "cat\n"}, {"story.qgo", "old"}}, {"story.txt"}, "",
            false, "\nCan't write story.qgo", "", {}, {}, false, {}, failing("close")},
        {"read-only message file, run as nobody", {{"quogo.dic", cat}, {"story.txt", "cat\n"}, {"quogo.msg", "old"}},
            {"story.txt"}, "kdog->dawg\n\nkk", false, banner + "\nCan't write quogo.msg: Permission denied\n", "", {}, {}, false,
            {}, Sandbox::Options::nobody(), {"story.qgo"}},
        {"another user's output that nobody may write, run as nobody",
            {{"quogo.dic", cat}, {"story.txt", "cat\n"}, {"story.qgo", "theirs"}}, {"story.txt"}, "", false,
            banner + "\nCan't write story.qgo: its owner and group can't be kept\n", "", {}, {}, false, {},
            Sandbox::Options::nobody(), {}, [](const Sandbox& box) { return ::chmod(box.path("story.qgo").c_str(), 0666) == 0; }},
        {"an output in a folder under one that nobody may pass but not read, run as nobody",
            {{"quogo.dic", cat}, {"shelf/open/story.txt", "cat\n"}}, {"shelf/open/story.txt"}, "", true,
            "See shelf/open/story.qgo", "", {"shelf", "shelf/open"}, {}, false, {}, Sandbox::Options::nobody(), {},
            [](const Sandbox& box) {
                return ::chmod(box.path("shelf").c_str(), 0711) == 0 && ::chmod(box.path("shelf/open").c_str(), 0777) == 0;
            }},
        {"read-only output, run as nobody", {{"quogo.dic", cat}, {"story.txt", "cat\n"}, {"story.htm", "old"}},
            {"story.txt"}, "", false, "\nCan't write story.htm: Permission denied\n", "", {}, {}, false, {},
            Sandbox::Options::nobody(), {"story.qgo"}},
        {"output that is a folder", {{"quogo.dic", cat}, {"story.txt", "cat\n"}, {"story.qgo", "old"}}, {"story.txt"},
            "", false, "\nCan't write story.htm: Is a directory\n", "", {"story.htm"}},
        {"dictionary and message file that cannot be written, run as nobody",
            {{"shelf/quogo.dic", cat}, {"story.txt", "cat\n"}}, {"story.txt"}, "kdog->dawg\n\nkk", false,
            "\nCan't write quogo.msg: writing failed: No space left on device\n\nCan't write quogo.dic: Permission "
            "denied\n",
            "", {"shelf"}, {{"quogo.dic", "shelf/quogo.dic"}, {"quogo.msg", "/dev/full"}}, false, {},
            Sandbox::Options::nobody(), {},
            [](const Sandbox& box) { return ::chmod(box.path("shelf").c_str(), 0555) == 0; }},
        {"an output name too long for the file system", {{"quogo.dic", cat}, {std::string(252, 'n') + ".t", "cat\n"}},
            {std::string(252, 'n') + ".t"}, "", false,
            "\nCan't write " + std::string(252, 'n') + ".qgo: File name too long\n", ""},
        {"an output in an append-only folder", {{"quogo.dic", cat}, {"shelf/story.txt", "cat\n"}}, {"shelf/story.txt"},
            "", false, "\nCan't write shelf/story.qgo: Operation not permitted\n", "", {"shelf"}, {}, false, {}, {}, {},
            [](const Sandbox& box) { return append_only(box, true); }},
        {"another user's links to outputs in a shared folder", {{"quogo.dic", cat}, {"story.txt", "cat\n"}},
            {"story.txt"}, "", false, "\nCan't write story.qgo: story.qgo is another user's link in a shared folder\n",
            "", {"private"}, {{"story.qgo", "private/new"}, {"story.htm", "private/file"}}, false, {}, {},
            {"private/new", "private/file"}, planted},
        {"another user's link to the message file in a shared folder", {{"quogo.dic", cat}, {"story.txt", "cat\n"}},
            {"story.txt"}, "kdog->dawg\n\nkk", false,
            banner + "\nCan't write quogo.msg: quogo.msg is another user's link in a shared folder\n", "", {"private"},
            {{"quogo.msg", "private/msg"}}, false, {}, {}, {"private/msg"}, planted},
        {"standard input that is a folder", {{"quogo.dic", cat}, {"story.txt", "cat\n"}}, {"story.txt"}, "", false,
            "\nCan't read standard input\n", "", {}, {}, false, {}, redirected("<. >.console 2>&1")},
        {"the dictionary as the input, a known word typed", {{"quogo.dic", cat}}, {"quogo.dic"}, "kcat->kat\n\nkk",
            true, "See quogo.qgo and quogo.htm", ""},
        {"the name of an output's copy as the input", {{"quogo.dic", cat}, {"story.htm~", "cat\n"}, {"story.htm", "mine"}},
            {"story.htm~"}, "", false, "\nThe earlier story.htm would be kept as story.htm~, a file this run reads\n",
            ""},
        {"a dictionary made to pile up in the index's hash table, within 5 s of processor time",
            {{"quogo.dic", crafted_dictionary()}, {"story.txt", repeated("cat ", 400000)}}, {"story.txt"}, "", true,
            "See story.qgo", "cat cat ", {}, {}, false, {}, Sandbox::Options::first("ulimit -t 5; ")},
        {"another user's link on the way to the input, in a shared folder",
            {{"quogo.dic", cat}, {"inc/story.txt", "cat\n"}}, {"inc/story.txt"}, "", false,
            "\nCan't write inc/story.qgo: inc is another user's link in a shared folder\n", "", {"private"},
            {{"inc", "private"}}, false, {}, {}, {"private/story.qgo"}, planted},
        {"another user's link on the way to a linked dictionary, in a shared folder",
            {{"quogo.dic", cat + " |inc/b.dic]"}, {"inc/b.dic", "_kat_->~kot_"}, {"story.txt", "cat\n"}}, {"story.txt"},
            "", false, "\nCan't open inc/b.dic: inc is another user's link in a shared folder\n", "", {"private"},
            {{"inc", "private"}}, false, {}, {}, {}, planted},
        {"another user's FIFO as an output, in a shared folder", {{"quogo.dic", cat}, {"story.txt", "cat\n"}},
            {"story.txt"}, "", false,
            banner + "\nCan't write story.htm: story.htm is another user's FIFO in a shared folder\n", "", {"private"},
            {}, false, {}, {}, {}, [](const Sandbox& box) {
                return ::mkfifo(box.path("story.htm").c_str(), 0666) == 0 &&
                    ::chown(box.path("story.htm").c_str(), 65534, 65534) == 0 && planted(box);
            }},
        {"another user's file as an output, in a shared folder",
            {{"quogo.dic", cat}, {"story.txt", "cat\n"}, {"story.qgo", "theirs"}}, {"story.txt"}, "", false,
            banner + "\nCan't write story.qgo: story.qgo is another user's file in a shared folder\n", "", {"private"},
            {}, false, {}, {}, {}, [](const Sandbox& box) {
                return ::chmod(box.path("story.qgo").c_str(), 0666) == 0 &&
                    ::chown(box.path("story.qgo").c_str(), 65534, 65534) == 0 && planted(box);
            }},
        {"the user's own output whose copy's name would be too long",
            {{"quogo.dic", cat}, {std::string(251, 'n') + ".t", "cat\n"}, {std::string(251, 'n') + ".qgo", "mine"}},
            {std::string(251, 'n') + ".t"}, "", false,
            banner + "\nCan't write " + std::string(251, 'n') + ".qgo: its copy " + std::string(251, 'n') +
                ".qgo~ would have too long a name\n",
            ""},
        {"an output's folder replaced by a link between the check and the write",
            {{"quogo.dic", cat}}, {"shelf/story.txt"}, "", true, "See shelf/story.qgo", "", {"shelf", "elsewhere"},
            {}, false, {}, failing("swap"), {"elsewhere/story.qgo"},
            [](const Sandbox& box) {
                box.write("shelf/story.txt", "cat\n");
                return true;
            }},
        {"2,000 words holding _, each of another length, within 2 s of processor time",
            {{"quogo.dic", many_underscores()}, {"story.txt", words_of_every_length()}}, {"story.txt"}, "", true,
            "See story.qgo", " found ", {}, {}, false, {}, Sandbox::Options::first("ulimit -t 2; ")},
        {"a folder sync that fails", {{"quogo.dic", cat}, {"story.txt", "cat\n"}}, {"story.txt"}, "", false,
            "\nCan't write story.qgo: syncing the folder failed: Input/output error\n", "", {}, {}, false, {},
            failing("folder")},
        {"an output folder the user cannot write, run as nobody", {{"quogo.dic", cat}, {"shelf/story.txt", "cat\n"}},
            {"shelf/story.txt"}, "", false,
            banner + "\nCan't write shelf/story.qgo: Permission denied\n" + usage_screen, "", {"shelf"}, {}, false, {},
            Sandbox::Options::nobody()},
        {"an attribute that cannot be kept", {{"quogo.dic", cat}, {"story.txt", "cat\n"}, {"story.qgo", "old"}},
            {"story.txt"}, "", false,
            "\nCan't write story.qgo: keeping the extended attribute user.origin failed: Input/output error\n", "", {},
            {}, false, {}, failing("fsetxattr"), {},
            [](const Sandbox& box) {
                return ::setxattr(box.path("story.qgo").c_str(), "user.origin", "mine", 4, 0) == 0;
            }},
        {"message file linked to the first dictionary of a chain",
            {{"quogo.dic", cat + " |b.dic]"}, {"story.txt", "cat\n"}}, {"story.txt"}, "kdog->dawg\n\nkk", false,
            banner + "\nWriting quogo.msg would destroy the dictionary quogo.dic\n", "", {}, {{"quogo.msg", "quogo.dic"}},
            false, {}, {}, {}, [](const Sandbox& box) {
                box.write("b.dic", "_kat_->~kot_");
                return true;
            }},
    };
    std::string skipped;
    for (const Case& c : cases) {
        if (memory_limit.empty() && c.console_has.find("Not enough memory") != std::string::npos) {
            skipped += "'" + c.name + "': no memory limit under the address sanitizer. ";
            continue;
        }
        if (c.options.as_nobody && !can_run_as_nobody()) {
            skipped += "'" + c.name + "': only root can play another user. ";
            continue;
        }
        Sandbox box;
        for (const auto& dir : c.dirs)
            ::mkdir(box.path(dir).c_str(), 0755);
        for (const auto& [name, target] : c.links)
            ASSERT_EQ(::symlink(target.c_str(), box.path(name).c_str()), 0) << c.name;
        for (const auto& [name, bytes] : c.files)
            box.write(name, bytes);
        for (const auto& [name, existing] : c.hard_links)
            ASSERT_EQ(::link(box.path(existing).c_str(), box.path(name).c_str()), 0) << c.name;
        if (c.setup && !c.setup(box)) {
            skipped += "'" + c.name + "': it could not be set up here (chattr, xattrs or another user's files). ";
            continue;
        }

        const RunResult run = box.run(c.args, c.typed, c.options);
        EXPECT_EQ(run.status, c.succeeds ? 0 : 1) << c.name;
        EXPECT_NE(run.console.find(c.console_has), std::string::npos) << c.name;
        EXPECT_EQ(run.console.find("for output.") != std::string::npos, c.succeeds) << c.name;
        if (!c.output_has.empty()) {
            EXPECT_NE(box.read("story.qgo").find(c.output_has), std::string::npos) << c.name;
        }

        for (const auto& [name, bytes] : c.files) {
            const std::string expected =
                name == "quogo.dic" && c.extends_dictionary ? bytes + "\nx+=\" _dog_->~dawg_\";\n" : bytes;
            EXPECT_TRUE(box.read(name) == expected) << c.name << ": " << name;
        }
        for (const std::string& name : c.absent)
            EXPECT_FALSE(box.exists(name)) << c.name << ": " << name;
        const std::vector<std::string> left = box.names();
        EXPECT_TRUE(std::none_of(left.begin(), left.end(), [](const std::string& name) {
            return name.rfind(".quogtran-", 0) == 0;
        })) << c.name;
        append_only(box, false);
    }
    if (!skipped.empty())
        GTEST_SKIP() << skipped;
}

} // namespace
