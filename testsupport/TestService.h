#pragma once

// The translation service with the calls only the tests make: the
// library's POST text conversions, which the program binds but does not
// use, a translation that gives its failure back, and whether the library
// has the batch entry point.

#include "service/jxDLLInterface.h"

namespace xlate {

class TTestService : public TdllZTA {
 public:
  using TdllZTA::TdllZTA;

  // Like Translate, but a failure comes back as false with its message;
  // both outputs are cleared first.
  bool TranslateAndGetError(const Text& aText, Text& vTranslation, Text& vError);
  Text ToPOSTText(const Text& aText);
  Text FromPOSTText(const Text& aText);
  bool HasBatchEntryPoint() const { return FprocTranslateBatch != nullptr; }
};

}  // namespace xlate
