#include "corpus.h"

#include <cmath>
#include <random>

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
