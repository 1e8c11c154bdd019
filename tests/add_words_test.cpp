// The add-words dialogue after a translation, driven through standard input.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <thread>
#include <tuple>

#include "rows.h"
#include "sandbox.h"
#include "terminal_run.h"

namespace {

const std::string added_message_start = "\x1b[1m\x1b[31m\nYour word(s) have been added to the dictionary!";

// The dictionary after a group was appended: on a line of its own.
std::string with_group(const std::string& dictionary, const std::string& group)
{
    if (group.empty())
        return dictionary;
    return dictionary + (dictionary.empty() || dictionary.back() == '\n' ? "" : "\n") + group + "\n";
}

// A key for the first display's wait, the typed lines, an empty line to end
// the dialogue, and keys for the waits that follow added words.
std::string typing(const std::vector<std::string>& lines)
{
    std::string input = "k";
    for (const std::string& line : lines)
        input += line + "\n";
    return input + "\nkk";
}

struct stat status_of(const Sandbox& box, const std::string& name)
{
    struct stat info { };
    ::stat(box.path(name).c_str(), &info);
    return info;
}

bool holds_temporary_file(const Sandbox& box, const std::string& folder = ".")
{
    for (const std::string& name : box.names(folder))
        if (name.rfind(".quogtran-", 0) == 0)
            return true;
    return false;
}

TEST(AddWords, ANewPairIsAddedSavedAndTranslated)
{
    Sandbox box;
    box.write("story.txt", "Still cat fish.\n");
    box.write("quogo.dic", two_words);
    const RunResult run = box.run({"story.txt"}, typing({"fish->phish"}), Sandbox::Options::first("umask 002; "));
    EXPECT_EQ(run.status, 0);
    // New files get what the umask leaves, as a shell's > would give them.
    for (const std::string name : {"story.qgo", "story.htm", "quogo.msg"})
        EXPECT_EQ(status_of(box, name).st_mode & 07777, 0664u) << name;

    const std::string group = "x+=\" _fish_->~phish_\";";
    EXPECT_EQ(box.read("quogo.dic"), with_group(two_words, group));
    EXPECT_EQ(box.read("quogo.msg"), group);
    const std::string expected = "Ztill kat phish.\n" + footer(3);
    EXPECT_EQ(box.read("story.qgo"), expected);
    EXPECT_EQ(box.read("story.htm"), expected);

    const std::string tail = "Ztill kat fish.\n\n" + add_prompt("quogo.dic", "still->ztill") +
        add_prompt("quogo.dic", "fish->phish") + added_message_start +
        "\nPlease e-mail them to the Quog Speak makers so that everyone gets them"
        "\n(quog-words@quogtran.example) the following message:\n\n" +
        group + "\n\n\nwhich you will find in the file quogo.msg.\n\x1b[0m\n\nStrike Any Key ...\n" +
        "\nLoading dictionary ... Dictionary loaded!" + pass_header("quogo.dic") +
        "\n\nYour (un)translation follows ...\n\nStrike Any Key ...\n" + expected +
        closing_line("story.qgo", "story.htm");
    EXPECT_EQ(run.console.rfind(tail), run.console.size() - tail.size());
}

// Each pair that is stored can take effect; any other is refused with the
// reason, and the prompt goes on showing the last pair stored.
struct Dialogue {
    std::string name;
    std::vector<std::string> lines;
    std::string group; // empty: nothing may be written
    long words;
    std::string said;    // a refusal shown
    std::string example; // in the last prompt
};
const Dialogue dialogue_rows[] = {
    {"a pair the dictionary has", {"still->stoll"}, "", 2, "Not added: still is already in quogo.dic as ztill",
        "still->ztill"},
    {"a capital", {"Fish->Phish"}, "", 2,
        "Not added: start it in lower case; capitals in the text are found through it", "still->ztill"},
    {"a word twice", {"fish->phish", "fish->fesh"}, "x+=\" _fish_->~phish_\";", 3,
        "Not added: fish is in this group already", "fish->phish"},
    {"~ in the Quog word", {"mouse->mo~use"}, "", 2, "Not added: the Quog word can't hold ~", "still->ztill"},
    {"spaces around the pair", {" tree -> twee "}, "x+=\" _tree_->~twee_\";", 3, "", "tree->twee"},
    {"a link alone", {"|more.dic]"}, "", 2,
        "\nThe link is not added: a link goes into the dictionary with new words only\n", "|more.dic]"},
    {"two links", {"|more.dic]", "|more.dic]", "dog->dawg"}, "x+=\" |more.dic] _dog_->~dawg_\";", 4,
        "Not added: quogo.dic links on already", "|more.dic]"},
    {"a link with a pair", {"|more.dic]", "dog->dawg"}, "x+=\" |more.dic] _dog_->~dawg_\";", 4, "", "dog->dawg"},
    {"several words on the Quog side", {"hi->hey there"}, "x+=\" _hi_->~hey there_\";", 3, "", "hi->hey there"},
};
class TheDialogue : public testing::TestWithParam<Dialogue> { };
TEST_P(TheDialogue, KeepsWhatCanTakeEffect)
{
    const Dialogue& c = GetParam();
    Sandbox box;
    box.write("story.txt", "Still cat.\n");
    box.write("quogo.dic", two_words);
    box.write("more.dic", "_emu_->~eemu_");
    const RunResult run = box.run({"story.txt"}, typing(c.lines));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(box.read("quogo.dic"), with_group(two_words, c.group));
    EXPECT_EQ(box.exists("quogo.msg"), !c.group.empty());
    EXPECT_EQ(count_of(run.console, "Your word(s) have been added"), c.group.empty() ? 0 : 1);
    EXPECT_NE(box.read("story.qgo").find(footer(c.words)), std::string::npos);
    const bool refused = c.said.starts_with("Not added");
    EXPECT_EQ(count_of(run.console, "\nNot added: "), refused ? 1 : 0);
    const std::string prompt = add_prompt("quogo.dic", c.example);
    EXPECT_NE(run.console.find(refused ? "\n" + c.said + "\n" + prompt : prompt + c.said), std::string::npos);
}
INSTANTIATE_TEST_SUITE_P(Each, TheDialogue, testing::ValuesIn(dialogue_rows), row_name<Dialogue>);

// After words were added, the outputs hold what a fresh run with the
// extended dictionaries gives: the chain runs again over the input, and the
// words translated once are not translated twice.
struct Fresh {
    std::string name, dictionary, story;
    std::vector<std::string> lines;
    std::string translated;
    std::string more = "_dawg_->~doggo_";
};
const Fresh fresh_rows[] = {
    {"a new word that an entry gives", "_the_->~da_ _cat_->~kat_ _and_->~an_", "The cat and an owl.\n", {"an->un"},
        "Da kat an un owl.\n" + footer(4)},
    {"a link added with a pair", two_words, "dog\n", {"|more.dic]", "dog->dawg"}, "doggo \n" + footer(4)},
    {"a chain of three", "_dog_->~dawg_ |more.dic]", "dog cat\n", {"cat->kit"}, "doggo kit \n" + footer(4),
        "_dawg_->~doggo_ |last.dic]"},
    {"a chain that comes back", "_cat_->~kat_ |more.dic]", "dog cat\n", {"dog->dawg"}, "dawg kot \n" + footer(3),
        "_kat_->~kot_ |quogo.dic]"},
};
class TheTextAfterAddingWords : public testing::TestWithParam<Fresh> { };
TEST_P(TheTextAfterAddingWords, IsAFreshRun)
{
    const Fresh& c = GetParam();
    Sandbox box;
    box.write("story.txt", c.story);
    box.write("quogo.dic", c.dictionary);
    box.write("more.dic", c.more);
    box.write("last.dic", "_kat_->~kot_");
    EXPECT_EQ(box.run({"story.txt"}, typing(c.lines)).status, 0);
    EXPECT_EQ(box.read("story.qgo"), c.translated);
    EXPECT_EQ(box.run({"story.txt"}).status, 0);
    EXPECT_EQ(box.read("story.qgo"), c.translated);
}
INSTANTIATE_TEST_SUITE_P(Each, TheTextAfterAddingWords, testing::ValuesIn(fresh_rows), row_name<Fresh>);

TEST(AddWords, StopsAskingPastAThousandCharacters)
{
    struct Case {
        std::string name;
        std::vector<std::string> lines;
        long accepted;
        std::size_t group; // the length of the group without its closing
    };
    // Pairs until the group holds more than 1000 characters ...
    std::vector<std::string> growing;
    std::size_t group = std::string("x+=\"").size();
    long accepted = 0;
    for (int i = 0; i < 60; ++i) {
        growing.push_back("word" + std::to_string(i) + "->quogword" + std::to_string(i));
        if (group <= 1000) {
            group += std::string(" _word" + std::to_string(i) + "_->~quogword" + std::to_string(i) + "_").size();
            ++accepted;
        }
    }
    // ... and twelve pairs of 83 characters each: exactly 1000, so one more.
    std::vector<std::string> exact;
    for (int i = 10; i < 22; ++i)
        exact.push_back("e" + std::to_string(i) + "->" + std::string(73, 'q'));
    exact.insert(exact.end(), {"extra->word", "late->word"});
    const Case cases[] = {{"past 1000", growing, accepted, group}, {"exactly 1000", exact, 13, 1000 + 16}};
    for (const Case& c : cases) {
        Sandbox box;
        box.write("story.txt", "cat\n");
        box.write("quogo.dic", two_words);
        const RunResult run = box.run({"story.txt"}, typing(c.lines));
        EXPECT_EQ(run.status, 0) << c.name;
        EXPECT_EQ(count_of(run.console, "\nAdd other words later!\n"), 1) << c.name;
        EXPECT_EQ(count_of(box.read("quogo.msg"), "->~"), c.accepted) << c.name;
        EXPECT_EQ(box.read("quogo.msg").size(), c.group + 2) << c.name;
        EXPECT_NE(box.read("story.qgo").find(footer(2 + c.accepted)), std::string::npos) << c.name;
    }
}

TEST(AddWords, UntranslatingAsksNothing)
{
    Sandbox box;
    box.write("story.qgo", "Ztill kat.\n");
    box.write("quogo.dic", two_words);
    const RunResult run = box.run({"-u", "story.qgo"}, typing({"fish->phish"}));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(count_of(run.console, "To add to the "), 0);
    EXPECT_EQ(box.read("quogo.dic"), two_words);
    EXPECT_FALSE(box.exists("quogo.msg"));
}

// The group goes on a line of its own after the file's own bytes, in the
// file's kind of line end.
TEST(AddWords, TheRewriteKeepsTheDictionarysBytes)
{
    const std::string group = "x+=\" _dog_->~dawg_\";";
    const std::pair<std::string, std::string> cases[] = {
        {"Words, CR LF:\r\n _still_->~ztill_\r\n _cat_->~kat_", "\r\n" + group + "\r\n"},
        {"Notes:\n _still_->~ztill_\n _cat_->~kat_\n", group + "\n"},
        {"", group + "\n"},
    };
    for (const auto& [dictionary, appended] : cases) {
        Sandbox box;
        box.write("story.txt", "cat\n");
        box.write("quogo.dic", dictionary);
        box.run({"story.txt"}, typing({"dog->dawg"}));
        EXPECT_EQ(box.read("quogo.dic"), dictionary + appended);
    }
}

TEST(AddWords, NewWordsGoToTheLastDictionaryOfAChain)
{
    Sandbox box;
    box.write("story.txt", "cat dog\n");
    box.write("quogo.dic", "_cat_->~kat_ |more.dic]");
    box.write("more.dic", "_kat_->~kot_");
    const RunResult run = box.run({"story.txt"}, typing({"kat->kit", "cat->kitt", "dog->dawg"}));
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.console.find(add_prompt("more.dic", "still->ztill")), std::string::npos);
    EXPECT_NE(run.console.find("\nNot added: kat is already in more.dic as kot\n"), std::string::npos);
    // cat never reaches more.dic: quogo.dic turns it into kat before.
    EXPECT_NE(run.console.find("\nNot added: cat is translated by quogo.dic, earlier in the chain, and never reaches "
                               "more.dic\n"),
        std::string::npos);
    EXPECT_EQ(box.read("quogo.dic"), "_cat_->~kat_ |more.dic]");
    EXPECT_EQ(box.read("more.dic"), with_group("_kat_->~kot_", "x+=\" _dog_->~dawg_\";"));
    EXPECT_EQ(box.read("story.qgo"), "kot dawg \n" + footer(3));
}

