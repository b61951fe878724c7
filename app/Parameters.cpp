#include "app/Parameters.h"

#include "common/Codings.h"
#include "common/Conversions.h"
#include "common/Exception.h"

namespace xlate {

const char16_t kDefaultText[] = u"Hello, this is xlate, a front end to a translation library.";

TCodingType ParseCoding(const Text& aWord) { return CodingNamed(aWord).Type; }

Text LookupParameter(TPlatform& aPlatform, const std::vector<Text>& aParameters, const Text& aKey) {
  for (const Text& parameter : aParameters) {
    std::size_t equals = parameter.find(u'=');
    if (equals == Text::npos) continue;
    if (aPlatform.EqualIgnoreCase(parameter.substr(0, equals), aKey)) {
      return parameter.substr(equals + 1);
    }
  }
  return Text();
}

namespace {

// A field still unset gets its default only when no parameter of that name,
// in any case, was given with a value.
bool DefaultApplies(TPlatform& aPlatform, const std::vector<Text>& aParameters, const Text& aKey) {
  return LookupParameter(aPlatform, aParameters, aKey).empty();
}

void SetDefaultLanguage(TPlatform& aPlatform, const std::vector<Text>& aParameters,
                        const Text& aKey, Text& vField) {
  if (vField.empty() && DefaultApplies(aPlatform, aParameters, aKey)) vField = u"en";
}

}  // namespace

TRunSettings ParseParameters(TPlatform& aPlatform, const std::vector<Text>& aParameters) {
  TRunSettings s;  // Task unknown, codings none, texts empty

  for (const Text& parameter : aParameters) {
    std::size_t equals = parameter.find(u'=');
    if (equals == Text::npos || equals == 0) continue;
    const Text name = parameter.substr(0, equals);
    const Text value = parameter.substr(equals + 1);
    if (name == u"DO") {
      s.Task = value == u"TRANSLATE" ? ttTranslate : value == u"LIST" ? ttList : ttUnknown;
    } else if (name == u"LANGFROM") {
      s.LangFrom = value;
    } else if (name == u"LANGTO") {
      s.LangTo = value;
    } else if (name == u"LANGINIT") {
      s.LangInit = value;
    } else if (name == u"ICODING") {
      s.InCoding = ParseCoding(value);
    } else if (name == u"OCODING") {
      s.OutCoding = ParseCoding(value);
    } else if (name == u"TEXT") {
      s.Text = TextToAnsi(aPlatform, aPlatform.ArgumentAsText(value));
    } else if (name == u"IFILE") {
      s.InFile = value;
    } else if (name == u"OFILE") {
      s.OutFile = value;
    }
  }

  if (s.OutCoding == ctNone && s.InCoding != ctNone) s.OutCoding = s.InCoding;
  if (s.InCoding == ctNone && s.OutCoding != ctNone) s.InCoding = s.OutCoding;

  // File names are derived before the language defaults apply, so they use
  // the codes as given, which may be empty.
  if (s.OutFile.empty() && !s.InFile.empty()) {
    s.OutFile = s.InFile + u"." + s.LangTo;
    s.OutFileDerived = true;
  }
  if (s.InFile.empty() && !s.OutFile.empty()) s.InFile = s.OutFile + u"." + s.LangFrom;
  // The codes have given their bytes to the names; from here on they are text.
  s.LangFrom = aPlatform.ArgumentAsText(s.LangFrom);
  s.LangTo = aPlatform.ArgumentAsText(s.LangTo);
  s.LangInit = aPlatform.ArgumentAsText(s.LangInit);

  if (s.Task == ttUnknown && DefaultApplies(aPlatform, aParameters, u"DO")) s.Task = ttTranslate;
  SetDefaultLanguage(aPlatform, aParameters, u"LANGFROM", s.LangFrom);
  SetDefaultLanguage(aPlatform, aParameters, u"LANGTO", s.LangTo);
  SetDefaultLanguage(aPlatform, aParameters, u"LANGINIT", s.LangInit);
  if (s.InCoding == ctNone && DefaultApplies(aPlatform, aParameters, u"ICODING"))
    s.InCoding = ctANSI;
  if (s.OutCoding == ctNone && DefaultApplies(aPlatform, aParameters, u"OCODING"))
    s.OutCoding = ctOEM;
  if (s.Text.empty() && DefaultApplies(aPlatform, aParameters, u"TEXT"))
    s.Text = TextToAnsi(aPlatform, kDefaultText);

  s.UseFiles = !s.InFile.empty() || !s.OutFile.empty();

  if (s.Task == ttUnknown) throw TException(u"Unknown task type");
  if (s.InCoding == ctNone && s.OutCoding == ctNone) throw TException(u"Unknown coding type");
  return s;
}

}  // namespace xlate
