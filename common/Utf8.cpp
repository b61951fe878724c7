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

// Decodes a run of ASCII bytes at vIn, up to the first other byte or aEnd,
// into vOut, moving both on. With aOneLine, a CR or an LF stops it, and it
// returns false.
template <bool aOneLine>
inline bool DecodeAscii(const unsigned char*& vIn, const unsigned char* aEnd, char16_t*& vOut) {
  // ASCII, sixteen or eight bytes at a time where it can.
#if defined(__SSE2__)
  while (aEnd - vIn >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(vIn));
    const __m128i zero = _mm_setzero_si128();
    _mm_storeu_si128(reinterpret_cast<__m128i*>(vOut), _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(vOut + 8), _mm_unpackhi_epi8(bytes, zero));
    int other = _mm_movemask_epi8(bytes);
    if (aOneLine) {
      other |= _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')),
                                              _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r'))));
    }
    if (other != 0) {
      // The ASCII bytes before the first other one are done; what was
      // stored after them is written over.
      const int ascii = __builtin_ctz(static_cast<unsigned>(other));
      vOut += ascii;
      vIn += ascii;
      break;
    }
    vOut += 16;
    vIn += 16;
  }
#endif
  if (aOneLine) {
    for (; vIn < aEnd && *vIn < 0x80; ++vIn) {
      if (*vIn == '\n' || *vIn == '\r') return false;
      *vOut++ = *vIn;
    }
    return true;
  }
  while (aEnd - vIn >= 8) {
    std::uint64_t word;
    std::memcpy(&word, vIn, 8);
    if (word & 0x8080808080808080ull) break;
    for (int k = 0; k < 8; ++k) vOut[k] = vIn[k];
    vOut += 8;
    vIn += 8;
  }
  while (vIn < aEnd && *vIn < 0x80) *vOut++ = *vIn++;
  return true;
}

// Decodes the sequence that starts at vIn into vOut, moving both on:
// a valid one as its code point, a malformed one as U+FFFD for its maximal
// valid prefix. With aOneLine, a malformed sequence returns false instead.
template <bool aOneLine>
inline bool DecodeSequence(const unsigned char*& vIn, const unsigned char* aEnd, char16_t*& vOut) {
  const unsigned char b = *vIn;
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
    if (aOneLine) return false;
    *vOut++ = kReplacement;
    ++vIn;
    return true;
  }
  const unsigned char* q = vIn + 1;
  bool valid = true;
  for (int i = 1; i < length; ++i, ++q) {
    if (q >= aEnd) {
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
    if (aOneLine) return false;
    // The maximal valid prefix (vIn up to q) is one malformed sequence.
    *vOut++ = kReplacement;
    vIn = q;
    return true;
  }
  if (code >= 0x10000) {
    code -= 0x10000;
    *vOut++ = static_cast<char16_t>(0xD800 + (code >> 10));
    *vOut++ = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
  } else {
    *vOut++ = static_cast<char16_t>(code);
  }
  vIn = q;
  return true;
}

// Decodes aCount bytes into aOut, which has room for aCount units; returns
// the end of what was written. With aOneLine, a malformed sequence, a CR or
// an LF stops it, and it returns null.
template <bool aOneLine>
char16_t* DecodeInto(const unsigned char* aIn, std::size_t aCount, char16_t* aOut) {
  const unsigned char* end = aIn + aCount;
  while (aIn < end) {
    unsigned char b = *aIn;
    if (b < 0x80) {
      if (!DecodeAscii<aOneLine>(aIn, end, aOut)) return nullptr;
      continue;
    }
    // Well-formed two- and three-byte sequences, the usual non-ASCII text.
    if (b >= 0xC2 && b <= 0xDF && end - aIn >= 2 && IsContinuation(aIn[1])) {
      *aOut++ = static_cast<char16_t>(((b & 0x1F) << 6) | (aIn[1] & 0x3F));
      aIn += 2;
      continue;
    }
    if ((b & 0xF0) == 0xE0 && end - aIn >= 3 && IsContinuation(aIn[1]) && IsContinuation(aIn[2])) {
      const char16_t code =
          static_cast<char16_t>(((b & 0x0F) << 12) | ((aIn[1] & 0x3F) << 6) | (aIn[2] & 0x3F));
      if (code >= 0x800 && (code < 0xD800 || code > 0xDFFF)) {
        *aOut++ = code;
        aIn += 3;
        continue;
      }
    }
    if (!DecodeSequence<aOneLine>(aIn, end, aOut)) return nullptr;
  }
  return aOut;
}

