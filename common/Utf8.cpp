#include "common/Utf8.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xlate {

namespace {

constexpr char16_t kReplacement = 0xFFFD;
// Text is converted in pieces through a buffer on the stack, so that the
// result is written once, without first filling it with zeros.
constexpr std::size_t kPiece = 1024;

inline bool IsContinuation(unsigned char aByte) { return (aByte & 0xC0) == 0x80; }
inline bool IsHighSurrogate(char16_t aUnit) { return aUnit >= 0xD800 && aUnit <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t aUnit) { return aUnit >= 0xDC00 && aUnit <= 0xDFFF; }

// Decodes aCount bytes into vOut, which has room for aCount units; returns
// the end of what was written.
char16_t* DecodeInto(const unsigned char* p, std::size_t aCount, char16_t* o) {
  const unsigned char* end = p + aCount;
  while (p < end) {
    unsigned char b = *p;
    if (b < 0x80) {
      // ASCII, sixteen or eight bytes at a time where it can.
#if defined(__SSE2__)
      while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i zero = _mm_setzero_si128();
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8), _mm_unpackhi_epi8(bytes, zero));
        if (const int other = _mm_movemask_epi8(bytes)) {
          // The ASCII bytes before the first other one are done; what was
          // stored after them is written over.
          const int ascii = __builtin_ctz(static_cast<unsigned>(other));
          o += ascii;
          p += ascii;
          break;
        }
        o += 16;
        p += 16;
      }
#endif
      while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080ull) break;
        for (int k = 0; k < 8; ++k) o[k] = p[k];
        o += 8;
        p += 8;
      }
      while (p < end && *p < 0x80) *o++ = *p++;
      continue;
    }
    // Well-formed two- and three-byte sequences, the usual non-ASCII text.
    if (b >= 0xC2 && b <= 0xDF && end - p >= 2 && IsContinuation(p[1])) {
      *o++ = static_cast<char16_t>(((b & 0x1F) << 6) | (p[1] & 0x3F));
      p += 2;
      continue;
    }
    if ((b & 0xF0) == 0xE0 && end - p >= 3 && IsContinuation(p[1]) && IsContinuation(p[2])) {
      const char16_t code =
          static_cast<char16_t>(((b & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
      if (code >= 0x800 && (code < 0xD800 || code > 0xDFFF)) {
        *o++ = code;
        p += 3;
        continue;
      }
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
  return o;
}

// Encodes aCount units into o, which has room for three bytes a unit;
// returns the end of what was written.
char* EncodeInto(const char16_t* p, std::size_t aCount, char* o) {
  const char16_t* end = p + aCount;
  while (p < end) {
    // Sixteen or eight ASCII units at a time, the common case.
#if defined(__SSE2__)
    while (end - p >= 16) {
      const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
      const __m128i above = _mm_set1_epi16(static_cast<short>(0xFF80));
      const __m128i zero = _mm_setzero_si128();
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(low, high));
      // One bit a unit, set for ASCII.
      const int ascii =
          _mm_movemask_epi8(_mm_packs_epi16(_mm_cmpeq_epi16(_mm_and_si128(low, above), zero),
                                            _mm_cmpeq_epi16(_mm_and_si128(high, above), zero)));
      if (ascii != 0xFFFF) {
        // The ASCII units before the first other one are done; what was
        // stored after them is written over.
        const int done = __builtin_ctz(static_cast<unsigned>(~ascii));
        o += done;
        p += done;
        break;
      }
      o += 16;
      p += 16;
    }
#endif
    while (end - p >= 8) {
      std::uint64_t words[2];
      std::memcpy(words, p, 16);
      if ((words[0] | words[1]) & 0xFF80FF80FF80FF80ull) break;
      for (int k = 0; k < 8; ++k) o[k] = static_cast<char>(p[k]);
      o += 8;
      p += 8;
    }
    if (p == end) break;
    std::uint32_t c = *p++;
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
      if (IsHighSurrogate(static_cast<char16_t>(c)) && p < end && IsLowSurrogate(*p)) {
        std::uint32_t code = 0x10000 + ((c - 0xD800) << 10) + (*p++ - 0xDC00u);
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
  return o;
}

}  // namespace

bool IsValidUtf8(const char* aBytes, std::size_t aCount) {
  const auto* p = reinterpret_cast<const unsigned char*>(aBytes);
  const unsigned char* end = p + aCount;
  while (p < end) {
#if defined(__SSE2__)
    while (end - p >= 16) {
      const int other = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
      if (other != 0) {
        p += __builtin_ctz(static_cast<unsigned>(other));
        break;
      }
      p += 16;
    }
    if (p == end) break;
#endif
    const unsigned char b = *p;
    if (b < 0x80) {
      ++p;
      continue;
    }
    // The length of the sequence and the range of its second byte, as the
    // decoder has them.
    int length;
    unsigned char low = 0x80, high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (end - p < length || p[1] < low || p[1] > high) return false;
    for (int i = 2; i < length; ++i) {
      if (!IsContinuation(p[i])) return false;
    }
    p += length;
  }
  return true;
}

void AssignUtf8(const char* aBytes, std::size_t aCount, Text& vText) {
  const auto* p = reinterpret_cast<const unsigned char*>(aBytes);
  char16_t piece[kPiece];
  if (aCount <= kPiece) {
    vText.assign(piece, DecodeInto(p, aCount, piece));
    return;
  }
  vText.clear();
  vText.reserve(aCount);
  std::size_t done = 0;
  while (done < aCount) {
    std::size_t cut = std::min(aCount, done + kPiece);
    // Cut before a byte that starts a sequence, so that no sequence, valid
    // or not, is split: a sequence has at most three continuation bytes,
    // so a cut with more of them before it is in stray bytes already.
    std::size_t start = cut;
    for (int back = 0; back < 3 && cut < aCount && cut > done + 1 && IsContinuation(p[cut]);
         ++back) {
      --cut;
    }
    if (cut < aCount && IsContinuation(p[cut])) cut = start;
    vText.append(piece, DecodeInto(p + done, cut - done, piece));
    done = cut;
  }
}

Text DecodeUtf8(const char* aBytes, std::size_t aCount) {
  Text text;
  AssignUtf8(aBytes, aCount, text);
  return text;
}

void AppendUtf8(const char16_t* aText, std::size_t aCount, ByteString& vOut) {
  char piece[kPiece * 3];
  while (aCount > 0) {
    std::size_t n = std::min(aCount, kPiece);
    if (n < aCount && IsHighSurrogate(aText[n - 1])) --n;  // keep a pair together
    vOut.append(piece, EncodeInto(aText, n, piece));
    aText += n;
    aCount -= n;
  }
}

ByteString EncodeUtf8(const char16_t* aText, std::size_t aCount) {
  ByteString out;
  out.reserve(aCount);
  AppendUtf8(aText, aCount, out);
  return out;
}

}  // namespace xlate
