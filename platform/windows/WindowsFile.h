#pragma once

#include <cstdint>
#include <memory>

#include "common/Types.h"
#include "platform/Platform.h"

namespace xlate {

// The code of the failure that GetLastError() describes, taken at once,
// before cleaning up can change it.
TErrorCode LastWindowsError();

// The failure of a console device named as a file (CON, CONIN$, CONOUT$):
// an application-defined code, which the system's codes never are.
constexpr TErrorCode kConsoleByName = 0x20000002;

// A standard handle (STD_INPUT_HANDLE, STD_OUTPUT_HANDLE) as a file, through
// a copy of the handle.
TErrorCode OpenWindowsStdHandle(std::uint32_t aWhich, std::unique_ptr<TPlatformFile>& vFile);

// Opens an existing file for reading, shared with other readers or with
// nobody. The console's names are refused with kConsoleByName: opened by
// name, the console gives keyboard events rather than the bytes of standard
// input, and none at all to a process without a console.
TErrorCode OpenWindowsInput(const Text& aName, TReadShare aShare,
                            std::unique_ptr<TPlatformFile>& vFile);

// Creates an output file. A regular file, or a name that does not exist
// yet, is written into a new file in the same folder that takes its place
// on Commit (with the attributes of the file it replaces); the file being
// replaced is held open, shared with nobody, meanwhile. Devices (NUL, CON,
// a pipe, any \\.\ name) are written directly. A failure to make the new
// file beside the target has kFolderFailure set. CONIN$, the console's
// keyboard, is refused with kConsoleByName, and so are CON and CONOUT$ where
// they cannot be opened (a process without a console). aInput,
// when given, is the file being replaced, open for reading: it holds the
// file instead, and Commit closes it before the move.
TErrorCode CreateWindowsOutput(const Text& aName, std::unique_ptr<TPlatformFile>& vFile,
                               TPlatformFile* aInput = nullptr);

// The full path of a name as the system resolves it; the name itself when
// the system cannot make one.
Text WindowsFullPath(const Text& aName);

}  // namespace xlate
