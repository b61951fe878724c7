// The functions that the library exports (the six, ztaTranslateBatch and ztaPairList), each a thin
// wrapper around the shared library state. No exception leaves them.
#define ZTA_IMPLEMENTATION
#include "Library.h"
#include "contract/ZtaContract.h"

extern "C" {

ZTA_EXPORT uint32_t ZTA_CALL ztaLastErrorCode(void) { return zta::sharedLibrary().lastErrorCode(); }

ZTA_EXPORT uint32_t ZTA_CALL ztaErrorText(uint32_t aErrorCode, char* aBuffer, uint32_t aMaxSize) {
  return zta::sharedLibrary().errorText(aErrorCode, aBuffer, aMaxSize) ? 1u : 0u;
}

ZTA_EXPORT uint32_t ZTA_CALL ztaTranslate(const char* aLangInit, const char* aLangFrom,
                                          const char* aLangTo, const char* aText, char* aDest,
                                          uint32_t aMaxSize) {
  return zta::sharedLibrary().translate(aLangInit, aLangFrom, aLangTo, aText, aDest, aMaxSize) ? 1u
                                                                                               : 0u;
}

ZTA_EXPORT uint32_t ZTA_CALL ztaLaguageList(const char* aLangInit, char* aDest, uint32_t aMaxSize) {
  return zta::sharedLibrary().languageList(aLangInit, aDest, aMaxSize) ? 1u : 0u;
}

ZTA_EXPORT uint32_t ZTA_CALL ztaToPostText(const char* aText, char* aDest, uint32_t aMaxSize) {
  return zta::sharedLibrary().toPostText(aText, aDest, aMaxSize) ? 1u : 0u;
}

ZTA_EXPORT uint32_t ZTA_CALL ztaFromPostText(const char* aText, char* aDest, uint32_t aMaxSize) {
  return zta::sharedLibrary().fromPostText(aText, aDest, aMaxSize) ? 1u : 0u;
}

ZTA_EXPORT uint32_t ZTA_CALL ztaTranslateBatch(const char* aLangInit, const char* aLangFrom,
                                               const char* aLangTo, uint32_t aCount,
                                               const char* const* aTexts, char* aDest,
                                               uint32_t aMaxSize) {
  return zta::sharedLibrary().translateBatch(aLangInit, aLangFrom, aLangTo, aCount, aTexts, aDest,
                                             aMaxSize)
             ? 1u
             : 0u;
}

// Optional: the directions the library translates, one a line.
ZTA_EXPORT uint32_t ZTA_CALL ztaPairList(const char* aLangInit, char* aDest, uint32_t aMaxSize) {
  return zta::sharedLibrary().pairList(aLangInit, aDest, aMaxSize) ? 1u : 0u;
}

}  // extern "C"
