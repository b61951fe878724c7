#include "platform/posix/SignalFault.h"

#include <csignal>

namespace xlate {

namespace {

// Linux's si_code values; the same numbers on every architecture.
constexpr int kIllPrivilegedOpcode = 5;    // ILL_PRVOPC
constexpr int kIllPrivilegedRegister = 6;  // ILL_PRVREG
constexpr int kFpeIntDiv = 1;
constexpr int kFpeIntOvf = 2;
constexpr int kFpeFltDiv = 3;
constexpr int kFpeFltOvf = 4;
constexpr int kFpeFltUnd = 5;
constexpr int kFpeFltRes = 6;
constexpr int kFpeFltInv = 7;
constexpr int kBusAlignment = 1;  // BUS_ADRALN

// Windows' exception codes for the faults that have no message of their
// own, so that both builds name them alike.
constexpr std::uint32_t kIllegalInstruction = 0xC000001D;
constexpr std::uint32_t kFloatInexactResult = 0xC000008F;
constexpr std::uint32_t kFloatMultipleTraps = 0xC00002B5;
constexpr std::uint32_t kDatatypeMisalignment = 0x80000002;

}  // namespace

TFaultInfo ClassifySignal(const TSignalFacts& aFacts) {
  TFaultInfo fault;
  fault.CodeAddress = aFacts.CodeAddress;
  switch (aFacts.Signal) {
    case SIGSEGV:
    case SIGBUS:
      if (aFacts.PrivilegedOpcode) {
        fault.Kind = TFaultInfo::fkPrivilegedInstruction;
      } else if (aFacts.Signal == SIGBUS && aFacts.Code == kBusAlignment) {
        fault.Code = kDatatypeMisalignment;
      } else if (aFacts.OnStackGuard) {
        fault.Kind = TFaultInfo::fkStackOverflow;
      } else {
        fault.Kind = TFaultInfo::fkAccessViolation;
        fault.DataAddress = aFacts.DataAddress;
        fault.Write = aFacts.Write;
      }
      return fault;
    case SIGFPE:
      switch (aFacts.Code) {
        case kFpeIntDiv:
          fault.Kind = TFaultInfo::fkIntegerDivisionByZero;
          break;
        case kFpeIntOvf:
          fault.Kind = TFaultInfo::fkIntegerOverflow;
          break;
        case kFpeFltDiv:
          fault.Kind = TFaultInfo::fkFloatingPointDivisionByZero;
          break;
        case kFpeFltOvf:
          fault.Kind = TFaultInfo::fkFloatingPointOverflow;
          break;
        case kFpeFltUnd:
          fault.Kind = TFaultInfo::fkFloatingPointUnderflow;
          break;
        case kFpeFltInv:
          fault.Kind = TFaultInfo::fkInvalidFloatingPoint;
          break;
        case kFpeFltRes:
          fault.Code = kFloatInexactResult;
          break;
        default:
          fault.Code = kFloatMultipleTraps;
          break;
      }
      return fault;
    case SIGILL:
      if (aFacts.Code == kIllPrivilegedOpcode || aFacts.Code == kIllPrivilegedRegister ||
          aFacts.PrivilegedOpcode) {
        fault.Kind = TFaultInfo::fkPrivilegedInstruction;
      } else {
        fault.Code = kIllegalInstruction;
      }
      return fault;
    default:
      fault.Code = static_cast<std::uint32_t>(aFacts.Signal);
      return fault;
  }
}

bool IsPrivilegedX86Instruction(const unsigned char* aBytes) {
  std::size_t i = 0;
  // Skip prefixes: operand and address size, segment, rep, REX.
  while (i < 4 &&
         (aBytes[i] == 0x66 || aBytes[i] == 0x67 || aBytes[i] == 0x2E || aBytes[i] == 0x3E ||
          aBytes[i] == 0x26 || aBytes[i] == 0x36 || aBytes[i] == 0x64 || aBytes[i] == 0x65 ||
          aBytes[i] == 0xF2 || aBytes[i] == 0xF3 || (aBytes[i] >= 0x40 && aBytes[i] <= 0x4F))) {
    ++i;
  }
  unsigned char op = aBytes[i];
  switch (op) {
    case 0xF4:  // hlt
    case 0xFA:  // cli
    case 0xFB:  // sti
    case 0xE4:  // in / out with an immediate port
    case 0xE5:
    case 0xE6:
    case 0xE7:
    case 0xEC:  // in / out with the port in dx
    case 0xED:
    case 0xEE:
    case 0xEF:
    case 0x6C:  // ins / outs
    case 0x6D:
    case 0x6E:
    case 0x6F:
      return true;
    case 0x0F: {
      unsigned char op2 = aBytes[i + 1];
      // clts, invd, wbinvd, wrmsr, rdmsr, mov to and from control and
      // debug registers.
      if (op2 == 0x06 || op2 == 0x08 || op2 == 0x09 || op2 == 0x30 || op2 == 0x32 ||
          (op2 >= 0x20 && op2 <= 0x23)) {
        return true;
      }
      // lgdt, lidt, lmsw, invlpg (group 7 with a memory operand or the
      // register forms of those).
      if (op2 == 0x01) {
        unsigned char reg = (aBytes[i + 2] >> 3) & 7;
        return reg == 2 || reg == 3 || reg == 6 || reg == 7;
      }
      return false;
    }
    default:
      return false;
  }
}

}  // namespace xlate
