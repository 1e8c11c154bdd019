#include "control/bytes.h"
#include "control/console.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

// The escapes are tested as they are written when no one asked for none.
const bool colour_allowed = (set_environment("NO_COLOR", nullptr), set_environment("TERM", "xterm"), true);

TEST(FindText, FirstOccurrenceOrNotFound)
{
    struct Case {
        std::string haystack, needle;
        std::ptrdiff_t expected;
    };
    const Case cases[] = {
        {"abc", "", 0},
        {"", "", not_found},
        {"", "x", not_found},
        {"a- > b", "- > ", 1},
        {"\",.?!;:<>)(", ",", 1},
        {"\",.?!;:<>)(", "x", not_found},
        {"abcabc", "cab", 2},
        {"abc", "abcd", not_found},
        {"ab", "b", 1},
        {"Cat", "cat", not_found},
        {std::string("a\0b\0c", 5), std::string("b\0c", 3), 2},
        {"x\x1ay", "y", 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(find_text(c.haystack, c.needle), c.expected) << c.haystack << " / " << c.needle;
}

// Two readings of a file are told apart by their bytes alone: however the
// reads cut them, the same bytes hash the same, and a byte added or taken
// away, or two blocks swapped, hashes otherwise.
TEST(StreamHash, HashesTheBytesWhereverTheyAreCut)
{
    const auto hash = [](const std::vector<std::string_view>& chunks) {
        StreamHash stream(20261209);
        for (const std::string_view chunk : chunks)
            stream.add(chunk);
        return stream.value();
    };
    const std::string texts[] = {"", "a", "eight by", "seventeen bytes..", std::string(40, '\0')};
    for (const std::string& text : texts) {
        const std::string_view bytes = text;
        for (std::size_t first = 0; first <= bytes.size(); ++first)
            for (std::size_t second = first; second <= bytes.size(); ++second)
                EXPECT_EQ(hash({bytes.substr(0, first), bytes.substr(first, second - first), bytes.substr(second)}),
                    hash({bytes}))
                    << text << " cut at " << first << " and " << second;
        const std::string swapped = text.size() < 16 ? text : text.substr(8, 8) + text.substr(0, 8) + text.substr(16);
        for (const std::string& other :
            {text + "x", text + std::string(1, '\0'), text.substr(0, text.size() / 2), swapped})
            EXPECT_TRUE(other == text || hash({other}) != hash({bytes})) << text << " / " << other;
    }
}

TEST(ReadLine, ALineTooLongIsRefusedWholeAndTheNextOneIsRead)
{
    // A CR LF ends a line as a LF does.
    feed_stdin(std::string(longest_line, 'a') + "\n" + std::string(longest_line + 1, 'b') + "\nnext\r\n\nlast");
    std::string line;
    EXPECT_TRUE(read_line(line));
    EXPECT_EQ(line, std::string(longest_line, 'a'));
    EXPECT_FALSE(read_line(line));
    EXPECT_EQ(line, "");
    EXPECT_TRUE(read_line(line));
    EXPECT_EQ(line, "next");
    EXPECT_TRUE(read_line(line));
    EXPECT_EQ(line, "");
    EXPECT_TRUE(read_line(line));
    EXPECT_EQ(line, "last");
    EXPECT_TRUE(read_line(line));
    EXPECT_EQ(line, "");
}

TEST(ReadLine, OffATerminalErasesNothingAndEchoesNothing)
{
    feed_stdin("ab\x7f"
               "c\n");
    std::string line;
    start_capture();
    EXPECT_TRUE(read_line(line));
    EXPECT_EQ(captured(), "");
    EXPECT_EQ(line,
        "ab\x7f"
        "c");
}

TEST(WaitKey, PrintsThePromptAndTakesOneByte)
{
    feed_stdin("xyz\n");
    start_capture();
    wait_key("\nStrike Any Key ...\n");
    EXPECT_EQ(captured(), "\nStrike Any Key ...\n");
    std::string line;
    read_line(line);
    EXPECT_EQ(line, "yz");
}

TEST(WaitKey, ReturnsAtEndOfInput)
{
    feed_stdin("");
    start_capture();
    wait_key("?");
    wait_key("?");
    EXPECT_EQ(captured(), "??");
}

TEST(Escapes, AttributeAndForeground)
{
    ASSERT_TRUE(colour_allowed);
    start_capture();
    set_attribute('1');
    set_foreground('4');
    set_foreground('7');
    set_attribute('0');
    EXPECT_EQ(captured(), "\x1b[1m\x1b[34m\x1b[37m\x1b[0m");
}

} // namespace