struct Corrupting {
    std::string line, why;
    std::string dictionary = two_words;
    std::string extended = "quogo.dic"; // the dictionary the prompt names
};
const Corrupting corrupting_rows[] = {
    {"justaword", "Not added: type a pair like still->ztill, or a link like |more.dic]"},
    {"->kat", "Not added: both sides of -> need a word"},
    {"kat->", "Not added: both sides of -> need a word"},
    {"a_b->c", "Not added: a word can't hold _, | or ]"},
    {"ab->c_d", "Not added: a word can't hold _, | or ]"},
    {"a|b->c", "Not added: a word can't hold _, | or ]"},
    {"ab->c]", "Not added: a word can't hold _, | or ]"},
    {"a~b->c", "Not added: the English word can't hold ~ or a space"},
    {"hello,->hi",
        "Not added: the English word can't hold \" , . ? ! ; : < > ) ( or ==: in a text they are never "
        "part of a word"},
    {"a==b->c",
        "Not added: the English word can't hold \" , . ? ! ; : < > ) ( or ==: in a text they are never "
        "part of a word"},
    {"|missing.dic]", "Not added: missing.dic is not a regular file that can be read"},
    {"|sub/more.dic]", "Not added: type a link as |NAME], NAME a file of this folder"},
    {"|story.txt]", "Not added: story.txt holds no entries"},
    {"|quogo.dic]", "Not added: it leads back to quogo.dic, a dictionary of the chain already"},
    {"|back.dic]", "Not added: it leads back to quogo.dic, a dictionary of the chain already"},
    {"|more.dic]", "Not added: back.dic links on already", two_words + " |back.dic]", "back.dic"},
    {"|mouse.dic]", "Not added: mouse.dic holds no entries"},
    {"a b->c", "Not added: the English word can't hold ~ or a space"},
    {"Zoo->zu", "Not added: start it in lower case; capitals in the text are found through it"},
    {"mo\x7fuse->mowse", "Not added: a line can't hold control characters"},
    {std::string(10000, 'x'), "Not added: a line can't be longer than 4096 bytes"},
    {std::string(2000, 'e') + "->" + std::string(2095, 'q'), "Not added: a line can't be longer than 4096 bytes"},
};
void PrintTo(const Corrupting& row, std::ostream* out)
{
    *out << row.line.substr(0, 40);
}
class LinesThatWouldCorruptTheDictionary : public testing::TestWithParam<Corrupting> { };
TEST_P(LinesThatWouldCorruptTheDictionary, AreRefused)
{
    const Corrupting& c = GetParam();
    Sandbox box;
    box.write("story.txt", "cat\n");
    box.write("quogo.dic", c.dictionary);
    box.write("back.dic", "_emu_->~eemu_ |quogo.dic]");
    box.write("more.dic", "_kat_->~kot_");
    box.write("mouse.dic", "_mouse_->~_");
    const RunResult run = box.run({"story.txt"}, typing({c.line}));
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.console.find("\n" + c.why + "\n" + add_prompt(c.extended, "still->ztill")), std::string::npos);
    EXPECT_EQ(box.read("quogo.dic"), c.dictionary);
    EXPECT_EQ(box.read("back.dic"), "_emu_->~eemu_ |quogo.dic]");
    EXPECT_FALSE(box.exists("quogo.msg"));
}
// Rows are named by their number and their line's first bytes.
INSTANTIATE_TEST_SUITE_P(Each, LinesThatWouldCorruptTheDictionary, testing::ValuesIn(corrupting_rows),
    [](const testing::TestParamInfo<Corrupting>& info) {
        return std::to_string(info.index) + "_" + test_name(info.param.line.substr(0, 24));
    });

