#pragma once

#include <cstdint>

namespace xlate {

// The outcome of a platform call: 0 for success, else the failure's code,
// which the platform's SystemErrorMessage puts into the system's words.
using TErrorCode = std::uint32_t;
constexpr TErrorCode kSuccess = 0;

// The program's own I/O error codes, whose texts the console writer knows.
// A platform gives them where its own code would say less: 101 for a write
// that the device took only in part, 105 for a standard handle that is
// missing or of a type the platform cannot tell.
constexpr TErrorCode kFileNotFound = 2;
constexpr TErrorCode kPathNotFound = 3;
constexpr TErrorCode kTooManyOpenFiles = 4;
constexpr TErrorCode kAccessDenied = 5;
constexpr TErrorCode kReadBeyondEnd = 100;
constexpr TErrorCode kDiskFull = 101;
constexpr TErrorCode kNotOpenForOutput = 105;
constexpr TErrorCode kInvalidNumericInput = 106;

// Set in the code of a failure to make a new file in the output's folder:
// the folder's failure, not the file's. The other bits are the code.
constexpr TErrorCode kFolderFailure = 0x40000000;

}  // namespace xlate
