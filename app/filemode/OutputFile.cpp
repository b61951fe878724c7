#include "app/filemode/OutputFile.h"

#include "common/CodePages.h"
#include "common/Conversions.h"
#include "common/Exception.h"
#include "common/SystemError.h"

namespace xlate {

namespace {
constexpr std::size_t kFlushSize = 1 << 20;
}

TOutputFile::TOutputFile(const TRunSettings& aSettings, TPlatformFile* aInput)
    : FPlatform(CurrentPlatform()), FCoding(aSettings.OutCoding) {
  FFile = aInput != nullptr ? FPlatform.CreateOverInput(aSettings.OutFile, *aInput)
                            : FPlatform.CreateForWriting(aSettings.OutFile);
  if (!FFile) {
    Text reason = LastSystemErrorText();
    throw TException(
        Format(u"Cannot create file \"%s\". %s", {FPlatform.FullPath(aSettings.OutFile), reason}));
  }
  FBuffer.reserve(kFlushSize + 4096);
  if (FCoding == ctUNICODE) FBuffer = "\xFF\xFE";
  if (FCoding == ctUTF8) FBuffer = "\xEF\xBB\xBF";
}

void TOutputFile::WriteLine(const Text& aLine) {
  switch (FCoding) {
    case ctUNICODE: {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
      // Units in memory are already low byte first; a very long line is
      // written from where it is rather than copied first.
      const char* units = reinterpret_cast<const char*>(aLine.data());
      if (aLine.size() * 2 >= kFlushSize) {
        Flush();
        std::size_t written = 0;
        if (!FFile->Write(units, aLine.size() * 2, written))
          throw TException(u"Stream write error");
      } else {
        FBuffer.append(units, aLine.size() * 2);
      }
#else
      const std::size_t start = FBuffer.size();
      FBuffer.resize(start + aLine.size() * 2);
      char* o = &FBuffer[start];
      for (char16_t unit : aLine) {
        *o++ = static_cast<char>(unit & 0xFF);
        *o++ = static_cast<char>(unit >> 8);
      }
#endif
      FBuffer.append("\r\0\n\0", 4);
    } break;
    case ctUTF8:
      FPlatform.AppendTextAsMultiByte(kCodePageUtf8, aLine.data(), aLine.size(), FBuffer);
      FBuffer += "\r\n";
      break;
    case ctANSI:
      FPlatform.AppendTextAsMultiByte(FPlatform.AnsiCodePage(), aLine.data(), aLine.size(),
                                      FBuffer);
      FBuffer += "\r\n";
      break;
    case ctOEM:
      FBuffer += AnsiToOem(TextToAnsi(aLine));
      FBuffer += "\r\n";
      break;
    case ctNone:
      return;
  }
  if (FBuffer.size() >= kFlushSize) Flush();
}

void TOutputFile::Flush() {
  std::size_t written = 0;
  if (!FBuffer.empty() && !FFile->Write(FBuffer.data(), FBuffer.size(), written)) {
    throw TException(u"Stream write error");
  }
  FBuffer.clear();
  // A very long line grew the buffer; it is not kept for the rest.
  if (FBuffer.capacity() > 4 * kFlushSize) {
    ByteString().swap(FBuffer);
    FBuffer.reserve(kFlushSize + 4096);
  }
}

void TOutputFile::Finish() {
  Flush();
  if (!FFile->Commit()) throw TException(u"Stream write error");
}

void WriteOutputFile(const TRunSettings& aSettings, const TStringList& aLines) {
  TOutputFile file(aSettings);
  for (const Text& line : aLines) file.WriteLine(line);
  file.Finish();
}

}  // namespace xlate
