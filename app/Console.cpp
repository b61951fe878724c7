#include "app/Console.h"

#include <cstring>

#include "common/Conversions.h"
#include "common/ErrorCodes.h"
#include "common/Exception.h"

namespace xlate {

Text IoErrorMessage(std::uint32_t aCode) {
  switch (aCode) {
    case kFileNotFound:
      return u"The specified file was not found";
    case kPathNotFound:
      return u"The specified path was not found";
    case kTooManyOpenFiles:
      return u"Too many open files";
    case kAccessDenied:
      return u"File access denied";
    case kReadBeyondEnd:
      return u"Read beyond end of file";
    case kDiskFull:
      return u"Disk full";
    case kInvalidNumericInput:
      return u"Invalid numeric input";
    default:
      return Format(u"I/O error %d", {aCode});
  }
}

TConsole::TConsole(TPlatform& aPlatform, bool aLfOnly)
    : FStreams(aPlatform.Streams()), FText(aPlatform.SystemText()), FLfOnly(aLfOnly) {
  THandleType type = FStreams.StdOutputType();
  FFlushAtLineEnd = type == THandleType::htCharDevice;
  FKnownType = type != THandleType::htUnknown;
}

TConsole::~TConsole() { FlushAtExit(); }

void TConsole::FlushAtExit() {
  Flush();
  FError = 0;
}

void TConsole::Flush() {
  if (FCount == 0) return;
  std::uint32_t code =
      FKnownType ? FStreams.WriteStd(TStdStream::ssOutput, FBuffer, FCount) : kNotOpenForOutput;
  FCount = 0;  // what failed to go out is dropped, as it would be by the device
  if (code != 0 && FError == 0) FError = code;
}

void TConsole::Put(const char* aBytes, std::size_t aCount) {
  while (aCount > 0) {
    std::size_t room = kBufferSize - FCount;
    std::size_t part = aCount < room ? aCount : room;
    std::memcpy(FBuffer + FCount, aBytes, part);
    FCount += part;
    aBytes += part;
    aCount -= part;
    if (FCount == kBufferSize) Flush();
  }
}

void TConsole::WriteLine(const ByteString& aBytes) {
  Put(aBytes.data(), aBytes.size());
  if (FLfOnly) {
    Put("\n", 1);
  } else {
    Put("\r\n", 2);
  }
  if (FFlushAtLineEnd) Flush();
  // Without a usable handle every line fails at once, not only at exit.
  if (!FKnownType) {
    FCount = 0;
    if (FError == 0) FError = kNotOpenForOutput;
  }
  if (FError != 0) {
    std::uint32_t code = FError;
    FError = 0;
    FFailedCode = code;
    throw TException(IoErrorMessage(code));
  }
}

void TConsole::WriteTextLine(const Text& aText) { WriteLine(TextToAnsi(FText, aText)); }

}  // namespace xlate
