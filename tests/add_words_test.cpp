// The add-words dialogue after a translation, driven through standard input.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "sandbox.h"

namespace {

const std::string two_words = "_still_->~ztill_ _cat_->~kat_";
const std::string added_message_start = "\x1b[1m\x1b[31m\nYour word(s) have been added to the dictionary!";

// A key for the first display's wait, the typed lines, an empty line to end
// the dialogue, and keys for the waits that follow added words.
std::string typing(const std::vector<std::string>& lines)
{
    std::string input = "k";
    for (const std::string& line : lines)
        input += line + "\n";
    return input + "\nkk";
}

TEST(AddWords, ANewPairIsAddedSavedAndTranslated)
{
    Sandbox box;
    box.write("story.txt", "Still cat fish.\n");
    box.write("quogo.dic", two_words);
    const RunResult run = box.run({"story.txt"}, typing({"fish->phish"}));
    EXPECT_EQ(run.status, 0);

    const std::string group = "x+=\" _fish_->~phish_\";";
    EXPECT_EQ(box.read("quogo.dic"), two_words + group);
    EXPECT_EQ(box.read("quogo.msg"), group);
    const std::string expected = "Ztill kat phish.\n" + footer(3);
    EXPECT_EQ(box.read("story.qgo"), expected);
    EXPECT_EQ(box.read("story.htm"), expected);

    const std::string tail =
        "Ztill kat fish.\n\n" + add_prompt("quogo.dic", "still->ztill") + add_prompt("quogo.dic", "fish->phish") +
        added_message_start +
        "\nPlease e-mail them to the Quog Speak makers so that everyone gets them"
        "\n(quog-words@quogtran.example) the following message:\n\n" +
        group + "\n\n\nwhich you will find in the file quogo.msg.\n\x1b[0m\n\nStrike Any Key ...\n" +
        "\nLoading dictionary ... Dictionary loaded!" + pass_header("quogo.dic") +
        "\n\nYour (un)translation follows ...\n\nStrike Any Key ...\n" + expected +
        closing_line("story.qgo", "story.htm");
    EXPECT_EQ(run.console.rfind(tail), run.console.size() - tail.size());
}

TEST(AddWords, WhatTheDialogueKeepsAndDrops)
{
    struct Case {
        std::string name;
        std::vector<std::string> lines;
        std::string group; // empty: nothing may be written
        long words;
    };
    const Case cases[] = {
        {"duplicate", {"still->ztill"}, "", 2},
        {"capital stored as typed", {"Fish->Phish"}, "x+=\" _Fish_->~Phish_\";", 3},
        {"same pair twice", {"fish->phish", "fish->phish"}, "x+=\" _fish_->~phish_ _fish_->~phish_\";", 4},
        {"link alone", {"|more.dic]"}, "", 2},
        {"link with a pair", {"|more.dic]", "dog->dawg"}, "x+=\" |more.dic] _dog_->~dawg_\";", 3},
        {"several words on the Quog side", {"hi->hey there"}, "x+=\" _hi_->~hey there_\";", 3},
    };
    for (const Case& c : cases) {
        Sandbox box;
        box.write("story.txt", "Still cat.\n");
        box.write("quogo.dic", two_words);
        box.write("more.dic", "");
        const RunResult run = box.run({"story.txt"}, typing(c.lines));
        EXPECT_EQ(run.status, 0) << c.name;
        EXPECT_EQ(box.read("quogo.dic"), two_words + c.group) << c.name;
        EXPECT_EQ(box.exists("quogo.msg"), !c.group.empty()) << c.name;
        EXPECT_EQ(count_of(run.console, "Your word(s) have been added"), c.group.empty() ? 0 : 1) << c.name;
        EXPECT_NE(box.read("story.qgo").find(footer(c.words)), std::string::npos) << c.name;
        // Each prompt shows the line typed before it.
        std::string example = "still->ztill";
        for (const std::string& line : c.lines) {
            EXPECT_NE(run.console.find(add_prompt("quogo.dic", example)), std::string::npos) << c.name;
            example = line;
        }
        EXPECT_NE(run.console.find(add_prompt("quogo.dic", example)), std::string::npos) << c.name;
    }
}

TEST(AddWords, ALaterRunFollowsAnAddedLink)
{
    Sandbox box;
    box.write("story.txt", "dog\n");
    box.write("quogo.dic", two_words);
    box.write("more.dic", "_dawg_->~doggo_");
    box.run({"story.txt"}, typing({"|more.dic]", "dog->dawg"}));
    const RunResult again = box.run({"story.txt"});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(box.read("story.qgo"), "doggo \n" + footer(4));
}

TEST(AddWords, StopsAskingPastAThousandCharacters)
{
    Sandbox box;
    box.write("story.txt", "cat\n");
    box.write("quogo.dic", two_words);
    std::vector<std::string> lines;
    // The prompt stops once the group holds more than 1000 characters.
    std::size_t group = std::string("x+=\"").size();
    long accepted = 0;
    for (int i = 0; i < 60; ++i) {
        lines.push_back("word" + std::to_string(i) + "->quogword" + std::to_string(i));
        if (group <= 1000) {
            group += std::string(" _word" + std::to_string(i) + "_->~quogword" + std::to_string(i) + "_").size();
            ++accepted;
        }
    }
    const RunResult run = box.run({"story.txt"}, typing(lines));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(count_of(run.console, "\nAdd other words later!\n"), 1);
    const std::string message = box.read("quogo.msg");
    EXPECT_EQ(count_of(message, "->~"), accepted);
    EXPECT_EQ(message.size(), group + 2);
    EXPECT_LT(accepted, 60);
    EXPECT_NE(box.read("story.qgo").find(footer(2 + accepted)), std::string::npos);
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

TEST(AddWords, ADictionaryWithLineBreaksIsRewrittenOnOneLine)
{
    Sandbox box;
    box.write("story.txt", "cat\n");
    box.write("quogo.dic", "_still_->~ztill_\r\n _cat_->~kat_\n");
    box.run({"story.txt"}, typing({"dog->dawg"}));
    EXPECT_EQ(box.read("quogo.dic"), "_still_->~ztill_ _cat_->~kat_x+=\" _dog_->~dawg_\";");
}

TEST(AddWords, NewWordsGoToTheLastDictionaryOfAChain)
{
    Sandbox box;
    box.write("story.txt", "cat dog\n");
    box.write("quogo.dic", "_cat_->~kat_ |more.dic]");
    box.write("more.dic", "_kat_->~kot_");
    const RunResult run = box.run({"story.txt"}, typing({"kat->kit", "dog->dawg"}));
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.console.find(add_prompt("more.dic", "still->ztill")), std::string::npos);
    EXPECT_EQ(box.read("quogo.dic"), "_cat_->~kat_ |more.dic]");
    EXPECT_EQ(box.read("more.dic"), "_kat_->~kot_x+=\" _dog_->~dawg_\";");
    // The second pass runs over the chain's output with the last dictionary.
    EXPECT_EQ(box.read("story.qgo"), "kot dawg \n" + footer(3));
}

TEST(AddWords, LinesThatWouldCorruptTheDictionaryAreRefused)
{
    struct Case {
        std::string line, why;
    };
    const Case cases[] = {
        {"justaword", "Not added: type a pair like still->ztill, or a link like |more.dic]"},
        {"->kat", "Not added: both sides of -> need a word"},
        {"kat->", "Not added: both sides of -> need a word"},
        {"a_b->c", "Not added: a word can't hold _, | or ]"},
        {"ab->c_d", "Not added: a word can't hold _, | or ]"},
        {"a|b->c", "Not added: a word can't hold _, | or ]"},
        {"ab->c]", "Not added: a word can't hold _, | or ]"},
        {"a~b->c", "Not added: the English word can't hold ~ or a space"},
        {"a b->c", "Not added: the English word can't hold ~ or a space"},
        {std::string(10000, 'x'), "Not added: type a pair like still->ztill, or a link like |more.dic]"},
    };
    for (const Case& c : cases) {
        Sandbox box;
        box.write("story.txt", "cat\n");
        box.write("quogo.dic", two_words);
        const RunResult run = box.run({"story.txt"}, typing({c.line}));
        EXPECT_EQ(run.status, 0) << c.line;
        EXPECT_NE(run.console.find("\n" + c.why + "\n" + add_prompt("quogo.dic", "still->ztill")),
                  std::string::npos)
            << c.line;
        EXPECT_EQ(box.read("quogo.dic"), two_words) << c.line;
        EXPECT_FALSE(box.exists("quogo.msg")) << c.line;
    }
}

TEST(AddWords, ALongPairIsTakenWhole)
{
    Sandbox box;
    box.write("story.txt", "cat\n");
    box.write("quogo.dic", two_words);
    const std::string english(5000, 'e');
    const std::string quog(5000, 'q');
    box.run({"story.txt"}, typing({english + "->" + quog}));
    EXPECT_EQ(box.read("quogo.dic"), two_words + "x+=\" _" + english + "_->~" + quog + "_\";");
}

TEST(AddWords, ADictionaryThatCannotBeReplacedStaysAsItWas)
{
    Sandbox box;
    box.write("story.txt", "cat\n");
    // Larger than the run may write: the rewrite fails part way through.
    std::string big;
    for (int i = 0; i < 200; ++i)
        big += "_w" + std::to_string(i) + "_->~q" + std::to_string(i) + "_\n";
    box.write("quogo.dic", big);
    const RunResult run = box.run_with_file_limit({"story.txt"}, typing({"dog->dawg"}), 2);
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.console.find("\x1b[0m\nCan't write quogo.dic\n"), std::string::npos);
    EXPECT_EQ(box.read("quogo.dic"), big);
    // The typed words are not lost: the message file keeps them.
    EXPECT_EQ(box.read("quogo.msg"), "x+=\" _dog_->~dawg_\";");
    EXPECT_EQ(box.names(), (std::vector<std::string>{"quogo.dic", "quogo.msg", "story.txt"})); // no temporary file left
}

TEST(AddWords, AMessageFileThatCannotBeWrittenComesAfterTheDictionary)
{
    Sandbox box;
    box.write("story.txt", "cat\n");
    box.write("quogo.dic", two_words);
    ::mkdir(box.path("quogo.msg").c_str(), 0755);
    const RunResult run = box.run({"story.txt"}, typing({"dog->dawg"}));
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.console.find("\nCan't open quogo.msg\n" + usage_screen), std::string::npos);
    EXPECT_EQ(box.read("quogo.dic"), two_words + "x+=\" _dog_->~dawg_\";");
}

} // namespace
