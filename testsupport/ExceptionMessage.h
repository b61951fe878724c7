#pragma once

#include "common/Exception.h"
#include "common/Types.h"

namespace xlate {

// The message of the TException that aAction raises, or aNone when it
// raises none; any other exception passes on.
template <typename TAction>
Text MessageOf(TAction aAction, const Text& aNone = u"(no error)") {
  try {
    aAction();
  } catch (const TException& e) {
    return e.Message();
  }
  return aNone;
}

}  // namespace xlate
