#pragma once

// The lines of a whole file through the file-mode reader (TLineReader),
// as texts: what the reader's tests and its fuzz target compare.

#include <memory>

#include "app/filemode/InputFile.h"
#include "common/StringList.h"

namespace xlate {

// Reads the file aName in aCoding, to its end, and returns its lines.
// Raises what OpenInputFile and TLineReader raise.
std::unique_ptr<TStringList> ReadInputFile(TPlatform& aPlatform, const Text& aName,
                                           TCodingType aCoding);

// Replaces the lines with those of a file's bytes in aCoding; a message
// names the file "".
void DecodeFileBytes(TPlatform& aPlatform, TCodingType aCoding, const ByteString& aBytes,
                     TStringList& vLines, const TFileWindow& aWindow = {});

}  // namespace xlate
