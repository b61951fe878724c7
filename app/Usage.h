#pragma once

#include "common/Types.h"
#include "platform/Platform.h"

namespace xlate {

// The last component of a path: everything after the last of aSeparators.
Text FileNameOfPath(const Text& aPath, const Text& aSeparators);

// The two-line usage text, with the running program's file name.
Text UsageText(TPlatform& aPlatform);
Text UsageTextFor(const Text& aProgramName);

// What --help prints: the usage text, each parameter with its meaning and
// default, the words that stand alone, the settings of the environment, a
// few examples and where the manual page is. Lines are separated by LF;
// the caller writes them one by one.
Text HelpText(TPlatform& aPlatform);

}  // namespace xlate
