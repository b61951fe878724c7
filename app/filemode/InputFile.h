#pragma once

#include <cstdint>
#include <memory>

#include "app/filemode/LineBlock.h"
#include "common/Codings.h"
#include "platform/Platform.h"

namespace xlate {

// Whether a file name stands for standard input or standard output: "-".
bool IsStdStreamName(const Text& aName);

// Opens the file for reading ("-": standard input), shared with other readers or with nobody, for
// as long as the result lives. Raises "File ... not found" or "Cannot open
// file ...".
std::unique_ptr<TPlatformFile> OpenInputFile(TPlatform& aPlatform, const Text& aName,
                                             TReadShare aShare = TReadShare::rsShared);

// Reads an open file in aCoding, to its end, a block of lines at a time, so
// that no more than about a window of the file is held however long it is.
// CR LF, a lone CR and a lone LF end a line, and a leading byte-order mark
// of the coding is dropped when it is there. A line longer than the window
// is held whole. The window may end anywhere, inside a line break or a
// character included: each line is decoded only once it is whole.
// The first NUL ends the text when nothing but NULs follows it (zero bytes
// to the end of the file: padding); text after it is an error, as it is
// most often a file read in the wrong coding, and ignoring it would lose
// it. An odd last byte of a UTF-16 file ends the text as U+FFFD.
class TLineReader {
 public:
  // aName is the file's name as messages show it.
  TLineReader(TPlatform& aPlatform, TPlatformFile& aFile, const Text& aName, TCodingType aCoding,
              const TFileWindow& aWindow = {});
  // Replaces the block's lines with the next ones, in file order; false at
  // the end of the file, with no lines. Raises "Stream read error" with the
  // file's full path and the system's reason, and
  // "File ... holds a NUL character in line ..." for text after a NUL,
  // before it gives the lines that stand before that NUL.
  bool ReadBlock(TLineBlock& vBlock);
  // Where the lines given so far end in the bytes read.
  std::uint64_t BytesUsed() const { return FBytesRead - (FEnd - FStart); }

 private:
  template <typename Unit>
  void SplitLines(const Unit* aData, std::size_t aCount, TLineBlock& vBlock);
  void AddLine(const char* aBytes, std::size_t aCount, TLineBlock& vBlock);
  void AddLine(const char16_t* aUnits, std::size_t aCount, TLineBlock& vBlock);
  bool FillBlock(TLineBlock& vBlock);
  void CheckPadding();
  bool DropMark();
  void Refill();
  std::size_t WindowCapacity() const;
  void Resize(std::size_t aCapacity);

  TPlatformFile& FFile;
  Text FName;
  Text FFullPath;          // taken at the start: the current folder may change
  const TCoding& FCoding;  // its entry in the table of codings
  TByteForm FForm;         // the coding's form in a file
  bool FSwapUnits;         // its two-byte units come in the other order than the machine's
  TByteOrder FByteOrder;   // the order of the file's units: the coding's, or its mark's
  ByteString FMark;        // its byte-order mark, as the buffer holds it
  TSystemText& FText;
  std::uint32_t FCodePage;
  TFileWindow FWindow;
  // The bytes read and not yet given as lines are [FStart, FEnd) of the
  // buffer; the units of a UTF-16 file are kept as read, low byte first.
  std::unique_ptr<char16_t[]> FBuffer;
  std::size_t FCapacity;  // in bytes, even
  std::size_t FStart = 0;
  std::size_t FEnd = 0;
  std::size_t FSearchFrom = 0;  // [FStart, FSearchFrom) holds no line break
  std::uint64_t FBytesRead = 0;
  std::uint64_t FLines = 0;    // lines given so far
  std::uint64_t FNulLine = 0;  // the line of the NUL that ended the text
  bool FAtEnd = false;         // the file has no more bytes
  bool FStarted = false;       // a byte-order mark has been looked for
  bool FEnded = false;         // a NUL ended the text; [FStart, FEnd) is what follows it
  bool FSkipLF = false;        // the last line ended with a CR, and an LF may follow
};

}  // namespace xlate
