#pragma once

#include <cstdint>

#include "common/Types.h"
#include "platform/Platform.h"

namespace xlate {

// The system's message for an error code, with trailing blanks, control
// characters and periods cut off so that it ends in its last word. Empty
// when the system has no message or the message is longer than 255 units.
Text SystemErrorText(Platform& aPlatform, std::uint32_t aCode);
Text TrimSystemMessage(const Text& aMessage);

// The text for the last failed platform operation.
Text LastSystemErrorText(Platform& aPlatform);

}  // namespace xlate
