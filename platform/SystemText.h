#pragma once

#include "common/CodePageConverter.h"
#include "common/ErrorCodes.h"
#include "common/Types.h"

namespace xlate {

// The system's text: its code pages and the conversions between them and
// text (TCodePageConverter), and its messages for failure codes.
class TSystemText : public TCodePageConverter {
 public:
  // The system's text for a failure's code as it stands (trimming is the
  // caller's business); empty if none.
  virtual Text SystemErrorMessage(TErrorCode aCode) = 0;
};

// The system's message for a failure's code, trimmed as TrimSystemMessage
// does.
Text SystemErrorText(TSystemText& aText, TErrorCode aCode);

}  // namespace xlate
