#include "app/Usage.h"

#include "common/Exception.h"
#include "platform/Platform.h"

namespace xlate {

Text FileNameOfPath(const Text& aPath, const Text& aSeparators) {
  std::size_t last = aPath.find_last_of(aSeparators);
  return last == Text::npos ? aPath : aPath.substr(last + 1);
}

Text UsageTextFor(const Text& aProgramName) {
  return Format(
      u"Usage:\r\n%s %s=[%s|%s] %s=<LangCode> %s=<LangCode> %s=<LangCode> %s=[%s|%s|%s|%s] "
      u"%s=[%s|%s|%s|%s] %s=<Text> %s=<FileName> %s=<FileName>",
      {aProgramName, u"DO",      u"TRANSLATE", u"LIST",    u"LANGFROM", u"LANGTO",  u"LANGINIT",
       u"ICODING",   u"ANSI",    u"UTF8",      u"UNICODE", u"OEM",      u"OCODING", u"ANSI",
       u"UTF8",      u"UNICODE", u"OEM",       u"TEXT",    u"IFILE",    u"OFILE"});
}

Text UsageText() {
  TPlatform& platform = CurrentPlatform();
  return UsageTextFor(FileNameOfPath(platform.ProgramPath(), platform.PathSeparators()));
}

}  // namespace xlate
