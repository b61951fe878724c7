#include "platform/Platform.h"

#include "common/SystemError.h"

namespace xlate {

Text SystemErrorText(TPlatform& aPlatform, TErrorCode aCode) {
  return TrimSystemMessage(aPlatform.SystemErrorMessage(aCode));
}

}  // namespace xlate
