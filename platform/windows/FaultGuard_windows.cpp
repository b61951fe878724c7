// Fault containment on Windows: a vectored exception handler that acts only
// while a guarded call runs. It records the processor fault and jumps back
// to the call site; the SEH chain and the stack's guard page are put back
// there. Software exceptions (a C++ throw inside the library, say) are left
// to the library's own handlers; one that nobody handles comes back as
// "External exception" through the unhandled-exception filter.
#include <windows.h>

#include "platform/FaultGuard.h"
#include "platform/FloatingPointControl.h"
#include "platform/GuardedCallFrame.h"

namespace xlate {

namespace {

struct TGuardFrame {
  void* Env[5];  // for __builtin_setjmp
  EXCEPTION_RECORD Record;
  TGuardFrame* Previous;
  DWORD Thread;  // the thread making the call
#if defined(__i386__)
  void* ExceptionList;  // the SEH chain at the call site
#endif
};

// The guarded calls under way, all on one thread: a fault on another
// thread (one of the program's own, or of a library) is not theirs.
TGuardFrame* volatile gFrame = nullptr;

bool GuardedHere() {
  const TGuardFrame* frame = gFrame;
  return frame != nullptr && frame->Thread == GetCurrentThreadId();
}
bool gInstalled = false;
LPTOP_LEVEL_EXCEPTION_FILTER gPreviousFilter = nullptr;

bool IsProcessorFault(DWORD aCode) {
  switch (aCode) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case STATUS_FLOAT_MULTIPLE_FAULTS:
    case STATUS_FLOAT_MULTIPLE_TRAPS:
      return true;
    default:
      return false;
  }
}

#if defined(__i386__)
// The head of the thread's SEH chain, at fs:0.
void* ExceptionList() {
  void* head;
  __asm__ volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}

void SetExceptionList(void* aHead) {
  __asm__ volatile("movl %0, %%fs:0" : : "r"(aHead) : "memory");
}
#endif

[[noreturn]] void ReturnToCallSite(const EXCEPTION_RECORD& aRecord) {
  TGuardFrame* frame = gFrame;
  frame->Record = aRecord;
  gFrame = frame->Previous;
  __builtin_longjmp(frame->Env, 1);
}

LONG CALLBACK VectoredHandler(EXCEPTION_POINTERS* aPointers) {
  if (!GuardedHere() || !IsProcessorFault(aPointers->ExceptionRecord->ExceptionCode)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  ReturnToCallSite(*aPointers->ExceptionRecord);
}

LONG WINAPI UnhandledFilter(EXCEPTION_POINTERS* aPointers) {
  if (GuardedHere()) ReturnToCallSite(*aPointers->ExceptionRecord);
  return gPreviousFilter ? gPreviousFilter(aPointers) : EXCEPTION_CONTINUE_SEARCH;
}

Text ModuleOf(const void* aAddress) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCWSTR>(aAddress), &module)) {
    return Text();
  }
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return Text();
  Text full(reinterpret_cast<const char16_t*>(path), length);
  std::size_t cut = full.find_last_of(u"\\:/");
  return cut == Text::npos ? full : full.substr(cut + 1);
}

// Gives the stack its guard page back after an overflow, so that the next
// overflow is caught as well.
void RestoreStackGuard() {
  using Reset = int(__cdecl*)();
  HMODULE runtime = GetModuleHandleW(L"msvcrt.dll");
  if (runtime == nullptr) return;
  if (auto reset = reinterpret_cast<Reset>(
          reinterpret_cast<void*>(GetProcAddress(runtime, "_resetstkoflw")))) {
    reset();
  }
}

TFaultInfo Describe(const EXCEPTION_RECORD& aRecord) {
  TFaultInfo fault;
  fault.CodeAddress = reinterpret_cast<std::uintptr_t>(aRecord.ExceptionAddress);
  fault.Code = aRecord.ExceptionCode;
  switch (aRecord.ExceptionCode) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
      fault.Kind = TFaultInfo::fkAccessViolation;
      fault.Write = aRecord.NumberParameters >= 1 && aRecord.ExceptionInformation[0] == 1;
      if (aRecord.NumberParameters >= 2) fault.DataAddress = aRecord.ExceptionInformation[1];
      fault.Module = ModuleOf(aRecord.ExceptionAddress);
      break;
    case EXCEPTION_STACK_OVERFLOW:
      fault.Kind = TFaultInfo::fkStackOverflow;
      break;
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
      fault.Kind = TFaultInfo::fkIntegerDivisionByZero;
      break;
    case EXCEPTION_INT_OVERFLOW:
      fault.Kind = TFaultInfo::fkIntegerOverflow;
      break;
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
      fault.Kind = TFaultInfo::fkInvalidFloatingPoint;
      break;
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
      fault.Kind = TFaultInfo::fkFloatingPointDivisionByZero;
      break;
    case EXCEPTION_FLT_OVERFLOW:
      fault.Kind = TFaultInfo::fkFloatingPointOverflow;
      break;
    case EXCEPTION_FLT_UNDERFLOW:
      fault.Kind = TFaultInfo::fkFloatingPointUnderflow;
      break;
    case EXCEPTION_PRIV_INSTRUCTION:
      fault.Kind = TFaultInfo::fkPrivilegedInstruction;
      break;
    default:
      fault.Kind = TFaultInfo::fkOther;
      break;
  }
  return fault;
}

}  // namespace

void InstallFaultGuard() {
  if (gInstalled) return;
  gInstalled = true;
  AddVectoredExceptionHandler(1, VectoredHandler);
  gPreviousFilter = SetUnhandledExceptionFilter(UnhandledFilter);
}

bool RunGuardedCall(void (*aCall)(void*), void* aContext, TFaultInfo& vFault) {
  TGuardFrame frame;
  frame.Previous = gFrame;
  frame.Thread = GetCurrentThreadId();
#if defined(__i386__)
  frame.ExceptionList = ExceptionList();
#endif
  const TFloatingPointState saved = EnterLibraryFloatingPoint();
  if (__builtin_setjmp(frame.Env) == 0) {
    RunInGuardFrame(gFrame, frame, saved, aCall, aContext);
    return true;
  }
  // Back from the handler: the frames the fault left behind are gone.
#if defined(__i386__)
  SetExceptionList(frame.ExceptionList);
#endif
  LeaveLibraryFloatingPoint(saved);
  vFault = Describe(frame.Record);
  if (vFault.Kind == TFaultInfo::fkStackOverflow) RestoreStackGuard();
  return false;
}

}  // namespace xlate
