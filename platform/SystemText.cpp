#include "platform/SystemText.h"

#include "common/SystemError.h"

namespace xlate {

Text SystemErrorText(TSystemText& aText, TErrorCode aCode) {
  return TrimSystemMessage(aText.SystemErrorMessage(aCode));
}

}  // namespace xlate
