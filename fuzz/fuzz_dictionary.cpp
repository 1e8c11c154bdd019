// Bytes split at the first 0x01 into a dictionary and a text: loading (line
// breaks, chain link), a pass in each direction, and the indexed lookup
// checked against the plain search for every word of the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "control/console.h"
#include "engine/dictionary_index.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    set_run_values();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t split = bytes.find('\x01');
    const std::string_view dictionary = bytes.substr(0, split);
    const std::string_view text = split == std::string_view::npos ? std::string_view() : bytes.substr(split + 1);

    take_dictionary(std::string(dictionary));
    FUZZ_CHECK(dict_text.find_first_of("\r\n") == std::string::npos);
    if (chain_pos != not_found)
        FUZZ_CHECK(next_dict_name.find(']') == std::string::npos);

    const std::string prepared = replace_marks(prepare_text(text), "- > ", "==");
    for (const int direction : {0, 1}) {
        untranslate = direction;
        work_text = prepared;
        quiet_pass();
    }

    std::size_t start = 0;
    for (;;) {
        const std::size_t space = prepared.find(' ', start);
        const std::string word = prepared.substr(start, space == std::string::npos ? std::string::npos : space - start);
        for (const char prefix : {'_', '~'}) {
            const std::string key = prefix + word + "_";
            FUZZ_CHECK(dict_index.find_key(dict_text, key) == find_text(dict_text, key));
        }
        if (space == std::string::npos)
            break;
        start = space + 1;
    }
    return 0;
}
