// A reproducible large dictionary and story for measuring quogtran. The
// words are made of two-letter syllables, so every number has its own word,
// and only std::mt19937's standard output sequence is used, so the same
// seed gives the same bytes everywhere.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A dictionary of entries '_english_->~quog_', a space between entries and
// five to a line, each line after the first starting with a space.
std::string make_dictionary(int entries);

// A story of at least size bytes drawn from the first entries' English words
// (about one word in ten unknown, one in ten with a capital), with
// punctuation and a line end every dozen or so words.
std::string make_story(std::size_t size, int entries, unsigned seed);

// The English word of entry number n.
std::string english_word(int n);

// The second corpus, closer to prose: words of 4 to 10 letters made of
// syllables, 60% drawn from the 300 most frequent, 35% from the whole
// dictionary and 5% unknown; a capital after each sentence end; '.' after 8%
// of the words, ',' after 4% and '!' after 1%; lines of about 70 characters.
// Its dictionary has 8 entries a line and entries for punctuation too.
struct ProseCorpus {
    std::string dictionary;
    std::vector<std::string> english; // the entries' English words, in order
};
ProseCorpus make_prose_dictionary(int entries, unsigned seed);
std::string make_prose_story(std::size_t size, const ProseCorpus& corpus, unsigned seed);
