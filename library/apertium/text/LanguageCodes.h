// Language codes: the two-letter ISO 639-1 codes that callers use and the
// three-letter ISO 639-3 codes that Apertium's pair names use.
#ifndef XLATE_LIBRARY_APERTIUM_LANGUAGE_CODES_H
#define XLATE_LIBRARY_APERTIUM_LANGUAGE_CODES_H

#include <optional>
#include <string>
#include <string_view>

namespace zta {

// A language as Apertium names it: a three-letter code (or whatever code a
// pair's name uses) and an optional variant such as "US" in "eng_US".
struct Language {
  std::string code;
  std::string variant;

  bool operator==(const Language& other) const {
    return code == other.code && variant == other.variant;
  }
  bool operator<(const Language& other) const {
    return code != other.code ? code < other.code : variant < other.variant;
  }
};

// Reads a caller's code: "en", "eng", "EN", "en_US", "eng-US". Two-letter
// codes are mapped to their three-letter form. Nothing for a code that is not
// two or three letters (with an optional variant), or a two-letter code with
// no known three-letter form.
std::optional<Language> parseLanguageCode(std::string_view code);

// Reads a language as a pair name spells it ("eng", "spa", "eng_US").
std::optional<Language> parseApertiumLanguage(std::string_view name);

// The code to show a caller: the two-letter form where there is one.
std::string displayCode(const Language& language);

// The English name of a language ("English"), or an empty text if unknown.
std::string languageName(const Language& language);

// The Debian package that holds Apertium's pair for the two languages, in
// either direction ("apertium-eng-cat" for English and Catalan), or an empty
// text when Debian has none that this library knows of.
std::string debianPairPackage(const Language& a, const Language& b);

}  // namespace zta

#endif
