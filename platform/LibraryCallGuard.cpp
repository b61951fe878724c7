#include "platform/LibraryCallGuard.h"

#include "platform/FloatingPointControl.h"

namespace xlate {

namespace {

// The fault handlers of FaultGuard_*.cpp and the floating-point unit of the
// processor the program runs on.
class TProcessCallGuard : public TLibraryCallGuard {
 public:
  void Install() override { InstallFaultGuard(); }
  bool RunGuarded(void (*aCall)(void*), void* aContext, TFaultInfo& vFault) override {
    return RunGuardedCall(aCall, aContext, vFault);
  }
  void BeginCallRun() override { FRun.Begin(); }
  void EndCallRun() override { FRun.End(); }

 private:
  TFloatingPointRun FRun;
};

}  // namespace

TLibraryCallGuard& ProcessCallGuard() {
  static TProcessCallGuard guard;
  return guard;
}

}  // namespace xlate
