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
class TFakeLibraryLoader : public TLibraryLoader {
 public:
  Text LibraryName = u"libjxZTAccess.so";
  bool LibraryPresent = true;
  std::map<std::string, void*> Symbols;  // the entry points the library exports
  bool FreeFails = false;
  int LoadedLibraries = 0;  // loaded and not yet freed

  TErrorCode LoadLibrary(const Text& aFileName, LibraryHandle& vLibrary) override {
    if (!LibraryPresent || aFileName != LibraryName) return 126;
    ++LoadedLibraries;
    vLibrary = 0x1000;
    return kSuccess;
  }
  TErrorCode GetProcAddress(LibraryHandle, const ByteString& aName, void*& vAddress) override {
    auto it = Symbols.find(aName);
    if (it == Symbols.end()) return 127;
    vAddress = it->second;
    return kSuccess;
  }
  TErrorCode FreeLibrary(LibraryHandle) override {
    if (FreeFails) return 1234;
    --LoadedLibraries;
    return kSuccess;
  }
  Text LibraryFileName() override { return LibraryName; }
  Text LibraryPath(LibraryHandle) override { return u"/opt/tools/" + LibraryName; }
};

class TFakeProcessContext : public TProcessContext {
 public:
  std::vector<Text> Parameters;
  Text ProgramFile = u"/opt/tools/xlate";
  std::map<Text, Text> Environment;

  std::vector<Text> CommandLineParameters() override { return Parameters; }
  Text ProgramPath() override { return ProgramFile; }
  Text EnvironmentValue(const Text& aName) override {
    auto it = Environment.find(aName);
    return it == Environment.end() ? Text() : it->second;
  }
  bool EqualIgnoreCase(const Text& aLeft, const Text& aRight) override;
};

// How reads from a fake file go: in pieces of at most readChunk bytes, and
// failing once readFailsAfter bytes are read.
struct TFakeReads {
  std::size_t ReadFailsAfter = SIZE_MAX;
  std::size_t ReadChunk = SIZE_MAX;
};

class TFakeFileSystem : public TFileSystem, public TFakeReads {
 public:
  struct TFileEntry {
    std::string Bytes;
    bool Directory = false;
    bool Locked = false;  // another process holds it open
    bool Unreadable = false;
    bool Vanishes = false;  // removed between the existence test and the open
    bool Terminal = false;  // a terminal, written directly
  };
  std::map<Text, TFileEntry> Entries;
  bool FailFileWrites = false;  // writes into files fail with 112 (disk full)
  Text Separators = u"/";

  bool FileExists(const Text& aName) override {
    auto it = Entries.find(aName);
    return it != Entries.end() && !it->second.Directory;
  }
  bool FolderExists(const Text& aName) override {
    Text name = aName;
    while (name.size() > 1 && name.back() == u'/') name.pop_back();
    auto it = Entries.find(name);
    return name == u"/" || (it != Entries.end() && it->second.Directory);
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
  Text PathSeparators() override { return Separators; }
};

class TFakeStandardStreams : public TStandardStreams {
 public:
  THandleType OutputType = THandleType::htPipe;
  std::string StdOut;
  std::string StdErr;
  std::vector<std::size_t> WriteSizes;  // the size of each write to standard output
  std::uint32_t FailWritesWith = 0;     // every standard-output write fails with this
  std::size_t WritesBeforeFailure = 0;  // ... after this many succeeded
  std::size_t FailuresLeft = SIZE_MAX;  // ... as many times as this
  bool StdErrIsTerminal = false;
  std::string StdIn;  // what standard input holds
  // How standard input is read (FakePlatform shares its files' settings).
  const TFakeReads* StdInReads = &FOwnReads;

  THandleType StdOutputType() override { return OutputType; }
  TErrorCode WriteStd(TStdStream aStream, const char* aBytes, std::size_t aCount) override {
    if (aStream == TStdStream::ssError) {
      StdErr.append(aBytes, aCount);
      return 0;
    }
    if (FailWritesWith != 0 && WritesBeforeFailure == 0 && FailuresLeft > 0) {
      --FailuresLeft;
      return FailWritesWith;
    }
    if (WritesBeforeFailure > 0) --WritesBeforeFailure;
    WriteSizes.push_back(aCount);
    StdOut.append(aBytes, aCount);
    return 0;
  }
  bool IsTerminal(TStdStream aStream) override {
    return aStream == TStdStream::ssError && StdErrIsTerminal;
  }
  TErrorCode OpenStdInput(std::unique_ptr<TPlatformFile>& vFile) override;
  TErrorCode OpenStdOutput(std::unique_ptr<TPlatformFile>& vFile) override;

