// Parameter parsing: it either raises one of its two messages or gives
// settings that pass its checks; the warnings never raise.
#include <cstdint>

#include "app/Parameters.h"
#include "common/Exception.h"
#include "common/Utf8.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
  using namespace xlate;
  TFakePlatform& platform = FuzzPlatform();
  platform.Ansi = aSize > 0 && (aData[0] & 1) ? 65001 : 1251;
  std::vector<Text> parameters;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= aSize; ++i) {
    if (i == aSize || aData[i] == '\n') {
      parameters.push_back(DecodeUtf8(reinterpret_cast<const char*>(aData) + start, i - start));
      start = i + 1;
    }
  }
  // One warning at most per parameter, each one line.
  const std::vector<Text> warnings = ParameterWarnings(platform, parameters);
  Check(warnings.size() <= parameters.size(), "more warnings than parameters");
  for (const Text& warning : warnings) {
    Check(warning.rfind(u"xlate: ", 0) == 0, "a warning without the program's name");
  }
  try {
    TRunSettings s = ParseParameters(platform, parameters);
    Check(s.Task != ttUnknown, "an unknown task passed");
    Check(s.InCoding != ctNone || s.OutCoding != ctNone, "no coding passed");
    Check(s.UseFiles == (!s.InFile.empty() || !s.OutFile.empty()), "UseFiles is wrong");
    Check(!s.OutFileDerived || !s.InFile.empty(), "an output name derived from nothing");
  } catch (const TException& e) {
    Check(e.Message() == u"Unknown task type" || e.Message() == u"Unknown coding type",
          "an unexpected message");
  }
  return 0;
}
