#pragma once

#include <cstdint>
#include <string>

namespace xlate {

// All text inside the program is UTF-16.
using Text = std::u16string;
// An 8-bit string; its coding is always known from where it comes from.
using ByteString = std::string;

// The coding chosen for input and output. Stored in one byte each.
enum TCodingType : std::uint8_t {
  ctNone = 0,
  ctANSI = 1,
  ctUTF8 = 2,
  ctUNICODE = 3,
  ctOEM = 4,
};

enum TTaskType : std::uint8_t {
  ttUnknown = 0,
  ttTranslate = 1,
  ttList = 2,
};

}  // namespace xlate