TEST(AddWords, APairOfTheLongestLineIsTakenWhole)
{
    Sandbox box;
    box.write("story.txt", "cat\n");
    box.write("quogo.dic", two_words);
    const std::string english(2000, 'e');
    const std::string quog(2094, 'q');
    box.run({"story.txt"}, typing({english + "->" + quog}));
    EXPECT_EQ(box.read("quogo.dic"), with_group(two_words, "x+=\" _" + english + "_->~" + quog + "_\";"));
}

// A dictionary that may not or cannot be replaced stays as it was, and the
// typed words are still shown and kept in the message file. So does one
// that a chain link names, unless the link names a file of this folder that
// holds entries: a dictionary handed over could name any file.
struct NotReplaced {
    std::string name;
    std::function<void(const Sandbox&)> setup; // after quogo.dic holds two words
    Sandbox::Options options;
    std::string failure;
    std::string input = "story.txt";
};

std::vector<NotReplaced> not_replaced()
{
    const auto as_it_is = [](const Sandbox&) {};
    const auto larger_than_the_limit = [](const Sandbox& box) {
        std::string big;
        for (int i = 0; i < 200; ++i)
            big += "_w" + std::to_string(i) + "_->~q" + std::to_string(i) + "_\n";
        box.write("quogo.dic", big);
    };
    const auto linking_to = [](const std::string& link, const std::string& file, const std::string& text) {
        return [=](const Sandbox& box) {
            ::mkdir(box.path("sub").c_str(), 0755);
            box.write(file, text);
            box.write("quogo.dic", two_words + " |" + link + "]");
        };
    };
    return {
        {"a write past the file-size limit", larger_than_the_limit, Sandbox::Options::first("ulimit -f 2; "),
            "\nCan't write quogo.dic: writing failed: File too large\n"},
        {"read-only", [](const Sandbox& box) { ::chmod(box.path("quogo.dic").c_str(), 0444); },
            Sandbox::Options::nobody(), "\nCan't write quogo.dic: Permission denied\n" + usage_screen},
        {"someone else's, in a folder anyone may write", as_it_is, Sandbox::Options::nobody(),
            "\nCan't write quogo.dic: Permission denied\n" + usage_screen},
        {"writable, but its owner can't be kept",
            [](const Sandbox& box) { ::chmod(box.path("quogo.dic").c_str(), 0666); }, Sandbox::Options::nobody(),
            "\nCan't write quogo.dic: keeping the owner failed: Operation not permitted\n"},
        {"reached by a link that names another folder", linking_to("sub/more.dic", "sub/more.dic", "_x_->~y_"), {},
            "\nsub/more.dic is not extended: a dictionary reached by a link is, only when the link names it without "
            "/\n"},
        {"reached by a link to a file without entries", linking_to("notes.txt", "notes.txt", "My notes\n"), {},
            "\nnotes.txt is not extended: it holds no entries, so it may not be a dictionary\n"},
        {"reached by a link to a file whose one arrow has no English word",
            linking_to("notes.txt", "notes.txt", "__->~see below_"), {},
            "\nnotes.txt is not extended: it holds no entries, so it may not be a dictionary\n"},
        {"in a read-only folder",
            [](const Sandbox& box) {
                ::mkdir(box.path("shelf").c_str(), 0555);
                ::rename(box.path("quogo.dic").c_str(), box.path("shelf/quogo.dic").c_str());
                ::chmod(box.path("shelf/quogo.dic").c_str(), 0666);
                ::symlink("shelf/quogo.dic", box.path("quogo.dic").c_str());
            },
            Sandbox::Options::nobody(), "\nCan't write quogo.dic: Permission denied\n" + usage_screen},
        {"ending inside its link", [](const Sandbox& box) { box.write("quogo.dic", two_words + " |quogo.dic"); }, {},
            "\nquogo.dic is not extended: it ends inside its link |quogo.dic, which has no ]\n"},
        {"ending inside its entry", [](const Sandbox& box) { box.write("quogo.dic", two_words + " _fish_->~phish"); },
            {}, "\nquogo.dic is not extended: it ends inside its entry _fish_->~phish, which has no closing _\n"},
        {"the input file", as_it_is, {}, "\nWriting quogo.dic would destroy the input file\n" + usage_screen,
            "quogo.dic"},
    };
}

