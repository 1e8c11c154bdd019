// Bytes split at the first 0x01 into a dictionary and a text: loading (line
// breaks, chain link), and a pass in each direction over the text as it is
// and as prepared, checked against the plain pass.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "tests/plain_pass.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    run = {};
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t split = bytes.find('\x01');
    const std::string_view dictionary = bytes.substr(0, split);
    const std::string text(split == std::string_view::npos ? std::string_view() : bytes.substr(split + 1));

    const std::optional<std::string> next = take_dictionary(std::string(dictionary));
    FUZZ_CHECK(run.dict_text.find_first_of("\r\n") == std::string::npos);
    FUZZ_CHECK(next.has_value() == (run.dict_text.find('|') != std::string::npos));
    if (next)
        FUZZ_CHECK(next->find(']') == std::string::npos);

    std::string prepared = prepare_text(text);
    replace_marks(prepared, "- > ", "==");
    for (const bool untranslating : {false, true}) {
        run.untranslate = untranslating;
        for (const std::string& work : {prepared, text}) {
            run.out_text.clear();
            run_pass(PassText(work));
            FUZZ_CHECK(run.out_text == plain_pass(run.dict_text, work, untranslating));
        }
    }
    return 0;
}
