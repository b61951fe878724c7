#pragma once

#include "platform/Platform.h"

namespace xlate {

// The whole run on aPlatform: parse, load the library, run the task, report
// any failure. Returns the process exit code: 0, or 1 when the error report
// itself could not be written. With XLATE_STRICT=1 in the environment, a
// reported error gives 2 and a file translated with failed lines 3.
int RunProgram(TPlatform& aPlatform);

}  // namespace xlate