class DictionaryNotReplaced : public testing::TestWithParam<NotReplaced> { };

TEST_P(DictionaryNotReplaced, StaysAndTheWordsAreKept)
{
    const NotReplaced& c = GetParam();
    if (c.options.as_nobody && !can_run_as_nobody())
        GTEST_SKIP() << "only root can run the program as nobody";
    Sandbox box;
    box.write("story.txt", "cat\n");
    box.write("quogo.dic", two_words);
    c.setup(box);
    const struct stat before = status_of(box, "quogo.dic");
    std::vector<std::pair<std::string, std::string>> files; // every regular file, with its bytes
    for (const std::string name : {"quogo.dic", "story.txt", "notes.txt", "sub/more.dic"})
        if (S_ISREG(status_of(box, name).st_mode))
            files.emplace_back(name, box.read(name));
    const RunResult run = box.run({c.input}, typing({"dog->dawg"}), c.options);

    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.console.find("\nYour word(s) could not be added to the dictionary!"), std::string::npos);
    EXPECT_NE(run.console.find("\x1b[0m" + c.failure), std::string::npos) << run.console;
    const struct stat after = status_of(box, "quogo.dic");
    EXPECT_TRUE(before.st_ino == after.st_ino && before.st_mode == after.st_mode && before.st_uid == after.st_uid);
    for (const auto& [name, bytes] : files)
        EXPECT_TRUE(box.read(name) == bytes) << name;
    EXPECT_EQ(box.read("quogo.msg"), "x+=\" _dog_->~dawg_\";");
    EXPECT_FALSE(holds_temporary_file(box));
}

