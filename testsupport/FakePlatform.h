#pragma once

// An in-memory platform for tests, in the platform's parts: code pages,
// command line, standard output and files are plain fields, the "library"
// is a table of function pointers (usually the test double linked into the
// test), and a fake call guard stands in for the process's fault handlers
// and floating-point unit where a test asks for it.

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/CodePages.h"
#include "platform/Platform.h"

namespace xlate {

// The library: a table of the entry points it exports.
class FakeLibraryLoader : public TLibraryLoader {
 public:
  Text libraryName = u"libjxZTAccess.so";
  bool libraryPresent = true;
  std::map<std::string, void*> symbols;  // the entry points the library exports
  bool freeFails = false;
  int loadedLibraries = 0;  // loaded and not yet freed

  TErrorCode LoadLibrary(const Text& aFileName, LibraryHandle& vLibrary) override {
    if (!libraryPresent || aFileName != libraryName) return 126;
    ++loadedLibraries;
    vLibrary = 0x1000;
    return kSuccess;
  }
  TErrorCode GetProcAddress(LibraryHandle, const ByteString& aName, void*& vAddress) override {
    auto it = symbols.find(aName);
    if (it == symbols.end()) return 127;
    vAddress = it->second;
    return kSuccess;
  }
  TErrorCode FreeLibrary(LibraryHandle) override {
    if (freeFails) return 1234;
    --loadedLibraries;
    return kSuccess;
  }
  Text LibraryFileName() override { return libraryName; }
  Text LibraryPath(LibraryHandle) override { return u"/opt/tools/" + libraryName; }
};

class FakeProcessContext : public TProcessContext {
 public:
  std::vector<Text> parameters;
  Text programPath = u"/opt/tools/xlate";
  std::map<Text, Text> environment;

  std::vector<Text> CommandLineParameters() override { return parameters; }
  Text ProgramPath() override { return programPath; }
  Text EnvironmentValue(const Text& aName) override {
    auto it = environment.find(aName);
    return it == environment.end() ? Text() : it->second;
  }
  bool EqualIgnoreCase(const Text& aLeft, const Text& aRight) override;
};

// How reads from a fake file go: in pieces of at most readChunk bytes, and
// failing once readFailsAfter bytes are read.
struct FakeReads {
  std::size_t readFailsAfter = SIZE_MAX;
  std::size_t readChunk = SIZE_MAX;
};

class FakeFileSystem : public TFileSystem, public FakeReads {
 public:
  struct FileEntry {
    std::string bytes;
    bool directory = false;
    bool locked = false;  // another process holds it open
    bool unreadable = false;
    bool vanishes = false;  // removed between the existence test and the open
  };
  std::map<Text, FileEntry> files;
  bool failFileWrites = false;  // writes into files fail with 112 (disk full)
  Text separators = u"/";

  bool FileExists(const Text& aName) override {
    auto it = files.find(aName);
    return it != files.end() && !it->second.directory;
  }
  TErrorCode OpenForReading(const Text& aName, TReadShare aShare,
                            std::unique_ptr<TPlatformFile>& vFile) override;
  TErrorCode CreateForWriting(const Text& aName, std::unique_ptr<TPlatformFile>& vFile) override;
  // An input here reads a copy of the file, so it holds nothing to share.
  TErrorCode CreateOverInput(const Text& aName, TPlatformFile&,
                             std::unique_ptr<TPlatformFile>& vFile) override {
    return CreateForWriting(aName, vFile);
  }
  bool SameFile(const Text& aLeft, const Text& aRight) override {
    // Like Windows, a trailing dot does not count.
    auto strip = [](Text aName) {
      while (!aName.empty() && aName.back() == u'.') aName.pop_back();
      return aName;
    };
    return FileExists(aLeft) && strip(aLeft) == strip(aRight);
  }
  Text FullPath(const Text& aName) override {
    return !aName.empty() && aName[0] == u'/' ? aName : u"/work/" + aName;
  }
  Text PathSeparators() override { return separators; }
};

class FakeStandardStreams : public TStandardStreams {
 public:
  THandleType outputType = THandleType::htPipe;
  std::string stdOut;
  std::string stdErr;
  std::vector<std::size_t> writeSizes;  // the size of each write to standard output
  std::uint32_t failWritesWith = 0;     // every standard-output write fails with this
  std::size_t writesBeforeFailure = 0;  // ... after this many succeeded
  std::size_t failuresLeft = SIZE_MAX;  // ... as many times as this
  bool stdErrIsTerminal = false;
  std::string stdIn;  // what standard input holds
  // How standard input is read (FakePlatform shares its files' settings).
  const FakeReads* stdInReads = &FOwnReads;

