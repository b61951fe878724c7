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
 * An optional seventh function, ztaTranslateBatch, translates many texts in
 * one call (below, and BatchContract.md beside this header). A library
 * without it is called once per text with ztaTranslate.
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
/* The bytes of a batch record's code (ztaTranslateBatch). */
#define ZTA_BATCH_CODE_BYTES 4u

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

/* ztaTranslateBatch: optional; looked up by exactly this name, and a library
 * without it is called text by text with ztaTranslate.
 *
 * aTexts holds aCount non-null pointers to NUL-terminated UTF-8 texts; the
 * language codes are in the ANSI code page, as for ztaTranslate. The result
 * is a Boolean in the low 8 bits.
 *
 * True: aDest holds aCount records, in the order of aTexts, back to back and
 * unaligned. A record is a 4-byte code, unsigned little-endian, then a
 * NUL-terminated text:
 *   - code 0: the text's translation, in UTF-8;
 *   - any other code (never 1): the text failed with that code, and the
 *     record's text is the error text in the ANSI code page, exactly what
 *     ztaErrorText would give for that failure had the text been translated
 *     alone with ztaTranslate.
 * Every text is translated exactly as ztaTranslate would translate it alone
 * (the same bytes, the same code and error text on failure), whatever the
 * other texts of the batch; one failing text does not stop the others.
 *
 * False with ztaLastErrorCode 1: the records do not fit in aMaxSize bytes.
 * The caller calls again with the same arguments and a buffer twice as
 * large; the library may keep the last batch's records, keyed by the
 * arguments' contents, so that the retry costs nothing.
 *
 * False with any other code: the batch failed as a whole (aDest means
 * nothing). The caller then translates each text alone with ztaTranslate.
 * A library fails the batch as a whole when it cannot keep the rules above
 * for some text, e.g. when it could not give a failure's error text.
 * A library that failed part way may hand over the texts it did translate:
 * aDest then holds the records of the first k texts (k < aCount) followed
 * by the end mark, a record of code 1 with an empty text, and nothing
 * more; the caller keeps them and translates only the texts after them.
 *
 * Nothing follows the last record (or the mark) in aDest, and nothing is
 * written past aMaxSize. aCount 0 gives true and nothing to read. The
 * caller's first buffer may be any size of at least 1024 bytes; after code 1
 * it may also call again with only the first texts of the batch. */
typedef uint32_t(ZTA_CALL* TprocTranslateBatch)(const char* aLangInit, const char* aLangFrom,
                                                const char* aLangTo, uint32_t aCount,
                                                const char* const* aTexts, char* aDest,
                                                uint32_t aMaxSize);

/* ztaPairList: optional; looked up by exactly this name. The directions the
 * library can translate, each "FROM-TO" in UTF-8 (a direction through a
 * pivot language, or into a variant such as pt_BR, is one of them), one a
 * line, lines separated by CR LF; the buffer protocol and the failures are
 * those of ztaLaguageList. A library without it is asked for its languages
 * only. */
typedef uint32_t(ZTA_CALL* TprocPairList)(const char* aLangInit, char* aDest, uint32_t aMaxSize);

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
ZTA_EXPORT uint32_t ZTA_CALL ztaTranslateBatch(const char* aLangInit, const char* aLangFrom,
                                               const char* aLangTo, uint32_t aCount,
                                               const char* const* aTexts, char* aDest,
                                               uint32_t aMaxSize);
ZTA_EXPORT uint32_t ZTA_CALL ztaPairList(const char* aLangInit, char* aDest, uint32_t aMaxSize);
#endif

#ifdef __cplusplus
}
#endif

#endif
