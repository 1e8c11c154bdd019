// The fast stages against straightforward versions written from their
// definitions, over thousands of generated dictionaries and texts.
#include <gtest/gtest.h>

#include <random>

#include "control/console.h"
#include "engine/engine.h"
#include "results/results.h"
#include "state/run_state.h"
#include "test_support.h"

namespace {

// --- The definitions, written as plainly as they read --------------------------

std::ptrdiff_t plain_find(std::string_view haystack, std::string_view needle)
{
    for (std::size_t i = 0; i < haystack.size(); ++i) {
        std::size_t j = 0;
        while (j < needle.size() && i + j < haystack.size() && haystack[i + j] == needle[j])
            ++j;
        if (j == needle.size())
            return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

// Replace the first occurrence, then search again from the start.
std::string plain_replace_repeatedly(std::string text, const std::string& from, const std::string& to)
{
    for (std::ptrdiff_t i = plain_find(text, from); i != -1; i = plain_find(text, from))
        text =
            text.substr(0, static_cast<std::size_t>(i)) + to + text.substr(static_cast<std::size_t>(i) + from.size());
    return text;
}

std::string plain_prepare(const std::string& raw)
{
    std::string out;
    for (const char c : raw) {
        if (plain_find(punct_set, std::string(1, c)) != -1)
            out += std::string(" ") + c + " ";
        if (c == '\n')
            out += " \n";
        if (plain_find("\r\n", std::string(1, c)) == -1 && plain_find(punct_set, std::string(1, c)) == -1)
            out += c;
    }
    return out;
}

// One pass, step by step, searching the rest of the text afresh each time.
std::string plain_pass(const std::string& dict, const std::string& work, bool untranslating)
{
    std::string out;
    std::size_t pos = 0;
    do {
        const std::string rest = work.substr(pos);
        const std::ptrdiff_t sp = plain_find(rest, " ");
        const std::ptrdiff_t nl = plain_find(rest, "\n");
        if (sp == 0 && nl == 1) {
            out += "\n";
            pos += 2;
        } else if (nl == 0) {
            out += "\n";
            pos += 1;
        } else {
            std::string word = sp == -1 ? rest : rest.substr(0, static_cast<std::size_t>(sp));
            std::string key = std::string(untranslating ? "~" : "_") + word + "_";
            const bool capital = !word.empty() && word[0] >= 'A' && word[0] <= 'Z';
            if (capital) {
                key[1] = static_cast<char>(key[1] + 32);
                word[0] = static_cast<char>(word[0] + 32);
            }
            const std::ptrdiff_t i = plain_find(dict, key);
            std::string result;
            if (i == -1) {
                result = word;
                if (capital)
                    result[0] = static_cast<char>(result[0] - 32);
            } else {
                std::ptrdiff_t begin;
                if (!untranslating) {
                    begin = std::min<std::ptrdiff_t>(
                        i + static_cast<std::ptrdiff_t>(key.size()) + 3, static_cast<std::ptrdiff_t>(dict.size()));
                } else {
                    std::ptrdiff_t at = i - 4;
                    while (at >= 0 && dict[static_cast<std::size_t>(at)] != '_')
                        --at;
                    begin = std::max<std::ptrdiff_t>(at + 1, 0); // no underscore before it: the start
                }
                std::size_t end = static_cast<std::size_t>(begin);
                while (end < dict.size() && dict[end] != '_')
                    ++end;
                result = dict.substr(static_cast<std::size_t>(begin), end - static_cast<std::size_t>(begin));
                if (capital && !result.empty() && result[0] >= 'a' && result[0] <= 'z')
                    result[0] = static_cast<char>(result[0] - 32);
            }
            out += result + " ";
            if (sp == -1)
                pos = work.size();
            else if (sp == nl - 1)
                pos += static_cast<std::size_t>(sp);
            else
                pos += static_cast<std::size_t>(sp) + 1;
        }
    } while (pos < work.size());
    return out;
}

std::string plain_close_up(const std::string& text)
{
    std::string out;
    std::size_t k = 0;
    while (k < text.size()) {
        char c = text[k];
        ++k;
        if (c == ' ' && k < text.size() && plain_find(punct_set, std::string(1, text[k])) != -1 &&
            k + 1 < text.size() && text[k + 1] == ' ') {
            c = text[k];
            k += 2;
        }
        out += c;
    }
    return out;
}

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
        static const std::string pieces[] = {" ", " ", " ", "\n", "\r\n", ",", ".", "!", "\"", "->", "==", "  ", "(",
            ")", "-", ">", "_", "~", std::string(1, '\0')};
        std::string t;
        const std::size_t parts = below(30);
        for (std::size_t i = 0; i < parts; ++i)
            t += chance(55) ? word() : pieces[below(sizeof pieces / sizeof pieces[0])];
        return t;
    }

private:
    std::mt19937 random_;
};

std::string fast_pass(const std::string& dict, const std::string& work, bool untranslating)
{
    take_dictionary(dict);
    work_text = work;
    out_text.clear();
    untranslate = untranslating;
    run_pass();
    return out_text;
}

// --- The comparisons ----------------------------------------------------------------

TEST(Differential, FastStagesAgreeWithTheirDefinitions)
{
    set_run_values();
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
        std::string protected_text = prepared;
        replace_marks(protected_text, "- > ", "==");
        ASSERT_EQ(protected_text, plain_replace_repeatedly(prepared, "- > ", "==")) << raw;

        // The pass over the prepared text and over the raw text: the latter
        // holds line ends without their space, and words with LF inside.
        for (const std::string& work : {protected_text, raw}) {
            const std::string out = fast_pass(dict, work, untranslating);
            ASSERT_EQ(out, plain_pass(dict, work, untranslating)) << dict << " | " << work;
            std::string restored = out;
            replace_marks(restored, "==", "->");
            ASSERT_EQ(restored, plain_replace_repeatedly(out, "==", "->")) << out;
            ASSERT_EQ(close_up(restored), plain_close_up(restored)) << restored;
        }

        // The lookup against the plain search for every word of the text.
        std::vector<std::string> keys;
        std::size_t start = 0;
        for (std::size_t space = protected_text.find(' '); start <= protected_text.size();
             space = protected_text.find(' ', start)) {
            const std::string word =
                protected_text.substr(start, space == std::string::npos ? std::string::npos : space - start);
            for (const char prefix : {'_', '~'})
                keys.push_back(prefix + word + "_");
            if (space == std::string::npos)
                break;
            start = space + 1;
        }
        const std::vector<std::ptrdiff_t> positions = find_keys(dict, keys);
        for (std::size_t i = 0; i < keys.size(); ++i)
            ASSERT_EQ(positions[i], plain_find(dict, keys[i])) << dict << " / " << keys[i];
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
