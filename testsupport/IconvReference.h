#pragma once

// An independent decoder for checking the code-page tables: the C
// library's iconv. Test support only.

#include <cstdint>
#include <string>

namespace xlate {

// The UTF-16 unit that iconv decodes a single byte of a code page to; false
// when iconv has no character for the byte.
bool IconvDecodeByte(std::uint32_t aCodePage, unsigned char aByte, char16_t& vUnit);

}  // namespace xlate
