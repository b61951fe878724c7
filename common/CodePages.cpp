#include "common/CodePages.h"

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>

#include "common/CodePageTables.h"
#include "common/Utf8.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xlate {

namespace {

constexpr std::uint32_t kFallbackCodePage = 1252;
// Conversions go through a buffer on the stack, in pieces of this size.
constexpr std::size_t kPiece = 1024;

const TCodePageTable* FindTable(std::uint32_t aCodePage) {
  // A file converts every line with the same page: the last one found is
  // looked at first.
  static thread_local const TCodePageTable* last = nullptr;
  if (last != nullptr && last->CodePage == aCodePage) return last;
  for (std::size_t i = 0; i < kCodePageTableCount; ++i) {
    if (kCodePageTables[i].CodePage == aCodePage) return last = &kCodePageTables[i];
  }
  return nullptr;
}

const TCodePageTable& TableOrFallback(std::uint32_t aCodePage) {
  const TCodePageTable* table = FindTable(aCodePage);
  // The generated tables always hold the fallback page (every 1252 test
  // converts through it), so its lookup never gives null.
  // NOLINTNEXTLINE(clang-analyzer-core.uninitialized.UndefReturn)
  return table ? *table : *FindTable(kFallbackCodePage);
}

// The reverse of a table: for each UTF-16 unit its byte, 0 where the code
// page has none (U+0000 itself is ASCII and handled before the lookup).
using ReverseTable = std::array<unsigned char, 0x10000>;

const ReverseTable& Reverse(const TCodePageTable& aTable) {
  static std::unique_ptr<ReverseTable> tables[64];
  static std::once_flag once[64];
  std::size_t index = static_cast<std::size_t>(&aTable - kCodePageTables);
  std::call_once(once[index], [&] {
    tables[index] = std::make_unique<ReverseTable>();
    ReverseTable& r = *tables[index];
    r.fill(0);
    for (int b = 0; b < 128; ++b) r[static_cast<std::size_t>(b)] = static_cast<unsigned char>(b);
    for (int b = 0; b < 128; ++b) r[aTable.Upper[b]] = static_cast<unsigned char>(0x80 + b);
    // Characters the page cannot show take its best-fit byte, as the
    // platform's conversion does ("A" for U+0100 in 1252).
    for (std::size_t i = 0; i < aTable.BestFitCount; ++i) {
      std::uint32_t entry = aTable.BestFit[i];
      r[entry >> 8] = static_cast<unsigned char>(entry & 0xFF);
    }
  });
  return *tables[index];
}

}  // namespace

bool IsKnownCodePage(std::uint32_t aCodePage) {
  return aCodePage == kCodePageUtf8 || FindTable(aCodePage) != nullptr;
}

void AssignCodePageText(std::uint32_t aCodePage, const char* aBytes, std::size_t aCount,
                        Text& vText) {
  if (aCodePage == kCodePageUtf8) {
    AssignUtf8(aBytes, aCount, vText);
    return;
  }
  const TCodePageTable& table = TableOrFallback(aCodePage);
  // One unit a byte, written where it stays: only what the text grows by
  // is filled first, as the texts of a file's lines are reused.
  vText.resize(aCount);
  char16_t* const out = &vText[0];
  const auto* bytes = reinterpret_cast<const unsigned char*>(aBytes);
  std::size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time are widened as ASCII; the few others among
  // them are then looked up in the table.
  const __m128i zero = _mm_setzero_si128();
  for (; aCount - i >= 16; i += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(block, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(block, zero));
    for (auto other = static_cast<unsigned>(_mm_movemask_epi8(block)); other != 0;
         other &= other - 1) {
      const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(other));
      out[at] = table.Upper[bytes[at] - 0x80];
    }
  }
#endif
  for (; i < aCount; ++i) {
    const unsigned char b = bytes[i];
    out[i] = b < 0x80 ? b : table.Upper[b - 0x80];
  }
}

Text CodePageToText(std::uint32_t aCodePage, const char* aBytes, std::size_t aCount) {
  Text text;
  AssignCodePageText(aCodePage, aBytes, aCount, text);
  return text;
}

namespace {

// One unit of text as UTF-8 at aOut, an unpaired surrogate as U+FFFD, as
// encoding a text makes it; returns the end of what was written.
char* EncodeUnit(char16_t aUnit, char* aOut) {
  std::uint32_t c = aUnit;
  if (c < 0x80) {
    *aOut++ = static_cast<char>(c);
    return aOut;
  }
  if (c < 0x800) {
    *aOut++ = static_cast<char>(0xC0 | (c >> 6));
    *aOut++ = static_cast<char>(0x80 | (c & 0x3F));
    return aOut;
  }
  if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
  *aOut++ = static_cast<char>(0xE0 | (c >> 12));
  *aOut++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  *aOut++ = static_cast<char>(0x80 | (c & 0x3F));
  return aOut;
}

}  // namespace

