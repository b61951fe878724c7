#include "platform/Platform.h"

#include "common/SystemError.h"

namespace xlate {

Text SystemErrorText(Platform& aPlatform, std::uint32_t aCode) {
  return TrimSystemMessage(aPlatform.SystemErrorMessage(aCode));
}

Text LastSystemErrorText(Platform& aPlatform) {
  return SystemErrorText(aPlatform, aPlatform.LastError());
}

}  // namespace xlate
