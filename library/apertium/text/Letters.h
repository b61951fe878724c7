// Letters of UTF-8 text and their case, for the alphabets of the installed
// pairs' languages: Latin (ASCII, Latin-1, Latin Extended-A), Greek and
// Cyrillic. Any other character has no case here.
#ifndef XLATE_LIBRARY_APERTIUM_TEXT_LETTERS_H
#define XLATE_LIBRARY_APERTIUM_TEXT_LETTERS_H

#include <cstddef>
#include <string>
#include <string_view>

namespace zta {

// The code point of the UTF-8 sequence at text[at], and its length in
// *length (1 for a byte that starts no whole sequence).
char32_t decodeAt(std::string_view text, std::size_t at, std::size_t* length);
// Where the character before text[at] starts (at itself when at is 0).
std::size_t previousCharacter(std::string_view text, std::size_t at);
std::string encodeUtf8(char32_t code);

char32_t lowerOf(char32_t c);
char32_t upperOf(char32_t c);
bool isLowerLetter(char32_t c);
bool isUpperLetter(char32_t c);
// A character that belongs to a word: a letter, a digit, or the hyphen
// that joins the parts of a word ("e-mail"). Blanks, punctuation, quotes
// and apostrophes ("the Foundation's") are not; non-ASCII characters are,
// except the punctuation and blanks of Latin-1 and of General Punctuation.
bool isWordCharacter(char32_t c);

}  // namespace zta

#endif
