#pragma once

// An in-memory platform for tests: code pages, command line, standard
// output and files are plain fields, and the "library" is a table of
// function pointers (usually the test double linked into the test).

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/CodePages.h"
#include "platform/Platform.h"

namespace xlate {

class FakePlatform : public TPlatform {
 public:
  // Configuration and what the program did.
  std::uint32_t ansi = 1252;
  std::uint32_t oem = 850;
  std::vector<Text> parameters;
  Text programPath = u"/opt/tools/xlate";
  Text separators = u"/";
  Text libraryName = u"libjxZTAccess.so";

  bool libraryPresent = true;
  std::map<std::string, void*> symbols;  // the entry points the library exports
  bool freeFails = false;
  int loadedLibraries = 0;  // loaded and not yet freed

  THandleType outputType = THandleType::htPipe;
  std::string stdOut;
  std::string stdErr;
  std::vector<std::size_t> writeSizes;  // the size of each write to standard output
  std::uint32_t failWritesWith = 0;     // every standard-output write fails with this
  std::size_t writesBeforeFailure = 0;  // ... after this many succeeded
  std::size_t failuresLeft = SIZE_MAX;  // ... as many times as this

  struct FileEntry {
    std::string bytes;
    bool directory = false;
    bool locked = false;  // another process holds it open
    bool unreadable = false;
    bool vanishes = false;  // removed between the existence test and the open
  };
  std::map<Text, FileEntry> files;
  bool failFileWrites = false;            // writes into files fail with 112 (disk full)
  std::size_t readFailsAfter = SIZE_MAX;  // reading fails once this many bytes are read
  std::size_t readChunk = SIZE_MAX;       // the most one read returns

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
  bool EqualIgnoreCase(const Text& aLeft, const Text& aRight) override;

  std::vector<Text> CommandLineParameters() override { return parameters; }
  Text ProgramPath() override { return programPath; }
  Text PathSeparators() override { return separators; }

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
  bool stdErrIsTerminal = false;
  bool IsTerminal(TStdStream aStream) override {
    return aStream == TStdStream::ssError && stdErrIsTerminal;
  }

  std::string stdIn;  // what standard input holds
  TErrorCode OpenStdInput(std::unique_ptr<TPlatformFile>& vFile) override;
  TErrorCode OpenStdOutput(std::unique_ptr<TPlatformFile>& vFile) override;
  std::map<Text, Text> environment;
  Text EnvironmentValue(const Text& aName) override {
    auto it = environment.find(aName);
    return it == environment.end() ? Text() : it->second;
  }

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
};

// The test double's entry points (the six and ztaTranslateBatch), for
// FakePlatform::symbols.
std::map<std::string, void*> TestDoubleSymbols();

// UTF-16 text from UTF-8, to write expectations readably.
Text T(const std::string& aUtf8);
std::string U8(const Text& aText);

}  // namespace xlate
