#pragma once

#include <memory>
#include <string>

#include "platform/Platform.h"

namespace xlate {

// A failure's code is an errno value, or kLoaderError after a failed
// dynamic-library call, whose text the loader gave.
constexpr TErrorCode kLoaderError = 0x20000000;

// The code of a failure that errno describes.
TErrorCode ErrnoCode();

// Opens an existing file for reading and takes an exclusive advisory lock,
// so that two runs on one file cannot interleave.
TErrorCode OpenPosixInput(const std::string& aNativeName, std::unique_ptr<TPlatformFile>& vFile);

// Creates an output file. A regular file, or a name that does not exist
// yet, is written into a new file in the same folder that replaces it on
// Commit (keeping what it may of the replaced file's owner, mode and
// extended attributes); the file being replaced is locked meanwhile, and a
// signal that ends the process removes the new file. A symbolic link is
// followed to the file it names. The names of the process's own streams
// (/dev/stdout, /dev/fd/N, ...) write through the descriptor already open;
// devices, pipes and other /dev and /proc names are written directly.
// aInput, when given, holds the lock on the file being replaced (the same
// file, open for reading); Commit closes it once the new file has taken the
// old one's place.
TErrorCode CreatePosixOutput(const std::string& aNativeName, std::unique_ptr<TPlatformFile>& vFile,
                             TPlatformFile* aInput = nullptr);

}  // namespace xlate
