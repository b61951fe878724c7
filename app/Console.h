#pragma once

#include <cstddef>
#include <cstdint>

#include "common/Types.h"
#include "platform/Platform.h"

namespace xlate {

// The text for a failed console write's error code.
Text IoErrorMessage(std::uint32_t aCode);

// Standard output as a sequence of lines ending in CR LF (or LF, when
// asked). The bytes pass
// through a 128-byte buffer that is written whenever it is full; on a
// character device it is also written at every line end, otherwise what is
// left goes out at exit. A failed write is raised at the end of its line.
class TConsole {
 public:
  explicit TConsole(TPlatform& aPlatform, bool aLfOnly = false);
  // Writes what is left; a failure then is ignored.
  ~TConsole();
  TConsole(const TConsole&) = delete;
  TConsole& operator=(const TConsole&) = delete;

  void WriteLine(const ByteString& aBytes);
  // The system's own words, in the ANSI code page.
  void WriteTextLine(const Text& aText);
  void FlushAtExit();
  // The error code of the last failed write that a line raised; 0 while
  // none has.
  std::uint32_t FailedCode() const { return FFailedCode; }

 private:
  void Put(const char* aBytes, std::size_t aCount);
  void Flush();

  static constexpr std::size_t kBufferSize = 128;
  TStandardStreams& FStreams;
  TSystemText& FText;
  bool FFlushAtLineEnd;
  bool FKnownType;
  bool FLfOnly;
  char FBuffer[kBufferSize];
  std::size_t FCount = 0;
  std::uint32_t FError = 0;  // the first failed write's code since the last line end
  std::uint32_t FFailedCode = 0;
};

}  // namespace xlate
