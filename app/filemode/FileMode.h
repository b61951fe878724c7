#pragma once

#include <cstdint>

#include "app/filemode/LineBlock.h"
#include "common/StringList.h"
#include "service/jxDLLInterface.h"

namespace xlate {

// What file mode works on, from the run's parameters.
struct TFileTask {
  Text InFile;
  Text OutFile;
  bool OutFileDerived = false;  // OutFile was made from InFile, not given
  TCodingType InCoding = ctNone;
  TCodingType OutCoding = ctNone;
  TLanguages Languages;
};

// Translates InFile line by line into OutFile, holding no more than about
// aWindow of the file at a time. An InFile "-" is standard input, an OutFile
// "-" standard output. Returns the number of lines that failed (their
// messages stand in the output).
std::uint64_t TranslateFile(TPlatform& aPlatform, const TFileTask& aTask, TdllZTA& aService,
                            const TFileWindow& aWindow = {});
// Writes the language list into OutFile ("-": standard output).
void WriteListFile(TPlatform& aPlatform, const TFileTask& aTask, const TStringList& aLanguages);

}  // namespace xlate
