// Fault containment with signal handlers on an alternate stack. The
// handlers act only while a guarded call runs: they record the fault and
// jump back to the call site with siglongjmp. Outside a guarded call they
// put back the disposition they replaced and let the fault happen again.
#include <dlfcn.h>
#include <pthread.h>
#include <setjmp.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <ucontext.h>

#include "common/CodePages.h"
#include "platform/FaultGuard.h"
#include "platform/FloatingPointControl.h"
#include "platform/GuardedCallFrame.h"
#include "platform/posix/SignalFault.h"

namespace xlate {

namespace {

const int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr std::size_t kAltStackSize = std::size_t{64} * 1024;
// A fault this close below the lowest address the stack may grow to, or
// just above it, is the stack running out.
constexpr std::uintptr_t kStackGuardBelow = std::uintptr_t{2} * 1024 * 1024;
constexpr std::uintptr_t kStackGuardAbove = std::uintptr_t{64} * 1024;

struct TGuardFrame {
  sigjmp_buf Env;
  TSignalFacts Facts;
  TGuardFrame* Previous;
};

// The guarded calls under way on this thread: a fault on another thread
// (one of the program's own, or of a library) is not theirs. The program's
// own thread-local storage is reached without a call, so the handler may
// read it.
thread_local TGuardFrame* volatile gFrame = nullptr;
struct sigaction gPrevious[4];
bool gInstalled = false;
alignas(16) char gAltStack[kAltStackSize];  // where the handlers run
std::uintptr_t gStackLow = 0;

int SignalIndex(int aSignal) {
  for (int i = 0; i < 4; ++i) {
    if (kSignals[i] == aSignal) return i;
  }
  return -1;
}

void FillFacts(int aSignal, const siginfo_t* aInfo, void* aContext, TSignalFacts& vFacts) {
  vFacts.Signal = aSignal;
  vFacts.Code = aInfo->si_code;
  vFacts.DataAddress = reinterpret_cast<std::uintptr_t>(aInfo->si_addr);
  std::uintptr_t sp = 0;
#if defined(__x86_64__)
  const auto* context = static_cast<const ucontext_t*>(aContext);
  vFacts.CodeAddress = static_cast<std::uintptr_t>(context->uc_mcontext.gregs[REG_RIP]);
  sp = static_cast<std::uintptr_t>(context->uc_mcontext.gregs[REG_RSP]);
  vFacts.Write = (context->uc_mcontext.gregs[REG_ERR] & 2) != 0;
#elif defined(__i386__)
  const auto* context = static_cast<const ucontext_t*>(aContext);
  vFacts.codeAddress = static_cast<std::uintptr_t>(context->uc_mcontext.gregs[REG_EIP]);
  sp = static_cast<std::uintptr_t>(context->uc_mcontext.gregs[REG_ESP]);
  vFacts.write = (context->uc_mcontext.gregs[REG_ERR] & 2) != 0;
#else
  (void)aContext;
#endif
  if (aSignal == SIGSEGV || aSignal == SIGBUS) {
    std::uintptr_t address = vFacts.DataAddress;
    bool nearLimit = gStackLow != 0 && address + kStackGuardBelow >= gStackLow &&
                     address < gStackLow + kStackGuardAbove;
    bool justBelowSp = address <= sp && sp - address < kStackGuardAbove;
    vFacts.OnStackGuard = nearLimit || (justBelowSp && address != 0);
#if defined(__x86_64__) || defined(__i386__)
    // A privileged instruction raises a general protection fault, which the
    // kernel reports as SIGSEGV without an address.
    if (aInfo->si_code == SI_KERNEL && vFacts.CodeAddress != 0) {
      vFacts.PrivilegedOpcode =
          IsPrivilegedX86Instruction(reinterpret_cast<const unsigned char*>(vFacts.CodeAddress));
    }
#endif
  }
}

void Handler(int aSignal, siginfo_t* aInfo, void* aContext) {
  TGuardFrame* frame = gFrame;
  if (frame == nullptr) {
    // Not ours: the fault happens again under the disposition we replaced.
    int index = SignalIndex(aSignal);
    if (index >= 0) sigaction(aSignal, &gPrevious[index], nullptr);
    if (aInfo->si_code <= 0) raise(aSignal);  // sent, not raised by an instruction
    return;
  }
  FillFacts(aSignal, aInfo, aContext, frame->Facts);
  gFrame = frame->Previous;
  siglongjmp(frame->Env, 1);
}

void RememberStackLimit() {
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return;
  void* low = nullptr;
  std::size_t size = 0;
  if (pthread_attr_getstack(&attributes, &low, &size) == 0) {
    gStackLow = reinterpret_cast<std::uintptr_t>(low);
  }
  pthread_attr_destroy(&attributes);
}

Text ModuleOf(std::uintptr_t aAddress) {
  Dl_info info;
  if (aAddress == 0 || dladdr(reinterpret_cast<void*>(aAddress), &info) == 0 ||
      info.dli_fname == nullptr) {
    return Text();
  }
  const char* name = strrchr(info.dli_fname, '/');
  name = name ? name + 1 : info.dli_fname;
  return CodePageToText(kCodePageUtf8, name, strlen(name));
}

}  // namespace

void InstallFaultGuard() {
  if (gInstalled) return;
  gInstalled = true;
  RememberStackLimit();
  stack_t altStack{};
  altStack.ss_sp = gAltStack;
  altStack.ss_size = kAltStackSize;
  sigaltstack(&altStack, nullptr);
  struct sigaction action {};
  action.sa_sigaction = Handler;
  // SA_NODEFER: the handler leaves by siglongjmp without restoring the
  // signal mask (that would cost a system call per guarded call), so the
  // signal must not be blocked while it runs.
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < 4; ++i) sigaction(kSignals[i], &action, &gPrevious[i]);
}

bool RunGuardedCall(void (*aCall)(void*), void* aContext, TFaultInfo& vFault) {
  TGuardFrame frame;
  frame.Previous = gFrame;
  const TFloatingPointState saved = EnterLibraryFloatingPoint();
  if (sigsetjmp(frame.Env, 0) == 0) {
    RunInGuardFrame(gFrame, frame, saved, aCall, aContext);
    return true;
  }
  // Back from the handler, which has already unlinked the frame.
  LeaveLibraryFloatingPoint(saved);
  vFault = ClassifySignal(frame.Facts);
  vFault.Module = ModuleOf(frame.Facts.CodeAddress);
  return false;
}

}  // namespace xlate
