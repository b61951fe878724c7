#pragma once

#include <cstdint>

#include "common/Types.h"

namespace xlate {

constexpr std::uint32_t kCodePageUtf8 = 65001;

// True for 65001 and for every single-byte code page with a table.
bool IsKnownCodePage(std::uint32_t aCodePage);

// Conversions between UTF-16 and a code page, for platforms that have no
// conversion of their own. A character the code page cannot show takes the
// page's best-fit byte where it has one (as Windows does with default
// flags), else "?"; an unknown code page is treated as 1252.
Text CodePageToText(std::uint32_t aCodePage, const char* aBytes, std::size_t aCount);
void AssignCodePageText(std::uint32_t aCodePage, const char* aBytes, std::size_t aCount,
                        Text& vText);
ByteString TextToCodePage(std::uint32_t aCodePage, const char16_t* aText, std::size_t aCount);
void AppendTextInCodePage(std::uint32_t aCodePage, const char16_t* aText, std::size_t aCount,
                          ByteString& vOut);

// Bytes of a code page as UTF-8, appended to vOut: the same bytes as
// AssignCodePageText and AppendTextInCodePage to UTF-8 give, without the
// text between them.
void AppendCodePageAsUtf8(std::uint32_t aCodePage, const char* aBytes, std::size_t aCount,
                          ByteString& vOut);

// Byte-for-byte conversion from one code page to another, keeping the
// length: a byte whose character the other page cannot show takes that
// page's best-fit byte, else "?". Equal code pages copy.
ByteString ConvertBytes(std::uint32_t aFrom, std::uint32_t aTo, const ByteString& aBytes);

}  // namespace xlate
