#include "control/bytes.h"

std::ptrdiff_t find_text(std::string_view haystack, std::string_view needle)
{
    if (haystack.empty())
        return not_found;
    const std::size_t at = haystack.find(needle);
    return at == std::string_view::npos ? not_found : static_cast<std::ptrdiff_t>(at);
}

std::size_t count_of(std::string_view text, char ch)
{
    std::size_t count = 0;
    for (std::size_t block = 0; block < text.size(); block += 255) {
        std::uint8_t tally = 0;
        for (const char byte : text.substr(block, 255))
            tally = static_cast<std::uint8_t>(tally + (byte == ch ? 1 : 0));
        count += tally;
    }
    return count;
}
