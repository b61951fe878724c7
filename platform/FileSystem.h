#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/ErrorCodes.h"
#include "common/Types.h"

namespace xlate {

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

  // A terminal (a console), where a person reads what is written.
  bool Terminal = false;

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

// Files by name. A call that can fail returns kSuccess or its failure's
// code, and its result in an out-parameter.
class TFileSystem {
 public:
  virtual ~TFileSystem() = default;
  // An existing name that is not a directory.
  virtual bool FileExists(const Text& aName) = 0;
  // An existing directory (named with or without a separator at its end).
  virtual bool FolderExists(const Text& aName) = 0;
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
  // The characters after which a path's last component begins.
  virtual Text PathSeparators() = 0;
};

}  // namespace xlate
