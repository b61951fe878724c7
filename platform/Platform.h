#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/CodePageConverter.h"
#include "common/ErrorCodes.h"
#include "common/Types.h"

namespace xlate {

using LibraryHandle = std::uintptr_t;

// The type of the standard output handle, as far as the console writer
// cares: a character device flushes at every line end.
enum class THandleType { htCharDevice, htFile, htPipe, htUnknown };

enum class TStdStream { ssOutput, ssError };

// How an input file is shared while it is read: with other readers, or with
// nobody (it is about to be replaced).
enum class TReadShare { rsShared, rsExclusive };

// Which file an open file is: its volume (device) and its index (inode) on
// it, when known.
struct TFileIdentity {
  std::uint64_t Volume = 0;
  std::uint64_t Index = 0;
  bool Known = false;
  // Reading it gives back what was written into it: a regular file, a
  // block device or a pipe, but not a terminal or a socket.
  bool GivesBack = false;

  // A regular file on a disk, not a device, a pipe or a socket.
  bool Regular = false;

  bool SameAs(const TFileIdentity& aOther) const {
    return Known && aOther.Known && Volume == aOther.Volume && Index == aOther.Index;
  }
};

// An open file. Every call returns kSuccess or its failure's code.
class TPlatformFile {
 public:
  virtual ~TPlatformFile() = default;
  virtual TErrorCode Size(std::uint64_t& vSize) = 0;
  // Reads up to aCount bytes; vRead 0 with success means the end of the
  // file.
  virtual TErrorCode Read(char* aBuffer, std::size_t aCount, std::size_t& vRead) = 0;
  virtual TErrorCode Write(const char* aBuffer, std::size_t aCount, std::size_t& vWritten) = 0;
  // Closing twice is harmless; the destructor closes a file left open.
  virtual TErrorCode Close() = 0;
  // For a file from CreateForWriting: makes what was written the file's
  // content. Until then the file that stood under the name is untouched,
  // and a file destroyed without Commit leaves it so. Devices and pipes are
  // written directly, and Commit only closes them.
  virtual TErrorCode Commit() { return Close(); }
  // The file that reads and writes go to as they are made; unknown for a
  // new file that takes another's place on Commit.
  virtual TFileIdentity Identity() { return {}; }
};

// Everything the program asks of the operating system, in its own terms,
// its code page conversions included. A call that can fail returns kSuccess
// or its failure's code, and its result in an out-parameter. One
// implementation per platform; tests replace it with a fake.
class TPlatform : public TCodePageConverter {
 public:
  virtual ~TPlatform() = default;

  // Dynamic libraries.
  virtual TErrorCode LoadLibrary(const Text& aFileName, LibraryHandle& vLibrary) = 0;
  virtual TErrorCode GetProcAddress(LibraryHandle aLibrary, const ByteString& aName,
                                    void*& vAddress) = 0;
  virtual TErrorCode FreeLibrary(LibraryHandle aLibrary) = 0;
  // The file name under which the translation library is loaded.
  virtual Text LibraryFileName() = 0;
  // The file a loaded library was loaded from; empty when the system cannot
  // tell.
  virtual Text LibraryPath(LibraryHandle aLibrary) = 0;

  // The system's text for a failure's code as it stands (trimming is the
  // caller's business); empty if none.
  virtual Text SystemErrorMessage(TErrorCode aCode) = 0;

  // Equality ignoring case, as the user's locale sees it.
  virtual bool EqualIgnoreCase(const Text& aLeft, const Text& aRight) = 0;

  // The parameters after the program's name, and the program's own path.
  // Both keep every byte of a name, so that the name reaches the file
  // system again as it was given.
  virtual std::vector<Text> CommandLineParameters() = 0;
  virtual Text ProgramPath() = 0;
  // What a parameter's value reads as where it is text and not a file name:
  // where names carry bytes that the locale's coding cannot read, the text
  // that coding's conversion makes of them.
  virtual Text ArgumentAsText(const Text& aArgument) { return aArgument; }
  // The characters after which a path's last component begins.
  virtual Text PathSeparators() = 0;

  // Standard handles. A write returns kSuccess or the failure's code; a
  // missing handle, or one of a type the platform cannot tell, fails with
  // kNotOpenForOutput.
  virtual THandleType StdOutputType() = 0;
  virtual TErrorCode WriteStd(TStdStream aStream, const char* aBytes, std::size_t aCount) = 0;
  virtual bool IsTerminal(TStdStream aStream) = 0;
  // Standard input and standard output as files, read and written through
  // a handle of their own, so that closing them leaves the process's own
  // handles open. Fails where the process has no such handle.
  virtual TErrorCode OpenStdInput(std::unique_ptr<TPlatformFile>& vFile) = 0;
  virtual TErrorCode OpenStdOutput(std::unique_ptr<TPlatformFile>& vFile) = 0;

  // The value of an environment variable; empty when it is not set.
  virtual Text EnvironmentValue(const Text& aName) = 0;

  // File system.
  // An existing name that is not a directory.
  virtual bool FileExists(const Text& aName) = 0;
  // Opened shared with other readers, or with nobody.
  virtual TErrorCode OpenForReading(const Text& aName, TReadShare aShare,
                                    std::unique_ptr<TPlatformFile>& vFile) = 0;
  // Creates the file or replaces it when committed; shared with nobody. A
  // failure to make the new file in the folder has kFolderFailure set.
  virtual TErrorCode CreateForWriting(const Text& aName, std::unique_ptr<TPlatformFile>& vFile) = 0;
  // The same for the file that aInput has open for reading under that name
  // (translation in place). aInput's hold on the file stands for the one
  // CreateForWriting would take, so that the file stays locked from the
  // first read to its replacement, and aInput stays readable; Commit closes
  // it. aInput must outlive the result.
  virtual TErrorCode CreateOverInput(const Text& aName, TPlatformFile& aInput,
                                     std::unique_ptr<TPlatformFile>& vFile) = 0;
  virtual Text FullPath(const Text& aName) = 0;
  // Whether two names denote one existing file.
  virtual bool SameFile(const Text& aLeft, const Text& aRight) = 0;

  // The platform the program runs on, made from main's arguments (the
  // Windows build reads its own command line instead).
  static std::unique_ptr<TPlatform> Create(int argc, char** argv);
};

// The system's message for a failure's code, trimmed as TrimSystemMessage
// does.
Text SystemErrorText(TPlatform& aPlatform, TErrorCode aCode);

}  // namespace xlate