INSTANTIATE_TEST_SUITE_P(Each, DictionaryNotReplaced, testing::ValuesIn(not_replaced()), row_name<NotReplaced>);

// The attributes of the file at path, by name, with their values.
std::map<std::string, std::string> attributes_of(const std::string& path)
{
    std::map<std::string, std::string> found;
    char names[4096];
    const ssize_t size = ::listxattr(path.c_str(), names, sizeof names);
    for (ssize_t at = 0; at < size; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
        char value[4096];
        const ssize_t length = ::getxattr(path.c_str(), names + at, value, sizeof value);
        found[names + at] = std::string(value, static_cast<std::size_t>(std::max<ssize_t>(length, 0)));
    }
    return found;
}

// The rewrite keeps what the file was: owner, group, mode, ACL, extended
// attributes and links.
struct Kept {
    std::string name;
    std::function<bool(const Sandbox&)> setup; // false: it can't be done here
};

bool acl(const std::string& change, const std::string& path)
{
    return std::system(("setfacl " + change + " '" + path + "' 2>/dev/null").c_str()) == 0;
}

std::vector<Kept> kept_by_rewrites()
{
    const auto mode = [](mode_t bits) {
        return [=](const Sandbox& box) { return ::chmod(box.path("quogo.dic").c_str(), bits) == 0; };
    };
    return {
        {"someone else's private dictionary",
            [](const Sandbox& box) {
                if (::geteuid() == 0)
                    (void)!::chown(box.path("quogo.dic").c_str(), 65534, 65534);
                return ::chmod(box.path("quogo.dic").c_str(), 0600) == 0;
            }},
        {"group-readable", mode(0640)},
        {"set-group-id", mode(02664)},
        {"with an ACL that lets nobody write, and an attribute of the user's",
            [](const Sandbox& box) {
                const std::string path = box.path("quogo.dic");
                ::setxattr(path.c_str(), "user.origin", "typed by hand", 13, 0);
                // The group bits then hold the ACL's mask: copying them
                // alone would let the owning group write.
                return acl("-m u:nobody:rw,g::r", path);
            }},
        {"in a folder whose default ACL a new file inherits",
            [](const Sandbox& box) { return acl("-d -m u:nobody:rw", box.dir()); }},
        {"a link",
            [](const Sandbox& box) {
                ::rename(box.path("quogo.dic").c_str(), box.path("real.dic").c_str());
                return ::symlink("real.dic", box.path("quogo.dic").c_str()) == 0;
            }},
        {"a link to a relative link in another folder",
            [](const Sandbox& box) {
                ::mkdir(box.path("sub").c_str(), 0755);
                ::rename(box.path("quogo.dic").c_str(), box.path("sub/real.dic").c_str());
                ::symlink("real.dic", box.path("sub/link.dic").c_str());
                return ::symlink("sub/link.dic", box.path("quogo.dic").c_str()) == 0;
            }},
    };
}

