#include "tests/FakePlatform.h"

#define ZTA_IMPLEMENTATION
#include "common/Utf8.h"
#include "platform/posix/CaseFold.h"
#include "service/ZtaContract.h"

namespace xlate {

namespace {

class FakeFile : public PlatformFile {
 public:
  FakeFile(FakePlatform& aPlatform, FakePlatform::FileEntry& aEntry)
      : FPlatform(aPlatform), FEntry(aEntry) {}
  bool Size(std::uint64_t& vSize) override {
    vSize = FEntry.bytes.size();
    return true;
  }
  bool Read(char* aBuffer, std::size_t aCount, std::size_t& vRead) override {
    vRead = std::min(aCount, FEntry.bytes.size() - FPosition);
    FEntry.bytes.copy(aBuffer, vRead, FPosition);
    FPosition += vRead;
    return true;
  }
  bool Write(const char* aBuffer, std::size_t aCount, std::size_t& vWritten) override {
    if (FPlatform.failFileWrites) {
      vWritten = 0;
      FPlatform.lastError = 112;
      return false;
    }
    FEntry.bytes.append(aBuffer, aCount);
    vWritten = aCount;
    return true;
  }
  bool Close() override { return true; }

 private:
  FakePlatform& FPlatform;
  FakePlatform::FileEntry& FEntry;
  std::size_t FPosition = 0;
};

}  // namespace

bool FakePlatform::EqualIgnoreCase(const Text& aLeft, const Text& aRight) {
  return EqualIgnoringCase(aLeft, aRight);
}

std::unique_ptr<PlatformFile> FakePlatform::OpenForReading(const Text& aName) {
  auto it = files.find(aName);
  if (it == files.end()) {
    lastError = 2;
    return nullptr;
  }
  if (it->second.locked) {
    lastError = 32;
    return nullptr;
  }
  if (it->second.unreadable) {
    lastError = 5;
    return nullptr;
  }
  return std::make_unique<FakeFile>(*this, it->second);
}

std::unique_ptr<PlatformFile> FakePlatform::CreateForWriting(const Text& aName) {
  FileEntry& entry = files[aName];
  if (entry.locked || entry.directory) {
    lastError = entry.locked ? 32 : 5;
    return nullptr;
  }
  entry.bytes.clear();
  return std::make_unique<FakeFile>(*this, entry);
}

std::map<std::string, void*> TestDoubleSymbols() {
  return {
      {"ztaLastErrorCode", reinterpret_cast<void*>(&ztaLastErrorCode)},
      {"ztaErrorText", reinterpret_cast<void*>(&ztaErrorText)},
      {"ztaTranslate", reinterpret_cast<void*>(&ztaTranslate)},
      {"ztaLaguageList", reinterpret_cast<void*>(&ztaLaguageList)},
      {"ztaToPostText", reinterpret_cast<void*>(&ztaToPostText)},
      {"ztaFromPostText", reinterpret_cast<void*>(&ztaFromPostText)},
  };
}

Text T(const std::string& aUtf8) { return DecodeUtf8(aUtf8); }
std::string U8(const Text& aText) { return EncodeUtf8(aText); }

}  // namespace xlate
