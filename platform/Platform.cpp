#include "platform/Platform.h"

#include <cstdlib>

namespace xlate {

namespace {
Platform* gPlatform = nullptr;
}

Platform& CurrentPlatform() {
  // The program installs its platform before anything else runs; reaching
  // this without one is a programming error, not a user's.
  if (gPlatform == nullptr) std::abort();
  return *gPlatform;
}

void SetCurrentPlatform(Platform* aPlatform) { gPlatform = aPlatform; }

ScopedPlatform::ScopedPlatform(Platform& aPlatform) : FPrevious(gPlatform) {
  gPlatform = &aPlatform;
}

ScopedPlatform::~ScopedPlatform() { gPlatform = FPrevious; }

}  // namespace xlate