// Encodes aCount units into aOut, which has room for three bytes a unit;
// returns the end of what was written.
char* EncodeInto(const char16_t* aIn, std::size_t aCount, char* aOut) {
  const char16_t* end = aIn + aCount;
  while (aIn < end) {
    // Sixteen or eight ASCII units at a time, the common case.
#if defined(__SSE2__)
    while (end - aIn >= 16) {
      const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(aIn));
      const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(aIn + 8));
      const __m128i above = _mm_set1_epi16(static_cast<short>(0xFF80));
      const __m128i zero = _mm_setzero_si128();
      _mm_storeu_si128(reinterpret_cast<__m128i*>(aOut), _mm_packus_epi16(low, high));
      // One bit a unit, set for ASCII.
      const int ascii =
          _mm_movemask_epi8(_mm_packs_epi16(_mm_cmpeq_epi16(_mm_and_si128(low, above), zero),
                                            _mm_cmpeq_epi16(_mm_and_si128(high, above), zero)));
      if (ascii != 0xFFFF) {
        // The ASCII units before the first other one are done; what was
        // stored after them is written over.
        const int done = __builtin_ctz(static_cast<unsigned>(~ascii));
        aOut += done;
        aIn += done;
        break;
      }
      aOut += 16;
      aIn += 16;
    }
#endif
    while (end - aIn >= 8) {
      std::uint64_t words[2];
      std::memcpy(words, aIn, 16);
      if ((words[0] | words[1]) & 0xFF80FF80FF80FF80ull) break;
      for (int k = 0; k < 8; ++k) aOut[k] = static_cast<char>(aIn[k]);
      aOut += 8;
      aIn += 8;
    }
    if (aIn == end) break;
    std::uint32_t c = *aIn++;
    if (c < 0x80) {
      *aOut++ = static_cast<char>(c);
      continue;
    }
    if (c < 0x800) {
      *aOut++ = static_cast<char>(0xC0 | (c >> 6));
      *aOut++ = static_cast<char>(0x80 | (c & 0x3F));
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) {
      if (IsHighSurrogate(static_cast<char16_t>(c)) && aIn < end && IsLowSurrogate(*aIn)) {
        std::uint32_t code = 0x10000 + ((c - 0xD800) << 10) + (*aIn++ - 0xDC00u);
        *aOut++ = static_cast<char>(0xF0 | (code >> 18));
        *aOut++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        *aOut++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *aOut++ = static_cast<char>(0x80 | (code & 0x3F));
        continue;
      }
      c = kReplacement;
    }
    *aOut++ = static_cast<char>(0xE0 | (c >> 12));
    *aOut++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *aOut++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return aOut;
}

}  // namespace

