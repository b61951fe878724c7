#include "testsupport/FakePlatform.h"

#include <algorithm>

#define ZTA_IMPLEMENTATION
#include "common/Utf8.h"
#include "contract/ZtaContract.h"
#include "platform/CaseFold.h"

namespace xlate {

namespace {

class TFakeInput : public TPlatformFile {
 public:
  TFakeInput(const TFakeReads& aReads, const std::string& aBytes)
      : FReads(aReads), FBytes(aBytes) {}
  TErrorCode Size(std::uint64_t& vSize) override {
    vSize = FBytes.size();
    return kSuccess;
  }
  TErrorCode Read(char* aBuffer, std::size_t aCount, std::size_t& vRead) override {
    if (FPosition >= FReads.ReadFailsAfter) return 23;
    vRead = std::min({aCount, FBytes.size() - FPosition, FReads.ReadChunk});
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
  const TFakeReads& FReads;
  std::string FBytes;
  std::size_t FPosition = 0;
  bool FRegular = true;
};

// Standard output as a file: every write goes to FakeStandardStreams::stdOut.
class TFakeStdOutput : public TPlatformFile {
 public:
  explicit TFakeStdOutput(TFakeStandardStreams& aStreams) : FStreams(aStreams) {}
  TErrorCode Size(std::uint64_t& vSize) override {
    vSize = 0;
    return kSuccess;
  }
  TErrorCode Read(char*, std::size_t, std::size_t&) override { return kAccessDenied; }
  TErrorCode Write(const char* aBuffer, std::size_t aCount, std::size_t& vWritten) override {
    FStreams.StdOut.append(aBuffer, aCount);
    vWritten = aCount;
    return kSuccess;
  }
  TErrorCode Close() override { return kSuccess; }

 private:
  TFakeStandardStreams& FStreams;
};

// Collects what is written and puts it in place on Commit only.
class TFakeOutput : public TPlatformFile {
 public:
  TFakeOutput(TFakeFileSystem& aFiles, Text aName, bool aTerminal)
      : FFiles(aFiles), FName(std::move(aName)), FTerminal(aTerminal) {}
  TErrorCode Size(std::uint64_t& vSize) override {
    vSize = FBytes.size();
    return kSuccess;
  }
  TErrorCode Read(char*, std::size_t, std::size_t&) override { return kAccessDenied; }
  TErrorCode Write(const char* aBuffer, std::size_t aCount, std::size_t& vWritten) override {
    if (FFiles.FailFileWrites) {
      vWritten = 0;
      return 112;
    }
    FBytes.append(aBuffer, aCount);
    vWritten = aCount;
    return kSuccess;
  }
  TErrorCode Close() override { return Commit(); }
  TErrorCode Commit() override {
    FFiles.Entries[FName].Bytes = FBytes;
    return kSuccess;
  }
  TFileIdentity Identity() override {
    TFileIdentity identity;
    identity.Terminal = FTerminal;
    return identity;
  }

 private:
  TFakeFileSystem& FFiles;
  Text FName;
  bool FTerminal;
  std::string FBytes;
};

}  // namespace

bool TFakeProcessContext::EqualIgnoreCase(const Text& aLeft, const Text& aRight) {
  return EqualIgnoringCase(aLeft, aRight);
}

TErrorCode TFakeFileSystem::OpenForReading(const Text& aName, TReadShare,
                                           std::unique_ptr<TPlatformFile>& vFile) {
  auto it = Entries.find(aName);
  if (it == Entries.end() || it->second.Vanishes) return 2;
  if (it->second.Locked) return 32;
  if (it->second.Unreadable) return 5;
  vFile = std::make_unique<TFakeInput>(*this, it->second.Bytes);
  return kSuccess;
}

TErrorCode TFakeStandardStreams::OpenStdInput(std::unique_ptr<TPlatformFile>& vFile) {
  auto input = std::make_unique<TFakeInput>(*StdInReads, StdIn);
  input->NotRegular();
  vFile = std::move(input);
  return kSuccess;
}

TErrorCode TFakeStandardStreams::OpenStdOutput(std::unique_ptr<TPlatformFile>& vFile) {
  vFile = std::make_unique<TFakeStdOutput>(*this);
  return kSuccess;
}

TErrorCode TFakeFileSystem::CreateForWriting(const Text& aName,
                                             std::unique_ptr<TPlatformFile>& vFile) {
  auto it = Entries.find(aName);
  if (it != Entries.end() && (it->second.Locked || it->second.Directory)) {
    return it->second.Locked ? 32 : 5;
  }
  if (aName.find(u"missing-folder/") != Text::npos) return 3;
  vFile = std::make_unique<TFakeOutput>(*this, aName, it != Entries.end() && it->second.Terminal);
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
