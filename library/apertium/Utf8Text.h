// Small byte-string helpers: UTF-8 validation and ASCII-only message text.
#ifndef XLATE_LIBRARY_APERTIUM_UTF8_TEXT_H
#define XLATE_LIBRARY_APERTIUM_UTF8_TEXT_H

#include <cstddef>
#include <string>
#include <string_view>

namespace zta {

// True when text is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool isValidUtf8(std::string_view text);

// Printable ASCII copy of text for error messages: other bytes become '?',
// and a text longer than maxLength is cut and ends in "...".
std::string asciiForMessage(std::string_view text, std::size_t maxLength = 200);

}  // namespace zta

#endif
