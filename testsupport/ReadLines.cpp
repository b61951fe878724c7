#include "testsupport/ReadLines.h"

#include "common/CodePages.h"

namespace xlate {

namespace {

// A file's bytes held in memory, read like a file.
class TBytesFile : public TPlatformFile {
 public:
  explicit TBytesFile(const ByteString& aBytes) : FBytes(aBytes) {}
  TErrorCode Size(std::uint64_t& vSize) override {
    vSize = FBytes.size();
    return kSuccess;
  }
  TErrorCode Read(char* aBuffer, std::size_t aCount, std::size_t& vRead) override {
    vRead = FBytes.copy(aBuffer, aCount, FPosition);
    FPosition += vRead;
    return kSuccess;
  }
  TErrorCode Write(const char*, std::size_t, std::size_t&) override { return kNotOpenForOutput; }
  TErrorCode Close() override { return kSuccess; }

 private:
  const ByteString& FBytes;
  std::size_t FPosition = 0;
};

// Reads every line of the file into the list, as texts.
void ReadAllLines(TPlatform& aPlatform, TLineReader& aReader, TStringList& vLines) {
  TLineBlock block;
  while (aReader.ReadBlock(block)) {
    for (std::size_t i = 0; i < block.Count(); ++i) {
      if (block.InUtf8()) {
        const ByteString bytes = block.Utf8(i);
        vLines.Add(
            aPlatform.SystemText().MultiByteToText(kCodePageUtf8, bytes.data(), bytes.size()));
      } else {
        vLines.Add(block[i]);
      }
    }
  }
}

}  // namespace

std::unique_ptr<TStringList> ReadInputFile(TPlatform& aPlatform, const Text& aName,
                                           TCodingType aCoding) {
  std::unique_ptr<TPlatformFile> file = OpenInputFile(aPlatform, aName);
  auto lines = std::make_unique<TStringList>();
  TLineReader reader(aPlatform, *file, aName, aCoding);
  ReadAllLines(aPlatform, reader, *lines);
  return lines;
}

void DecodeFileBytes(TPlatform& aPlatform, TCodingType aCoding, const ByteString& aBytes,
                     TStringList& vLines, const TFileWindow& aWindow) {
  vLines.Clear();
  TBytesFile file(aBytes);
  TLineReader reader(aPlatform, file, Text(), aCoding, aWindow);
  ReadAllLines(aPlatform, reader, vLines);
}

}  // namespace xlate
