// The pass's lookup of every kind of word, in both directions, against the
// plain search of each key on its own.
#include <gtest/gtest.h>

#include <random>

#include "engine/engine.h"
#include "engine/segment_index.h"
#include "engine/word_table.h"
#include "plain_pass.h"
#include "state/run_state.h"

namespace {

// pattern times over, each '#' in it the number of the time.
std::string repeated_entry(const std::string& pattern, int times)
{
    std::string text;
    for (int n = 0; n < times; ++n)
        for (const char ch : pattern)
            text += ch == '#' ? std::to_string(n) : std::string(1, ch);
    return text;
}

// A pass over the words, one after another, gives what the plain pass gives.
void expect_plain_answers(const std::string& dict, const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& word : words)
        text += word + " ";
    for (const bool untranslating : {false, true}) {
        run = {};
        ASSERT_EQ(program_pass(dict, text, untranslating), plain_pass(dict, text, untranslating))
            << dict << " / " << text;
    }
}

TEST(Lookup, AgreesWithThePlainSearchOnChosenWords)
{
    const std::string dicts[] = {
        "_still_->~ztill_ _cat_->~kat_",
        "_a_->~b__c_->~d_", // entries that meet: '__' straddles them
        "_a_->~bc_d_->~e_", // '_d_' and '_c_' start inside a word
        "x+=\" _fish_->~phish_\";_fish_->~fesh_",
        "~~~~~_ ____ ~x~y_ _~_",
        "no underscores at all ~",
        "",
        "_",
        std::string("_n\0l_->~z\x1a_", 11),
        "_snake_case_->~snek_ _snake_->~s_ _case_->~c_ ~a~b~c_ _a~b_->~x_",
        "_a_b_c_d_e_f_g_h_i_->~x_ ~a~b~c~d~e~f~g~h~i~j_ _b_c_d_e_f_g_h_i_->~y_", // more prefixes than asked at each _
        "_Cat_->~Kat_ _cAT_->~kat_",
        // One above '_' after '_', one above '~' after '~', in a long one.
        "_^b_->~x_ _q_->~\x7fz_ _still_->~ztill_ _cat_->~kat_ _fish_->~phish_ _snake_->~s_",
        "_incomprehensible_->~inkomprensibul_", // the shortest word not looked up as a short one
        // Three segments for each '~': the index must grow before it is full.
        repeated_entry(" _a#_j#_s#_->~x#_", 8),
    };
    const std::vector<std::string> words = {"still", "Still", "cat", "Cat", "CAT", "kat", "ztill", "c", "d", "b",
        "fish", "phish", "fesh", "y", "x~y", "x", "~", "->~b", "a_->~b", "~~", "_", "__", "nope",
        std::string("n\0l", 3), std::string("z\x1a", 2), "snake_case", "case_->~snek", "b~c", "a~b~c", "a~b",
        "snek_ _snake", "a_b_c_d_e_f_g_h_i", "b_c_d_e_f_g_h_i", "a~b~c~d~e~f~g~h~i~j", "a~b~c~d~e~f~g~h~i", "", "~cat",
        "cat_", "_cat", "_cat_", "^b", "\x7fz", "incomprehensible", "j3", "s7"};
    for (const std::string& dict : dicts)
        expect_plain_answers(dict, words);
    // Thousands of words whose keys span segments, each found, in a text long enough to be looked up as it goes.
    std::string many;
    std::vector<std::string> spanning;
    for (int n = 0; n < 2000; ++n) {
        spanning.push_back("w" + std::to_string(n) + "_xxxxxxxxxxxxxxxxxxxxxxxx");
        many += "_" + spanning.back() + "_->~q" + std::to_string(n) + "_ ";
    }
    expect_plain_answers(many, spanning);
}

// A segment that extends a word, by bytes that make their hashes agree
// wherever the index looks (the tag, and the home slot in the 16 slots of a
// one-entry dictionary), does not answer the word: its closing '_' is
// compared too, on the short path, the second load, and the path near the
// dictionary's end.
TEST(Lookup, ASegmentThatExtendsTheWordDoesNotAnswerIt)
{
    const auto colliding = [](const std::string& word) {
        const std::uint64_t wanted = key_of('_', word, false).hash;
        for (std::uint64_t n = 0;; ++n) {
            std::string segment = word;
            for (std::uint64_t rest = n; rest != 0; rest /= 26)
                segment += static_cast<char>('a' + rest % 26);
            const std::uint64_t hash = key_of('_', segment, false).hash;
            if (segment != word && hash >> 48 == wanted >> 48 && (hash & 15) == (wanted & 15))
                return segment;
        }
    };
    for (const std::string word : {"cat", "eightish", "caterpillar"}) {
        const std::string segment = colliding(word);
        for (const std::string& dict : {"_" + segment + "_", "_" + segment + "_->~WRONG_" + std::string(24, ' ')}) {
            const SegmentIndex index('_', dict, 1, false);
            EXPECT_EQ(index.find(key_of('_', word, false)), not_found_yet) << dict;
            EXPECT_EQ(index.find(key_of('_', segment, false)), 0u) << dict;
        }
    }
}

// Random dictionaries from small alphabets rich in the bytes that matter,
// looked up with words cut from the dictionary itself and made up.
TEST(Lookup, AgreesWithThePlainSearchOnRandomDictionaries)
{
    std::mt19937 random(20261207);
    auto pick = [&](std::size_t bound) { return static_cast<std::size_t>(random() % bound); };
    // The second alphabet makes words like '____a_', whose keys overlap one
    // another many times over; the third, words of many prefixes, which,
    // with thousands of underscores after the dictionary's own, are too few
    // to be asked for at each underscore and are found by the tree.
    const struct {
        std::string alphabet;
        std::size_t longest_cut;
        std::string after;
    } kinds[] = {{"__~~->ab A|]\"", 6, ""}, {"__a~", 6, ""}, {"_~_~_a", 40, " " + std::string(3000, '_')}};
    for (const auto& [alphabet, longest_cut, after] : kinds) {
        for (int round = 0; round < 3000; ++round) {
            std::string dict;
            const std::size_t length = pick(90);
            for (std::size_t i = 0; i < length; ++i)
                dict.push_back(alphabet[pick(alphabet.size())]);
            std::vector<std::string> words;
            for (int probe = 0; probe < 20; ++probe) {
                std::string word;
                if (!dict.empty() && probe % 3 == 0) {
                    word = dict.substr(pick(dict.size()), pick(longest_cut));
                } else {
                    for (std::size_t i = pick(9); i > 0; --i)
                        word.push_back(alphabet[pick(alphabet.size())]);
                }
                // A space or line end would split the word in two.
                std::replace(word.begin(), word.end(), ' ', 'a');
                words.push_back(word);
            }
            expect_plain_answers(dict + after, words);
        }
    }
}

} // namespace
