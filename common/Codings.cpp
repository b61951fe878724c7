#include "common/Codings.h"

#include <cstring>

#include "common/CodePages.h"

namespace xlate {

namespace {

constexpr TByteOrder kLowFirst = TByteOrder::boLowFirst;

constexpr TCoding kNoCoding = {ctNone, u"", TByteForm::bfNone, TByteForm::bfNone, 1, kLowFirst,
                               "",     0};

}  // namespace

constexpr TCoding kCodings[kCodingCount] = {
    {ctANSI, u"ANSI", TByteForm::bfAnsi, TByteForm::bfAnsi, 1, kLowFirst, "", 0},
    {ctUTF8, u"UTF8", TByteForm::bfUtf8, TByteForm::bfUtf8, 1, kLowFirst, "\xEF\xBB\xBF", 3},
    {ctUNICODE, u"UNICODE", TByteForm::bfUtf16Le, TByteForm::bfAnsi, 2, kLowFirst, "\xFF\xFE", 2},
    {ctOEM, u"OEM", TByteForm::bfOem, TByteForm::bfOem, 1, kLowFirst, "", 0},
};

namespace {

// Whether a row's unit size and byte order are those of its file form, so
// that the reader and writer, which take them from the row, make the bytes
// the form's conversions make; and every mark is whole units.
constexpr bool UnitsFitForm(const TCoding& aCoding) {
  if (aCoding.MarkSize % aCoding.UnitSize != 0) return false;
  switch (aCoding.FileForm) {
    case TByteForm::bfNone:
    case TByteForm::bfAnsi:
    case TByteForm::bfOem:
    case TByteForm::bfUtf8:
      return aCoding.UnitSize == 1;
    case TByteForm::bfUtf16Le:
      return aCoding.UnitSize == 2 && aCoding.ByteOrder == TByteOrder::boLowFirst;
  }
  return false;
}

constexpr bool AllUnitsFitForms() {
  for (const TCoding& coding : kCodings) {
    if (!UnitsFitForm(coding)) return false;
  }
  return UnitsFitForm(kNoCoding);
}
static_assert(AllUnitsFitForms(), "a coding's units do not fit its file form");

}  // namespace

const TCoding& CodingOf(TCodingType aType) {
  for (const TCoding& coding : kCodings) {
    if (coding.Type == aType) return coding;
  }
  return kNoCoding;
}

const TCoding& CodingNamed(const Text& aKeyword) {
  for (const TCoding& coding : kCodings) {
    if (aKeyword == coding.Keyword) return coding;
  }
  return kNoCoding;
}

Text CodingKeywords() {
  Text keywords;
  for (const TCoding& coding : kCodings) {
    if (!keywords.empty()) keywords += u'|';
    keywords += coding.Keyword;
  }
  return keywords;
}

std::uint32_t CodePageOf(TCodePageConverter& aPages, TByteForm aForm) {
  switch (aForm) {
    case TByteForm::bfAnsi:
    case TByteForm::bfOem:
      return aPages.AnsiCodePage();
    case TByteForm::bfUtf8:
      return kCodePageUtf8;
    case TByteForm::bfNone:
    case TByteForm::bfUtf16Le:
      break;
  }
  return 0;
}

Text DecodeBytes(TCodePageConverter& aPages, TByteForm aForm, const char* aBytes,
                 std::size_t aCount) {
  switch (aForm) {
    case TByteForm::bfAnsi:
      return aPages.MultiByteToText(aPages.AnsiCodePage(), aBytes, aCount);
    case TByteForm::bfOem: {
      if (aCount == 0) return aPages.MultiByteToText(aPages.AnsiCodePage(), aBytes, 0);
      const ByteString ansi = aPages.OemToChar(ByteString(aBytes, aCount));
      return aPages.MultiByteToText(aPages.AnsiCodePage(), ansi.data(), ansi.size());
    }
    case TByteForm::bfUtf8:
      return aPages.MultiByteToText(kCodePageUtf8, aBytes, aCount);
    case TByteForm::bfUtf16Le: {
      Text text(aCount / 2, u'\0');
      for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = UnitOf(aBytes + 2 * i, TByteOrder::boLowFirst);
      }
      return text;
    }
    case TByteForm::bfNone:
      break;
  }
  return Text();
}

void AppendEncoded(TCodePageConverter& aPages, TByteForm aForm, const char16_t* aText,
                   std::size_t aCount, ByteString& vOut) {
  switch (aForm) {
    case TByteForm::bfAnsi:
      aPages.AppendTextAsMultiByte(aPages.AnsiCodePage(), aText, aCount, vOut);
      return;
    case TByteForm::bfOem: {
      ByteString ansi;
      aPages.AppendTextAsMultiByte(aPages.AnsiCodePage(), aText, aCount, ansi);
      if (!ansi.empty()) vOut += aPages.CharToOem(ansi);
      return;
    }
    case TByteForm::bfUtf8:
      aPages.AppendTextAsMultiByte(kCodePageUtf8, aText, aCount, vOut);
      return;
    case TByteForm::bfUtf16Le:
      AppendUnits(aText, aCount, TByteOrder::boLowFirst, vOut);
      return;
    case TByteForm::bfNone:
      return;
  }
}

void AppendUnits(const char16_t* aText, std::size_t aCount, TByteOrder aOrder, ByteString& vOut) {
  const std::size_t at = vOut.size();
  vOut.resize(at + 2 * aCount);
  char* out = &vOut[at];
  if (aOrder == kMachineByteOrder) {
    // Units in memory are already in the order wanted.
    if (aCount > 0) std::memcpy(out, aText, 2 * aCount);
    return;
  }
  for (std::size_t i = 0; i < aCount; ++i) {
    const auto low = static_cast<char>(aText[i] & 0xFF);
    const auto high = static_cast<char>(aText[i] >> 8);
    const bool lowFirst = aOrder == TByteOrder::boLowFirst;
    out[2 * i] = lowFirst ? low : high;
    out[2 * i + 1] = lowFirst ? high : low;
  }
}

}  // namespace xlate