namespace {

// Whether the bytes are well-formed UTF-8, and, when aNoBreaks, hold no CR
// and no LF either.
template <bool aNoBreaks>
bool CheckUtf8(const char* aBytes, std::size_t aCount) {
  const auto* p = reinterpret_cast<const unsigned char*>(aBytes);
  const unsigned char* end = p + aCount;
  while (p < end) {
#if defined(__SSE2__)
    while (end - p >= 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      int other = _mm_movemask_epi8(bytes);
      if (aNoBreaks) {
        other |= _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')),
                                                _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r'))));
      }
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
      if (aNoBreaks && (b == '\n' || b == '\r')) return false;
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

}  // namespace

bool IsValidUtf8(const char* aBytes, std::size_t aCount) {
  return CheckUtf8<false>(aBytes, aCount);
}

bool IsUtf8OneLine(const char* aBytes, std::size_t aCount) {
  return CheckUtf8<true>(aBytes, aCount);
}

namespace {

// Decodes aCount bytes a piece at a time, and hands each piece of units to
// aTake; false when DecodeInto<aOneLine> stopped.
template <bool aOneLine, typename Take>
bool DecodeByPieces(const unsigned char* aBytes, std::size_t aCount, const Take& aTake) {
  char16_t piece[kPiece];
  std::size_t done = 0;
  while (done < aCount) {
    std::size_t cut = std::min(aCount, done + kPiece);
    // Cut before a byte that starts a sequence, so that no sequence, valid
    // or not, is split: a sequence has at most three continuation bytes,
    // so a cut with more of them before it is in stray bytes already.
    std::size_t start = cut;
    for (int back = 0; back < 3 && cut < aCount && cut > done + 1 && IsContinuation(aBytes[cut]);
         ++back) {
      --cut;
    }
    if (cut < aCount && IsContinuation(aBytes[cut])) cut = start;
    const char16_t* const units = DecodeInto<aOneLine>(aBytes + done, cut - done, piece);
    if (units == nullptr) return false;
    aTake(piece, static_cast<std::size_t>(units - piece));
    done = cut;
  }
  return true;
}

}  // namespace

void AssignUtf8(const char* aBytes, std::size_t aCount, Text& vText) {
  const auto* p = reinterpret_cast<const unsigned char*>(aBytes);
  if (aCount <= kPiece) {
    char16_t piece[kPiece];
    vText.assign(piece, DecodeInto<false>(p, aCount, piece));
    return;
  }
  vText.clear();
  vText.reserve(aCount);
  DecodeByPieces<false>(p, aCount, [&vText](const char16_t* aUnits, std::size_t aSize) {
    vText.append(aUnits, aSize);
  });
}

bool AssignUtf8Line(const char* aBytes, std::size_t aCount, Text& vText) {
  vText.clear();
  return DecodeByPieces<true>(
      reinterpret_cast<const unsigned char*>(aBytes), aCount,
      [&vText](const char16_t* aUnits, std::size_t aSize) { vText.append(aUnits, aSize); });
}

bool AppendUtf8LineAsUnits(const char* aBytes, std::size_t aCount, ByteString& vOut) {
  const std::size_t size = vOut.size();
  if (DecodeByPieces<true>(reinterpret_cast<const unsigned char*>(aBytes), aCount,
                           [&vOut](const char16_t* aUnits, std::size_t aSize) {
                             vOut.append(reinterpret_cast<const char*>(aUnits), 2 * aSize);
                           })) {
    return true;
  }
  vOut.resize(size);
  return false;
}

Text DecodeUtf8(const char* aBytes, std::size_t aCount) {
  Text text;
  AssignUtf8(aBytes, aCount, text);
  return text;
}

void AppendUtf8(const char16_t* aText, std::size_t aCount, ByteString& vOut) {
  if (aCount <= kPiece) {
    // A line of usual length is encoded where it stays.
    const std::size_t at = vOut.size();
    vOut.resize(at + 3 * aCount);
    char* const out = &vOut[at];
    vOut.resize(at + static_cast<std::size_t>(EncodeInto(aText, aCount, out) - out));
    return;
  }
  // A long one through a piece at a time, so that it never takes three
  // bytes a unit at once.
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

bool HasUnpairedSurrogate(const char16_t* aText, std::size_t aCount) {
  const char16_t* const end = aText + aCount;
#if defined(__SSE2__)
  // Eight units at a time until one is a surrogate: a text of any script
  // but those beyond the first plane holds none.
  const __m128i bias = _mm_set1_epi16(static_cast<short>(0x8000 - 0xD800));
  const __m128i below = _mm_set1_epi16(static_cast<short>(0x8000 + 0x800));
  while (end - aText >= 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(aText));
    // unit - 0xD800 < 0x800, unsigned, as a signed compare after a shift.
    const __m128i shifted = _mm_add_epi16(units, bias);
    if (_mm_movemask_epi8(_mm_cmplt_epi16(shifted, below)) != 0) break;
    aText += 8;
  }
#endif
  for (const char16_t* at = aText; at < end; ++at) {
    // Surrogates are rare: one test a unit until one is met.
    if (static_cast<char16_t>(*at - 0xD800) >= 0x800) continue;
    if (!IsHighSurrogate(*at) || at + 1 == end || !IsLowSurrogate(at[1])) return true;
    ++at;
  }
  return false;
}

}  // namespace xlate
