#include "app/Parameters.h"

#include <algorithm>

#include "common/Codings.h"
#include "common/Conversions.h"
#include "common/Exception.h"

namespace xlate {

const char16_t kDefaultText[] = u"Hello, this is xlate, a front end to a translation library.";
const char16_t kStdStreamName[] = u"-";

TCodingType ParseCoding(const Text& aWord) { return CodingNamed(aWord).Type; }

Text LookupParameter(TPlatform& aPlatform, const std::vector<Text>& aParameters, const Text& aKey) {
  for (const Text& parameter : aParameters) {
    std::size_t equals = parameter.find(u'=');
    if (equals == Text::npos) continue;
    if (aPlatform.Process().EqualIgnoreCase(parameter.substr(0, equals), aKey)) {
      return parameter.substr(equals + 1);
    }
  }
  return Text();
}

namespace {

Text LangCodeValue() { return u"<LangCode>"; }
Text CodingValue() { return u"[" + CodingKeywords() + u"]"; }

// The default of a language code.
constexpr char16_t kDefaultLanguage[] = u"en";

// The parameters. Each one's field is set by the first of its lambdas,
// tested for a value by the second, and given its default by the third. A
// parameter without a default (IFILE, OFILE) is never without a value for
// that test.
const TParameter kRows[] = {
    {u"DO", [] { return Text(u"[TRANSLATE|LIST]"); },
     [](TPlatform&, const Text& aValue, TRunSettings& vSettings) {
       vSettings.Task = aValue == u"TRANSLATE" ? ttTranslate
                        : aValue == u"LIST"    ? ttList
                                               : ttUnknown;
     },
     [](const TRunSettings& aSettings) { return aSettings.Task == ttUnknown; },
     [](TPlatform&, TRunSettings& vSettings) { vSettings.Task = ttTranslate; },
     u"what to do: translate, or list the languages the library knows (default TRANSLATE)"},
    {u"LANGFROM", LangCodeValue,
     [](TPlatform&, const Text& aValue, TRunSettings& vSettings) { vSettings.LangFrom = aValue; },
     [](const TRunSettings& aSettings) { return aSettings.LangFrom.empty(); },
     [](TPlatform&, TRunSettings& vSettings) { vSettings.LangFrom = kDefaultLanguage; },
     u"the language of the text (default en)"},
    {u"LANGTO", LangCodeValue,
     [](TPlatform&, const Text& aValue, TRunSettings& vSettings) { vSettings.LangTo = aValue; },
     [](const TRunSettings& aSettings) { return aSettings.LangTo.empty(); },
     [](TPlatform&, TRunSettings& vSettings) { vSettings.LangTo = kDefaultLanguage; },
     u"the language to translate into (default en)"},
    {u"LANGINIT", LangCodeValue,
     [](TPlatform&, const Text& aValue, TRunSettings& vSettings) { vSettings.LangInit = aValue; },
     [](const TRunSettings& aSettings) { return aSettings.LangInit.empty(); },
     [](TPlatform&, TRunSettings& vSettings) { vSettings.LangInit = kDefaultLanguage; },
     u"the language of the library's messages and language names (default en)"},
    {u"ICODING", CodingValue,
     [](TPlatform&, const Text& aValue, TRunSettings& vSettings) {
       vSettings.InCoding = ParseCoding(aValue);
     },
     [](const TRunSettings& aSettings) { return aSettings.InCoding == ctNone; },
     [](TPlatform&, TRunSettings& vSettings) { vSettings.InCoding = ctANSI; },
     u"the coding of TEXT and of the input file (default: OCODING's, else ANSI)"},
    {u"OCODING", CodingValue,
     [](TPlatform&, const Text& aValue, TRunSettings& vSettings) {
       vSettings.OutCoding = ParseCoding(aValue);
     },
     [](const TRunSettings& aSettings) { return aSettings.OutCoding == ctNone; },
     [](TPlatform&, TRunSettings& vSettings) { vSettings.OutCoding = ctOEM; },
     u"the coding of the output; on the console UNICODE means ANSI (default: ICODING's, else OEM)"},
    {u"TEXT", [] { return Text(u"<Text>"); },
     [](TPlatform& aPlatform, const Text& aValue, TRunSettings& vSettings) {
       vSettings.Text =
           TextToAnsi(aPlatform.SystemText(), aPlatform.Process().ArgumentAsText(aValue));
     },
     [](const TRunSettings& aSettings) { return aSettings.Text.empty(); },
     [](TPlatform& aPlatform, TRunSettings& vSettings) {
       vSettings.Text = TextToAnsi(aPlatform.SystemText(), kDefaultText);
     },
     u"the text to translate (default: a line about xlate)"},
    {u"IFILE", [] { return Text(u"<FileName>"); },
     [](TPlatform&, const Text& aValue, TRunSettings& vSettings) { vSettings.InFile = aValue; },
     [](const TRunSettings&) { return false; }, [](TPlatform&, TRunSettings&) {},
     u"the file to translate line by line, - for standard input (default: OFILE.LANGFROM when only "
     u"OFILE is given)"},
    {u"OFILE", [] { return Text(u"<FileName>"); },
     [](TPlatform&, const Text& aValue, TRunSettings& vSettings) { vSettings.OutFile = aValue; },
     [](const TRunSettings&) { return false; }, [](TPlatform&, TRunSettings&) {},
     u"the file for the translation or the list, - for standard output (default: IFILE.LANGTO, or "
     u"- after IFILE=-)"},
};

}  // namespace

// The rows are as many as kParameterCount says, or this does not compile.
static_assert(sizeof(kRows) / sizeof(kRows[0]) == kParameterCount,
              "kParameterCount is the number of rows of kParameters");
const TParameter (&kParameters)[kParameterCount] = kRows;

namespace {

// A field still unset gets its default only when no parameter of that name,
// in any case, was given with a value.
bool DefaultApplies(TPlatform& aPlatform, const std::vector<Text>& aParameters, const Text& aKey) {
  return LookupParameter(aPlatform, aParameters, aKey).empty();
}

// The parameters set by name, and the codings filled from each other: the
// settings before any default applies.
TRunSettings SetFields(TPlatform& aPlatform, const std::vector<Text>& aParameters) {
  TRunSettings s;  // Task unknown, codings none, texts empty

  for (const Text& parameter : aParameters) {
    std::size_t equals = parameter.find(u'=');
    if (equals == Text::npos || equals == 0) continue;
    const Text name = parameter.substr(0, equals);
    const Text value = parameter.substr(equals + 1);
    for (const TParameter& known : kParameters) {
      if (name == known.Name) {
        known.Set(aPlatform, value, s);
        break;
      }
    }
  }

  if (s.OutCoding == ctNone && s.InCoding != ctNone) s.OutCoding = s.InCoding;
  if (s.InCoding == ctNone && s.OutCoding != ctNone) s.InCoding = s.OutCoding;
  return s;
}

}  // namespace

TRunSettings ParseParameters(TPlatform& aPlatform, const std::vector<Text>& aParameters) {
  TRunSettings s = SetFields(aPlatform, aParameters);

  // File names are derived before the language defaults apply, so they use
  // the codes as given, which may be empty. Standard input has no name to
  // derive one from: its translation goes to standard output.
  if (s.OutFile.empty() && s.InFile == kStdStreamName) {
    s.OutFile = kStdStreamName;
  } else if (s.OutFile.empty() && !s.InFile.empty()) {
    s.OutFile = s.InFile + u"." + s.LangTo;
    s.OutFileDerived = true;
  }
  if (s.InFile.empty() && !s.OutFile.empty()) s.InFile = s.OutFile + u"." + s.LangFrom;
  // The codes have given their bytes to the names; from here on they are text.
  s.LangFrom = aPlatform.Process().ArgumentAsText(s.LangFrom);
  s.LangTo = aPlatform.Process().ArgumentAsText(s.LangTo);
  s.LangInit = aPlatform.Process().ArgumentAsText(s.LangInit);

  for (const TParameter& parameter : kParameters) {
    if (parameter.WithoutValue(s) && DefaultApplies(aPlatform, aParameters, parameter.Name)) {
      parameter.SetDefault(aPlatform, s);
    }
  }

  s.UseFiles = !s.InFile.empty() || !s.OutFile.empty();

  if (s.Task == ttUnknown) throw TException(u"Unknown task type");
  if (s.InCoding == ctNone && s.OutCoding == ctNone) throw TException(u"Unknown coding type");
  return s;
}

namespace {

// The number of single-letter edits (insert, delete, replace, swap two
// neighbours) that make one text from the other.
std::size_t EditDistance(const Text& aLeft, const Text& aRight) {
  // Rows of the distances between the prefixes of aLeft and of aRight: the
  // one before the last, the last, and the one being filled.
  const std::size_t width = aRight.size() + 1;
  std::vector<std::size_t> before(width), last(width), row(width);
  for (std::size_t j = 0; j < width; ++j) last[j] = j;
  for (std::size_t i = 1; i <= aLeft.size(); ++i) {
    row[0] = i;
    for (std::size_t j = 1; j < width; ++j) {
      const std::size_t replace = last[j - 1] + (aLeft[i - 1] == aRight[j - 1] ? 0 : 1);
      std::size_t best = std::min({last[j] + 1, row[j - 1] + 1, replace});
      if (i > 1 && j > 1 && aLeft[i - 1] == aRight[j - 2] && aLeft[i - 2] == aRight[j - 1]) {
        best = std::min(best, before[j - 2] + 1);
      }
      row[j] = best;
    }
    before.swap(last);
    last.swap(row);
  }
  return last[width - 1];
}

Text UpperAscii(Text aText) {
  for (char16_t& c : aText) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return aText;
}

// The names of the parameters, the closest to aName; empty when none is close enough to
// be what was meant: at most one edit in three letters (one for the
// shortest names).
Text ClosestName(const Text& aName) {
  const Text upper = UpperAscii(aName);
  Text closest;
  std::size_t best = 0;
  for (const TParameter& parameter : kParameters) {
    const Text candidate = parameter.Name;
    const std::size_t distance = EditDistance(upper, candidate);
    const std::size_t allowed = std::max<std::size_t>(1, candidate.size() / 3);
    if (distance <= allowed && (closest.empty() || distance < best)) {
      closest = candidate;
      best = distance;
    }
  }
  return closest;
}

}  // namespace

std::vector<Text> ParameterWarnings(TPlatform& aPlatform, const std::vector<Text>& aParameters) {
  const TRunSettings unset = SetFields(aPlatform, aParameters);
  std::vector<Text> warnings;
  std::size_t index = 0;
  for (const Text& parameter : aParameters) {
    const std::size_t position = index++;
    const std::size_t equals = parameter.find(u'=');
    if (equals == Text::npos || equals == 0) continue;
    const Text name = parameter.substr(0, equals);
    const Text value = parameter.substr(equals + 1);
    const Text shown = aPlatform.Process().ArgumentAsText(parameter);
    const Text shownName = aPlatform.Process().ArgumentAsText(name);
    const TParameter* knownParameter = nullptr;
    for (const TParameter& candidate : kParameters) {
      if (aPlatform.Process().EqualIgnoreCase(name, candidate.Name)) {
        knownParameter = &candidate;
        break;
      }
    }
    const Text known = knownParameter != nullptr ? knownParameter->Name : u"";
    if (known.empty()) {
      const Text closest = ClosestName(name);
      warnings.push_back(
          closest.empty()
              ? Format(u"xlate: %s= is not a parameter", {shownName})
              : Format(u"xlate: %s= is not a parameter; did you mean %s=?", {shownName, closest}));
    } else if (name != known) {
      // The lookup for a default takes the first parameter of the name in
      // any case: this one blocks the default when it is that first one,
      // has a value, and nothing set the field.
      std::size_t first = 0;
      while (first < aParameters.size()) {
        const Text& other = aParameters[first];
        const std::size_t otherEquals = other.find(u'=');
        if (otherEquals != Text::npos &&
            aPlatform.Process().EqualIgnoreCase(other.substr(0, otherEquals), known)) {
          break;
        }
        ++first;
      }
      const bool blocks =
          first == position && !value.empty() && knownParameter->WithoutValue(unset);
      warnings.push_back(
          blocks ? Format(u"xlate: %s= is not %s= (names are upper case); it stops %s from "
                          u"taking its default",
                          {shownName, known, known})
                 : Format(u"xlate: %s= is not %s= (names are upper case); it is ignored",
                          {shownName, known}));
    } else if ((known == u"ICODING" || known == u"OCODING") && !value.empty() &&
               ParseCoding(value) == ctNone) {
      Text keywords = CodingKeywords();
      for (std::size_t at = keywords.find(u'|'); at != Text::npos; at = keywords.find(u'|', at)) {
        keywords.replace(at, 1, u", ");
      }
      warnings.push_back(Format(u"xlate: %s is not a coding (%s)", {shown, keywords}));
    }
  }
  return warnings;
}

}  // namespace xlate
