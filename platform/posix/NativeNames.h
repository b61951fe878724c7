#pragma once

#include <cstdint>
#include <string>

#include "common/Types.h"

namespace xlate {

// POSIX file names and arguments are bytes, and not every byte string is
// valid in the locale's coding. So that every name round-trips byte for
// byte, a byte that does not decode (or would not encode back to itself)
// is carried as the lone surrogate U+DC00 + byte, and turns back into that
// byte when the name is encoded again.
Text NativeToText(std::uint32_t aCodePage, const std::string& aBytes);

// The bytes of a name made by NativeToText (or joined from such names).
// False when the name holds a character the code page cannot show: such a
// name cannot be given to the system without naming another file.
bool TextToNative(std::uint32_t aCodePage, const Text& aText, std::string& vBytes);

}  // namespace xlate
