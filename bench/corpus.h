// A reproducible large dictionary and story for measuring quogtran. The
// words are made of two-letter syllables, so every number has its own word,
// and only std::mt19937's standard output sequence is used, so the same
// seed gives the same bytes everywhere.
#pragma once

#include <cstddef>
#include <string>

// A dictionary of entries '_english_->~quog_', a space between entries and
// five to a line, each line after the first starting with a space.
std::string make_dictionary(int entries);

// A story of at least size bytes drawn from the first entries' English words
// (about one word in ten unknown, one in ten with a capital), with
// punctuation and a line end every dozen or so words.
std::string make_story(std::size_t size, int entries, unsigned seed);

// The English word of entry number n.
std::string english_word(int n);
