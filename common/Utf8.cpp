#include "common/Utf8.h"

namespace xlate {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

inline bool IsContinuation(unsigned char aByte) { return (aByte & 0xC0) == 0x80; }

}  // namespace

Text DecodeUtf8(const char* aBytes, std::size_t aCount) {
  const auto* p = reinterpret_cast<const unsigned char*>(aBytes);
  const unsigned char* end = p + aCount;
  Text out;
  out.resize(aCount);  // never more units than bytes
  char16_t* o = &out[0];
  while (p < end) {
    unsigned char b = *p;
    if (b < 0x80) {
      *o++ = b;
      ++p;
      continue;
    }
    // Length of the sequence and the valid range of its second byte, so that
    // overlong forms and surrogates are refused at the earliest byte.
    int length;
    unsigned char low = 0x80, high = 0xBF;
    std::uint32_t code;
    if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
      code = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      code = b & 0x0F;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      code = b & 0x07;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else {
      *o++ = kReplacement;
      ++p;
      continue;
    }
    const unsigned char* q = p + 1;
    bool valid = true;
    for (int i = 1; i < length; ++i, ++q) {
      if (q >= end) {
        valid = false;
        break;
      }
      unsigned char c = *q;
      bool inRange = (i == 1) ? (c >= low && c <= high) : IsContinuation(c);
      if (!inRange) {
        valid = false;
        break;
      }
      code = (code << 6) | (c & 0x3F);
    }
    if (!valid) {
      // The maximal valid prefix (p up to q) is one malformed sequence.
      *o++ = kReplacement;
      p = q;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      *o++ = static_cast<char16_t>(0xD800 + (code >> 10));
      *o++ = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      *o++ = static_cast<char16_t>(code);
    }
    p = q;
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

void AppendUtf8(const char16_t* aText, std::size_t aCount, ByteString& vOut) {
  std::size_t start = vOut.size();
  vOut.resize(start + aCount * 3);  // a UTF-16 unit never needs more than 3 bytes
  char* o = &vOut[start];
  const char16_t* end = aText + aCount;
  for (const char16_t* p = aText; p < end; ++p) {
    std::uint32_t c = *p;
    if (c < 0x80) {
      *o++ = static_cast<char>(c);
      continue;
    }
    if (c < 0x800) {
      *o++ = static_cast<char>(0xC0 | (c >> 6));
      *o++ = static_cast<char>(0x80 | (c & 0x3F));
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) {
      if (c <= 0xDBFF && p + 1 < end && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
        std::uint32_t code = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
        ++p;
        *o++ = static_cast<char>(0xF0 | (code >> 18));
        *o++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        *o++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (code & 0x3F));
        continue;
      }
      c = kReplacement;
    }
    *o++ = static_cast<char>(0xE0 | (c >> 12));
    *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *o++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  vOut.resize(static_cast<std::size_t>(o - vOut.data()));
}

ByteString EncodeUtf8(const char16_t* aText, std::size_t aCount) {
  ByteString out;
  AppendUtf8(aText, aCount, out);
  return out;
}

}  // namespace xlate
