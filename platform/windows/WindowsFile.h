#pragma once

#include <cstdint>
#include <memory>

#include "common/Types.h"
#include "platform/Platform.h"

namespace xlate {

// The code of the last failed operation of this platform. Every failing
// call stores GetLastError() at once, before cleaning up can change it.
void SetLastWindowsError(std::uint32_t aCode);
void RememberLastWindowsError();
std::uint32_t LastWindowsError();

// Opens an existing file for reading, shared with nobody. Null on failure.
std::unique_ptr<TPlatformFile> OpenWindowsInput(const Text& aName);

// Creates an output file. A regular file, or a name that does not exist
// yet, is written into a new file in the same folder that takes its place
// on Commit (with the attributes of the file it replaces); the file being
// replaced is held open, shared with nobody, meanwhile. Devices (NUL, CON,
// a pipe, any \\.\ name) are written directly. Null on failure. aInput,
// when given, is the file being replaced, open for reading: it holds the
// file instead, and Commit closes it before the move.
std::unique_ptr<TPlatformFile> CreateWindowsOutput(const Text& aName,
                                                   TPlatformFile* aInput = nullptr);

// The full path of a name as the system resolves it; the name itself when
// the system cannot make one.
Text WindowsFullPath(const Text& aName);

}  // namespace xlate
