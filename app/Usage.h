#pragma once

#include "common/Types.h"
#include "platform/Platform.h"

namespace xlate {

// The last component of a path: everything after the last of aSeparators.
Text FileNameOfPath(const Text& aPath, const Text& aSeparators);

// The two-line usage text, with the running program's file name.
Text UsageText(TPlatform& aPlatform);
Text UsageTextFor(const Text& aProgramName);

}  // namespace xlate
