#include "engine/engine.h"

#include <gtest/gtest.h>

#include <optional>

#include "plain_pass.h"
#include "state/run_state.h"
#include "test_support.h"

namespace {

TEST(PrepareText, PadsPunctuationAndMarksLineEnds)
{
    run = {};
    struct Case {
        std::string raw, prepared;
    };
    const Case cases[] = {
        {"Hello, world.\n", "Hello ,  world .  \n"},
        {"Hello, world.\r\n", "Hello ,  world .  \n"},
        {"a->b", "a- > b"},
        {"", ""},
        {"\"Hi\"", " \" Hi \" "},
        {"(a) <b>; c: d? e!", " ( a )   < b >  ;  c :  d ?  e ! "},
        {"tab\there's it-is", "tab\there's it-is"},
        {"one\n\ntwo", "one \n \ntwo"},
        {"old\rMac\r\rends\r", "old \nMac \n \nends \n"}, // a CR alone ends a line
        {"mixed\r\r\n", "mixed \n \n"},
        {std::string("a\0b\x1a"
                     "c",
             5),
            std::string("a\0b\x1a"
                        "c",
                5)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(prepare_text(c.raw), c.prepared) << c.raw;
}

TEST(Arrows, ProtectAndRestore)
{
    run = {};
    struct Case {
        std::string input, protected_text, restored;
    };
    const Case cases[] = {
        {"a->b", "a==b", "a->b"},
        {"x == y", "x == y", "x -> y"},
        {"a->b->c", "a==b==c", "a->b->c"},
        {"--->", "--==", "--->"},
        {"===", "===", "->="},
        {"no arrows", "no arrows", "no arrows"},
    };
    for (const Case& c : cases) {
        run.work_text = prepare_text(c.input);
        protect_arrows(run.work_text);
        EXPECT_EQ(run.work_text, prepare_text(c.protected_text)) << c.input;
        run.out_text = c.protected_text;
        restore_arrows();
        EXPECT_EQ(run.out_text, c.restored) << c.input;
    }
}

TEST(LoadDictionary, DropsLineBreaksCountsTildesAndFindsTheLink)
{
    ScratchDirectory scratch;
    struct Case {
        std::string file, text;
        long long words;
        std::optional<std::string> next;
    };
    const Case cases[] = {
        {"_cat_->~kat_\r\n _dog_->~dawg_\n", "_cat_->~kat_ _dog_->~dawg_", 2, std::nullopt},
        {"_a_->~b_ |more.dic] |other.dic]", "_a_->~b_ |more.dic] |other.dic]", 1, "more.dic"},
        {"", "", 0, std::nullopt},
        {"~~~ no entries", "~~~ no entries", 3, std::nullopt},
        {"_a_->~b_ |mo\nre.dic", "_a_->~b_ |more.dic", 1, "more.dic"},
        {"|more.dic] _a_->~b_", "|more.dic] _a_->~b_", 1, "more.dic"},
        {"|]", "|]", 0, ""},
        {"x|", "x|", 0, ""},
    };
    for (const Case& c : cases) {
        run = {};
        run.word_count = 5; // from a dictionary before it in the chain
        ScratchDirectory::write("quogo.dic", c.file);
        start_capture();
        const std::optional<std::string> next = load_dictionary("quogo.dic");
        EXPECT_EQ(captured(), "\nLoading dictionary ... Dictionary loaded!");
        EXPECT_EQ(run.dict_name, "quogo.dic");
        EXPECT_EQ(run.dict_text, c.text);
        EXPECT_EQ(run.word_count, 5 + c.words);
        EXPECT_EQ(next, c.next) << c.file;
    }
}

TEST(TranslatePass, WordsCapitalsLineEndsAndPunctuation)
{
    run = {};
    const std::string dict = "_still_->~ztill_ _cat_->~kat_ _!_->~!!_ _num_->~7even_ _big_->~Grand_ _ta\tb_->~tab_";
    struct Case {
        std::string work, out;
    };
    const Case cases[] = {
        {"Still cat .  \n", "Ztill kat . \n"}, {"dog", "dog "}, {"Cat CAT cAT", "Kat CAT cAT "}, {"Num", "7even "},
        {"big Big", "Grand Grand "}, {"wow ! ", "wow !! "}, {"a  b", "a  b "}, {"", " "},
        {"one \n \ntwo \n", "one \n\ntwo \n"}, {"\nx", "\nx "}, {"cat", "kat "}, {"still==ztill", "still==ztill "},
        {"ta\tb ta b", "tab ta b "}, // a tab is part of a word
    };
    for (const Case& c : cases)
        EXPECT_EQ(program_pass(dict, c.work, false), c.out) << c.work;
}

TEST(TranslatePass, UntranslateReadsTheEnglishWordBeforeTheKey)
{
    run = {};
    const std::string dict = "_still_->~ztill_ _cat_->~kat_ _kitten_->~kat_";
    struct Case {
        std::string work, out;
    };
    const Case cases[] = {
        {"Ztill kat .  \n", "Still cat . \n"},
        {"Kat", "Cat "},
        {"at", "at "}, // '~at_' is not inside '~kat_'
        {"till", "till "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(program_pass(dict, c.work, true), c.out) << c.work;
}

TEST(TranslatePass, MalformedDictionariesStayInsideTheText)
{
    run = {};
    struct Case {
        std::string dict, work;
        bool untranslating;
        std::string out;
    };
    const Case cases[] = {
        {"_cat_->~kat", "cat", false, "kat "},                                 // no closing underscore
        {"_cat_", "cat", false, " "},                                          // key at the very end
        {"_cat_->", "cat", false, " "},                                        // result would begin past the end
        {"cat_->~kat_", "kat", true, "cat "},                                  // nothing before the English word
        {"~kat_", "kat", true, "~kat "},                                       // match at the start
        {"a_b_->~x_", "x", true, "b "}, {"_a_->~b_ _c_->~d_", "", false, " "}, // the empty word's '__' is not there
        {"_a_->~b__c_->~d_", "", false, ">~d "},                               // entries that meet make '__'
    };
    for (const Case& c : cases)
        EXPECT_EQ(program_pass(c.dict, c.work, c.untranslating), c.out) << c.dict << " / " << c.work;
}

TEST(TranslatePass, HeaderAndVerboseReport)
{
    run = {};
    run.verbose = true;
    run.dict_name = "quogo.dic";
    const auto console_of = [](const std::string& dict, const std::string& work, bool untranslating) {
        take_dictionary(dict);
        run.untranslate = untranslating;
        start_capture();
        translate_pass(PassText(work));
        return captured();
    };
    EXPECT_EQ(console_of("_still_->~ztill_ _cat_->~kat_", "Still cat dog .  \n", false),
        "\n\nNow using the quogo.dic dictionary.\n\nPlease be patient while I translate ...\n\n"
        "Still -> Ztill \ncat -> kat \n");
    EXPECT_EQ(console_of("_still_->~ztill_", "Ztill", true),
        "\n\nNow using the quogo.dic dictionary.\n\nPlease be patient while I untranslate ...\n\n"
        "Ztill -> Still \n");
}

} // namespace
