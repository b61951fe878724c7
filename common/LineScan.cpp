#include "common/LineScan.h"

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xlate {

const char* FindBreak(const char* aFrom, const char* aEnd) {
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i nul = _mm_setzero_si128();
  while (aEnd - aFrom >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(aFrom));
    const __m128i hits =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, cr)),
                     _mm_cmpeq_epi8(bytes, nul));
    const int mask = _mm_movemask_epi8(hits);
    if (mask != 0) return aFrom + __builtin_ctz(static_cast<unsigned>(mask));
    aFrom += 16;
  }
  while (aFrom < aEnd && *aFrom != '\n' && *aFrom != '\r' && *aFrom != '\0') ++aFrom;
  return aFrom;
#else
  const auto size = [](const char* aBegin, const char* aStop) {
    return static_cast<std::size_t>(aStop - aBegin);
  };
  const char* stop = static_cast<const char*>(std::memchr(aFrom, '\n', size(aFrom, aEnd)));
  if (stop == nullptr) stop = aEnd;
  if (const void* cr = std::memchr(aFrom, '\r', size(aFrom, stop)))
    stop = static_cast<const char*>(cr);
  if (const void* nul = std::memchr(aFrom, '\0', size(aFrom, stop)))
    stop = static_cast<const char*>(nul);
  return stop;
#endif
}

const char16_t* FindBreak(const char16_t* aFrom, const char16_t* aEnd) {
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi16('\n');
  const __m128i cr = _mm_set1_epi16('\r');
  const __m128i nul = _mm_setzero_si128();
  while (aEnd - aFrom >= 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(aFrom));
    const __m128i hits =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(units, lf), _mm_cmpeq_epi16(units, cr)),
                     _mm_cmpeq_epi16(units, nul));
    const int mask = _mm_movemask_epi8(hits);
    if (mask != 0) return aFrom + __builtin_ctz(static_cast<unsigned>(mask)) / 2;
    aFrom += 8;
  }
#endif
  while (aFrom < aEnd && *aFrom != u'\n' && *aFrom != u'\r' && *aFrom != u'\0') ++aFrom;
  return aFrom;
}

}  // namespace xlate
