// The fast stages against straightforward versions written from their
// definitions, over thousands of generated dictionaries and texts.
#include <gtest/gtest.h>

#include <random>

#include "control/console.h"
#include "engine/engine.h"
#include "plain_pass.h"
#include "results/results.h"
#include "results/shared.h"
#include "state/run_state.h"
#include "test_support.h"

namespace {

// --- Generators --------------------------------------------------------------------

class Generator {
public:
    explicit Generator(unsigned seed) : random_(seed) { }

    std::size_t below(std::size_t bound) { return bound == 0 ? 0 : random_() % bound; }
    bool chance(int percent) { return below(100) < static_cast<std::size_t>(percent); }

    std::string word()
    {
        static const char* const stems[] = {"cat", "dog", "still", "fish", "a", "be", "see", "x"};
        std::string w = stems[below(8)];
        if (chance(30))
            w += stems[below(8)];
        if (chance(20))
            w[0] = static_cast<char>(w[0] - 32);
        // Words holding '_' or '~', anywhere and more than once, must be
        // looked up as exactly as any other.
        for (const char mark : {'_', '~'})
            for (int times = chance(12) ? 1 + static_cast<int>(below(3)) : 0; times > 0; --times)
                w.insert(below(w.size() + 1), 1, mark);
        return w;
    }

    std::string dictionary()
    {
        std::string dict;
        const std::size_t entries = below(12);
        for (std::size_t i = 0; i < entries; ++i) {
            if (chance(10))
                dict += "_" + std::string(1, "\",.?!;:<>)("[below(11)]) + "_->~" + word() + "_";
            else
                dict += "_" + word() + "_->~" + word() + "_";
            switch (below(6)) {
            case 0:
                break; // entries that meet
            case 1:
                dict += "\n";
                break; // a line break, dropped on loading
            case 2:
                dict += " x+=\" ";
                break; // junk between entries
            case 3:
                dict += "|more.dic] ";
                break;
            default:
                dict += " ";
            }
            if (chance(3))
                dict += "~~~___";
        }
        return dict;
    }

    std::string text()
    {
        static const std::string pieces[] = {" ", " ", " ", "\n", "\r\n", "\r", ",", ".", "!", "\"", "->", "==", "  ",
            "(", ")", "-", ">", "_", "~", std::string(1, '\0')};
        std::string t;
        const std::size_t parts = below(30);
        for (std::size_t i = 0; i < parts; ++i)
            t += chance(55) ? word() : pieces[below(sizeof pieces / sizeof pieces[0])];
        return t;
    }

private:
    std::mt19937 random_;
};

// --- The comparisons ----------------------------------------------------------------

TEST(Differential, FastStagesAgreeWithTheirDefinitions)
{
    run = {};
    Generator generate(7);
    for (int round = 0; round < 4000; ++round) {
        const std::string raw_dict = generate.dictionary();
        std::string dict;
        for (const char c : raw_dict)
            if (c != '\r' && c != '\n')
                dict += c;
        const std::string raw = generate.text();
        const bool untranslating = generate.chance(40);

        const std::string prepared = prepare_text(raw);
        ASSERT_EQ(prepared, plain_prepare(raw)) << raw;
        // Read in two chunks, cut anywhere (between CR and LF, say).
        std::string in_chunks;
        Preparation preparation(in_chunks);
        const std::size_t cut = generate.below(raw.size() + 1);
        preparation.append(std::string_view(raw).substr(0, cut));
        preparation.append(std::string_view(raw).substr(cut));
        preparation.finish();
        ASSERT_EQ(in_chunks, prepared) << raw << " cut at " << cut;
        std::string protected_text = prepared;
        replace_marks(protected_text, "- > ", "==");
        ASSERT_EQ(protected_text, plain_replace_repeatedly(prepared, "- > ", "==")) << raw;

        // The pass over the prepared text and over the raw text: the latter
        // holds line ends without their space, and words with LF inside.
        for (const std::string& work : {protected_text, raw}) {
            const std::string out = program_pass(dict, work, untranslating);
            ASSERT_EQ(out, plain_pass(dict, work, untranslating)) << dict << " | " << work;
            std::string restored = out;
            replace_marks(restored, "==", "->");
            ASSERT_EQ(restored, plain_replace_repeatedly(out, "==", "->")) << out;
            ASSERT_EQ(close_up(restored), plain_close_up(restored)) << restored;
        }
    }
}

TEST(Differential, PagingWaitsAfterEveryTwentiethLineEnd)
{
    Generator generate(11);
    const std::string wait = "\nStrike Any Key ...\n";
    for (int round = 0; round < 200; ++round) {
        std::string text;
        const std::size_t length = generate.below(3000);
        for (std::size_t i = 0; i < length; ++i)
            text += generate.chance(8) ? '\n' : 'a';
        std::string expected;
        int lines = 0;
        for (const char c : text) {
            expected += c;
            if (c == '\n' && ++lines == 20) {
                lines = 0;
                expected += wait;
            }
        }
        feed_stdin("");
        start_capture();
        page_to_console(text);
        ASSERT_EQ(captured(), expected);
    }
}

} // namespace
