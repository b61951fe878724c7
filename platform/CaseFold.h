#pragma once

#include "common/Types.h"

namespace xlate {

// Simple one-to-one upper-casing of the Latin, Greek and Cyrillic letters,
// enough to compare parameter names the way a user's locale would.
char16_t ToUpperSimple(char16_t aUnit);

bool EqualIgnoringCase(const Text& aLeft, const Text& aRight);

}  // namespace xlate
