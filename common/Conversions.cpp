#include "common/Conversions.h"

#include "common/CodePages.h"
#include "platform/Platform.h"

namespace xlate {

Text AnsiToText(const ByteString& aBytes) {
  TPlatform& platform = CurrentPlatform();
  return platform.MultiByteToText(platform.AnsiCodePage(), aBytes.data(), aBytes.size());
}

ByteString TextToAnsi(const Text& aText) {
  TPlatform& platform = CurrentPlatform();
  ByteString out;
  platform.AppendTextAsMultiByte(platform.AnsiCodePage(), aText.data(), aText.size(), out);
  return out;
}

Text Utf8ToText(const ByteString& aBytes) {
  return CurrentPlatform().MultiByteToText(kCodePageUtf8, aBytes.data(), aBytes.size());
}

ByteString TextToUtf8(const Text& aText) {
  ByteString out;
  CurrentPlatform().AppendTextAsMultiByte(kCodePageUtf8, aText.data(), aText.size(), out);
  return out;
}

Text OemToText(const ByteString& aBytes) { return AnsiToText(OemToAnsi(aBytes)); }

ByteString AnsiToOem(const ByteString& aBytes) {
  if (aBytes.empty()) return ByteString();
  return CurrentPlatform().CharToOem(aBytes);
}

ByteString OemToAnsi(const ByteString& aBytes) {
  if (aBytes.empty()) return ByteString();
  return CurrentPlatform().OemToChar(aBytes);
}

ByteString EncodeText(TCodingType aCoding, const Text& aText) {
  switch (aCoding) {
    case ctANSI:
    case ctUNICODE:
      return TextToAnsi(aText);
    case ctUTF8:
      return TextToUtf8(aText);
    case ctOEM:
      return AnsiToOem(TextToAnsi(aText));
    case ctNone:
      break;
  }
  return ByteString();
}

}  // namespace xlate
