#pragma once

// What a fault signal tells, reduced to plain numbers, and how it reads as
// a fault. Kept apart from the handler so that it can be tested.

#include <cstdint>

#include "platform/FaultGuard.h"

namespace xlate {

struct TSignalFacts {
  int Signal = 0;
  int Code = 0;                    // si_code
  std::uintptr_t DataAddress = 0;  // si_addr
  std::uintptr_t CodeAddress = 0;  // the instruction pointer
  bool Write = false;              // the page fault was a write
  bool OnStackGuard = false;       // the address is at the end of the stack
  bool PrivilegedOpcode = false;   // the instruction is one user code may not run
};

// The fault for a signal; the module is left for the caller to find.
TFaultInfo ClassifySignal(const TSignalFacts& aFacts);

// Whether the instruction starting with these bytes is privileged on x86
// (hlt, cli, sti, in, out, and the system-table instructions).
bool IsPrivilegedX86Instruction(const unsigned char* aBytes);

}  // namespace xlate
