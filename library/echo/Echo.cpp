// The cheapest library that keeps the contract: every translation is its
// input, so that measuring xlate with it measures only xlate.
#define ZTA_IMPLEMENTATION
#include <cstring>

#include "contract/ZtaContract.h"

namespace {

constexpr uint32_t kTooSmall = 1;
constexpr uint32_t kNoText = 2;
uint32_t gLastError = 0;

uint32_t Copy(const char* aText, char* aDest, uint32_t aMaxSize) {
  std::size_t length = std::strlen(aText);
  if (length + 1 > aMaxSize) {
    gLastError = kTooSmall;
    return 0;
  }
  std::memcpy(aDest, aText, length + 1);
  return 1;
}

}  // namespace

extern "C" {

uint32_t ZTA_CALL ztaLastErrorCode(void) { return gLastError; }

uint32_t ZTA_CALL ztaErrorText(uint32_t aErrorCode, char* aBuffer, uint32_t aMaxSize) {
  if (aErrorCode != kTooSmall) {
    gLastError = kNoText;
    return 0;
  }
  return Copy("buffer too small", aBuffer, aMaxSize);
}

uint32_t ZTA_CALL ztaTranslate(const char*, const char*, const char*, const char* aText,
                               char* aDest, uint32_t aMaxSize) {
  return Copy(aText, aDest, aMaxSize);
}

uint32_t ZTA_CALL ztaTranslateBatch(const char*, const char*, const char*, uint32_t aCount,
                                    const char* const* aTexts, char* aDest, uint32_t aMaxSize) {
  // Each record: a 4-byte code 0, then the text with its NUL.
  std::size_t at = 0;
  for (uint32_t i = 0; i < aCount; ++i) {
    const std::size_t length = std::strlen(aTexts[i]);
    if (aMaxSize - at < 4 + length + 1) {
      gLastError = kTooSmall;
      return 0;
    }
    std::memset(aDest + at, 0, 4);
    std::memcpy(aDest + at + 4, aTexts[i], length + 1);
    at += 4 + length + 1;
  }
  return 1;
}

uint32_t ZTA_CALL ztaLaguageList(const char*, char* aDest, uint32_t aMaxSize) {
  return Copy("en English\r\n", aDest, aMaxSize);
}

uint32_t ZTA_CALL ztaToPostText(const char* aText, char* aDest, uint32_t aMaxSize) {
  return Copy(aText, aDest, aMaxSize);
}

uint32_t ZTA_CALL ztaFromPostText(const char* aText, char* aDest, uint32_t aMaxSize) {
  return Copy(aText, aDest, aMaxSize);
}
}
