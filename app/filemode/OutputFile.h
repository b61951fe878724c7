#pragma once

#include <memory>

#include "common/Codings.h"
#include "common/StringList.h"
#include "platform/Platform.h"

namespace xlate {

// How an output's lines end and how it starts: osClassic ends each line
// with CR LF and starts with the byte-order mark of every coding that has
// one; osUnix ends each with LF, and only a two-byte coding starts with its
// mark, as a reader of UTF-16 needs it and no Unix tool wants one in UTF-8.
enum class TOutputStyle { osClassic, osUnix };

// Writes a file in a coding: its byte-order mark, then line after line,
// each followed by CR LF. The bytes are encoded and written as they come,
// the same bytes as joining the lines first. The file takes the place of
// what stood under the name only when Finish has written every byte;
// destroyed before that, it leaves the old file as it was.
class TOutputFile {
 public:
  // Raises "Cannot create file ...", naming the folder as well where making
  // a new file in it failed. aInput, when given, is the input file
  // open under the same name (translation in place): it stays readable,
  // and its hold on the file lasts until the file is replaced.
  TOutputFile(TPlatform& aPlatform, const Text& aName, TCodingType aCoding,
              TPlatformFile* aInput = nullptr, TOutputStyle aStyle = TOutputStyle::osClassic);
  void WriteLine(const Text& aLine);
  // Writes a line given as UTF-8 bytes, its line breaks flattened to
  // spaces: the same bytes as decoding it and writing the text, without
  // either where the bytes can go as they are, and decoded in one pass
  // with the look for line breaks where they cannot.
  // aOneLine tells that the bytes are known to be well-formed and without
  // a line break, as the bytes of a line read from a file are.
  void WriteUtf8Line(const char* aBytes, std::size_t aCount, bool aOneLine = false);
  // Writes aCount empty lines: their line breaks, in one go.
  void WriteEmptyLines(std::size_t aCount);
  // Whether WriteUtf8Line writes lines as they are, the file being UTF-8.
  bool WritesUtf8() const { return FWritesUtf8; }
  // Writes what the lines so far are waiting in; a device or a pipe gets
  // them at once. Raises "Stream write error" with the file's full path and
  // the system's reason.
  void Flush();
  // Raises "Stream write error" as Flush does.
  void Finish();
  // The file that the lines go to as they are written (see TPlatformFile).
  TFileIdentity Identity() { return FFile->Identity(); }

 private:
  // Text in the file's coding, appended to vOut.
  void Append(const char16_t* aText, std::size_t aCount, ByteString& vOut);
  void Write(const char* aBytes, std::size_t aCount);
  [[noreturn]] void WriteFailed(TErrorCode aCode);

  TPlatform& FPlatform;
  Text FFullPath;          // taken at the start: the current folder may change
  const TCoding& FCoding;  // its entry in the table of codings
  std::unique_ptr<TPlatformFile> FFile;
  ByteString FBuffer;
  ByteString FLineBreak;  // CR LF, or LF, in the file's coding
  Text FDecoded;          // a line given as UTF-8 that is decoded first
  // The file's bytes are UTF-8: in its coding, or in an ANSI code page that
  // is UTF-8.
  bool FWritesUtf8;
};

// Writes the lines into the file aName in aCoding.
void WriteOutputFile(TPlatform& aPlatform, const Text& aName, TCodingType aCoding,
                     const TStringList& aLines, TOutputStyle aStyle = TOutputStyle::osClassic);

}  // namespace xlate
