#pragma once

#include "app/RunSettings.h"
#include "app/filemode/LineBlock.h"
#include "common/StringList.h"
#include "service/jxDLLInterface.h"

namespace xlate {

// Translates InFile line by line into OutFile, holding no more than about
// aWindow of the file at a time.
void TranslateFile(const TRunSettings& aSettings, TdllZTA& aService,
                   const TFileWindow& aWindow = {});
// Writes the language list into OutFile.
void WriteListFile(const TRunSettings& aSettings, const TStringList& aLanguages);

}  // namespace xlate
