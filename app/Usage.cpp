#include "app/Usage.h"

#include "common/Codings.h"
#include "common/Exception.h"

namespace xlate {

Text FileNameOfPath(const Text& aPath, const Text& aSeparators) {
  std::size_t last = aPath.find_last_of(aSeparators);
  return last == Text::npos ? aPath : aPath.substr(last + 1);
}

Text UsageTextFor(const Text& aProgramName) {
  const Text codings = CodingKeywords();
  return Format(
      u"Usage:\r\n%s %s=[%s|%s] %s=<LangCode> %s=<LangCode> %s=<LangCode> %s=[%s] %s=[%s] "
      u"%s=<Text> %s=<FileName> %s=<FileName>",
      {aProgramName, u"DO", u"TRANSLATE", u"LIST", u"LANGFROM", u"LANGTO", u"LANGINIT", u"ICODING",
       codings, u"OCODING", codings, u"TEXT", u"IFILE", u"OFILE"});
}

Text UsageText(TPlatform& aPlatform) {
  return UsageTextFor(
      FileNameOfPath(aPlatform.Process().ProgramPath(), aPlatform.Files().PathSeparators()));
}

}  // namespace xlate
