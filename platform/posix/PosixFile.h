#pragma once

#include <memory>
#include <string>

#include "platform/Platform.h"

namespace xlate {

// A failure's code is an errno value, or kLoaderError after a failed
// dynamic-library call, whose text the loader gave, or kLockedByAnother for
// a file that another process holds locked (or writes as a new file).
constexpr TErrorCode kLoaderError = 0x20000000;
constexpr TErrorCode kLockedByAnother = 0x20000001;
// Standard output was closed when the process started.
constexpr TErrorCode kStdOutputClosed = 0x20000002;

// The code of a failure that errno describes.
TErrorCode ErrnoCode();

// The folder of a native path: what stands before its last "/", "/" for a
// name in the root, "." for a name without a folder.
std::string DirectoryOf(const std::string& aPath);

// Opens an existing file for reading and takes an advisory lock on it,
// shared or exclusive, so that two runs that read one file can, and a run
// that replaces it keeps the others out.
TErrorCode OpenPosixInput(const std::string& aNativeName, TReadShare aShare,
                          std::unique_ptr<TPlatformFile>& vFile);

// The process's own stream aFd (0 for standard input, 1 for standard
// output), through a copy of its descriptor.
TErrorCode OpenPosixStdStream(int aFd, std::unique_ptr<TPlatformFile>& vFile);

// Creates an output file. What the name stands for decides how, never its
// spelling: a regular file, or a name that does not exist yet, is written
// into a new file in the same folder that replaces it on Commit (keeping
// what it may of the replaced file's owner, mode and extended attributes);
// the file being replaced is locked meanwhile. The new file has no name
// until Commit where the file system allows (O_TMPFILE), so that nothing
// can leave it behind; elsewhere it has one, and a signal or exit() removes
// it (PendingFiles.h). The folder is held open from the start, so that a
// change of the current folder meanwhile changes nothing. A symbolic link
// is followed to the file it names. The names of the process's own streams
// (/dev/stdout, /dev/fd/N, ...) write through the descriptor already open;
// devices and pipes are written directly. A failure to make the new file
// in its folder has kFolderFailure set. aInput, when given, holds the lock
// on the file being replaced (the same file, open for reading); Commit
// closes it once the new file has taken the old one's place.
TErrorCode CreatePosixOutput(const std::string& aNativeName, std::unique_ptr<TPlatformFile>& vFile,
                             TPlatformFile* aInput = nullptr);

}  // namespace xlate
