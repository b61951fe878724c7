#pragma once

#include <cstddef>
#include <memory>

#include "common/ErrorCodes.h"
#include "platform/FileSystem.h"

namespace xlate {

// The type of the standard output handle, as far as the console writer
// cares: a character device flushes at every line end.
enum class THandleType { htCharDevice, htFile, htPipe, htUnknown };

enum class TStdStream { ssOutput, ssError };

// The process's standard input, output and error: the console.
class TStandardStreams {
 public:
  virtual ~TStandardStreams() = default;
  // A write returns kSuccess or the failure's code; a missing handle, or
  // one of a type the platform cannot tell, fails with kNotOpenForOutput.
  virtual THandleType StdOutputType() = 0;
  virtual TErrorCode WriteStd(TStdStream aStream, const char* aBytes, std::size_t aCount) = 0;
  virtual bool IsTerminal(TStdStream aStream) = 0;
  // The stream was closed when the process started. Its handle then stands
  // on the null device, so that no file opened later takes its place, and
  // writing to it fails with kNotOpenForOutput.
  virtual bool WasClosed(TStdStream aStream) {
    (void)aStream;
    return false;
  }
  // Standard input and standard output as files, read and written through
  // a handle of their own, so that closing them leaves the process's own
  // handles open. Fails where the process has no such handle.
  virtual TErrorCode OpenStdInput(std::unique_ptr<TPlatformFile>& vFile) = 0;
  virtual TErrorCode OpenStdOutput(std::unique_ptr<TPlatformFile>& vFile) = 0;
};

}  // namespace xlate
