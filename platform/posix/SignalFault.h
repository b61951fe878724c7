#pragma once

// What a fault signal tells, reduced to plain numbers, and how it reads as
// a fault. Kept apart from the handler so that it can be tested.

#include <cstdint>

#include "platform/FaultGuard.h"

namespace xlate {

struct TSignalFacts {
  int signal = 0;
  int code = 0;                    // si_code
  std::uintptr_t dataAddress = 0;  // si_addr
  std::uintptr_t codeAddress = 0;  // the instruction pointer
  bool write = false;              // the page fault was a write
  bool onStackGuard = false;       // the address is at the end of the stack
  bool privilegedOpcode = false;   // the instruction is one user code may not run
};

// The fault for a signal; the module is left for the caller to find.
TFaultInfo ClassifySignal(const TSignalFacts& aFacts);

// Whether the instruction starting with these bytes is privileged on x86
// (hlt, cli, sti, in, out, and the system-table instructions).
bool IsPrivilegedX86Instruction(const unsigned char* aBytes);

}  // namespace xlate
