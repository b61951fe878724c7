#pragma once

#include "platform/FloatingPointControl.h"

namespace xlate {

// What both platforms' fault guards do once the jump back to the call site
// is set up (sigsetjmp, __builtin_setjmp): make vFrame the current guarded
// call (vCurrent), run aCall(aContext), and hand the call back. The frame
// is unlinked and the caller's floating-point settings (aSaved) come back
// whether the call returns or lets a C++ exception out of the library,
// which then passes on; a floating-point trap still pending when it
// returns is raised first, while the frame still catches it. A fault comes
// back at the call site instead, through the platform's handler.
template <typename TFrame>
void RunInGuardFrame(TFrame* volatile& vCurrent, TFrame& vFrame, const TFloatingPointState& aSaved,
                     void (*aCall)(void*), void* aContext) {
  vCurrent = &vFrame;
  try {
    aCall(aContext);
  } catch (...) {
    // A C++ exception let out of the library ends the call all the same.
    vCurrent = vFrame.Previous;
    LeaveLibraryFloatingPoint(aSaved);
    throw;
  }
  RaisePendingFloatingPointTraps();
  vCurrent = vFrame.Previous;
  LeaveLibraryFloatingPoint(aSaved);
}

}  // namespace xlate
