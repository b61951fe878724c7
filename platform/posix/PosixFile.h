#pragma once

#include <memory>
#include <string>

#include "platform/Platform.h"

namespace xlate {

// The last failure's code: an errno value, or kLoaderError after a failed
// dynamic-library call, whose text the loader gave.
void SetLastPosixError(std::uint32_t aCode);
std::uint32_t LastPosixError();
constexpr std::uint32_t kLoaderError = 0x20000000;

// Opens an existing file for reading and takes an exclusive advisory lock,
// so that two runs on one file cannot interleave. Null on failure.
std::unique_ptr<TPlatformFile> OpenPosixInput(const std::string& aNativeName);

// Creates an output file. A regular file, or a name that does not exist
// yet, is written into a new file in the same folder that replaces it on
// Commit (keeping what it may of the replaced file's owner, mode and
// extended attributes); the file being replaced is locked meanwhile, and a
// signal that ends the process removes the new file. A symbolic link is
// followed to the file it names. The names of the process's own streams
// (/dev/stdout, /dev/fd/N, ...) write through the descriptor already open;
// devices, pipes and other /dev and /proc names are written directly. Null
// on failure.
// aInput, when given, holds the lock on the file being replaced (the same
// file, open for reading); Commit closes it once the new file has taken the
// old one's place.
std::unique_ptr<TPlatformFile> CreatePosixOutput(const std::string& aNativeName,
                                                 TPlatformFile* aInput = nullptr);

}  // namespace xlate
