#pragma once

#include "common/CodePageConverter.h"
#include "common/Types.h"

namespace xlate {

// Conversions between text and byte strings with the system's own
// conversion (aPages): the ANSI code page (with the system's best-fit
// mapping, else "?") and UTF-8.
Text AnsiToText(TCodePageConverter& aPages, const ByteString& aBytes);
ByteString TextToAnsi(TCodePageConverter& aPages, const Text& aText);
ByteString TextToUtf8(TCodePageConverter& aPages, const Text& aText);
Text OemToText(TCodePageConverter& aPages, const ByteString& aBytes);  // OemToAnsi, then from ANSI

// Byte for byte between the ANSI and the OEM code page; the result has as
// many bytes as the input.
ByteString AnsiToOem(TCodePageConverter& aPages, const ByteString& aBytes);
ByteString OemToAnsi(TCodePageConverter& aPages, const ByteString& aBytes);

// A text in one of the four codings as the console and the TEXT parameter
// carry it, and back: UNICODE has no byte form there, and is the ANSI code
// page; ctNone has no bytes and no text.
ByteString EncodeText(TCodePageConverter& aPages, TCodingType aCoding, const Text& aText);
Text DecodeText(TCodePageConverter& aPages, TCodingType aCoding, const ByteString& aBytes);

}  // namespace xlate
