#pragma once

#include "common/Types.h"

namespace xlate {

// What a run asks of the translation library: made once from the run's
// settings and handed to the service when it is made, which passes it to
// every call into the library. A setting that reaches the library is a
// field here, read by the service where it calls the library.
struct TTranslationRequest {
  Text LangInit;  // the library's own language, of its messages and its list
  Text LangFrom;  // the language translated from
  Text LangTo;    // the language translated into
};

}  // namespace xlate
