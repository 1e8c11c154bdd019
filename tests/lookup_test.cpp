#include <gtest/gtest.h>

#include <random>

#include "control/console.h"
#include "engine/engine.h"

namespace {

// find_keys answers every key as find_text would, each key on its own.
void expect_plain_answers(const std::string& dict, const std::vector<std::string>& keys)
{
    const std::vector<std::ptrdiff_t> positions = find_keys(dict, keys);
    ASSERT_EQ(positions.size(), keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        ASSERT_EQ(positions[i], find_text(dict, keys[i])) << dict << " / " << keys[i];
}

TEST(FindKeys, AgreesWithThePlainSearchOnChosenKeys)
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
    };
    const std::vector<std::string> keys = {
        "_still_",
        "_cat_",
        "~kat_",
        "~ztill_",
        "__",
        "~_",
        "_c_",
        "_d_",
        "~d_",
        "_b_",
        "_fish_",
        "~phish_",
        "~fesh_",
        "~y_",
        "~x~y_",
        "_x_",
        "_~_",
        "_->~b_",
        "_a_->~b_",
        "~~_",
        "___",
        "_nope_",
        "_ _",
        std::string("_n\0l_", 5),
        std::string("~z\x1a_", 4),
        "_snake_case_",
        "_case_->~snek_",
        "~c_",
        "~b~c_",
        "~a~b~c_",
        "_a~b_",
        "~snek_ _snake_",
        "_",
        "~",
        "x",
        "",
        "_cat",
        "cat_",
        "_cat_",
    };
    for (const std::string& dict : dicts)
        expect_plain_answers(dict, keys);
}

// Random dictionaries from small alphabets rich in the bytes that matter,
// looked up with keys cut from the dictionary itself and made up.
TEST(FindKeys, AgreesWithThePlainSearchOnRandomDictionaries)
{
    std::mt19937 random(20261207);
    auto pick = [&](std::size_t bound) { return static_cast<std::size_t>(random() % bound); };
    // The second alphabet makes keys like '_____a__', whose partial matches
    // overlap one another many times over.
    for (const std::string alphabet : {"__~~->ab A|]\"", "__a~"}) {
        for (int round = 0; round < 3000; ++round) {
            std::string dict;
            const std::size_t length = pick(60);
            for (std::size_t i = 0; i < length; ++i)
                dict.push_back(alphabet[pick(alphabet.size())]);
            std::vector<std::string> keys;
            for (int probe = 0; probe < 20; ++probe) {
                std::string key(1, probe % 2 ? '~' : '_');
                if (!dict.empty() && probe % 3 == 0) {
                    const std::size_t from = pick(dict.size());
                    key += dict.substr(from, pick(6));
                } else {
                    for (std::size_t i = pick(9); i > 0; --i)
                        key.push_back(alphabet[pick(alphabet.size())]);
                }
                key.push_back('_');
                keys.push_back(key);
            }
            expect_plain_answers(dict, keys);
        }
    }
}

} // namespace
