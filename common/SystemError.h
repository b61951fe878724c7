#pragma once

#include "common/Types.h"

namespace xlate {

// A system's message for an error code, with trailing blanks, control
// characters and periods cut off so that it ends in its last word. Empty
// when the message is longer than 255 units.
Text TrimSystemMessage(const Text& aMessage);

}  // namespace xlate
