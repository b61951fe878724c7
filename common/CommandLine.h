#pragma once

#include <vector>

#include "common/Types.h"

namespace xlate {

// Cuts a Windows command line into its words; the first word is the
// program's name. Separators are the units 1 to 32, a unit 0 ends the line,
// double quotes enclose stretches that may hold separators and are dropped,
// pairs of double quotes between words are skipped, and a backslash is an
// ordinary character. The words end at the end of the line or before the
// first word that comes out empty (a lone double quote at the end).
std::vector<Text> SplitCommandLine(const Text& aCommandLine);

}  // namespace xlate
