#include "library/testdouble/DoubleCore.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>
#include <string_view>

#include "library/kit/BatchRecords.h"
#include "library/kit/ErrorState.h"
#include "library/testdouble/Faults.h"

namespace zta_double {

namespace {

constexpr std::uint32_t kTrue = 1;
constexpr std::uint32_t kFalse = 0;
constexpr std::uint32_t kUnknownCode = 13;
constexpr std::uint32_t kNoSuchFault = 14;
constexpr std::uint32_t kBatchLineTooBig = 15;
constexpr std::uint32_t kBatchNoErrorText = 16;
// A line's result inside a batch may grow its buffer up to this.
constexpr std::uint32_t kBatchLineLimit = 1u << 24;

struct TState {
  std::vector<TCall> Calls;
  // The last failure and the texts of the failure codes.
  zta_kit::TErrorState Errors;
  // The codes whose text fails with another code.
  std::map<std::uint32_t, std::uint32_t> ErrorTextFailures;
  std::uint32_t BusyLeft = 0;
  bool BusyActive = false;
  std::uint32_t BatchBusyLeft = 0;
  bool BatchBusyActive = false;
};

TState& S() {
  static TState state;
  return state;
}

void Record(const char* aEntry, std::uint32_t aMaxSize, const std::string& aText) {
  S().Calls.push_back({aEntry, aMaxSize, aText});
  // ZTA_DOUBLE_FAULT makes every call fault.
  if (const char* fault = std::getenv("ZTA_DOUBLE_FAULT")) RaiseFault(fault);
  if (const char* log = std::getenv("ZTA_DOUBLE_LOG")) {
    if (FILE* f = std::fopen(log, "ab")) {
      std::fprintf(f, "%s %u %s\n", aEntry, aMaxSize, aText.c_str());
      std::fclose(f);
    }
  }
}

std::uint32_t Fail(std::uint32_t aCode) {
  S().Errors.Fail(aCode);
  return kFalse;
}

// A failure whose error text is aText.
std::uint32_t Fail(std::uint32_t aCode, const std::string& aText) {
  S().Errors.Fail(aCode, aText);
  return kFalse;
}

// Copies a result with its NUL, or reports code 1 when it does not fit.
std::uint32_t Deliver(const std::string& aResult, char* aDest, std::uint32_t aMaxSize) {
  return S().Errors.Deliver(aResult, aDest, aMaxSize) ? kTrue : kFalse;
}

// Writes "x" over the buffer and 4096 bytes past its end, byte by byte, so
// that the write that leaves the buffer is the library's own.
std::uint32_t Overrun(char* aDest, std::uint32_t aMaxSize) {
  volatile char* dest = aDest;
  for (std::size_t i = 0; i < std::size_t{aMaxSize} + 4096; ++i) dest[i] = 'x';
  return kTrue;
}

// Copies the records, or reports code 1 when they do not fit.
std::uint32_t DeliverRecords(const std::string& aRecords, char* aDest, std::uint32_t aMaxSize) {
  return S().Errors.Deliver(aRecords, aDest, aMaxSize, false) ? kTrue : kFalse;
}

std::string Unescape(const std::string& aText) {
  std::string out;
  for (std::size_t i = 0; i < aText.size(); ++i) {
    if (aText[i] == '\\' && i + 1 < aText.size() && (aText[i + 1] == 'n' || aText[i + 1] == 'r')) {
      out += aText[i + 1] == 'n' ? '\n' : '\r';
      ++i;
    } else {
      out += aText[i];
    }
  }
  return out;
}

bool StartsWith(const std::string& aText, const char* aPrefix) {
  return aText.compare(0, std::strlen(aPrefix), aPrefix) == 0;
}

// The commands that act on the whole process, as a library that ends it or
// changes its current folder would. They return only where they do not end
// the process.
void RunProcessCommand(const std::string& aText) {
  if (StartsWith(aText, "@exit ")) std::exit(std::atoi(aText.c_str() + 6));
  if (StartsWith(aText, "@quickexit ")) std::_Exit(std::atoi(aText.c_str() + 11));
  if (aText == "@abort") std::abort();
  // As a library that runs out of memory and lets the exception out.
  if (aText == "@throw") throw std::bad_alloc();
  if (StartsWith(aText, "@raise ")) std::raise(std::atoi(aText.c_str() + 7));
  if (StartsWith(aText, "@chdir ")) {
    std::error_code ignored;
    std::filesystem::current_path(aText.substr(7), ignored);
  }
}

// Runs a command text; gives the Boolean to return, or -1 when the text is
// not a command and the caller's ordinary result applies.
long long RunCommand(const std::string& aText, char* aDest, std::uint32_t aMaxSize) {
  TState& s = S();
  RunProcessCommand(aText);
  if (StartsWith(aText, "@echo ")) return Deliver(Unescape(aText.substr(6)), aDest, aMaxSize);
  if (StartsWith(aText, "@size ")) {
    std::size_t size = std::strtoull(aText.c_str() + 6, nullptr, 10);
    std::string result(size, 'a');
    for (std::size_t i = 0; i < size; ++i) result[i] = static_cast<char>('a' + i % 26);
    return Deliver(result, aDest, aMaxSize);
  }
  if (StartsWith(aText, "@fail ")) {
    char* end = nullptr;
    auto code = static_cast<std::uint32_t>(std::strtoul(aText.c_str() + 6, &end, 10));
    return Fail(code, (*end == ' ') ? Unescape(end + 1) : "failure " + std::to_string(code));
  }
  if (StartsWith(aText, "@busy ")) {
    if (!s.BusyActive) {
      s.BusyActive = true;
      s.BusyLeft = static_cast<std::uint32_t>(std::strtoul(aText.c_str() + 6, nullptr, 10));
    }
    if (s.BusyLeft > 0) {
      --s.BusyLeft;
      return Fail(zta_kit::kCodeTooSmall);
    }
    s.BusyActive = false;
    return Deliver("busy done", aDest, aMaxSize);
  }
  if (aText == "@errchain") {
    s.ErrorTextFailures[7] = 9;
    s.ErrorTextFailures[9] = 11;
    return Fail(7);
  }
  if (aText == "@bigerror") return Fail(8, std::string(2990, 'e') + " big error");
  if (aText == "@falselow") {
    Fail(7, "low byte false");
    return 0xFFFFFF00u;
  }
  if (aText == "@truehigh") {
    Deliver("high bits true", aDest, aMaxSize);
    return 0xFFFF0001u;
  }
  if (aText == "@nonul") {
    std::memset(aDest, 'x', aMaxSize);
    return kTrue;
  }
  if (aText == "@alwaysbusy") return Fail(zta_kit::kCodeTooSmall);
  if (aText == "@overrun") return Overrun(aDest, aMaxSize);
  if (StartsWith(aText, "@fault ")) {
    RaiseFault(aText.c_str() + 7);
    return Fail(kNoSuchFault);
  }
  return -1;
}

// What ztaErrorText does, without recording the call.
std::uint32_t ErrorTextOf(std::uint32_t aCode, char* aBuffer, std::uint32_t aMaxSize) {
  TState& s = S();
  auto failure = s.ErrorTextFailures.find(aCode);
  if (failure != s.ErrorTextFailures.end()) return Fail(failure->second);
  return s.Errors.CopyText(aCode, aBuffer, aMaxSize, kUnknownCode) ? kTrue : kFalse;
}

// What ztaTranslate does with aText, without recording the call.
std::uint32_t TranslationOf(const char* aLangFrom, const char* aLangTo, const std::string& aText,
                            char* aDest, std::uint32_t aMaxSize) {
  long long command = RunCommand(aText, aDest, aMaxSize);
  if (command >= 0) return static_cast<std::uint32_t>(command);
  const char* mode = std::getenv("ZTA_DOUBLE_MODE");
  if (mode != nullptr && std::strcmp(mode, "echo") == 0) return Deliver(aText, aDest, aMaxSize);
  return Deliver(std::string("[") + aLangFrom + ">" + aLangTo + "] " + aText, aDest, aMaxSize);
}

// Calls aCall(buffer, size) as the program calls an entry point, with
// buffers of 1024, 2048, ... bytes while it reports code 1: true with the
// result up to its NUL (or the buffer's end), or false with the code.
template <typename Call>
bool CallAsTheProgramDoes(const Call& aCall, std::string& vResult, std::uint32_t& vCode) {
  std::vector<char> buffer;
  for (std::uint32_t size = 1024; size <= kBatchLineLimit; size *= 2) {
    buffer.assign(size, '\0');
    if ((aCall(buffer.data(), size) & 0xFF) != 0) {
      const void* nul = std::memchr(buffer.data(), '\0', size);
      vResult.assign(buffer.data(), nul ? static_cast<const char*>(nul) - buffer.data() : size);
      return true;
    }
    vCode = S().Errors.LastCode();
    if (vCode != zta_kit::kCodeTooSmall) return false;
  }
  vCode = kBatchLineTooBig;
  return false;
}

// The record of one line: its translation, or its code and error text, as
// ztaTranslate and ztaErrorText give them. False when the line cannot have
// a record, with the code that fails the batch.
bool BatchRecord(const char* aLangFrom, const char* aLangTo, const std::string& aText,
                 std::string& vRecords, std::uint32_t& vBatchCode) {
  std::string result;
  std::uint32_t code = 0;
  const bool translated = CallAsTheProgramDoes(
      [&](char* aDest, std::uint32_t aSize) {
        return TranslationOf(aLangFrom, aLangTo, aText, aDest, aSize);
      },
      result, code);
  if (!translated) {
    if (code == kBatchLineTooBig) {
      vBatchCode = code;
      return false;
    }
    std::uint32_t textCode = 0;
    if (!CallAsTheProgramDoes(
            [&](char* aBuffer, std::uint32_t aSize) { return ErrorTextOf(code, aBuffer, aSize); },
            result, textCode)) {
      vBatchCode = kBatchNoErrorText;
      return false;
    }
  }
  zta_kit::AppendRecord(translated ? 0 : code, result, vRecords);
  return true;
}

// The code of "CODE [MESSAGE]", whose MESSAGE becomes the code's error text.
std::uint32_t FailureCode(const char* aText) {
  char* end = nullptr;
  auto code = static_cast<std::uint32_t>(std::strtoul(aText, &end, 10));
  Fail(code, (*end == ' ') ? Unescape(end + 1) : "failure " + std::to_string(code));
  return code;
}

bool Begins(const char* aText, const char* aPrefix) {
  return std::strncmp(aText, aPrefix, std::strlen(aPrefix)) == 0;
}

// A batch command in one of the batch's texts: gives the Boolean to return,
// or -1 when the batch goes on. Faults are raised before anything is
// allocated, so that a fault leaves nothing behind.
long long RunBatchCommand(const char* aText, char* aDest, std::uint32_t aMaxSize) {
  TState& s = S();
  if (Begins(aText, "@batchfault ")) {
    RaiseFault(aText + 12);
    return Fail(kNoSuchFault);
  }
  if (Begins(aText, "@fault ")) {
    RaiseFault(aText + 7);
    return Fail(kNoSuchFault);
  }
  if (std::strcmp(aText, "@overrun") == 0) return Overrun(aDest, aMaxSize);
  if (Begins(aText, "@batchfail ")) {
    // What a failed batch leaves in the buffer means nothing: here, zeros,
    // which would read as records of empty texts.
    std::memset(aDest, 0, aMaxSize);
    return Fail(FailureCode(aText + 11));
  }
  if (Begins(aText, "@batchbusy ")) {
    if (!s.BatchBusyActive) {
      s.BatchBusyActive = true;
      s.BatchBusyLeft = static_cast<std::uint32_t>(std::strtoul(aText + 11, nullptr, 10));
    }
    if (s.BatchBusyLeft > 0) {
      --s.BatchBusyLeft;
      return Fail(zta_kit::kCodeTooSmall);
    }
    s.BatchBusyActive = false;
    return -1;
  }
  if (std::strcmp(aText, "@batchnonul") == 0) {
    std::memset(aDest, 'x', aMaxSize);
    return kTrue;
  }
  return -1;
}

void RecordBatch(const char* aLangInit, const char* aLangFrom, const char* aLangTo,
                 std::uint32_t aCount, const char* const* aTexts, std::uint32_t aMaxSize) {
  std::string logged =
      std::string(aLangInit) + "|" + aLangFrom + "|" + aLangTo + "|" + std::to_string(aCount);
  for (std::uint32_t i = 0; i < aCount; ++i) logged += std::string("|") + aTexts[i];
  Record("ztaTranslateBatch", aMaxSize, logged);
}

}  // namespace

const std::vector<TCall>& Calls() { return S().Calls; }

void Reset() { S() = TState(); }

std::uint32_t LastErrorCode() {
  Record("ztaLastErrorCode", 0, "");
  return S().Errors.LastCode();
}

std::uint32_t ErrorText(std::uint32_t aCode, char* aBuffer, std::uint32_t aMaxSize) {
  Record("ztaErrorText", aMaxSize, std::to_string(aCode));
  return ErrorTextOf(aCode, aBuffer, aMaxSize);
}

std::uint32_t Translate(const char* aLangInit, const char* aLangFrom, const char* aLangTo,
                        const char* aText, char* aDest, std::uint32_t aMaxSize) {
  std::string text = aText;
  Record("ztaTranslate", aMaxSize,
         std::string(aLangInit) + "|" + aLangFrom + "|" + aLangTo + "|" + text);
  return TranslationOf(aLangFrom, aLangTo, text, aDest, aMaxSize);
}

std::uint32_t TranslateBatch(const char* aLangInit, const char* aLangFrom, const char* aLangTo,
                             std::uint32_t aCount, const char* const* aTexts, char* aDest,
                             std::uint32_t aMaxSize) {
  RecordBatch(aLangInit, aLangFrom, aLangTo, aCount, aTexts, aMaxSize);
  for (std::uint32_t i = 0; i < aCount; ++i) {
    long long command = RunBatchCommand(aTexts[i], aDest, aMaxSize);
    if (command >= 0) return static_cast<std::uint32_t>(command);
  }
  std::string records;
  std::uint32_t batchCode = 0;
  for (std::uint32_t i = 0; i < aCount; ++i) {
    const char* text = aTexts[i];
    if (std::strcmp(text, "@batchfewer") == 0) return DeliverRecords(records, aDest, aMaxSize);
    if (Begins(text, "@batchpartial ")) {
      const std::uint32_t code = FailureCode(text + 14);
      zta_kit::AppendEndMark(records);
      if (DeliverRecords(records, aDest, aMaxSize) != kTrue) return kFalse;
      return Fail(code);
    }
    if (std::strcmp(text, "@batchnul") == 0) {
      // "A", a NUL, "B" and the literal's NUL as the text, whose NUL follows.
      zta_kit::AppendRecord(0, std::string_view("A\0B\0", 4), records);
    } else if (!BatchRecord(aLangFrom, aLangTo, text, records, batchCode)) {
      return Fail(batchCode);
    }
    if (records.size() > aMaxSize) return Fail(zta_kit::kCodeTooSmall);
  }
  return DeliverRecords(records, aDest, aMaxSize);
}

std::uint32_t LanguageList(const char* aLangInit, char* aDest, std::uint32_t aMaxSize) {
  Record("ztaLaguageList", aMaxSize, aLangInit);
  long long command = RunCommand(aLangInit, aDest, aMaxSize);
  if (command >= 0) return static_cast<std::uint32_t>(command);
  const char* languages = std::getenv("ZTA_DOUBLE_LANGUAGES");
  return Deliver(languages ? languages : "en English\r\nde German\r\nfr French\r\n", aDest,
                 aMaxSize);
}

std::uint32_t ToPostText(const char* aText, char* aDest, std::uint32_t aMaxSize) {
  Record("ztaToPostText", aMaxSize, aText);
  long long command = RunCommand(aText, aDest, aMaxSize);
  if (command >= 0) return static_cast<std::uint32_t>(command);
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char* p = aText; *p; ++p) {
    auto c = static_cast<unsigned char>(*p);
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return Deliver(out, aDest, aMaxSize);
}

std::uint32_t FromPostText(const char* aText, char* aDest, std::uint32_t aMaxSize) {
  Record("ztaFromPostText", aMaxSize, aText);
  long long command = RunCommand(aText, aDest, aMaxSize);
  if (command >= 0) return static_cast<std::uint32_t>(command);
  std::string out;
  for (const char* p = aText; *p; ++p) {
    if (*p == '+') {
      out += ' ';
    } else if (*p == '%' && std::isxdigit(static_cast<unsigned char>(p[1])) &&
               std::isxdigit(static_cast<unsigned char>(p[2]))) {
      out += static_cast<char>(std::strtoul(std::string(p + 1, 2).c_str(), nullptr, 16));
      p += 2;
    } else {
      out += *p;
    }
  }
  return Deliver(out, aDest, aMaxSize);
}

}  // namespace zta_double
