#include "common/Exception.h"
#include "platform/FaultGuard.h"

namespace xlate {

Text FaultMessage(const TFaultInfo& aFault) {
  switch (aFault.kind) {
    case TFaultInfo::kAccessViolation: {
      const void* code = reinterpret_cast<const void*>(aFault.codeAddress);
      const void* data = reinterpret_cast<const void*>(aFault.dataAddress);
      const char16_t* access = aFault.write ? u"Write" : u"Read";
      if (aFault.module.empty()) {
        return Format(u"Access violation at address %p. %s of address %p", {code, access, data});
      }
      return Format(u"Access violation at address %p in module '%s'. %s of address %p",
                    {code, aFault.module, access, data});
    }
    case TFaultInfo::kStackOverflow:
      return u"Stack overflow";
    case TFaultInfo::kIntegerDivisionByZero:
      return u"Division by zero";
    case TFaultInfo::kIntegerOverflow:
      return u"Integer overflow";
    case TFaultInfo::kInvalidFloatingPoint:
      return u"Invalid floating point operation";
    case TFaultInfo::kFloatingPointDivisionByZero:
      return u"Floating point division by zero";
    case TFaultInfo::kFloatingPointOverflow:
      return u"Floating point overflow";
    case TFaultInfo::kFloatingPointUnderflow:
      return u"Floating point underflow";
    case TFaultInfo::kPrivilegedInstruction:
      return u"Privileged instruction";
    case TFaultInfo::kOther:
      break;
  }
  return Format(u"External exception %x", {aFault.code});
}

}  // namespace xlate
