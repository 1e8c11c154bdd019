#include "corpus.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <unordered_set>

namespace {

const char* const syllables[] = {"ba", "ko", "ri", "tu", "me", "sa", "lo", "ni", "pe", "du", "fa", "gi", "ho", "ju",
    "ke", "la", "mo", "nu", "pi", "ro", "se", "ta", "vo", "wi", "za", "be", "ci", "do", "fu", "ga"};
constexpr int syllable_count = 30;

std::string spelled(int n, int minimum_syllables)
{
    std::string word;
    for (int i = 0; i < minimum_syllables || n > 0; ++i) {
        word += syllables[n % syllable_count];
        n /= syllable_count;
    }
    return word;
}

} // namespace

std::string english_word(int n)
{
    return spelled(n, 2);
}

std::string make_dictionary(int entries)
{
    std::string dict;
    for (int n = 0; n < entries; ++n) {
        std::string quog = spelled(n, 2);
        quog.insert(quog.begin() + 1, 'z'); // 'bako' becomes 'bzako'
        dict += "_" + english_word(n) + "_->~" + quog + "_";
        if (n % 5 == 4)
            dict.push_back('\n');
        dict.push_back(' ');
    }
    return dict;
}

std::string make_story(std::size_t size, int entries, unsigned seed)
{
    std::mt19937 random(seed);
    auto below = [&](unsigned bound) { return static_cast<unsigned>(random() % bound); };
    std::string story;
    story.reserve(size + 64);
    int words_on_line = 0;
    while (story.size() < size) {
        // Log-uniform over the entries: a few words are common, most are rare.
        const double u = static_cast<double>(random()) / 4294967296.0;
        const int n = static_cast<int>(std::pow(static_cast<double>(entries), u)) - 1;
        std::string word = english_word(n);
        if (below(10) == 0)
            word.insert(word.begin(), 'x'); // not in the dictionary
        if (below(10) == 0)
            word[0] = static_cast<char>(word[0] - 32);
        story += word;
        if (++words_on_line >= 8 + static_cast<int>(below(8))) {
            story += ".\n";
            words_on_line = 0;
        } else {
            const unsigned mark = below(20);
            story += mark == 0 ? ", " : mark == 1 ? "! " : " ";
        }
    }
    if (story.back() != '\n')
        story += ".\n";
    return story;
}

namespace {

// A word of 4 to 10 letters: two to five syllables, the last one of a
// single letter when the length is odd.
std::string prose_word(std::mt19937& random)
{
    const unsigned letters = 4 + random() % 7;
    std::string word;
    while (word.size() + 2 <= letters)
        word += syllables[random() % syllable_count];
    if (word.size() < letters)
        word += "aeiou"[random() % 5];
    return word;
}

} // namespace

ProseCorpus make_prose_dictionary(int entries, unsigned seed)
{
    std::mt19937 random(seed);
    ProseCorpus corpus;
    std::unordered_set<std::string> taken;
    std::string& dict = corpus.dictionary;
    dict = "A dictionary of prose: eight entries a line.\n _,_->~;_ _!_->~!!_ _?_->~?!_\n";
    int on_line = 0;
    while (static_cast<int>(corpus.english.size()) < entries) {
        std::string english = prose_word(random);
        if (!taken.insert(english).second)
            continue;
        std::string quog = english;
        quog[random() % quog.size()] = 'z';
        quog += "aeiou"[random() % 5];
        dict += " _" + english + "_->~" + quog + "_";
        corpus.english.push_back(std::move(english));
        if (++on_line == 8) {
            dict += "\n";
            on_line = 0;
        }
    }
    dict += "\n";
    return corpus;
}

std::string make_prose_story(std::size_t size, const ProseCorpus& corpus, unsigned seed)
{
    std::mt19937 random(seed);
    const std::size_t frequent = std::min<std::size_t>(300, corpus.english.size());
    std::string story;
    story.reserve(size + 128);
    std::size_t line_start = 0;
    bool sentence_start = true;
    while (story.size() < size) {
        const unsigned draw = random() % 100;
        std::string word = draw < 60 ? corpus.english[random() % frequent]
            : draw < 95              ? corpus.english[random() % corpus.english.size()]
                                     : prose_word(random) + "q"; // not in the dictionary
        if (sentence_start)
            word[0] = static_cast<char>(word[0] - 32);
        story += word;
        const unsigned mark = random() % 100;
        sentence_start = mark < 8 || mark == 12;
        story += mark < 8 ? "." : mark < 12 ? "," : mark == 12 ? "!" : "";
        if (story.size() - line_start >= 70) {
            story += "\n";
            line_start = story.size();
        } else {
            story += " ";
        }
    }
    if (story.back() != '\n')
        story += "\n";
    return story;
}