class Rewrite : public testing::TestWithParam<Kept> { };

TEST_P(Rewrite, KeepsOwnerModeAndLinks)
{
    const Kept& c = GetParam();
    Sandbox box;
    box.write("story.txt", "cat\n");
    box.write("quogo.dic", two_words);
    if (!c.setup(box))
        GTEST_SKIP() << "setfacl is missing or the file system has no ACLs";
    struct stat link_before { };
    ::lstat(box.path("quogo.dic").c_str(), &link_before);
    const struct stat before = status_of(box, "quogo.dic");
    const auto attributes = attributes_of(box.path("quogo.dic"));
    const RunResult run = box.run({"story.txt"}, typing({"dog->dawg"}));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(box.read("quogo.dic"), with_group(two_words, "x+=\" _dog_->~dawg_\";"));
    EXPECT_EQ(attributes_of(box.path("quogo.dic")), attributes);
    struct stat link_after { };
    ::lstat(box.path("quogo.dic").c_str(), &link_after);
    const struct stat after = status_of(box, "quogo.dic");
    EXPECT_EQ(S_ISLNK(link_before.st_mode), S_ISLNK(link_after.st_mode));
    EXPECT_EQ(before.st_mode, after.st_mode);
    EXPECT_EQ(before.st_uid, after.st_uid);
    EXPECT_EQ(before.st_gid, after.st_gid);
}

INSTANTIATE_TEST_SUITE_P(Each, Rewrite, testing::ValuesIn(kept_by_rewrites()), row_name<Kept>);

// A run that loaded the dictionary before another run added words keeps
// those words, and does not store again a pair that is there by now.
TEST(AddWords, TwoRunsAtOnceKeepEachOthersWords)
{
    Sandbox box;
    box.write("story.txt", "cat dog bird\n");
    box.write("quogo.dic", two_words);
    TerminalRun first(box.dir(), {"story.txt"});
    ASSERT_TRUE(first.wait_for(wait_shown));

    const RunResult second = box.run({"story.txt"}, typing({"dog->dawg"}));
    ASSERT_EQ(second.status, 0);

    first.type("k");
    ASSERT_TRUE(first.play({{prompt_shown, "bird->boid\r"}, {prompt_shown, "dog->dawg\r"}, {prompt_shown, "\r"},
        {wait_shown, "k"}, {wait_shown, "k"}}))
        << first.screen();
    const int status = first.finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << first.screen();
    EXPECT_EQ(
        box.read("quogo.dic"), with_group(with_group(two_words, "x+=\" _dog_->~dawg_\";"), "x+=\" _bird_->~boid_\";"));
    EXPECT_EQ(box.read("quogo.msg"), "x+=\" _bird_->~boid_\";");
    EXPECT_EQ(box.read("story.qgo").substr(0, 15), "kat dawg boid \n");
}

// Whether some process waits for the lock on the file called path.
bool lock_awaited(const std::string& path)
{
    struct stat info { };
    ::stat(path.c_str(), &info);
    std::ifstream locks("/proc/locks");
    const std::string inode = ":" + std::to_string(info.st_ino) + " ";
    for (std::string line; std::getline(locks, line);)
        if (line.find("->") != std::string::npos && line.find(inode) != std::string::npos)
            return true;
    return false;
}

// A run ended by a signal while it waits for the dictionary's lock, at the
// wait before the outputs are written, or just as it has made a temporary
// file, leaves every file as it was.
enum class At { lock, last_wait, temporary_file };
struct Signalled {
    std::string name;
    int signal_number;
    At at;
    std::string folder = "."; // of the input and the outputs
};

std::vector<Signalled> signalled_rows()
{
    const std::string where[] = {"at the lock", "at the last wait", "at a new file"};
    std::vector<Signalled> rows;
    for (const auto& [signal_number, at, folder] : {std::tuple{SIGINT, At::lock, "."}, {SIGTERM, At::lock, "."},
             {SIGHUP, At::lock, "."}, {SIGINT, At::last_wait, "."}, {SIGTERM, At::last_wait, "."},
             {SIGHUP, At::last_wait, "."}, {SIGTERM, At::temporary_file, "."}, {SIGTERM, At::temporary_file, "shelf"}})
        rows.push_back({std::string(strsignal(signal_number)) + " " + where[static_cast<int>(at)] + " in " + folder,
            signal_number, at, folder});
    return rows;
}

class ASignal : public testing::TestWithParam<Signalled> { };

