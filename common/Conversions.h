#pragma once

#include "common/Types.h"
#include "platform/Platform.h"

namespace xlate {

// Conversions between text and byte strings with the platform's own
// conversion: the ANSI code page (with the platform's best-fit mapping, else
// "?") and UTF-8.
Text AnsiToText(Platform& aPlatform, const ByteString& aBytes);
ByteString TextToAnsi(Platform& aPlatform, const Text& aText);
Text Utf8ToText(Platform& aPlatform, const ByteString& aBytes);
ByteString TextToUtf8(Platform& aPlatform, const Text& aText);
Text OemToText(Platform& aPlatform, const ByteString& aBytes);  // OemToAnsi, then from ANSI

// Byte for byte between the ANSI and the OEM code page; the result has as
// many bytes as the input.
ByteString AnsiToOem(Platform& aPlatform, const ByteString& aBytes);
ByteString OemToAnsi(Platform& aPlatform, const ByteString& aBytes);

// A text in one of the four codings as a console or file sees it. UNICODE
// has no byte form here: callers that write UTF-16 handle it themselves.
ByteString EncodeText(Platform& aPlatform, TCodingType aCoding, const Text& aText);

}  // namespace xlate
