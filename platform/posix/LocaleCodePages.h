#pragma once

#include <cstdint>
#include <string>

namespace xlate {

struct TLocaleCodePages {
  std::uint32_t Ansi;
  std::uint32_t Oem;
};

// The ANSI and OEM code pages that stand for a POSIX locale name such as
// "de_DE.CP1252", "ru_RU.UTF-8" or "C". A UTF-8 codeset gives 65001 for
// both; a codeset CPnnnn or WINDOWS-nnnn gives that ANSI code page; the OEM
// code page is the one Windows pairs with the locale's language. An empty
// name, C and POSIX give 65001 for both; with another codeset they, like an
// unknown language, give 1252 (or the page named) and 437.
TLocaleCodePages CodePagesForLocale(const std::string& aLocale);

// The locale name the program goes by: the first non-empty of LC_ALL,
// LC_CTYPE and LANG, as given.
std::string LocaleFromEnvironment(const char* aLcAll, const char* aLcCtype, const char* aLang);

}  // namespace xlate
