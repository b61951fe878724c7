#pragma once

// The scriptable test double of the translation library. What a call does
// is chosen by the text it is given (the text to translate, or aLangInit of
// the language list), so that a test, in-process or end to end, can ask for
// any behaviour:
//   (plain text)          succeed with "[from>to] text", or the text alone
//                         when ZTA_DOUBLE_MODE=echo
//   @echo TEXT            succeed with TEXT
//   @size N               succeed with N bytes of letters
//   @fail CODE [MESSAGE]  fail with CODE; ztaErrorText(CODE) then gives
//                         MESSAGE
//   @busy N               report code 1 N times in a row, then succeed
//   @errchain             fail with 7; the text of 7 fails with 9, the text
//                         of 9 fails with 11
//   @bigerror             fail with 8, whose text needs 3000 bytes
//   @falselow             return 0xFFFFFF00 (a false Boolean) with code 7
//   @truehigh             return 0xFFFF0001 (a true Boolean)
//   @nonul                fill the whole buffer without a NUL
//   @alwaysbusy           report code 1 whatever the buffer size
//   @overrun              write 4096 bytes of "x" past the end of the buffer
//   @fault KIND           raise a processor fault (see Faults.h); fails
//                         with 14 when it cannot
//   @exit N, @quickexit N end the process with exit(N) or _Exit(N)
//   @abort                end it with abort()
//   @throw                throw std::bad_alloc out of the entry point
//   @raise N              raise signal N, then go on as for plain text
//   @chdir DIR            change the current folder to DIR, then go on
//                         as for plain text
// "\n" and "\r" in the TEXT of @echo and in a MESSAGE stand for LF and CR.
// ztaTranslateBatch gives every text of the batch the record of what
// ztaTranslate and ztaErrorText give for it alone (called with buffers of
// 1024, 2048, ... bytes, as the program calls them), and reports code 1
// while the records do not fit. A line whose error text cannot be had
// fails the batch with 16, one whose result needs more than 16 MB with 15.
// These commands act on the whole batch when any of its texts is one; a
// text translated alone takes them as plain text:
//   @batchfail CODE [MESSAGE]  fail the batch with CODE (and MESSAGE as @fail),
//                              leaving the buffer all zeros
//   @batchpartial CODE [MESSAGE]  fail the batch with CODE after the records
//                              of the texts before this one, ended by the
//                              mark of a partial answer (a record of code 1
//                              with an empty text)
//   @batchfault KIND           raise a processor fault in the batch call
//   @batchbusy N               report code 1 N times in a row, then go on
//   @batchnonul                succeed with the whole buffer full of "x"
//   @batchfewer                succeed with only the records of the texts
//                              before this one (none: the buffer untouched)
//   @batchnul                  succeed, this text's record holding "A", a
//                              NUL and "B" as its text
// and @fault KIND or @overrun in a batch makes the batch call fault or
// write past the buffer. Records are built only while they fit: a batch
// whose records pass aMaxSize reports code 1 as soon as they do.
// ZTA_DOUBLE_FAULT=KIND makes every call of every entry point fault.
// The language list is ZTA_DOUBLE_LANGUAGES, or three languages. Every call
// is recorded in memory and, when ZTA_DOUBLE_LOG names a file, appended to
// it as one line: the entry point, aMaxSize and the text (for a batch: the
// language codes, the count and the texts, joined by "|").

#include <cstdint>
#include <string>
#include <vector>

namespace zta_double {

struct TCall {
  std::string Entry;
  std::uint32_t MaxSize;
  std::string Text;
};

// The calls so far, in order, and a way to start afresh.
const std::vector<TCall>& Calls();
void Reset();

std::uint32_t LastErrorCode();
std::uint32_t ErrorText(std::uint32_t aCode, char* aBuffer, std::uint32_t aMaxSize);
std::uint32_t Translate(const char* aLangInit, const char* aLangFrom, const char* aLangTo,
                        const char* aText, char* aDest, std::uint32_t aMaxSize);
std::uint32_t TranslateBatch(const char* aLangInit, const char* aLangFrom, const char* aLangTo,
                             std::uint32_t aCount, const char* const* aTexts, char* aDest,
                             std::uint32_t aMaxSize);
std::uint32_t LanguageList(const char* aLangInit, char* aDest, std::uint32_t aMaxSize);
std::uint32_t ToPostText(const char* aText, char* aDest, std::uint32_t aMaxSize);
std::uint32_t FromPostText(const char* aText, char* aDest, std::uint32_t aMaxSize);

}  // namespace zta_double
