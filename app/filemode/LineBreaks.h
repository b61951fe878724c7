#pragma once

#include "common/Types.h"

namespace xlate {

// One input line gives one output line: each line break inside a
// translation or a message (CR LF, a lone CR, a lone LF) becomes one space.
// A NUL stays as it is.
void FlattenLineBreaks(Text& vLine);

}  // namespace xlate
