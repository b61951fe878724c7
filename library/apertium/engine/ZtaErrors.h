// Failure codes of the Apertium translation library and their texts.
//
// Code 1 is fixed by the library contract ("the destination is too small");
// the others belong to this library. ztaErrorText gives the text of the most
// recent failure with that code when there was one (it names the details,
// such as the installed pairs), and the generic text below otherwise.
//
//   0  No error
//   1  The destination buffer is too small
//   2  Invalid argument (a null pointer where a text or buffer is needed)
//   3  Unknown or malformed language code
//   4  The language pair is not installed (the text names the installed pairs)
//   5  The text is not valid UTF-8
//   6  Apertium is not available (no modes, program missing, start failed)
//   7  The Apertium pipeline stopped during the request; it is restarted
//   8  The Apertium pipeline did not answer in time; it was killed and is restarted
//   9  The Apertium pipeline answered out of step; it was killed and is restarted
//  10  The POST text is malformed
//  11  Unknown error code (asked ztaErrorText for a code this library never gives)
//  12  Internal failure (out of memory or an unexpected exception)
//  13  The translation server answered with an HTTP error (the text has the
//      status and the server's explanation)
//  14  The translation server cannot be reached (bad address, connection
//      refused or not made in time, connection broken)
//  15  The translation server did not answer in time
//  16  The translation server's answer is not the expected JSON
#ifndef XLATE_LIBRARY_APERTIUM_ZTA_ERRORS_H
#define XLATE_LIBRARY_APERTIUM_ZTA_ERRORS_H

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace zta {

enum class ErrorCode : uint32_t {
  kNone = 0,
  kBufferTooSmall = 1,
  kInvalidArgument = 2,
  kBadLanguageCode = 3,
  kPairNotInstalled = 4,
  kInvalidUtf8 = 5,
  kEngineUnavailable = 6,
  kEngineStopped = 7,
  kEngineTimedOut = 8,
  kEngineOutOfStep = 9,
  kBadPostText = 10,
  kUnknownErrorCode = 11,
  kInternal = 12,
  kServerRefused = 13,
  kServerUnreachable = 14,
  kServerTimedOut = 15,
  kServerBadAnswer = 16,
};

// The generic text of a code, or nullptr when the library has no such code.
const char* genericErrorText(uint32_t code);

// A failure inside the library; caught at the exported functions and turned
// into the last error code and its text.
class ZtaError : public std::runtime_error {
 public:
  ZtaError(ErrorCode code, const std::string& text) : std::runtime_error(text), code_(code) {}
  ErrorCode code() const { return code_; }

 private:
  ErrorCode code_;
};

// A failure for a reason of the server (not reached, connection broken, no
// answer in time, HTTP 5xx or 429): another server with the pair may
// still translate the text.
class ServerFailure : public ZtaError {
 public:
  using ZtaError::ZtaError;
};

// A batch that failed part way: the failure of its first text that failed,
// and the translations of the texts before it, in order, each one whole, so
// that the caller need not translate those again.
class PartialBatchError : public ZtaError {
 public:
  PartialBatchError(const ZtaError& failure, std::vector<std::string> done)
      : ZtaError(failure.code(), failure.what()), done_(std::move(done)) {}
  const std::vector<std::string>& done() const { return done_; }

 private:
  std::vector<std::string> done_;
};

}  // namespace zta

#endif
