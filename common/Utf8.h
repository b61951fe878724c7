#pragma once

#include "common/Types.h"

namespace xlate {

// UTF-8 to UTF-16. Each malformed sequence (its maximal valid prefix, or a
// single stray byte) becomes one U+FFFD. A byte-order mark is kept as U+FEFF.
Text DecodeUtf8(const char* aBytes, std::size_t aCount);
// The same into an existing text, whose storage it may reuse.
void AssignUtf8(const char* aBytes, std::size_t aCount, Text& vText);
// The same appended to vOut as two-byte units in the machine's byte order,
// for bytes that IsUtf8OneLine takes; false, with vOut as it was, for
// others.
bool AppendUtf8LineAsUnits(const char* aBytes, std::size_t aCount, ByteString& vOut);
// The same into vText; false, with vText left undefined, for other bytes.
bool AssignUtf8Line(const char* aBytes, std::size_t aCount, Text& vText);
inline Text DecodeUtf8(const ByteString& aBytes) {
  return DecodeUtf8(aBytes.data(), aBytes.size());
}

// Whether the bytes are well-formed UTF-8: no stray continuation byte, no
// sequence cut short, overlong, of a surrogate or above U+10FFFF. Exactly
// these come back unchanged from decoding and encoding again.
bool IsValidUtf8(const char* aBytes, std::size_t aCount);
// Well-formed, and without CR and LF: bytes that stand for one line of text
// as they are, whatever decodes and encodes them.
bool IsUtf8OneLine(const char* aBytes, std::size_t aCount);

// UTF-16 to UTF-8. Surrogate pairs become 4-byte sequences; an unpaired
// surrogate becomes U+FFFD.
ByteString EncodeUtf8(const char16_t* aText, std::size_t aCount);
inline ByteString EncodeUtf8(const Text& aText) { return EncodeUtf8(aText.data(), aText.size()); }
// Appends instead of returning, so that callers can reuse one buffer.
void AppendUtf8(const char16_t* aText, std::size_t aCount, ByteString& vOut);
// Whether the text holds a surrogate that is not half of a pair: such a
// text does not come back from its UTF-8 bytes.
bool HasUnpairedSurrogate(const char16_t* aText, std::size_t aCount);

}  // namespace xlate
