// The UTF-8 check of the texts a library is given.
#ifndef XLATE_LIBRARY_KIT_UTF8_CHECK_H
#define XLATE_LIBRARY_KIT_UTF8_CHECK_H

#include <string_view>

namespace zta_kit {

// True when aText is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view aText);

}  // namespace zta_kit

#endif
