// The cheapest library that keeps the contract: every translation is its
// input, so that measuring xlate with it measures only xlate.
#define ZTA_IMPLEMENTATION
#include <cstring>
#include <string>
#include <vector>

#include "contract/ZtaContract.h"
#include "library/kit/ErrorState.h"

namespace {

// ztaErrorText of a code without a text.
constexpr uint32_t kNoText = 2;

const char* GeneralText(uint32_t aCode) {
  return aCode == zta_kit::kCodeTooSmall ? "buffer too small" : nullptr;
}

zta_kit::TErrorState gErrors(GeneralText);

}  // namespace

extern "C" {

uint32_t ZTA_CALL ztaLastErrorCode(void) { return gErrors.LastCode(); }

uint32_t ZTA_CALL ztaErrorText(uint32_t aErrorCode, char* aBuffer, uint32_t aMaxSize) {
  return gErrors.CopyText(aErrorCode, aBuffer, aMaxSize, kNoText) ? 1 : 0;
}

uint32_t ZTA_CALL ztaTranslate(const char*, const char*, const char*, const char* aText,
                               char* aDest, uint32_t aMaxSize) {
  return gErrors.Deliver(aText, aDest, aMaxSize) ? 1 : 0;
}

uint32_t ZTA_CALL ztaTranslateBatch(const char*, const char*, const char*, uint32_t aCount,
                                    const char* const* aTexts, char* aDest, uint32_t aMaxSize) {
  // Each record: code 0, then the text with its NUL. The records are
  // written in place once the whole answer is known to fit, so that the
  // library costs a measurement as little as it can.
  std::vector<std::size_t> lengths(aCount);
  std::uint64_t needed = 0;
  for (uint32_t i = 0; i < aCount; ++i) {
    lengths[i] = std::strlen(aTexts[i]);
    needed += ZTA_BATCH_CODE_BYTES + lengths[i] + 1;
  }
  if (needed > aMaxSize) {
    gErrors.Fail(zta_kit::kCodeTooSmall);
    return 0;
  }
  char* at = aDest;
  for (uint32_t i = 0; i < aCount; ++i) {
    std::memset(at, 0, ZTA_BATCH_CODE_BYTES);
    at += ZTA_BATCH_CODE_BYTES;
    std::memcpy(at, aTexts[i], lengths[i] + 1);
    at += lengths[i] + 1;
  }
  return 1;
}

uint32_t ZTA_CALL ztaLaguageList(const char*, char* aDest, uint32_t aMaxSize) {
  return gErrors.Deliver("en English\r\n", aDest, aMaxSize) ? 1 : 0;
}

uint32_t ZTA_CALL ztaToPostText(const char* aText, char* aDest, uint32_t aMaxSize) {
  return gErrors.Deliver(aText, aDest, aMaxSize) ? 1 : 0;
}

uint32_t ZTA_CALL ztaFromPostText(const char* aText, char* aDest, uint32_t aMaxSize) {
  return gErrors.Deliver(aText, aDest, aMaxSize) ? 1 : 0;
}
}
