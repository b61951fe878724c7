/* The binary interface of the translation library: six exported functions
 * with C linkage, stdcall on 32-bit Windows. Strings are NUL-terminated 8-bit
 * strings; integers are 32-bit unsigned; a Boolean result lives in the low
 * 8 bits of the 32-bit return value (0 false, anything else true).
 *
 * Every function with a destination returns true and leaves a NUL-terminated
 * result there, or returns false; ztaLastErrorCode then gives the failure's
 * code. Code 1 means "the destination is too small": the caller retries with
 * a larger buffer. ztaErrorText turns any other code into a message.
 *
 * Codings: ztaTranslate takes aText in UTF-8 and the language codes in the
 * ANSI code page and returns UTF-8; ztaLaguageList returns UTF-8, one
 * language per line; ztaToPostText takes UTF-8 and returns ANSI;
 * ztaFromPostText takes ANSI and returns UTF-8; ztaErrorText returns ANSI.
 *
 * This header is shared by the program and by the libraries that keep the
 * contract, and includes nothing but <stdint.h>. */
#ifndef XLATE_ZTA_CONTRACT_H
#define XLATE_ZTA_CONTRACT_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define ZTA_CALL __stdcall
#else
#define ZTA_CALL
#endif

#if defined(_WIN32)
#define ZTA_EXPORT __declspec(dllexport)
#else
#define ZTA_EXPORT __attribute__((visibility("default")))
#endif

#define ZTA_CODE_BUFFER_TOO_SMALL 1u

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t(ZTA_CALL* TprocLastErrorCode)(void);
typedef uint32_t(ZTA_CALL* TprocErrorText)(uint32_t aErrorCode, char* aBuffer, uint32_t aMaxSize);
typedef uint32_t(ZTA_CALL* TprocTranslate)(const char* aLangInit, const char* aLangFrom,
                                           const char* aLangTo, const char* aText, char* aDest,
                                           uint32_t aMaxSize);
typedef uint32_t(ZTA_CALL* TprocLaguageList)(const char* aLangInit, char* aDest, uint32_t aMaxSize);
typedef uint32_t(ZTA_CALL* TprocPostText)(const char* aText, char* aDest, uint32_t aMaxSize);

/* Declarations for the libraries that implement the contract. */
#ifdef ZTA_IMPLEMENTATION
ZTA_EXPORT uint32_t ZTA_CALL ztaLastErrorCode(void);
ZTA_EXPORT uint32_t ZTA_CALL ztaErrorText(uint32_t aErrorCode, char* aBuffer, uint32_t aMaxSize);
ZTA_EXPORT uint32_t ZTA_CALL ztaTranslate(const char* aLangInit, const char* aLangFrom,
                                          const char* aLangTo, const char* aText, char* aDest,
                                          uint32_t aMaxSize);
ZTA_EXPORT uint32_t ZTA_CALL ztaLaguageList(const char* aLangInit, char* aDest, uint32_t aMaxSize);
ZTA_EXPORT uint32_t ZTA_CALL ztaToPostText(const char* aText, char* aDest, uint32_t aMaxSize);
ZTA_EXPORT uint32_t ZTA_CALL ztaFromPostText(const char* aText, char* aDest, uint32_t aMaxSize);
#endif

#ifdef __cplusplus
}
#endif

#endif
