// The stages written as plainly as their definitions read, for the tests
// and fuzzers to hold the fast ones to.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "engine/engine.h"
#include "results/results.h"
#include "results/shared.h"
#include "state/run_state.h"

inline std::ptrdiff_t plain_find(std::string_view haystack, std::string_view needle)
{
    for (std::size_t i = 0; i < haystack.size(); ++i) {
        std::size_t j = 0;
        while (j < needle.size() && i + j < haystack.size() && haystack[i + j] == needle[j])
            ++j;
        if (j == needle.size())
            return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

// Replace the first occurrence, then search again from the start.
inline std::string plain_replace_repeatedly(std::string text, const std::string& from, const std::string& to)
{
    for (std::ptrdiff_t i = plain_find(text, from); i != -1; i = plain_find(text, from))
        text =
            text.substr(0, static_cast<std::size_t>(i)) + to + text.substr(static_cast<std::size_t>(i) + from.size());
    return text;
}

// A CR alone ends a line as a LF does; one before a LF is dropped.
inline std::string plain_prepare(const std::string& raw)
{
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (plain_find(punct_set, std::string(1, c)) != -1)
            out += std::string(" ") + c + " ";
        if (c == '\n' || (c == '\r' && (i + 1 == raw.size() || raw[i + 1] != '\n')))
            out += " \n";
        if (plain_find("\r\n", std::string(1, c)) == -1 && plain_find(punct_set, std::string(1, c)) == -1)
            out += c;
    }
    return out;
}

// One pass, step by step, searching the rest of the text afresh each time.
inline std::string plain_pass(const std::string& dict, const std::string& work, bool untranslating)
{
    std::string out;
    std::size_t pos = 0;
    do {
        const std::string rest = work.substr(pos);
        const std::ptrdiff_t sp = plain_find(rest, " ");
        const std::ptrdiff_t nl = plain_find(rest, "\n");
        if (sp == 0 && nl == 1) {
            out += "\n";
            pos += 2;
        } else if (nl == 0) {
            out += "\n";
            pos += 1;
        } else {
            std::string word = sp == -1 ? rest : rest.substr(0, static_cast<std::size_t>(sp));
            std::string key = std::string(untranslating ? "~" : "_") + word + "_";
            const bool capital = !word.empty() && word[0] >= 'A' && word[0] <= 'Z';
            if (capital) {
                key[1] = static_cast<char>(key[1] + 32);
                word[0] = static_cast<char>(word[0] + 32);
            }
            const std::ptrdiff_t i = plain_find(dict, key);
            std::string result;
            if (i == -1) {
                result = word;
                if (capital)
                    result[0] = static_cast<char>(result[0] - 32);
            } else {
                std::ptrdiff_t begin;
                if (!untranslating) {
                    begin = std::min<std::ptrdiff_t>(
                        i + static_cast<std::ptrdiff_t>(key.size()) + 3, static_cast<std::ptrdiff_t>(dict.size()));
                } else {
                    std::ptrdiff_t at = i - 4;
                    while (at >= 0 && dict[static_cast<std::size_t>(at)] != '_')
                        --at;
                    begin = std::max<std::ptrdiff_t>(at + 1, 0); // no underscore before it: the start
                }
                std::size_t end = static_cast<std::size_t>(begin);
                while (end < dict.size() && dict[end] != '_')
                    ++end;
                result = dict.substr(static_cast<std::size_t>(begin), end - static_cast<std::size_t>(begin));
                if (capital && !result.empty() && result[0] >= 'a' && result[0] <= 'z')
                    result[0] = static_cast<char>(result[0] - 32);
            }
            out += result + " ";
            if (sp == -1)
                pos = work.size();
            else if (sp == nl - 1)
                pos += static_cast<std::size_t>(sp);
            else
                pos += static_cast<std::size_t>(sp) + 1;
        }
    } while (pos < work.size());
    return out;
}

inline std::string plain_close_up(const std::string& text)
{
    std::string out;
    std::size_t k = 0;
    while (k < text.size()) {
        char c = text[k];
        ++k;
        if (c == ' ' && k < text.size() && plain_find(punct_set, std::string(1, text[k])) != -1 &&
            k + 1 < text.size() && text[k + 1] == ' ') {
            c = text[k];
            k += 2;
        }
        out += c;
    }
    return out;
}

// The program's own pass of work over dict.
inline std::string program_pass(const std::string& dict, const std::string& work, bool untranslating)
{
    take_dictionary(dict);
    run.out_text.clear();
    run.untranslate = untranslating;
    run_pass(PassText(work));
    return run.out_text;
}

// The program's own preparation of a whole text at once.
inline std::string prepare_text(std::string_view raw)
{
    std::string prepared;
    Preparation preparation(prepared);
    preparation.append(raw);
    preparation.finish();
    return prepared;
}

// The program's own closing up, on a copy.
inline std::string close_up(std::string text)
{
    close_up_in_place(text);
    return text;
}
