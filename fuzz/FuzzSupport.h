#pragma once

// Shared by the fuzz targets: an in-memory platform, and a check that
// stops the run when an invariant does not hold.

#include <cstdio>
#include <cstdlib>

#include "testsupport/FakePlatform.h"

namespace xlate {

inline void Check(bool aHolds, const char* aWhat) {
  if (!aHolds) {
    std::fprintf(stderr, "invariant broken: %s\n", aWhat);
    std::abort();
  }
}

// A fake platform kept for the whole run.
inline TFakePlatform& FuzzPlatform() {
  static TFakePlatform platform;
  return platform;
}

// The input as UTF-16 units, two bytes each.
inline Text Units(const unsigned char* aData, std::size_t aSize) {
  Text text;
  for (std::size_t i = 0; i + 1 < aSize; i += 2) {
    text += static_cast<char16_t>(aData[i] | (aData[i + 1] << 8));
  }
  return text;
}

}  // namespace xlate
