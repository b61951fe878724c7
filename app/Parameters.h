#pragma once

#include <cstddef>
#include <vector>

#include "app/RunSettings.h"
#include "common/Types.h"
#include "platform/Platform.h"

namespace xlate {

// The built-in text: translated when no TEXT is given, and the banner.
extern const char16_t kDefaultText[];

// One parameter of the command line, as parsing, the defaults, the
// warnings, the usage text and the manual page's test read it. A new
// parameter is a row of kParameters and, where it sets a new field, that
// field of TRunSettings.
struct TParameter {
  const char16_t* Name;  // upper case, compared exactly
  // Its value in the usage text, such as "<LangCode>".
  Text (*UsageValue)();
  // Sets its field from aValue: the parameter NAME=aValue.
  void (*Set)(TPlatform& aPlatform, const Text& aValue, TRunSettings& vSettings);
  // Whether its field is still without a value, so that its default may
  // apply; always false for a parameter without a default.
  bool (*WithoutValue)(const TRunSettings& aSettings);
  // Gives its field its default.
  void (*SetDefault)(TPlatform& aPlatform, TRunSettings& vSettings);
  // What it means and its default, in words, for --help.
  const char16_t* Help;
};

// The parameters, in the order the usage text names them and their
// defaults apply.
constexpr std::size_t kParameterCount = 9;
extern const TParameter (&kParameters)[kParameterCount];

// "ANSI", "UTF8", "UNICODE" and "OEM", exactly; anything else is ctNone.
TCodingType ParseCoding(const Text& aWord);

// The value after the first "=" of the first parameter whose name equals
// aKey ignoring case; empty when none does.
Text LookupParameter(TPlatform& aPlatform, const std::vector<Text>& aParameters, const Text& aKey);

// Builds the run settings from the parameters (in command-line order) and
// checks them; raises "Unknown task type" or "Unknown coding type".
TRunSettings ParseParameters(TPlatform& aPlatform, const std::vector<Text>& aParameters);

// The name a file name stands for standard input (as IFILE) or standard
// output (as OFILE).
extern const char16_t kStdStreamName[];

// What may be a mistake on the command line, one line each, without a line
// break: a name that is no parameter's (with the closest of them, if one
// is close), a name in the wrong case (and whether it keeps a field from
// its default), and a coding value that is no coding. The settings are not
// changed by any of this; the lines only tell what the parameters do.
std::vector<Text> ParameterWarnings(TPlatform& aPlatform, const std::vector<Text>& aParameters);

}  // namespace xlate
