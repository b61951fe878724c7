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
std::unique_ptr<PlatformFile> OpenPosixInput(const std::string& aNativeName);

// Creates an output file. A regular file, or a name that does not exist
// yet, is written into a new file in the same folder that replaces it on
// Commit (keeping the replaced file's permissions); the file being replaced
// is locked meanwhile. Devices, pipes and the /dev and /proc names are
// written directly. Null on failure.
std::unique_ptr<PlatformFile> CreatePosixOutput(const std::string& aNativeName);

}  // namespace xlate
