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

enum class OpenMode { Read, Write };

// Opens a file by its native name and takes an exclusive advisory lock, so
// that two runs on one file cannot interleave. Null on failure.
std::unique_ptr<PlatformFile> OpenPosixFile(const std::string& aNativeName, OpenMode aMode);

}  // namespace xlate
