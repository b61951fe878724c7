#include "common/Exception.h"
#include "platform/FaultGuard.h"

namespace xlate {

Text FaultMessage(const TFaultInfo& aFault) {
  switch (aFault.Kind) {
    case TFaultInfo::fkAccessViolation: {
      const void* code = reinterpret_cast<const void*>(aFault.CodeAddress);
      const void* data = reinterpret_cast<const void*>(aFault.DataAddress);
      const char16_t* access = aFault.Write ? u"Write" : u"Read";
      if (aFault.Module.empty()) {
        return Format(u"Access violation at address %p. %s of address %p", {code, access, data});
      }
      return Format(u"Access violation at address %p in module '%s'. %s of address %p",
                    {code, aFault.Module, access, data});
    }
    case TFaultInfo::fkStackOverflow:
      return u"Stack overflow";
    case TFaultInfo::fkIntegerDivisionByZero:
      return u"Division by zero";
    case TFaultInfo::fkIntegerOverflow:
      return u"Integer overflow";
    case TFaultInfo::fkInvalidFloatingPoint:
      return u"Invalid floating point operation";
    case TFaultInfo::fkFloatingPointDivisionByZero:
      return u"Floating point division by zero";
    case TFaultInfo::fkFloatingPointOverflow:
      return u"Floating point overflow";
    case TFaultInfo::fkFloatingPointUnderflow:
      return u"Floating point underflow";
    case TFaultInfo::fkPrivilegedInstruction:
      return u"Privileged instruction";
    case TFaultInfo::fkOther:
      break;
  }
  return Format(u"External exception %x", {aFault.Code});
}

}  // namespace xlate
