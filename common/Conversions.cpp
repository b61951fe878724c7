#include "common/Conversions.h"

#include "common/CodePages.h"
#include "common/Codings.h"

namespace xlate {

Text AnsiToText(TCodePageConverter& aPages, const ByteString& aBytes) {
  return aPages.MultiByteToText(aPages.AnsiCodePage(), aBytes.data(), aBytes.size());
}

ByteString TextToAnsi(TCodePageConverter& aPages, const Text& aText) {
  ByteString out;
  aPages.AppendTextAsMultiByte(aPages.AnsiCodePage(), aText.data(), aText.size(), out);
  return out;
}

ByteString TextToUtf8(TCodePageConverter& aPages, const Text& aText) {
  ByteString out;
  aPages.AppendTextAsMultiByte(kCodePageUtf8, aText.data(), aText.size(), out);
  return out;
}

Text OemToText(TCodePageConverter& aPages, const ByteString& aBytes) {
  return AnsiToText(aPages, OemToAnsi(aPages, aBytes));
}

ByteString AnsiToOem(TCodePageConverter& aPages, const ByteString& aBytes) {
  if (aBytes.empty()) return ByteString();
  return aPages.CharToOem(aBytes);
}

ByteString OemToAnsi(TCodePageConverter& aPages, const ByteString& aBytes) {
  if (aBytes.empty()) return ByteString();
  return aPages.OemToChar(aBytes);
}

ByteString EncodeText(TCodePageConverter& aPages, TCodingType aCoding, const Text& aText) {
  ByteString out;
  AppendEncoded(aPages, CodingOf(aCoding).TextForm, aText.data(), aText.size(), out);
  return out;
}

Text DecodeText(TCodePageConverter& aPages, TCodingType aCoding, const ByteString& aBytes) {
  return DecodeBytes(aPages, CodingOf(aCoding).TextForm, aBytes.data(), aBytes.size());
}

}  // namespace xlate
