#include "platform/posix/NativeNames.h"

#include "common/CodePages.h"

namespace xlate {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool IsEscape(char16_t aUnit) { return aUnit >= 0xDC80 && aUnit <= 0xDCFF; }
bool IsHigh(char16_t aUnit) { return aUnit >= 0xD800 && aUnit <= 0xDBFF; }
bool IsLow(char16_t aUnit) { return aUnit >= 0xDC00 && aUnit <= 0xDFFF; }

char16_t Escape(unsigned char aByte) { return static_cast<char16_t>(kEscapeBase + aByte); }

// The length of the well-formed UTF-8 sequence at aBytes[aAt], or 0.
std::size_t Utf8SequenceAt(const std::string& aBytes, std::size_t aAt, char32_t& vCode) {
  const auto byte = [&](std::size_t aAt) { return static_cast<unsigned char>(aBytes[aAt]); };
  const unsigned char lead = byte(aAt);
  std::size_t length;
  char32_t code, minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (aAt + length > aBytes.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(aAt + i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(aAt + i) & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  vCode = code;
  return length;
}

Text Utf8ToTextEscaped(const std::string& aBytes) {
  Text out;
  out.reserve(aBytes.size());
  for (std::size_t i = 0; i < aBytes.size();) {
    const auto b = static_cast<unsigned char>(aBytes[i]);
    char32_t code = 0;
    std::size_t length = b < 0x80 ? 0 : Utf8SequenceAt(aBytes, i, code);
    if (b < 0x80) {
      out += static_cast<char16_t>(b);
      ++i;
    } else if (length == 0) {
      out += Escape(b);
      ++i;
    } else {
      if (code >= 0x10000) {
        out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
        out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
      } else {
        out += static_cast<char16_t>(code);
      }
      i += length;
    }
  }
  return out;
}

}  // namespace

Text NativeToText(std::uint32_t aCodePage, const std::string& aBytes) {
  if (aCodePage == kCodePageUtf8) return Utf8ToTextEscaped(aBytes);
  // A single-byte code page gives one unit per byte; a byte whose unit
  // encodes to another byte (or to none) is escaped.
  Text out = CodePageToText(aCodePage, aBytes.data(), aBytes.size());
  const std::string back = TextToCodePage(aCodePage, out.data(), out.size());
  for (std::size_t i = 0; i < out.size() && i < back.size(); ++i) {
    if (back[i] != aBytes[i]) out[i] = Escape(static_cast<unsigned char>(aBytes[i]));
  }
  return out;
}

bool TextToNative(std::uint32_t aCodePage, const Text& aText, std::string& vBytes) {
  vBytes.clear();
  std::size_t start = 0;
  // Encodes the units since start, and checks that they come back as they
  // were: a character the code page lacks would become another name.
  const auto flush = [&](std::size_t aEnd) {
    if (aEnd == start) return true;
    const Text run = aText.substr(start, aEnd - start);
    const std::string bytes = TextToCodePage(aCodePage, run.data(), run.size());
    if (NativeToText(aCodePage, bytes) != run) return false;
    vBytes += bytes;
    return true;
  };
  for (std::size_t i = 0; i < aText.size(); ++i) {
    if (IsHigh(aText[i]) && i + 1 < aText.size() && IsLow(aText[i + 1])) {
      ++i;  // a surrogate pair is a character of its own
    } else if (IsEscape(aText[i])) {
      if (!flush(i)) return false;
      vBytes += static_cast<char>(aText[i] - kEscapeBase);
      start = i + 1;
    }
  }
  return flush(aText.size());
}

}  // namespace xlate
