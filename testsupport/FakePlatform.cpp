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
  FakeInput(FakePlatform& aPlatform, const std::string& aBytes)
      : FPlatform(aPlatform), FBytes(aBytes) {}
  bool Size(std::uint64_t& vSize) override {
    vSize = FBytes.size();
    return true;
  }
  bool Read(char* aBuffer, std::size_t aCount, std::size_t& vRead) override {
    if (FPosition >= FPlatform.readFailsAfter) {
      FPlatform.lastError = 23;
      return false;
    }
    vRead = std::min({aCount, FBytes.size() - FPosition, FPlatform.readChunk});
    FBytes.copy(aBuffer, vRead, FPosition);
    FPosition += vRead;
    return true;
  }
  bool Write(const char*, std::size_t, std::size_t&) override { return false; }
  bool Close() override { return true; }

 private:
  FakePlatform& FPlatform;
  std::string FBytes;
  std::size_t FPosition = 0;
};

// Collects what is written and puts it in place on Commit only.
class FakeOutput : public TPlatformFile {
 public:
  FakeOutput(FakePlatform& aPlatform, Text aName) : FPlatform(aPlatform), FName(std::move(aName)) {}
  bool Size(std::uint64_t& vSize) override {
    vSize = FBytes.size();
    return true;
  }
  bool Read(char*, std::size_t, std::size_t&) override { return false; }
  bool Write(const char* aBuffer, std::size_t aCount, std::size_t& vWritten) override {
    if (FPlatform.failFileWrites) {
      vWritten = 0;
      FPlatform.lastError = 112;
      return false;
    }
    FBytes.append(aBuffer, aCount);
    vWritten = aCount;
    return true;
  }
  bool Close() override { return Commit(); }
  bool Commit() override {
    FPlatform.files[FName].bytes = FBytes;
    return true;
  }

 private:
  FakePlatform& FPlatform;
  Text FName;
  std::string FBytes;
};

}  // namespace

bool FakePlatform::EqualIgnoreCase(const Text& aLeft, const Text& aRight) {
  return EqualIgnoringCase(aLeft, aRight);
}

std::unique_ptr<TPlatformFile> FakePlatform::OpenForReading(const Text& aName) {
  auto it = files.find(aName);
  if (it == files.end() || it->second.vanishes) {
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
  return std::make_unique<FakeInput>(*this, it->second.bytes);
}

std::unique_ptr<TPlatformFile> FakePlatform::CreateForWriting(const Text& aName) {
  auto it = files.find(aName);
  if (it != files.end() && (it->second.locked || it->second.directory)) {
    lastError = it->second.locked ? 32 : 5;
    return nullptr;
  }
  if (aName.find(u"missing-folder/") != Text::npos) {
    lastError = 3;
    return nullptr;
  }
  return std::make_unique<FakeOutput>(*this, aName);
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
