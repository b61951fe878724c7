// The exported entry points of the test double: the six, and the batch
// entry point unless ZTA_DOUBLE_WITHOUT_BATCH.
#define ZTA_IMPLEMENTATION
#include "contract/ZtaContract.h"
#include "library/testdouble/DoubleCore.h"

extern "C" {

uint32_t ZTA_CALL ztaLastErrorCode(void) { return zta_double::LastErrorCode(); }

uint32_t ZTA_CALL ztaErrorText(uint32_t aErrorCode, char* aBuffer, uint32_t aMaxSize) {
  return zta_double::ErrorText(aErrorCode, aBuffer, aMaxSize);
}

uint32_t ZTA_CALL ztaTranslate(const char* aLangInit, const char* aLangFrom, const char* aLangTo,
                               const char* aText, char* aDest, uint32_t aMaxSize) {
  return zta_double::Translate(aLangInit, aLangFrom, aLangTo, aText, aDest, aMaxSize);
}

uint32_t ZTA_CALL ztaLaguageList(const char* aLangInit, char* aDest, uint32_t aMaxSize) {
  return zta_double::LanguageList(aLangInit, aDest, aMaxSize);
}

uint32_t ZTA_CALL ztaToPostText(const char* aText, char* aDest, uint32_t aMaxSize) {
  return zta_double::ToPostText(aText, aDest, aMaxSize);
}

#ifndef ZTA_DOUBLE_WITHOUT_BATCH
uint32_t ZTA_CALL ztaTranslateBatch(const char* aLangInit, const char* aLangFrom,
                                    const char* aLangTo, uint32_t aCount, const char* const* aTexts,
                                    char* aDest, uint32_t aMaxSize) {
  return zta_double::TranslateBatch(aLangInit, aLangFrom, aLangTo, aCount, aTexts, aDest, aMaxSize);
}
#endif

#ifndef ZTA_DOUBLE_WITHOUT_FROM_POST_TEXT
uint32_t ZTA_CALL ztaFromPostText(const char* aText, char* aDest, uint32_t aMaxSize) {
  return zta_double::FromPostText(aText, aDest, aMaxSize);
}
#endif
}
