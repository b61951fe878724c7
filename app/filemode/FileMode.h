#pragma once

#include <cstdint>

#include "app/filemode/LineBlock.h"
#include "app/filemode/OutputFile.h"
#include "common/StringList.h"
#include "service/jxDLLInterface.h"

namespace xlate {

// The files file mode works on, and their codings, from the run's
// parameters. The languages are the service's request.
struct TFileTask {
  Text InFile;
  Text OutFile;
  bool OutFileDerived = false;  // OutFile was made from InFile, not given
  TCodingType InCoding = ctNone;
  TCodingType OutCoding = ctNone;
  // osUnix: lines end with LF and a UTF-8 output has no mark (see
  // TOutputStyle), and a line that fails keeps its own text in the output;
  // standard error names the failed lines with their messages.
  TOutputStyle Style = TOutputStyle::osClassic;
};

// Translates InFile line by line into OutFile through aService, in the
// languages of its request, holding no more than about aWindow of the file
// at a time. An InFile "-" is standard input, an OutFile
// "-" standard output. Returns the number of lines that failed (their
// messages stand in the output, or in the unix style their own text).
std::uint64_t TranslateFile(TPlatform& aPlatform, const TFileTask& aTask, TdllZTA& aService,
                            const TFileWindow& aWindow = {});
// Writes the library's language list, in the request's LangInit, into
// OutFile ("-": standard output).
void WriteListFile(TPlatform& aPlatform, const TFileTask& aTask, TdllZTA& aService);

}  // namespace xlate
