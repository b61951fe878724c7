#include "common/Exception.h"
#include "platform/FaultGuard.h"

namespace xlate {

Text FaultMessage(const FaultInfo& aFault) {
  switch (aFault.kind) {
    case FaultInfo::kAccessViolation: {
      const void* code = reinterpret_cast<const void*>(aFault.codeAddress);
      const void* data = reinterpret_cast<const void*>(aFault.dataAddress);
      const char16_t* access = aFault.write ? u"Write" : u"Read";
      if (aFault.module.empty()) {
        return Format(u"Access violation at address %p. %s of address %p", {code, access, data});
      }
      return Format(u"Access violation at address %p in module '%s'. %s of address %p",
                    {code, aFault.module, access, data});
    }
    case FaultInfo::kStackOverflow:
      return u"Stack overflow";
    case FaultInfo::kIntegerDivisionByZero:
      return u"Division by zero";
    case FaultInfo::kIntegerOverflow:
      return u"Integer overflow";
    case FaultInfo::kInvalidFloatingPoint:
      return u"Invalid floating point operation";
    case FaultInfo::kFloatingPointDivisionByZero:
      return u"Floating point division by zero";
    case FaultInfo::kFloatingPointOverflow:
      return u"Floating point overflow";
    case FaultInfo::kFloatingPointUnderflow:
      return u"Floating point underflow";
    case FaultInfo::kPrivilegedInstruction:
      return u"Privileged instruction";
    case FaultInfo::kOther:
      break;
  }
  return Format(u"External exception %x", {aFault.code});
}

}  // namespace xlate
