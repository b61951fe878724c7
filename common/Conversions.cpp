#include "common/Conversions.h"

#include "common/CodePages.h"

namespace xlate {

Text AnsiToText(Platform& aPlatform, const ByteString& aBytes) {
  return aPlatform.MultiByteToText(aPlatform.AnsiCodePage(), aBytes.data(), aBytes.size());
}

ByteString TextToAnsi(Platform& aPlatform, const Text& aText) {
  ByteString out;
  aPlatform.AppendTextAsMultiByte(aPlatform.AnsiCodePage(), aText.data(), aText.size(), out);
  return out;
}

Text Utf8ToText(Platform& aPlatform, const ByteString& aBytes) {
  return aPlatform.MultiByteToText(kCodePageUtf8, aBytes.data(), aBytes.size());
}

ByteString TextToUtf8(Platform& aPlatform, const Text& aText) {
  ByteString out;
  aPlatform.AppendTextAsMultiByte(kCodePageUtf8, aText.data(), aText.size(), out);
  return out;
}

Text OemToText(Platform& aPlatform, const ByteString& aBytes) {
  return AnsiToText(aPlatform, OemToAnsi(aPlatform, aBytes));
}

ByteString AnsiToOem(Platform& aPlatform, const ByteString& aBytes) {
  if (aBytes.empty()) return ByteString();
  return aPlatform.CharToOem(aBytes);
}

ByteString OemToAnsi(Platform& aPlatform, const ByteString& aBytes) {
  if (aBytes.empty()) return ByteString();
  return aPlatform.OemToChar(aBytes);
}

ByteString EncodeText(Platform& aPlatform, TCodingType aCoding, const Text& aText) {
  switch (aCoding) {
    case ctANSI:
    case ctUNICODE:
      return TextToAnsi(aPlatform, aText);
    case ctUTF8:
      return TextToUtf8(aPlatform, aText);
    case ctOEM:
      return AnsiToOem(aPlatform, TextToAnsi(aPlatform, aText));
    case ctNone:
      break;
  }
  return ByteString();
}

}  // namespace xlate
