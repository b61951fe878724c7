#pragma once

// Containment of processor faults inside calls into the translation
// library: a call that faults (bad pointer, stack overflow, division by
// zero, a trapped floating-point operation, an illegal instruction) comes
// back as a description of the fault instead of ending the process. While
// a guarded call runs, floating-point invalid operation, division by zero
// and overflow trap; the caller's floating-point settings come back after
// the call, also after a fault. A fault outside a guarded call ends the
// process as it would without the guard.

#include <cstdint>

#include "common/Types.h"

namespace xlate {

struct TFaultInfo {
  enum TKind {
    fkAccessViolation,
    fkStackOverflow,
    fkIntegerDivisionByZero,
    fkIntegerOverflow,
    fkInvalidFloatingPoint,
    fkFloatingPointDivisionByZero,
    fkFloatingPointOverflow,
    fkFloatingPointUnderflow,
    fkPrivilegedInstruction,
    fkOther,
  };
  TKind Kind = fkOther;
  std::uintptr_t CodeAddress = 0;  // the faulting instruction
  std::uintptr_t DataAddress = 0;  // the address accessed (access violations)
  bool Write = false;              // the access was a write
  Text Module;                     // file name of the module holding codeAddress; empty if none
  std::uint32_t Code = 0;          // the platform's exception code (fkOther)
};

// The message for a fault, as the program reports it.
Text FaultMessage(const TFaultInfo& aFault);

// The process's own guard, which ProcessCallGuard() (LibraryCallGuard.h)
// offers to the program: one implementation per platform.
// Installs the fault handlers; done once, later calls do nothing.
void InstallFaultGuard();

// Runs aCall(aContext) under the guard. True when it returned normally;
// false, with vFault filled in, when it faulted.
bool RunGuardedCall(void (*aCall)(void*), void* aContext, TFaultInfo& vFault);

}  // namespace xlate