void AppendCodePageAsUtf8(std::uint32_t aCodePage, const char* aBytes, std::size_t aCount,
                          ByteString& vOut) {
  if (aCodePage == kCodePageUtf8) {
    if (IsValidUtf8(aBytes, aCount)) {
      vOut.append(aBytes, aCount);
    } else {
      const Text text = DecodeUtf8(aBytes, aCount);
      AppendUtf8(text.data(), text.size(), vOut);
    }
    return;
  }
  const TCodePageTable& table = TableOrFallback(aCodePage);
  // At most three bytes a byte, written where they stay.
  const std::size_t at = vOut.size();
  vOut.resize(at + 3 * aCount);
  char* const begin = &vOut[at];
  char* out = begin;
  const auto* bytes = reinterpret_cast<const unsigned char*>(aBytes);
  std::size_t i = 0;
#if defined(__SSE2__)
  // Sixteen ASCII bytes at a time, the common case; the first other one
  // among them is looked up in the table, and the rest looked at again.
  while (aCount - i >= 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
    const auto other = static_cast<unsigned>(_mm_movemask_epi8(block));
    if (other == 0) {
      out += 16;
      i += 16;
      continue;
    }
    const auto ascii = static_cast<std::size_t>(__builtin_ctz(other));
    out += ascii;
    i += ascii;
    out = EncodeUnit(table.Upper[bytes[i] - 0x80], out);
    ++i;
  }
#endif
  for (; i < aCount; ++i) {
    const unsigned char b = bytes[i];
    out = b < 0x80 ? EncodeUnit(b, out) : EncodeUnit(table.Upper[b - 0x80], out);
  }
  vOut.resize(at + static_cast<std::size_t>(out - begin));
}

void AppendTextInCodePage(std::uint32_t aCodePage, const char16_t* aText, std::size_t aCount,
                          ByteString& vOut) {
  if (aCodePage == kCodePageUtf8) {
    AppendUtf8(aText, aCount, vOut);
    return;
  }
  const ReverseTable& reverse = Reverse(TableOrFallback(aCodePage));
  char piece[kPiece];
  std::size_t filled = 0;
  for (std::size_t i = 0; i < aCount; ++i) {
    if (filled + 16 > kPiece) {
      vOut.append(piece, filled);
      filled = 0;
    }
#if defined(__SSE2__)
    // Sixteen ASCII units at a time, the common case.
    while (aCount - i >= 16) {
      const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(aText + i));
      const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(aText + i + 8));
      const __m128i above = _mm_set1_epi16(static_cast<short>(0xFF80));
      const __m128i zero = _mm_setzero_si128();
      _mm_storeu_si128(reinterpret_cast<__m128i*>(piece + filled), _mm_packus_epi16(low, high));
      // One bit a unit, set for ASCII.
      const int ascii =
          _mm_movemask_epi8(_mm_packs_epi16(_mm_cmpeq_epi16(_mm_and_si128(low, above), zero),
                                            _mm_cmpeq_epi16(_mm_and_si128(high, above), zero)));
      if (ascii != 0xFFFF) {
        // The ASCII units before the first other one are done; what was
        // stored after them is written over.
        const auto done = static_cast<std::size_t>(__builtin_ctz(~static_cast<unsigned>(ascii)));
        filled += done;
        i += done;
        break;
      }
      filled += 16;
      i += 16;
      if (filled + 16 > kPiece) {
        vOut.append(piece, filled);
        filled = 0;
      }
    }
    if (i == aCount) break;
#endif
    char16_t c = aText[i];
    if (c < 0x80) {
      piece[filled++] = static_cast<char>(c);
      continue;
    }
    // A surrogate pair is one character and becomes one "?".
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < aCount && aText[i + 1] >= 0xDC00 &&
        aText[i + 1] <= 0xDFFF) {
      ++i;
      piece[filled++] = '?';
      continue;
    }
    unsigned char b = reverse[c];
    piece[filled++] = b != 0 ? static_cast<char>(b) : '?';
  }
  vOut.append(piece, filled);
}

ByteString TextToCodePage(std::uint32_t aCodePage, const char16_t* aText, std::size_t aCount) {
  ByteString out;
  AppendTextInCodePage(aCodePage, aText, aCount, out);
  return out;
}

ByteString ConvertBytes(std::uint32_t aFrom, std::uint32_t aTo, const ByteString& aBytes) {
  if (aFrom == aTo || aBytes.empty()) return aBytes;
  // Only a single-byte code page has a counterpart for each byte; of a
  // multi-byte one (UTF-8) only the ASCII bytes stand for a character alone.
  const TCodePageTable* from = aFrom == kCodePageUtf8 ? nullptr : &TableOrFallback(aFrom);
  ByteString out(aBytes.size(), '?');
  for (std::size_t i = 0; i < aBytes.size(); ++i) {
    auto b = static_cast<unsigned char>(aBytes[i]);
    if (b < 0x80) {
      out[i] = static_cast<char>(b);
      continue;
    }
    if (from == nullptr) continue;
    char16_t unit = from->Upper[b - 0x80];
    if (aTo == kCodePageUtf8) continue;
    unsigned char mapped = Reverse(TableOrFallback(aTo))[unit];
    if (mapped != 0) out[i] = static_cast<char>(mapped);
  }
  return out;
}

}  // namespace xlate
