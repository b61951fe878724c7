#include "platform/Platform.h"

#include <cstdlib>

namespace xlate {

namespace {
TPlatform* gPlatform = nullptr;
}

TPlatform& CurrentPlatform() {
  // The program installs its platform before anything else runs; reaching
  // this without one is a programming error, not a user's.
  if (gPlatform == nullptr) std::abort();
  return *gPlatform;
}

void SetCurrentPlatform(TPlatform* aPlatform) { gPlatform = aPlatform; }

TScopedPlatform::TScopedPlatform(TPlatform& aPlatform) : FPrevious(gPlatform) {
  gPlatform = &aPlatform;
}

TScopedPlatform::~TScopedPlatform() { gPlatform = FPrevious; }

}  // namespace xlate
