#include "common/Codings.h"

#include "common/CodePages.h"

namespace xlate {

namespace {

const TCoding kNoCoding = {ctNone, u"", TByteForm::None, TByteForm::None, "", 0};

}  // namespace

const TCoding kCodings[kCodingCount] = {
    {ctANSI, u"ANSI", TByteForm::Ansi, TByteForm::Ansi, "", 0},
    {ctUTF8, u"UTF8", TByteForm::Utf8, TByteForm::Utf8, "\xEF\xBB\xBF", 3},
    {ctUNICODE, u"UNICODE", TByteForm::Utf16Le, TByteForm::Ansi, "\xFF\xFE", 2},
    {ctOEM, u"OEM", TByteForm::Oem, TByteForm::Oem, "", 0},
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
    case TByteForm::Ansi:
    case TByteForm::Oem:
      return aPages.AnsiCodePage();
    case TByteForm::Utf8:
      return kCodePageUtf8;
    case TByteForm::None:
    case TByteForm::Utf16Le:
      break;
  }
  return 0;
}

Text DecodeBytes(TCodePageConverter& aPages, TByteForm aForm, const char* aBytes,
                 std::size_t aCount) {
  switch (aForm) {
    case TByteForm::Ansi:
      return aPages.MultiByteToText(aPages.AnsiCodePage(), aBytes, aCount);
    case TByteForm::Oem: {
      if (aCount == 0) return aPages.MultiByteToText(aPages.AnsiCodePage(), aBytes, 0);
      const ByteString ansi = aPages.OemToChar(ByteString(aBytes, aCount));
      return aPages.MultiByteToText(aPages.AnsiCodePage(), ansi.data(), ansi.size());
    }
    case TByteForm::Utf8:
      return aPages.MultiByteToText(kCodePageUtf8, aBytes, aCount);
    case TByteForm::Utf16Le: {
      Text text(aCount / 2, u'\0');
      for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(aBytes[2 * i]) |
                                        (static_cast<unsigned char>(aBytes[2 * i + 1]) << 8));
      }
      return text;
    }
    case TByteForm::None:
      break;
  }
  return Text();
}

void AppendEncoded(TCodePageConverter& aPages, TByteForm aForm, const char16_t* aText,
                   std::size_t aCount, ByteString& vOut) {
  switch (aForm) {
    case TByteForm::Ansi:
      aPages.AppendTextAsMultiByte(aPages.AnsiCodePage(), aText, aCount, vOut);
      return;
    case TByteForm::Oem: {
      ByteString ansi;
      aPages.AppendTextAsMultiByte(aPages.AnsiCodePage(), aText, aCount, ansi);
      if (!ansi.empty()) vOut += aPages.CharToOem(ansi);
      return;
    }
    case TByteForm::Utf8:
      aPages.AppendTextAsMultiByte(kCodePageUtf8, aText, aCount, vOut);
      return;
    case TByteForm::Utf16Le:
      for (std::size_t i = 0; i < aCount; ++i) {
        vOut += static_cast<char>(aText[i] & 0xFF);
        vOut += static_cast<char>(aText[i] >> 8);
      }
      return;
    case TByteForm::None:
      return;
  }
}

}  // namespace xlate
