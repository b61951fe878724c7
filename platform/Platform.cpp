#include "platform/Platform.h"

#include "common/SystemError.h"

namespace xlate {

Text SystemErrorText(Platform& aPlatform, TErrorCode aCode) {
  return TrimSystemMessage(aPlatform.SystemErrorMessage(aCode));
}

}  // namespace xlate
