#pragma once

#include "app/RunSettings.h"
#include "common/StringList.h"
#include "service/jxDLLInterface.h"

namespace xlate {

// Translates InFile line by line into OutFile.
void TranslateFile(const TRunSettings& aSettings, TdllZTA& aService);
// Writes the language list into OutFile.
void WriteListFile(const TRunSettings& aSettings, const TStringList& aLanguages);

}  // namespace xlate
