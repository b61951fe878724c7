#include "platform/LibraryCallGuard.h"

#include <atomic>
#include <cstdlib>

#include "platform/FloatingPointControl.h"

namespace xlate {

namespace {

// Guarded calls under way, on any thread, and what exit() does meanwhile.
std::atomic<int> gCallsUnderway{0};
std::atomic<void (*)()> gExitInsideCall{nullptr};

void AtExit() {
  void (*handler)() = gExitInsideCall.load();
  if (gCallsUnderway.load() > 0 && handler != nullptr) handler();
}

// Counts a call from its start to its end, also when an exception ends it.
class TCallUnderway {
 public:
  TCallUnderway() { ++gCallsUnderway; }
  ~TCallUnderway() { --gCallsUnderway; }
  TCallUnderway(const TCallUnderway&) = delete;
  TCallUnderway& operator=(const TCallUnderway&) = delete;
};

// The fault handlers of FaultGuard_*.cpp and the floating-point unit of the
// processor the program runs on.
class TProcessCallGuard : public TLibraryCallGuard {
 public:
  void Install() override { InstallFaultGuard(); }
  bool RunGuarded(void (*aCall)(void*), void* aContext, TFaultInfo& vFault) override {
    TCallUnderway underway;
    return RunGuardedCall(aCall, aContext, vFault);
  }
  void BeginCallRun() override { FRun.Begin(); }
  void EndCallRun() override { FRun.End(); }

 private:
  TFloatingPointRun FRun;
};

}  // namespace

void SetExitInsideCallHandler(void (*aHandler)()) {
  static const bool installed = std::atexit(AtExit) == 0;
  (void)installed;
  gExitInsideCall = aHandler;
}

TLibraryCallGuard& ProcessCallGuard() {
  static TProcessCallGuard guard;
  return guard;
}

}  // namespace xlate
