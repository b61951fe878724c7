#pragma once

#include "common/Types.h"

namespace xlate {

// Conversions between text and byte strings with the platform's own
// conversion: the ANSI code page (with the platform's best-fit mapping, else
// "?") and UTF-8.
Text AnsiToText(const ByteString& aBytes);
ByteString TextToAnsi(const Text& aText);
Text Utf8ToText(const ByteString& aBytes);
ByteString TextToUtf8(const Text& aText);
Text OemToText(const ByteString& aBytes);  // OemToAnsi, then from ANSI

// Byte for byte between the ANSI and the OEM code page; the result has as
// many bytes as the input.
ByteString AnsiToOem(const ByteString& aBytes);
ByteString OemToAnsi(const ByteString& aBytes);

// A text in one of the four codings as a console or file sees it. UNICODE
// has no byte form here: callers that write UTF-16 handle it themselves.
ByteString EncodeText(TCodingType aCoding, const Text& aText);

}  // namespace xlate
