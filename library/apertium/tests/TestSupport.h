// Helpers shared by the library's tests: temporary folders, library settings
// that run the fake pipeline, calls with a buffer, and process checks.
#ifndef XLATE_LIBRARY_APERTIUM_TESTS_TEST_SUPPORT_H
#define XLATE_LIBRARY_APERTIUM_TESTS_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Library.h"
#include "LibrarySettings.h"

namespace zta::test {

// Why the installed Apertium cannot run the English-Spanish tests, or empty.
std::string apertiumMissingReason();

#define SKIP_WITHOUT_APERTIUM()                                                    \
  do {                                                                             \
    const std::string why = ::zta::test::apertiumMissingReason();                  \
    if (!why.empty()) GTEST_SKIP() << "Apertium English-Spanish missing: " << why; \
  } while (false)

class TempDirectory {
 public:
  TempDirectory();
  ~TempDirectory();
  const std::string& path() const { return path_; }
  void writeFile(const std::string& name, const std::string& content) const;

 private:
  std::string path_;
};

// Settings whose pairs come from empty mode files named after modeNames in
// directory, and whose chains are the fake pipeline.
LibrarySettings fakeSettings(const TempDirectory& directory,
                             const std::vector<std::string>& modeNames,
                             std::chrono::milliseconds baseTimeout = std::chrono::seconds(10));

// Settings for the installed Apertium.
LibrarySettings apertiumSettings(bool markUnknownWords = false);

struct CallResult {
  bool ok = false;
  std::string text;     // the result, when ok
  uint32_t code = 0;    // lastErrorCode, when not ok
  std::string message;  // the error text for code, when not ok
};

// One ztaTranslate-style call with a buffer of bufferSize bytes.
CallResult translate(TranslationLibrary& library, const std::string& from, const std::string& to,
                     const std::string& text, uint32_t bufferSize = 1 << 20);

// One translateBatch call with a buffer of bufferSize bytes: ok with each
// text's record (its code and text), or the failure's code and error text
// with the records of a partial answer (those before its end mark; none when
// the buffer holds no such answer).
struct BatchResult {
  bool ok = false;
  std::vector<std::pair<uint32_t, std::string>> records;
  uint32_t code = 0;    // when not ok
  std::string message;  // when not ok
};
BatchResult translateBatch(TranslationLibrary& library, const std::string& from,
                           const std::string& to, const std::vector<std::string>& texts,
                           uint32_t bufferSize = 1 << 22);

// The record translating text alone gives: code 0 and the translation, or
// the failure's code and error text.
std::pair<uint32_t, std::string> aloneRecord(TranslationLibrary& library, const std::string& from,
                                             const std::string& to, const std::string& text);

// An English line and its Spanish translation in a format of ZTA_FORMAT.
// afterLines: the translation holds only after the lines before it in the
// table, in one batch (the line starts inside their markup).
struct FormatCase {
  std::string line;
  std::string translation;
  bool afterLines = false;
};

// Lines of markup: tags with attributes (alt and title translated),
// entities, a comment, "<" and ">" of no tag, and lines without markup.
std::vector<FormatCase> htmlCases();
// Lines of plain text, the default format.
std::vector<FormatCase> textCases();
// Lines of a subtitle file: cue numbers, timing lines of SRT and WebVTT,
// blank lines, and text lines with tags and an override code.
std::vector<FormatCase> subtitleCases();

// Expects each line to give its translation from en into es alone (except
// those that hold only after the lines before them), and all of them in one
// batch.
void expectFormatCases(TranslationLibrary& library, const std::vector<FormatCase>& cases);

// True while any process of the process group exists.
bool processGroupExists(int groupId);

// Waits up to limit for the process group to vanish. Our own stages are
// reaped at once; a process they started themselves (a sanitizer runtime may)
// is reaped by init a little later.
bool waitForGroupToVanish(int groupId, std::chrono::milliseconds limit);

// True when pid is a child of this process that is still unreaped (running or zombie).
bool isUnreapedChild(int pid);

// Kills the process group and waits (up to 5 s) until every one of pids has
// ended (a zombie or gone), since the signal takes effect asynchronously.
bool killAndWaitForEnd(int groupId, const std::vector<int>& pids);

// The processes whose parent is pid, read from /proc.
std::vector<int> childProcessesOf(int pid);

// Builds one line of about size bytes from English sentences.
std::string longEnglishLine(std::size_t size, std::size_t* sentenceCount = nullptr);

// Sets (or, for a null value, removes) an environment variable for as long
// as it lives, and then gives it back what it had.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace zta::test

#endif
