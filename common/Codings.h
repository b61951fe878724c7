#pragma once

#include <cstddef>
#include <cstdint>

#include "common/CodePageConverter.h"
#include "common/Types.h"

namespace xlate {

// How a coding's bytes are made from text, and text from them.
enum class TByteForm : std::uint8_t {
  bfNone,     // no bytes: nothing is written, and bytes read give no text
  bfAnsi,     // the system's ANSI code page
  bfOem,      // the ANSI code page's bytes, each converted to the OEM code page's
  bfUtf8,     // code page 65001
  bfUtf16Le,  // two bytes a unit, the low byte first
};

// The order of the two bytes of a 16-bit unit.
enum class TByteOrder : std::uint8_t {
  boLowFirst,   // little-endian
  boHighFirst,  // big-endian
};

// The order of this machine's units in memory.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr TByteOrder kMachineByteOrder = TByteOrder::boHighFirst;
#else
constexpr TByteOrder kMachineByteOrder = TByteOrder::boLowFirst;
#endif

// One of the four codings (or ctNone), as the parameters name it and as
// consoles and files carry it.
struct TCoding {
  TCodingType Type;
  const char16_t* Keyword;  // its ICODING and OCODING value; empty for ctNone
  // In a file, and on the console and in TEXT, where there is no UTF-16:
  // there UNICODE is the ANSI code page.
  TByteForm FileForm;
  TByteForm TextForm;
  // The file form's units: how many bytes each (a file's lines are split
  // at units CR, LF and NUL), and in which order a unit's two bytes come
  // (one-byte units: boLowFirst, which means nothing for them). The file
  // reader and writer take these from here, not from the form.
  std::uint8_t UnitSize;
  TByteOrder ByteOrder;
  const char* Mark;  // the byte-order mark a file starts with, or ""
  std::size_t MarkSize;
};

// The four codings, in the order the usage text names them. A new coding
// is a row here (and its constant in TCodingType), and, for a new byte
// form, that form's cases in the conversions below; the compiler points at
// every switch that must learn it.
constexpr std::size_t kCodingCount = 4;
extern const TCoding kCodings[kCodingCount];

// The entry of a coding; ctNone has one of its own.
const TCoding& CodingOf(TCodingType aType);
// The coding whose keyword is aKeyword, exactly; ctNone's entry for any
// other word.
const TCoding& CodingNamed(const Text& aKeyword);
// The keywords joined by "|".
Text CodingKeywords();

// The code page that a form's bytes are converted with: the ANSI code page
// for Ansi and Oem (Oem's bytes are then converted byte for byte), 65001 for
// Utf8, and 0 for the others, which need none.
std::uint32_t CodePageOf(TCodePageConverter& aPages, TByteForm aForm);

// Text from bytes in a form, and bytes in a form appended from text.
Text DecodeBytes(TCodePageConverter& aPages, TByteForm aForm, const char* aBytes,
                 std::size_t aCount);
void AppendEncoded(TCodePageConverter& aPages, TByteForm aForm, const char16_t* aText,
                   std::size_t aCount, ByteString& vOut);

// A 16-bit unit from its two bytes in aOrder, and units appended as bytes
// in aOrder.
inline char16_t UnitOf(const char* aBytes, TByteOrder aOrder) {
  const auto first = static_cast<unsigned char>(aBytes[0]);
  const auto second = static_cast<unsigned char>(aBytes[1]);
  switch (aOrder) {
    case TByteOrder::boLowFirst:
      break;
    case TByteOrder::boHighFirst:
      return static_cast<char16_t>((first << 8) | second);
  }
  return static_cast<char16_t>(first | (second << 8));
}
void AppendUnits(const char16_t* aText, std::size_t aCount, TByteOrder aOrder, ByteString& vOut);

}  // namespace xlate
