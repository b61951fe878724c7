#include "app/Usage.h"

#include "app/Parameters.h"

namespace xlate {

Text FileNameOfPath(const Text& aPath, const Text& aSeparators) {
  std::size_t last = aPath.find_last_of(aSeparators);
  return last == Text::npos ? aPath : aPath.substr(last + 1);
}

Text UsageTextFor(const Text& aProgramName) {
  Text usage = u"Usage:\r\n" + aProgramName;
  for (const TParameter& parameter : kParameters) {
    usage += u" ";
    usage += parameter.Name;
    usage += u"=" + parameter.UsageValue();
  }
  return usage;
}

Text UsageText(TPlatform& aPlatform) {
  return UsageTextFor(
      FileNameOfPath(aPlatform.Process().ProgramPath(), aPlatform.Files().PathSeparators()));
}

}  // namespace xlate
