#include "engine/ZtaErrors.h"

#include "contract/ZtaContract.h"

namespace zta {

static_assert(static_cast<uint32_t>(ErrorCode::kBufferTooSmall) == ZTA_CODE_BUFFER_TOO_SMALL,
              "code 1 is fixed by the library contract");

const char* genericErrorText(uint32_t code) {
  switch (static_cast<ErrorCode>(code)) {
    case ErrorCode::kNone:
      return "No error";
    case ErrorCode::kBufferTooSmall:
      return "The destination buffer is too small";
    case ErrorCode::kInvalidArgument:
      return "Invalid argument";
    case ErrorCode::kBadLanguageCode:
      return "Unknown or malformed language code";
    case ErrorCode::kPairNotInstalled:
      return "The language pair is not installed";
    case ErrorCode::kInvalidUtf8:
      return "The text is not valid UTF-8";
    case ErrorCode::kEngineUnavailable:
      return "Apertium is not available";
    case ErrorCode::kEngineStopped:
      return "The Apertium pipeline stopped; it is restarted on the next call";
    case ErrorCode::kEngineTimedOut:
      return "The Apertium pipeline did not answer in time; it was killed and is restarted on "
             "the next call";
    case ErrorCode::kEngineOutOfStep:
      return "The Apertium pipeline answered out of step; it was killed and is restarted on the "
             "next call";
    case ErrorCode::kBadPostText:
      return "The POST text is malformed";
    case ErrorCode::kUnknownErrorCode:
      return "Unknown error code";
    case ErrorCode::kInternal:
      return "Internal failure of the translation library";
    case ErrorCode::kServerRefused:
      return "The translation server answered with an error";
    case ErrorCode::kServerUnreachable:
      return "The translation server cannot be reached";
    case ErrorCode::kServerTimedOut:
      return "The translation server did not answer in time";
    case ErrorCode::kServerBadAnswer:
      return "The translation server's answer is not the expected one";
  }
  return nullptr;
}

}  // namespace zta