 private:
  TFakeReads FOwnReads;
};

// Code pages by number, converted with the program's own tables.
class TFakeSystemText : public TSystemText {
 public:
  std::uint32_t Ansi = 1252;
  std::uint32_t Oem = 850;
  std::map<std::uint32_t, Text> ErrorMessages = {
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
    auto it = ErrorMessages.find(aCode);
    return it == ErrorMessages.end() ? Text() : it->second;
  }
  std::uint32_t AnsiCodePage() override { return Ansi; }
  std::uint32_t OemCodePage() override { return Oem; }
  Text MultiByteToText(std::uint32_t aCodePage, const char* aBytes, std::size_t aCount) override {
    return CodePageToText(aCodePage, aBytes, aCount);
  }
  void AppendTextAsMultiByte(std::uint32_t aCodePage, const char16_t* aText, std::size_t aCount,
                             ByteString& vOut) override {
    AppendTextInCodePage(aCodePage, aText, aCount, vOut);
  }
  ByteString CharToOem(const ByteString& aBytes) override {
    return ConvertBytes(Ansi, Oem, aBytes);
  }
  ByteString OemToChar(const ByteString& aBytes) override {
    return ConvertBytes(Oem, Ansi, aBytes);
  }
};

// A call guard that runs each call as it is, unguarded, and keeps the
// floating-point settings as they are; it tells which calls ran inside a
// run, and a test may have a call report a fault instead of running.
class TFakeCallGuard : public TLibraryCallGuard {
 public:
  int Installs = 0;
  int RunDepth = 0;                    // runs begun and not yet ended
  std::size_t CallsInRuns = 0;         // guarded calls made inside a run
  std::size_t CallsOutsideRuns = 0;    // ... and outside any
  std::size_t FaultAtCall = SIZE_MAX;  // this call (0 the first) reports fault
  TFaultInfo Fault;

  void Install() override { ++Installs; }
  bool RunGuarded(void (*aCall)(void*), void* aContext, TFaultInfo& vFault) override {
    const std::size_t call = CallsInRuns + CallsOutsideRuns;
    ++(RunDepth > 0 ? CallsInRuns : CallsOutsideRuns);
    if (call == FaultAtCall) {
      vFault = Fault;
      return false;
    }
    aCall(aContext);
    return true;
  }
  void BeginCallRun() override { ++RunDepth; }
  void EndCallRun() override { --RunDepth; }
};

// The whole platform in memory: every part a fake whose fields a test sets
// and reads (platform.files, platform.stdOut, ...), and the process's own
// call guard, so that faults in the test double are contained as in the
// program. A test replaces any part by pointing its field here at another
// object (callGuard = &fakeGuard).
class TFakePlatform : public TPlatform,
                      public TFakeLibraryLoader,
                      public TFakeProcessContext,
                      public TFakeStandardStreams,
                      public TFakeFileSystem,
                      public TFakeSystemText {
 public:
  TFakePlatform() { StdInReads = this; }
  TFakePlatform(const TFakePlatform&) = delete;
  TFakePlatform& operator=(const TFakePlatform&) = delete;

  TLibraryLoader* LibrariesPart = this;
  TProcessContext* ProcessPart = this;
  TStandardStreams* StreamsPart = this;
  TFileSystem* FileSystemPart = this;
  TSystemText* SystemTextPart = this;
  TLibraryCallGuard* CallGuardPart = &ProcessCallGuard();

  TLibraryLoader& Libraries() override { return *LibrariesPart; }
  TProcessContext& Process() override { return *ProcessPart; }
  TStandardStreams& Streams() override { return *StreamsPart; }
  TFileSystem& Files() override { return *FileSystemPart; }
  TSystemText& SystemText() override { return *SystemTextPart; }
  TLibraryCallGuard& CallGuard() override { return *CallGuardPart; }
};

// The test double's entry points (the six and ztaTranslateBatch), for
// FakePlatform::symbols.
std::map<std::string, void*> TestDoubleSymbols();

// UTF-16 text from UTF-8, to write expectations readably.
Text T(const std::string& aUtf8);
std::string U8(const Text& aText);

}  // namespace xlate
