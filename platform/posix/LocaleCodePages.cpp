#include "platform/posix/LocaleCodePages.h"

#include <cctype>

#include "common/CodePages.h"

namespace xlate {

namespace {

struct TLanguageCodePages {
  const char* Language;
  std::uint32_t Ansi;
  std::uint32_t Oem;
};

// The code pages Windows gives each language's locales.
const TLanguageCodePages kLanguages[] = {
    {"en", 1252, 437}, {"de", 1252, 850}, {"fr", 1252, 850}, {"es", 1252, 850},  {"it", 1252, 850},
    {"nl", 1252, 850}, {"pt", 1252, 850}, {"sv", 1252, 850}, {"da", 1252, 850},  {"nb", 1252, 850},
    {"no", 1252, 850}, {"nn", 1252, 850}, {"fi", 1252, 850}, {"is", 1252, 850},  {"ca", 1252, 850},
    {"eu", 1252, 850}, {"gl", 1252, 850}, {"af", 1252, 850}, {"ga", 1252, 850},  {"id", 1252, 850},
    {"ms", 1252, 850}, {"sw", 1252, 437}, {"ru", 1251, 866}, {"uk", 1251, 866},  {"be", 1251, 866},
    {"bg", 1251, 866}, {"sr", 1251, 855}, {"mk", 1251, 866}, {"kk", 1251, 866},  {"pl", 1250, 852},
    {"cs", 1250, 852}, {"sk", 1250, 852}, {"hu", 1250, 852}, {"sl", 1250, 852},  {"hr", 1250, 852},
    {"ro", 1250, 852}, {"sq", 1250, 852}, {"bs", 1250, 852}, {"el", 1253, 737},  {"tr", 1254, 857},
    {"az", 1254, 857}, {"he", 1255, 862}, {"ar", 1256, 720}, {"fa", 1256, 720},  {"ur", 1256, 720},
    {"et", 1257, 775}, {"lv", 1257, 775}, {"lt", 1257, 775}, {"vi", 1258, 1258}, {"th", 874, 874},
};

constexpr TLocaleCodePages kDefault = {1252, 437};

std::string Lower(std::string aText) {
  for (char& c : aText) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return aText;
}

const TLanguageCodePages* FindLanguage(const std::string& aLanguage) {
  for (const TLanguageCodePages& entry : kLanguages) {
    if (aLanguage == entry.Language) return &entry;
  }
  return nullptr;
}

// The number after a prefix such as "cp" or "windows-", or 0.
std::uint32_t NumberAfter(const std::string& aCodeset, const std::string& aPrefix) {
  if (aCodeset.size() <= aPrefix.size() || aCodeset.compare(0, aPrefix.size(), aPrefix) != 0) {
    return 0;
  }
  std::uint32_t number = 0;
  for (std::size_t i = aPrefix.size(); i < aCodeset.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(aCodeset[i])) || number > 100000) return 0;
    number = number * 10 + static_cast<std::uint32_t>(aCodeset[i] - '0');
  }
  return number;
}

}  // namespace

TLocaleCodePages CodePagesForLocale(const std::string& aLocale) {
  // language[_territory][.codeset][@modifier]
  std::string name = aLocale.substr(0, aLocale.find('@'));
  std::size_t dot = name.find('.');
  std::string codeset = dot == std::string::npos ? std::string() : Lower(name.substr(dot + 1));
  std::string language = Lower(name.substr(0, std::min(name.find('_'), dot)));

  if (codeset == "utf-8" || codeset == "utf8") return {kCodePageUtf8, kCodePageUtf8};
  // C, POSIX and no locale at all stand for UTF-8 today: it is the default
  // of containers and services, whose terminals and files are UTF-8.
  const bool plain = language.empty() || language == "c" || language == "posix";
  if (plain && codeset.empty()) return {kCodePageUtf8, kCodePageUtf8};

  const TLanguageCodePages* entry = FindLanguage(language);
  TLocaleCodePages pages = entry ? TLocaleCodePages{entry->Ansi, entry->Oem} : kDefault;
  std::uint32_t named = NumberAfter(codeset, "cp");
  if (named == 0) named = NumberAfter(codeset, "windows-");
  if (named != 0 && IsKnownCodePage(named)) pages.Ansi = named;
  return pages;
}

std::string LocaleFromEnvironment(const char* aLcAll, const char* aLcCtype, const char* aLang) {
  for (const char* value : {aLcAll, aLcCtype, aLang}) {
    if (value != nullptr && *value != '\0') return value;
  }
  return std::string();
}

}  // namespace xlate
