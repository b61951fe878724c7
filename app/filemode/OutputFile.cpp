#include "app/filemode/OutputFile.h"

#include "app/filemode/InputFile.h"
#include "common/CodePages.h"
#include "common/Codings.h"
#include "common/Conversions.h"
#include "common/Exception.h"

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
                         TPlatformFile* aInput)
    : FPlatform(aPlatform),
      FFullPath(IsStdStreamName(aName) ? aName : aPlatform.Files().FullPath(aName)),
      FCoding(CodingOf(aCoding)) {
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
  if (code != kSuccess) {
    throw TException(Format(u"Cannot create file \"%s\". %s",
                            {FFullPath, SystemErrorText(FPlatform.SystemText(), code)}));
  }
  FBuffer.reserve(kFlushSize + 4096);
  FBuffer.assign(FCoding.Mark, FCoding.MarkSize);
}

void TOutputFile::WriteLine(const Text& aLine) {
  switch (FCoding.FileForm) {
    case TByteForm::bfUtf16Le:
      WriteUnits(aLine);
      FBuffer.append("\r\0\n\0", 4);
      break;
    case TByteForm::bfNone:
      return;
    default:
      AppendEncoded(FPlatform.SystemText(), FCoding.FileForm, aLine.data(), aLine.size(), FBuffer);
      FBuffer += "\r\n";
      break;
  }
  if (FBuffer.size() >= kFlushSize) Flush();
}

void TOutputFile::WriteUnits(const Text& aLine) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  // Units in memory are already low byte first; a very long line is
  // written from where it is rather than copied first.
  const char* units = reinterpret_cast<const char*>(aLine.data());
  if (aLine.size() * 2 >= kFlushSize) {
    Flush();
    Write(units, aLine.size() * 2);
  } else {
    FBuffer.append(units, aLine.size() * 2);
  }
#else
  AppendEncoded(FPlatform.SystemText(), TByteForm::bfUtf16Le, aLine.data(), aLine.size(), FBuffer);
#endif
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
                     const TStringList& aLines) {
  TOutputFile file(aPlatform, aName, aCoding);
  for (const Text& line : aLines) file.WriteLine(line);
  file.Finish();
}

}  // namespace xlate
