#pragma once

#include <memory>

#include "app/RunSettings.h"
#include "common/StringList.h"
#include "platform/Platform.h"

namespace xlate {

// Reads InFile in InCoding, to its end, and returns its lines. A leading
// byte-order mark of the coding is dropped when it is there. Raises "File
// ... not found", "Cannot open file ..." or "Stream read error".
std::unique_ptr<TStringList> ReadInputFile(const TRunSettings& aSettings);

// Reads an open file to its end; the size is only a first guess, so pipes
// and growing files read whole.
ByteString ReadWholeFile(PlatformFile& aFile);

// Replaces the lines with those of a file's bytes in aCoding.
void DecodeFileBytes(TCodingType aCoding, const ByteString& aBytes, TStringList& vLines);

}  // namespace xlate
