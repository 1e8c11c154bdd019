// Bytes split at the first 0x01 into a dictionary and a text: loading (line
// breaks, chain link), a pass in each direction, and the indexed lookup
// checked against the plain search for every word of the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "control/console.h"
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

    std::string prepared = prepare_text(text);
    replace_marks(prepared, "- > ", "==");
    for (const int direction : {0, 1}) {
        untranslate = direction;
        work_text = prepared;
        quiet_pass();
    }

    // Every word of the text as a key in both directions, as it stands and
    // with '_' and '~' put inside it, against the plain search.
    std::vector<std::string> keys;
    std::size_t start = 0;
    for (;;) {
        const std::size_t space = prepared.find(' ', start);
        const std::string word = prepared.substr(start, space == std::string::npos ? std::string::npos : space - start);
        for (const char prefix : {'_', '~'}) {
            keys.push_back(prefix + word + "_");
            keys.push_back(prefix + word.substr(0, word.size() / 2) + "_" + word.substr(word.size() / 2) + "_");
            keys.push_back(prefix + word.substr(0, word.size() / 2) + "~" + word.substr(word.size() / 2) + "_");
        }
        if (space == std::string::npos)
            break;
        start = space + 1;
    }
    const std::vector<std::ptrdiff_t> positions = find_keys(dict_text, keys);
    for (std::size_t i = 0; i < keys.size(); ++i)
        FUZZ_CHECK(positions[i] == find_text(dict_text, keys[i]));
    return 0;
}