  THandleType StdOutputType() override { return outputType; }
  TErrorCode WriteStd(TStdStream aStream, const char* aBytes, std::size_t aCount) override {
    if (aStream == TStdStream::ssError) {
      stdErr.append(aBytes, aCount);
      return 0;
    }
    if (failWritesWith != 0 && writesBeforeFailure == 0 && failuresLeft > 0) {
      --failuresLeft;
      return failWritesWith;
    }
    if (writesBeforeFailure > 0) --writesBeforeFailure;
    writeSizes.push_back(aCount);
    stdOut.append(aBytes, aCount);
    return 0;
  }
  bool IsTerminal(TStdStream aStream) override {
    return aStream == TStdStream::ssError && stdErrIsTerminal;
  }
  TErrorCode OpenStdInput(std::unique_ptr<TPlatformFile>& vFile) override;
  TErrorCode OpenStdOutput(std::unique_ptr<TPlatformFile>& vFile) override;

 private:
  FakeReads FOwnReads;
};

// Code pages by number, converted with the program's own tables.
class FakeSystemText : public TSystemText {
 public:
  std::uint32_t ansi = 1252;
  std::uint32_t oem = 850;
  std::map<std::uint32_t, Text> errorMessages = {
      {2, u"The system cannot find the file specified.\r\n"},
      {3, u"The system cannot find the path specified.\r\n"},
      {5, u"Access is denied.\r\n"},
      {23, u"Data error (cyclic redundancy check).\r\n"},
      {112, u"There is not enough space on the disk.\r\n"},
      {32, u"The process cannot access the file because it is being used by another process.\r\n"},
      {126, u"The specified module could not be found.\r\n"},
      {127, u"The specified procedure could not be found.\r\n"},
      {1234, u"Unloading failed.\r\n"},
  };

  Text SystemErrorMessage(TErrorCode aCode) override {
    auto it = errorMessages.find(aCode);
    return it == errorMessages.end() ? Text() : it->second;
  }
  std::uint32_t AnsiCodePage() override { return ansi; }
  std::uint32_t OemCodePage() override { return oem; }
  Text MultiByteToText(std::uint32_t aCodePage, const char* aBytes, std::size_t aCount) override {
    return CodePageToText(aCodePage, aBytes, aCount);
  }
  void AppendTextAsMultiByte(std::uint32_t aCodePage, const char16_t* aText, std::size_t aCount,
                             ByteString& vOut) override {
    AppendTextInCodePage(aCodePage, aText, aCount, vOut);
  }
  ByteString CharToOem(const ByteString& aBytes) override {
    return ConvertBytes(ansi, oem, aBytes);
  }
  ByteString OemToChar(const ByteString& aBytes) override {
    return ConvertBytes(oem, ansi, aBytes);
  }
};

// A call guard that runs each call as it is, unguarded, and keeps the
// floating-point settings as they are; it tells which calls ran inside a
// run, and a test may have a call report a fault instead of running.
class FakeCallGuard : public TLibraryCallGuard {
 public:
  int installs = 0;
  int runDepth = 0;                    // runs begun and not yet ended
  std::size_t callsInRuns = 0;         // guarded calls made inside a run
  std::size_t callsOutsideRuns = 0;    // ... and outside any
  std::size_t faultAtCall = SIZE_MAX;  // this call (0 the first) reports fault
  TFaultInfo fault;

  void Install() override { ++installs; }
  bool RunGuarded(void (*aCall)(void*), void* aContext, TFaultInfo& vFault) override {
    const std::size_t call = callsInRuns + callsOutsideRuns;
    ++(runDepth > 0 ? callsInRuns : callsOutsideRuns);
    if (call == faultAtCall) {
      vFault = fault;
      return false;
    }
    aCall(aContext);
    return true;
  }
  void BeginCallRun() override { ++runDepth; }
  void EndCallRun() override { --runDepth; }
};

// The whole platform in memory: every part a fake whose fields a test sets
// and reads (platform.files, platform.stdOut, ...), and the process's own
// call guard, so that faults in the test double are contained as in the
// program. A test replaces any part by pointing its field here at another
// object (callGuard = &fakeGuard).
class FakePlatform : public TPlatform,
                     public FakeLibraryLoader,
                     public FakeProcessContext,
                     public FakeStandardStreams,
                     public FakeFileSystem,
                     public FakeSystemText {
 public:
  FakePlatform() { stdInReads = this; }
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  TLibraryLoader* libraries = this;
  TProcessContext* process = this;
  TStandardStreams* streams = this;
  TFileSystem* fileSystem = this;
  TSystemText* systemText = this;
  TLibraryCallGuard* callGuard = &ProcessCallGuard();

  TLibraryLoader& Libraries() override { return *libraries; }
  TProcessContext& Process() override { return *process; }
  TStandardStreams& Streams() override { return *streams; }
  TFileSystem& Files() override { return *fileSystem; }
  TSystemText& SystemText() override { return *systemText; }
  TLibraryCallGuard& CallGuard() override { return *callGuard; }
};

// The test double's entry points (the six and ztaTranslateBatch), for
// FakePlatform::symbols.
std::map<std::string, void*> TestDoubleSymbols();

// UTF-16 text from UTF-8, to write expectations readably.
Text T(const std::string& aUtf8);
std::string U8(const Text& aText);

}  // namespace xlate
