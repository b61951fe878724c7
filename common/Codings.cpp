#include "common/Codings.h"

#include "common/CodePages.h"

namespace xlate {

namespace {

const TCoding kNoCoding = {ctNone, u"", TByteForm::bfNone, TByteForm::bfNone, "", 0};

}  // namespace

const TCoding kCodings[kCodingCount] = {
    {ctANSI, u"ANSI", TByteForm::bfAnsi, TByteForm::bfAnsi, "", 0},
    {ctUTF8, u"UTF8", TByteForm::bfUtf8, TByteForm::bfUtf8, "\xEF\xBB\xBF", 3},
    {ctUNICODE, u"UNICODE", TByteForm::bfUtf16Le, TByteForm::bfAnsi, "\xFF\xFE", 2},
    {ctOEM, u"OEM", TByteForm::bfOem, TByteForm::bfOem, "", 0},
};

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
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(aBytes[2 * i]) |
                                        (static_cast<unsigned char>(aBytes[2 * i + 1]) << 8));
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
      for (std::size_t i = 0; i < aCount; ++i) {
        vOut += static_cast<char>(aText[i] & 0xFF);
        vOut += static_cast<char>(aText[i] >> 8);
      }
      return;
    case TByteForm::bfNone:
      return;
  }
}

}  // namespace xlate