TEST_P(ASignal, LeavesEveryFileWhole)
{
    const Signalled& c = GetParam();
    Sandbox box;
    ::mkdir(box.path(c.folder).c_str(), 0755);
    const std::string story = c.folder + "/story";
    box.write(story + ".txt", "cat dog\n");
    box.write("quogo.dic", two_words);
    box.write(story + ".qgo", "old");
    box.write(story + ".htm", "old");
    if (c.at == At::temporary_file) {
        // The signal comes while the file is being made: it must wait
        // until the file is known to the handler that removes it.
        std::thread killer([&] {
            for (int tries = 0; tries < 2000 && !holds_temporary_file(box, c.folder); ++tries)
                ::usleep(2000);
            pid_t pid = 0;
            std::ifstream(box.path(".pid")) >> pid;
            ::kill(pid, c.signal_number);
        });
        const RunResult run =
            box.run({story + ".txt"}, "", Sandbox::Options::first("echo $$ >.pid; exec env " + failing("slow").before));
        killer.join();
        EXPECT_EQ(run.status, -1);
    } else {
        const int held = ::open(box.path("quogo.dic").c_str(), O_RDONLY | O_CLOEXEC);
        if (c.at == At::lock)
            ::flock(held, LOCK_EX);
        TerminalRun run(box.dir(), {"story.txt"});
        ASSERT_TRUE(run.play({{wait_shown, "k"}, {prompt_shown, "dog->dawg\r"}, {prompt_shown, "\r"}}));
        if (c.at == At::lock) {
            for (int tries = 0; tries < 3000 && !lock_awaited(box.path("quogo.dic")); ++tries)
                ::usleep(10000);
            ASSERT_TRUE(lock_awaited(box.path("quogo.dic")));
        } else {
            ASSERT_TRUE(run.play({{wait_shown, "k"}, {"Your (un)translation follows ...\r\n\r\n" + wait_shown, ""}}));
        }
        run.signal(c.signal_number);
        const int status = run.finish();
        ::close(held);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal_number);
    }
    EXPECT_EQ(
        box.read("quogo.dic"), c.at != At::last_wait ? two_words : with_group(two_words, "x+=\" _dog_->~dawg_\";"));
    EXPECT_EQ(box.read(story + ".qgo"), "old");
    EXPECT_EQ(box.read(story + ".htm"), "old");
    EXPECT_FALSE(holds_temporary_file(box, c.folder));
}

INSTANTIATE_TEST_SUITE_P(Each, ASignal, testing::ValuesIn(signalled_rows()), row_name<Signalled>);

// While a run waits for the dictionary's lock, the program holding it puts
// a new dictionary in its place: the run extends the new one, keeping its
// words, and adds nothing that is there by then.
struct Replaced {
    std::string name, replacement, result;
    bool reported;      // "Your word(s) have been added"
    int held = LOCK_EX; // how the other program holds its lock
};

std::vector<Replaced> replaced_rows()
{
    const std::string group = "x+=\" _dog_->~dawg_\";";
    return {
        {"a new word meanwhile", two_words + " _bird_->~boid_", with_group(two_words + " _bird_->~boid_", group), true},
        {"the same pair meanwhile", two_words + " _dog_->~dawg_", two_words + " _dog_->~dawg_", false},
        {"a new word meanwhile, under a shared lock", two_words + " _bird_->~boid_",
            with_group(two_words + " _bird_->~boid_", group), true, LOCK_SH},
    };
}

class AfterWaitingForTheLock : public testing::TestWithParam<Replaced> { };

