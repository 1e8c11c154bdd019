#include "engine/dictionary_index.h"

#include <cstring>
#include <functional>

#include "control/console.h"

namespace {

std::uint32_t hash_of(std::string_view word)
{
    const std::size_t full = std::hash<std::string_view>{}(word);
    return static_cast<std::uint32_t>(full ^ (full >> 32));
}

std::string_view word_at(std::string_view dict, std::uint32_t prefix_pos, std::uint32_t length)
{
    return dict.substr(std::size_t{prefix_pos} + 1, length);
}

} // namespace

void DictionaryIndex::Table::clear()
{
    slots_.clear();
    slots_.shrink_to_fit();
    used_ = 0;
}

void DictionaryIndex::Table::grow()
{
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{empty_slot, 0, 0});
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.prefix_pos == empty_slot)
            continue;
        std::size_t at = slot.hash & mask;
        while (slots_[at].prefix_pos != empty_slot)
            at = (at + 1) & mask;
        slots_[at] = slot;
    }
}

void DictionaryIndex::Table::insert_first(std::string_view dict, std::uint32_t prefix_pos,
                                          std::uint32_t length)
{
    if ((used_ + 1) * 10 > slots_.size() * 7)
        grow();
    const std::string_view word = word_at(dict, prefix_pos, length);
    const std::uint32_t hash = hash_of(word);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        Slot& slot = slots_[at];
        if (slot.prefix_pos == empty_slot) {
            slot = Slot{prefix_pos, length, hash};
            ++used_;
            return;
        }
        // Positions arrive in increasing order, so the one kept is the first.
        if (slot.hash == hash && slot.length == length && word_at(dict, slot.prefix_pos, length) == word)
            return;
    }
}

std::ptrdiff_t DictionaryIndex::Table::find(std::string_view dict, std::string_view word) const
{
    if (slots_.empty())
        return not_found;
    const std::uint32_t hash = hash_of(word);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.prefix_pos == empty_slot)
            return not_found;
        if (slot.hash == hash && slot.length == word.size() &&
            word_at(dict, slot.prefix_pos, slot.length) == word)
            return slot.prefix_pos;
    }
}

void DictionaryIndex::clear()
{
    underscore_table_.clear();
    tilde_table_.clear();
    fallback_answers_.clear();
    built_data_ = nullptr;
    built_size_ = 0;
    built_ = false;
}

void DictionaryIndex::build(std::string_view dict)
{
    clear();
    // Positions are kept in 32 bits; a larger text is searched plainly.
    if (dict.size() >= empty_slot)
        return;

    std::ptrdiff_t last_underscore = -1;
    std::ptrdiff_t last_tilde = -1;
    for (std::size_t at = 0; at < dict.size(); ++at) {
        const char ch = dict[at];
        if (ch == '~') {
            last_tilde = static_cast<std::ptrdiff_t>(at);
        } else if (ch == '_') {
            const auto here = static_cast<std::ptrdiff_t>(at);
            if (last_underscore >= 0)
                underscore_table_.insert_first(dict, static_cast<std::uint32_t>(last_underscore),
                                               static_cast<std::uint32_t>(here - last_underscore - 1));
            if (last_tilde > last_underscore)
                tilde_table_.insert_first(dict, static_cast<std::uint32_t>(last_tilde),
                                          static_cast<std::uint32_t>(here - last_tilde - 1));
            last_underscore = here;
        }
    }
    built_data_ = dict.data();
    built_size_ = dict.size();
    built_ = true;
}

bool DictionaryIndex::built_for(std::string_view dict) const
{
    return built_ && dict.data() == built_data_ && dict.size() == built_size_;
}

std::ptrdiff_t DictionaryIndex::find_key(std::string_view dict, std::string_view key) const
{
    if (!built_for(dict))
        return find_text(dict, key);

    if (key.size() >= 2 && key.back() == '_') {
        const char prefix = key.front();
        const std::string_view word = key.substr(1, key.size() - 2);
        const bool plain_word = word.find('_') == std::string_view::npos;
        if (prefix == '_' && plain_word)
            return underscore_table_.find(dict, word);
        if (prefix == '~' && plain_word && word.find('~') == std::string_view::npos)
            return tilde_table_.find(dict, word);
    }

    const auto known = fallback_answers_.find(std::string(key));
    if (known != fallback_answers_.end())
        return known->second;
    const std::ptrdiff_t answer = find_text(dict, key);
    fallback_answers_.emplace(std::string(key), answer);
    return answer;
}
