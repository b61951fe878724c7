#include "app/filemode/OutputFile.h"

#include <algorithm>

#include "app/filemode/InputFile.h"
#include "app/filemode/LineBreaks.h"
#include "common/CodePages.h"
#include "common/Codings.h"
#include "common/Conversions.h"
#include "common/Exception.h"
#include "common/Utf8.h"

namespace xlate {

namespace {

constexpr std::size_t kFlushSize = 1 << 20;

// The folder part of a full path.
Text FolderOf(TPlatform& aPlatform, const Text& aFullPath) {
  const std::size_t separator = aFullPath.find_last_of(aPlatform.Files().PathSeparators());
  if (separator == Text::npos) return aFullPath;
  return aFullPath.substr(0, separator == 0 ? 1 : separator);
}

}  // namespace

TOutputFile::TOutputFile(TPlatform& aPlatform, const Text& aName, TCodingType aCoding,
                         TPlatformFile* aInput, TOutputStyle aStyle)
    : FPlatform(aPlatform),
      FFullPath(IsStdStreamName(aName) ? aName : aPlatform.Files().FullPath(aName)),
      FCoding(CodingOf(aCoding)),
      FWritesUtf8(FCoding.FileForm == TByteForm::bfUtf8 ||
                  (FCoding.FileForm == TByteForm::bfAnsi &&
                   CodePageOf(aPlatform.SystemText(), FCoding.FileForm) == kCodePageUtf8)) {
  // A folder cannot take the output's place; said before anything is
  // written (or translated), not when the new file is to replace it.
  if (!IsStdStreamName(aName) && FPlatform.Files().FolderExists(aName)) {
    throw TException(Format(u"Cannot create file \"%s\". It is a folder, not a file", {FFullPath}));
  }
  const TErrorCode code = IsStdStreamName(aName) ? FPlatform.Streams().OpenStdOutput(FFile)
                          : aInput != nullptr
                              ? FPlatform.Files().CreateOverInput(aName, *aInput, FFile)
                              : FPlatform.Files().CreateForWriting(aName, FFile);
  if ((code & kFolderFailure) != 0) {
    // The file could be written, but no new file made beside it.
    throw TException(Format(u"Cannot create file \"%s\" in folder \"%s\". %s",
                            {FFullPath, FolderOf(FPlatform, FFullPath),
                             SystemErrorText(FPlatform.SystemText(), code & ~kFolderFailure)}));
  }
  if (code != kSuccess && IsStdStreamName(aName)) {
    throw TException(Format(u"Cannot open standard output. %s",
                            {SystemErrorText(FPlatform.SystemText(), code)}));
  }
  if (code != kSuccess) {
    throw TException(Format(u"Cannot create file \"%s\". %s",
                            {FFullPath, SystemErrorText(FPlatform.SystemText(), code)}));
  }
  const bool unix = aStyle == TOutputStyle::osUnix;
  if (unix) {
    Append(u"\n", 1, FLineBreak);
  } else {
    Append(u"\r\n", 2, FLineBreak);
  }
  FBuffer.reserve(kFlushSize + 4096);
  if (!unix || FCoding.UnitSize == 2) FBuffer.assign(FCoding.Mark, FCoding.MarkSize);
}

void TOutputFile::WriteLine(const Text& aLine) {
  if (FCoding.UnitSize == 2 && FCoding.ByteOrder == kMachineByteOrder &&
      aLine.size() * 2 >= kFlushSize) {
    // Units in memory are already in the file's order: a very long line is
    // written from where it is rather than copied first.
    Flush();
    Write(reinterpret_cast<const char*>(aLine.data()), aLine.size() * 2);
  } else if (!aLine.empty()) {
    Append(aLine.data(), aLine.size(), FBuffer);
  }
  FBuffer += FLineBreak;
  if (FBuffer.size() >= kFlushSize) Flush();
}

void TOutputFile::WriteUtf8Line(const char* aBytes, std::size_t aCount, bool aOneLine) {
  // Well-formed bytes without a line break decode to one text with none on
  // every system, and encode to the same bytes again: they are written as
  // they are, or decoded straight into the units written or into the text
  // encoded, without a look for line breaks of its own.
  bool written = true;
  if (aCount == 0) {
    // An empty line is its line break alone.
  } else if (WritesUtf8()) {
    if (!aOneLine && !IsUtf8OneLine(aBytes, aCount)) {
      written = false;
    } else if (aCount >= kFlushSize) {
      // A very long line is written from where it is rather than copied.
      Flush();
      Write(aBytes, aCount);
    } else {
      FBuffer.append(aBytes, aCount);
    }
  } else if (aCount >= kFlushSize) {
    written = false;
  } else if (FCoding.UnitSize == 2 && FCoding.ByteOrder == kMachineByteOrder) {
    written = AppendUtf8LineAsUnits(aBytes, aCount, FBuffer);
  } else {
    written = AssignUtf8Line(aBytes, aCount, FDecoded);
    if (written) Append(FDecoded.data(), FDecoded.size(), FBuffer);
  }
  if (written) {
    FBuffer += FLineBreak;
    if (FBuffer.size() >= kFlushSize) Flush();
    return;
  }
  FPlatform.SystemText().AssignMultiByteAsText(kCodePageUtf8, aBytes, aCount, FDecoded);
  FlattenLineBreaks(FDecoded);
  WriteLine(FDecoded);
  // A long line's text is not kept for the rest of the file.
  if (FDecoded.capacity() > kFlushSize / 2) Text().swap(FDecoded);
}

void TOutputFile::WriteEmptyLines(std::size_t aCount) {
  const std::size_t breakSize = FLineBreak.size();
  while (aCount > 0) {
    const std::size_t room = kFlushSize > FBuffer.size() ? kFlushSize - FBuffer.size() : 0;
    const std::size_t now = std::max<std::size_t>(1, std::min(aCount, room / breakSize));
    const std::size_t at = FBuffer.size();
    const std::size_t total = now * breakSize;
    FBuffer.reserve(at + total);
    // One break, then the breaks so far appended after themselves.
    FBuffer += FLineBreak;
    for (std::size_t done = breakSize; done < total;) {
      const std::size_t copy = std::min(done, total - done);
      FBuffer.append(FBuffer, at, copy);
      done += copy;
    }
    aCount -= now;
    if (FBuffer.size() >= kFlushSize) Flush();
  }
}

void TOutputFile::Append(const char16_t* aText, std::size_t aCount, ByteString& vOut) {
  if (FCoding.UnitSize == 2) {
    AppendUnits(aText, aCount, FCoding.ByteOrder, vOut);
  } else {
    AppendEncoded(FPlatform.SystemText(), FCoding.FileForm, aText, aCount, vOut);
  }
}

void TOutputFile::Write(const char* aBytes, std::size_t aCount) {
  std::size_t written = 0;
  if (const TErrorCode code = FFile->Write(aBytes, aCount, written)) WriteFailed(code);
}

void TOutputFile::WriteFailed(TErrorCode aCode) {
  throw TException(Format(u"Stream write error in file \"%s\". %s",
                          {FFullPath, SystemErrorText(FPlatform.SystemText(), aCode)}));
}

void TOutputFile::Flush() {
  if (!FBuffer.empty()) Write(FBuffer.data(), FBuffer.size());
  FBuffer.clear();
  // A very long line grew the buffer; it is not kept for the rest.
  if (FBuffer.capacity() > 4 * kFlushSize) {
    ByteString().swap(FBuffer);
    FBuffer.reserve(kFlushSize + 4096);
  }
}

void TOutputFile::Finish() {
  Flush();
  if (const TErrorCode code = FFile->Commit()) WriteFailed(code);
}

void WriteOutputFile(TPlatform& aPlatform, const Text& aName, TCodingType aCoding,
                     const TStringList& aLines, TOutputStyle aStyle) {
  TOutputFile file(aPlatform, aName, aCoding, nullptr, aStyle);
  for (const Text& line : aLines) file.WriteLine(line);
  file.Finish();
}

}  // namespace xlate