TEST_P(AfterWaitingForTheLock, TheNewDictionaryIsExtended)
{
    const Replaced& c = GetParam();
    Sandbox box;
    box.write("story.txt", "cat dog\n");
    box.write("quogo.dic", two_words);
    const int held = ::open(box.path("quogo.dic").c_str(), O_RDONLY | O_CLOEXEC);
    ::flock(held, c.held);
    TerminalRun run(box.dir(), {"story.txt"});
    ASSERT_TRUE(run.play({{wait_shown, "k"}, {prompt_shown, "dog->dawg\r"}, {prompt_shown, "\r"}}));
    for (int tries = 0; tries < 3000 && !lock_awaited(box.path("quogo.dic")); ++tries)
        ::usleep(10000);
    box.write("new.dic", c.replacement);
    ::rename(box.path("new.dic").c_str(), box.path("quogo.dic").c_str());
    ::close(held);
    using Steps = TerminalRun::Steps;
    ASSERT_TRUE(run.play(c.reported ? Steps{{wait_shown, "k"}, {wait_shown, "k"}} : Steps{})) << run.screen();
    const int status = run.finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << run.screen();
    EXPECT_EQ(box.read("quogo.dic"), c.result);
    EXPECT_EQ(count_of(run.screen(), "have been added"), c.reported ? 1 : 0);
    EXPECT_NE(
        run.screen().find("\r\nWaiting for quogo.dic, which another program is changing ...\r\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Each, AfterWaitingForTheLock, testing::ValuesIn(replaced_rows()), row_name<Replaced>);

// A file changed while the run waits at the add-words prompt is judged
// again when it is written or read: an input saved again is never mixed
// with the version translated first, and a message file turned into a link
// to the dictionary is refused.
struct Changed {
    std::string name;
    std::function<void(const Sandbox&, char* map)> change; // map: the input's bytes, mapped
    TerminalRun::Steps then;                               // after the dialogue, to the failure
    std::string dictionary;                                // afterwards
    std::string typed = "dog->dawg\r";
    int status = 1;
};

std::vector<Changed> changed_rows()
{
    return {
        {"the input saved again", [](const Sandbox& box, char*) { box.write("story.txt", "AB CD kat x_y_z_w\n"); },
            {{wait_shown, "k"}, {"\r\nCan't read story.txt: it changed while it was read\r\n", ""}},
            with_group(two_words, "x+=\" _dog_->~dawg_\";")},
        {"the input stored to through a shared map, which changes neither its size nor its times",
            [](const Sandbox&, char* map) { std::memcpy(map, "dog cat\n", 8); },
            {{wait_shown, "k"}, {"\r\nCan't read story.txt: it changed while it was read\r\n", ""}},
            with_group(two_words, "x+=\" _dog_->~dawg_\";")},
        {"the message file made a link to the dictionary",
            [](const Sandbox& box, char*) { ::symlink("quogo.dic", box.path("quogo.msg").c_str()); },
            {{"\r\nWriting quogo.msg would destroy the dictionary quogo.dic\r\n", ""}},
            with_group(two_words, "x+=\" _dog_->~dawg_\";")},
        {"an output made a link to the dictionary",
            [](const Sandbox& box, char*) { ::symlink("quogo.dic", box.path("story.qgo").c_str()); },
            {{wait_shown, "k"}, {wait_shown, "k"},
                {"\r\nWriting story.qgo would destroy the dictionary quogo.dic\r\n", ""}},
            with_group(two_words, "x+=\" _dog_->~dawg_\";")},
        {"the dictionary saved ending inside a link",
            [](const Sandbox& box, char*) { box.write("quogo.dic", two_words + " |more.dic"); },
            {{"\r\nquogo.dic is not extended: it ends inside its link |more.dic, which has no ]\r\n", ""}},
            two_words + " |more.dic"},
        {"a link added by another run",
            [](const Sandbox& box, char*) { box.write("quogo.dic", two_words + "\nx+=\" |b.dic] _emu_->~eemu_\";\n"); },
            {{"\r\nNot added: |more.dic]: quogo.dic links on already\r\n", ""}, {wait_shown, "k"}, {wait_shown, "k"}},
            two_words + "\nx+=\" |b.dic] _emu_->~eemu_\";\nx+=\" _dog_->~dawg_\";\n", "|more.dic]\rdog->dawg\r", 0},
    };
}

class AFileChangedWhileTheRunWaits : public testing::TestWithParam<Changed> { };

TEST_P(AFileChangedWhileTheRunWaits, IsJudgedAgain)
{
    const Changed& c = GetParam();
    Sandbox box;
    box.write("story.txt", "cat dog\n");
    box.write("quogo.dic", two_words);
    // Stored to once before the run, the map is written to again
    // without a new time for the file.
    const int fd = ::open(box.path("story.txt").c_str(), O_RDWR | O_CLOEXEC);
    void* const map = ::mmap(nullptr, 8, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    ASSERT_NE(map, MAP_FAILED);
    std::memcpy(map, "cat dog\n", 8);
    TerminalRun run(box.dir(), {"story.txt"});
    ASSERT_TRUE(run.play({{wait_shown, "k"}, {prompt_shown, ""}}));
    box.write("more.dic", "_emu_->~eemu_");
    box.write("b.dic", "_kat_->~kot_");
    c.change(box, static_cast<char*>(map));
    run.type(c.typed);
    ASSERT_TRUE(run.play({{prompt_shown, "\r"}}));
    ASSERT_TRUE(run.play(c.then)) << run.screen();
    run.type("kkk");
    const int status = run.finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.status) << run.screen();
    EXPECT_EQ(box.read("story.qgo").find("Translation by") != std::string::npos, c.status == 0);
    EXPECT_EQ(box.read("quogo.dic"), c.dictionary);
    ::munmap(map, 8);
}

INSTANTIATE_TEST_SUITE_P(Each, AFileChangedWhileTheRunWaits, testing::ValuesIn(changed_rows()), row_name<Changed>);

// The message file is checked with the outputs, before the display: no word
// is asked for that could not be saved, and nothing is written.
TEST(AddWords, AMessageFileThatCannotBeWrittenIsRefusedBeforeTheDisplay)
{
    Sandbox box;
    box.write("story.txt", "cat\n");
    box.write("quogo.dic", two_words);
    ::mkdir(box.path("quogo.msg").c_str(), 0755);
    const RunResult run = box.run({"story.txt"}, typing({"dog->dawg"}));
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.console.find(banner + "\nCan't write quogo.msg: Is a directory\n" + usage_screen), std::string::npos);
    EXPECT_EQ(box.read("quogo.dic"), two_words);
    EXPECT_FALSE(box.exists("story.qgo"));
}

} // namespace
