#pragma once

#include <cstddef>

#include "app/Console.h"
#include "app/RunSettings.h"
#include "service/jxDLLInterface.h"

namespace xlate {

// The whole run: parse, load the library, run the task, report any failure.
// Returns the process exit code: 0, or 1 when the error report itself could
// not be written.
int RunProgram();

// The pieces of the run, for tests.
ByteString EncodeForConsole(const TRunSettings& aSettings, const Text& aText);
Text DecodeParamText(const TRunSettings& aSettings, const ByteString& aText);
ByteString TranslateParamText(const TRunSettings& aSettings, TdllZTA& aService,
                              const ByteString& aText);
void ReportError(TConsole& aConsole, const Text& aMessage);

}  // namespace xlate
