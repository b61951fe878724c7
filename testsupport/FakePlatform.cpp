#include "testsupport/FakePlatform.h"

#include <algorithm>

#define ZTA_IMPLEMENTATION
#include "common/Utf8.h"
#include "contract/ZtaContract.h"
#include "platform/CaseFold.h"

namespace xlate {

namespace {

class FakeInput : public TPlatformFile {
 public:
  FakeInput(const FakeReads& aReads, const std::string& aBytes) : FReads(aReads), FBytes(aBytes) {}
  TErrorCode Size(std::uint64_t& vSize) override {
    vSize = FBytes.size();
    return kSuccess;
  }
  TErrorCode Read(char* aBuffer, std::size_t aCount, std::size_t& vRead) override {
    if (FPosition >= FReads.readFailsAfter) return 23;
    vRead = std::min({aCount, FBytes.size() - FPosition, FReads.readChunk});
    FBytes.copy(aBuffer, vRead, FPosition);
    FPosition += vRead;
    return kSuccess;
  }
  TErrorCode Write(const char*, std::size_t, std::size_t&) override { return kAccessDenied; }
  TErrorCode Close() override { return kSuccess; }
  TFileIdentity Identity() override {
    TFileIdentity identity;
    identity.Regular = FRegular;
    return identity;
  }
  void NotRegular() { FRegular = false; }

 private:
  const FakeReads& FReads;
  std::string FBytes;
  std::size_t FPosition = 0;
  bool FRegular = true;
};

// Standard output as a file: every write goes to FakeStandardStreams::stdOut.
class FakeStdOutput : public TPlatformFile {
 public:
  explicit FakeStdOutput(FakeStandardStreams& aStreams) : FStreams(aStreams) {}
  TErrorCode Size(std::uint64_t& vSize) override {
    vSize = 0;
    return kSuccess;
  }
  TErrorCode Read(char*, std::size_t, std::size_t&) override { return kAccessDenied; }
  TErrorCode Write(const char* aBuffer, std::size_t aCount, std::size_t& vWritten) override {
    FStreams.stdOut.append(aBuffer, aCount);
    vWritten = aCount;
    return kSuccess;
  }
  TErrorCode Close() override { return kSuccess; }

 private:
  FakeStandardStreams& FStreams;
};

// Collects what is written and puts it in place on Commit only.
class FakeOutput : public TPlatformFile {
 public:
  FakeOutput(FakeFileSystem& aFiles, Text aName) : FFiles(aFiles), FName(std::move(aName)) {}
  TErrorCode Size(std::uint64_t& vSize) override {
    vSize = FBytes.size();
    return kSuccess;
  }
  TErrorCode Read(char*, std::size_t, std::size_t&) override { return kAccessDenied; }
  TErrorCode Write(const char* aBuffer, std::size_t aCount, std::size_t& vWritten) override {
    if (FFiles.failFileWrites) {
      vWritten = 0;
      return 112;
    }
    FBytes.append(aBuffer, aCount);
    vWritten = aCount;
    return kSuccess;
  }
  TErrorCode Close() override { return Commit(); }
  TErrorCode Commit() override {
    FFiles.files[FName].bytes = FBytes;
    return kSuccess;
  }

 private:
  FakeFileSystem& FFiles;
  Text FName;
  std::string FBytes;
};

}  // namespace

bool FakeProcessContext::EqualIgnoreCase(const Text& aLeft, const Text& aRight) {
  return EqualIgnoringCase(aLeft, aRight);
}

TErrorCode FakeFileSystem::OpenForReading(const Text& aName, TReadShare,
                                          std::unique_ptr<TPlatformFile>& vFile) {
  auto it = files.find(aName);
  if (it == files.end() || it->second.vanishes) return 2;
  if (it->second.locked) return 32;
  if (it->second.unreadable) return 5;
  vFile = std::make_unique<FakeInput>(*this, it->second.bytes);
  return kSuccess;
}

TErrorCode FakeStandardStreams::OpenStdInput(std::unique_ptr<TPlatformFile>& vFile) {
  auto input = std::make_unique<FakeInput>(*stdInReads, stdIn);
  input->NotRegular();
  vFile = std::move(input);
  return kSuccess;
}

TErrorCode FakeStandardStreams::OpenStdOutput(std::unique_ptr<TPlatformFile>& vFile) {
  vFile = std::make_unique<FakeStdOutput>(*this);
  return kSuccess;
}

TErrorCode FakeFileSystem::CreateForWriting(const Text& aName,
                                            std::unique_ptr<TPlatformFile>& vFile) {
  auto it = files.find(aName);
  if (it != files.end() && (it->second.locked || it->second.directory)) {
    return it->second.locked ? 32 : 5;
  }
  if (aName.find(u"missing-folder/") != Text::npos) return 3;
  vFile = std::make_unique<FakeOutput>(*this, aName);
  return kSuccess;
}

std::map<std::string, void*> TestDoubleSymbols() {
  return {
      {"ztaLastErrorCode", reinterpret_cast<void*>(&ztaLastErrorCode)},
      {"ztaErrorText", reinterpret_cast<void*>(&ztaErrorText)},
      {"ztaTranslate", reinterpret_cast<void*>(&ztaTranslate)},
      {"ztaLaguageList", reinterpret_cast<void*>(&ztaLaguageList)},
      {"ztaToPostText", reinterpret_cast<void*>(&ztaToPostText)},
      {"ztaFromPostText", reinterpret_cast<void*>(&ztaFromPostText)},
      {"ztaTranslateBatch", reinterpret_cast<void*>(&ztaTranslateBatch)},
  };
}

Text T(const std::string& aUtf8) { return DecodeUtf8(aUtf8); }
std::string U8(const Text& aText) { return EncodeUtf8(aText); }

}  // namespace xlate
