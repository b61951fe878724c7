#pragma once

#include <memory>

#include "app/RunSettings.h"
#include "common/StringList.h"
#include "platform/Platform.h"

namespace xlate {

// Writes OutFile in OutCoding: its byte-order mark, then line after line,
// each followed by CR LF. The bytes are encoded and written as they come,
// the same bytes as joining the lines first. The file takes the place of
// what stood under the name only when Finish has written every byte;
// destroyed before that, it leaves the old file as it was.
class TOutputFile {
 public:
  // Raises "Cannot create file ...". aInput, when given, is the input file
  // open under the same name (translation in place): it stays readable,
  // and its hold on the file lasts until the file is replaced.
  explicit TOutputFile(const TRunSettings& aSettings, TPlatformFile* aInput = nullptr);
  void WriteLine(const Text& aLine);
  // Writes what the lines so far are waiting in; a device or a pipe gets
  // them at once. Raises "Stream write error".
  void Flush();
  // Raises "Stream write error".
  void Finish();

 private:
  TPlatform& FPlatform;
  TCodingType FCoding;
  std::unique_ptr<TPlatformFile> FFile;
  ByteString FBuffer;
};

// Writes the lines into OutFile.
void WriteOutputFile(const TRunSettings& aSettings, const TStringList& aLines);

}  // namespace xlate
