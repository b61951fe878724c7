#pragma once

#include <memory>

#include "app/RunSettings.h"
#include "common/StringList.h"
#include "platform/Platform.h"

namespace xlate {

// Reads InFile in InCoding, to its end, and returns its lines. A leading
// byte-order mark of the coding is dropped when it is there. Raises "File
// ... not found", "Cannot open file ..." or "Stream read error".
std::unique_ptr<TStringList> ReadInputFile(const TRunSettings& aSettings);

// Turns a file's bytes, as they are read, into lines in a list, so that the
// whole file is never held as bytes beside its lines.
class TLineSplitter {
 public:
  TLineSplitter(TCodingType aCoding, TStringList& vLines);
  void Feed(const char* aBytes, std::size_t aCount);
  // The end of the file: the last line, with or without its break.
  void Finish();

 private:
  void Take(const char* aBytes, std::size_t aCount, bool aFinal);
  void TakeUnits(const char* aBytes, std::size_t aCount, bool aFinal);
  template <typename Unit, typename Add>
  std::size_t Split(const Unit* aData, std::size_t aCount, bool aFinal, const Add& aAdd);

  TCodingType FCoding;
  TStringList& FLines;
  Platform& FPlatform;
  ByteString FBytes;  // bytes not yet split into lines
  Text FUnits;        // the same for UTF-16
  unsigned char FOddByte = 0;
  bool FHasOddByte = false;
  bool FStarted = false;        // a byte-order mark has been looked for
  bool FEnded = false;          // a NUL ended the text
  std::size_t FSearchFrom = 0;  // what is left holds no line break before this
};

// Reads an open file to its end into the splitter; raises "Stream read
// error" when a read fails.
void ReadLines(PlatformFile& aFile, TLineSplitter& vSplitter);

// Replaces the lines with those of a file's bytes in aCoding.
void DecodeFileBytes(TCodingType aCoding, const ByteString& aBytes, TStringList& vLines);

}  // namespace xlate
