#include "results/results.h"
#include "results/shared.h"

#include <gtest/gtest.h>

#include "plain_pass.h"
#include "state/run_state.h"
#include "test_support.h"

namespace {

TEST(CloseUp, RemovesThePaddingAroundPunctuation)
{
    run = {};
    struct Case {
        std::string text, closed;
    };
    const Case cases[] = {
        {"Hi ,  there . \n", "Hi, there.\n"},
        {"Ztill kat \n", "Ztill kat \n"},
        {"end ", "end "},
        {"a .", "a ."},
        {" ( x ) ", "(x)"},
        {"a - b", "a - b"},
        {" \"  \" ", "\"\""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(close_up(c.text), c.closed) << c.text;
}

TEST(OutputNames, BaseIsCutAtTheFirstDotOfTheFileName)
{
    struct Case {
        std::string input;
        bool untranslating;
        std::string first, second;
    };
    const Case cases[] = {
        {"story.txt", false, "story.qgo", "story.htm"},
        {"story.txt", true, "story.txt", "story.htm"},
        {"my.story.txt", false, "my.qgo", "my.htm"},
        {"story", false, "story.qgo", "story.htm"},
        {"./story.txt", false, "./story.qgo", "./story.htm"},
        {"dir.v2/story.txt", false, "dir.v2/story.qgo", "dir.v2/story.htm"},
        {"dir.v2/story", true, "dir.v2/story.txt", "dir.v2/story.htm"},
        {"", false, ".qgo", ".htm"},
    };
    for (const Case& c : cases) {
        const OutputNames names = output_names(c.input, c.untranslating);
        EXPECT_EQ(names.first, c.first) << c.input;
        EXPECT_EQ(names.second, c.second) << c.input;
    }
}

TEST(Footer, NamesTheDirectionAndTheWordCount)
{
    run = {};
    run.word_count = 1234;
    const std::string version(version_text);
    EXPECT_EQ(
        footer_text(), "\nTranslation by Quog Speak Version " + version + "\nThe dishunary contains 1234 wurds.\n\n");
    run.untranslate = true;
    run.word_count = 0;
    EXPECT_EQ(
        footer_text(), "\nUntranslation by Quog Speak Version " + version + "\nThe dishunary contains 0 wurds.\n\n");
}

TEST(PageToConsole, WaitsAfterEveryTwentiethLine)
{
    std::string text;
    for (int line = 1; line <= 45; ++line)
        text += "line " + std::to_string(line) + "\n";
    feed_stdin("ab");
    start_capture();
    page_to_console(text);
    const std::string shown = captured();
    const std::string wait = "\nStrike Any Key ...\n";
    EXPECT_EQ(shown.find(wait), shown.find("line 20\n") + 8);
    EXPECT_EQ(shown.rfind(wait), shown.find("line 40\n") + 8);
    EXPECT_EQ(shown.size(), text.size() + 2 * wait.size());
}

} // namespace
