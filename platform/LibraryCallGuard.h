#pragma once

// Calls into the translation library, guarded: a call that faults comes
// back as a description of the fault (FaultGuard.h) instead of ending the
// process, and runs with the library's floating-point settings, the
// caller's coming back after it (FloatingPointControl.h).

#include "platform/FaultGuard.h"

namespace xlate {

class TLibraryCallGuard {
 public:
  virtual ~TLibraryCallGuard() = default;
  // Makes the guard ready; done once, later calls do nothing.
  virtual void Install() = 0;
  // Runs aCall(aContext) under the guard. True when it returned normally;
  // false, with vFault filled in, when it faulted.
  virtual bool RunGuarded(void (*aCall)(void*), void* aContext, TFaultInfo& vFault) = 0;
  // The start and the end of a run of guarded calls that keeps the
  // library's floating-point settings from the first call to the last
  // (TLibraryCallRun); runs nest.
  virtual void BeginCallRun() = 0;
  virtual void EndCallRun() = 0;

  // RunGuarded for any callable whose frames hold nothing to destroy.
  template <typename Call>
  bool CallGuarded(Call& aCall, TFaultInfo& vFault) {
    return RunGuarded([](void* aContext) { (*static_cast<Call*>(aContext))(); }, &aCall, vFault);
  }
};

// The guard of this process, over its own fault handlers and floating-point
// unit: one for the whole process, as the handlers are.
TLibraryCallGuard& ProcessCallGuard();

// aHandler runs when the process ends through exit() while a call of the
// process's guard is under way: the library ended the process in the middle
// of its work. It runs among the at-exit functions; null takes it away.
void SetExitInsideCallHandler(void (*aHandler)());

// A run of library calls, such as the lines of one block of a file, that
// keeps the library's settings from its start to its end instead of setting
// them around every call: on some machines writing the x87 control word
// costs more than a short call itself. Every call stays guarded, and the
// caller's settings come back at the end of the run. The caller's own code
// between the calls must do no floating-point arithmetic, since its traps
// are on.
class TLibraryCallRun {
 public:
  explicit TLibraryCallRun(TLibraryCallGuard& aGuard) : FGuard(aGuard) { FGuard.BeginCallRun(); }
  ~TLibraryCallRun() { FGuard.EndCallRun(); }
  TLibraryCallRun(const TLibraryCallRun&) = delete;
  TLibraryCallRun& operator=(const TLibraryCallRun&) = delete;

 private:
  TLibraryCallGuard& FGuard;
};

}  // namespace xlate
