#include "text/LanguageCodes.h"

#include <cctype>
#include <cstring>

namespace zta {
namespace {

struct KnownLanguage {
  const char* threeLetter;
  const char* twoLetter;  // empty when ISO 639-1 has none
  const char* name;
};

// The languages of Apertium's released pairs, and a few more.
constexpr KnownLanguage kKnownLanguages[] = {
    {"afr", "af", "Afrikaans"},
    {"ara", "ar", "Arabic"},
    {"arg", "an", "Aragonese"},
    {"ast", "", "Asturian"},
    {"bel", "be", "Belarusian"},
    {"ben", "bn", "Bengali"},
    {"bos", "bs", "Bosnian"},
    {"bre", "br", "Breton"},
    {"bul", "bg", "Bulgarian"},
    {"cat", "ca", "Catalan"},
    {"ces", "cs", "Czech"},
    {"cos", "co", "Corsican"},
    {"crh", "", "Crimean Tatar"},
    {"cym", "cy", "Welsh"},
    {"dan", "da", "Danish"},
    {"deu", "de", "German"},
    {"ell", "el", "Greek"},
    {"eng", "en", "English"},
    {"epo", "eo", "Esperanto"},
    {"est", "et", "Estonian"},
    {"eus", "eu", "Basque"},
    {"fao", "fo", "Faroese"},
    {"fas", "fa", "Persian"},
    {"fin", "fi", "Finnish"},
    {"fra", "fr", "French"},
    {"fry", "fy", "Frisian"},
    {"gle", "ga", "Irish"},
    {"glg", "gl", "Galician"},
    {"hbs", "sh", "Serbo-Croatian"},
    {"heb", "he", "Hebrew"},
    {"hin", "hi", "Hindi"},
    {"hrv", "hr", "Croatian"},
    {"hun", "hu", "Hungarian"},
    {"hye", "hy", "Armenian"},
    {"ind", "id", "Indonesian"},
    {"isl", "is", "Icelandic"},
    {"ita", "it", "Italian"},
    {"jpn", "ja", "Japanese"},
    {"kaz", "kk", "Kazakh"},
    {"kir", "ky", "Kyrgyz"},
    {"kor", "ko", "Korean"},
    {"lat", "la", "Latin"},
    {"lav", "lv", "Latvian"},
    {"lit", "lt", "Lithuanian"},
    {"mkd", "mk", "Macedonian"},
    {"mlt", "mt", "Maltese"},
    {"msa", "ms", "Malay"},
    {"nld", "nl", "Dutch"},
    {"nno", "nn", "Norwegian Nynorsk"},
    {"nob", "nb", "Norwegian Bokmal"},
    {"oci", "oc", "Occitan"},
    {"pol", "pl", "Polish"},
    {"por", "pt", "Portuguese"},
    {"ron", "ro", "Romanian"},
    {"rus", "ru", "Russian"},
    {"slk", "sk", "Slovak"},
    {"slv", "sl", "Slovenian"},
    {"sme", "se", "Northern Sami"},
    {"spa", "es", "Spanish"},
    {"sqi", "sq", "Albanian"},
    {"srd", "sc", "Sardinian"},
    {"srp", "sr", "Serbian"},
    {"swe", "sv", "Swedish"},
    {"tat", "tt", "Tatar"},
    {"tur", "tr", "Turkish"},
    {"ukr", "uk", "Ukrainian"},
    {"urd", "ur", "Urdu"},
    {"uzb", "uz", "Uzbek"},
    {"zho", "zh", "Chinese"},
};

const KnownLanguage* findByThreeLetter(std::string_view code) {
  for (const KnownLanguage& known : kKnownLanguages) {
    if (code == known.threeLetter) return &known;
  }
  return nullptr;
}

const KnownLanguage* findByTwoLetter(std::string_view code) {
  for (const KnownLanguage& known : kKnownLanguages) {
    if (code == known.twoLetter) return &known;
  }
  return nullptr;
}

bool allLetters(std::string_view text) {
  for (char c : text) {
    if (!std::isalpha(static_cast<unsigned char>(c))) return false;
  }
  return !text.empty();
}

bool allAlphanumeric(std::string_view text) {
  for (char c : text) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  }
  return !text.empty();
}

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return std::string(text);
}

// Splits "eng_US" into "eng" and "US"; the variant part is optional.
bool splitVariant(std::string_view text, std::string_view separators, std::string_view* base,
                  std::string_view* variant) {
  const std::size_t cut = text.find_first_of(separators);
  *base = text.substr(0, cut);
  *variant = cut == std::string_view::npos ? std::string_view() : text.substr(cut + 1);
  return cut == std::string_view::npos || allAlphanumeric(*variant);
}

// Debian's packages of Apertium pairs. Where Debian has two packages for one
// pair, the one named with three-letter codes is the newer and comes first.
constexpr const char* kDebianPairPackages[] = {
    "afr-nld", "arg-cat", "bel-rus", "cat-ita", "cat-srd", "dan-nor", "eng-cat", "eng-spa",
    "fra-cat", "fra-frp", "hbs-eng", "hbs-mkd", "hbs-slv", "ind-zlm", "isl-eng", "isl-swe",
    "mkd-bul", "mkd-eng", "nno-nob", "oci-fra", "pol-szl", "por-cat", "rus-ukr", "spa-arg",
    "spa-ast", "spa-cat", "spa-ita", "srd-ita", "swe-dan", "swe-nor", "urd-hin", "af-nl",
    "br-fr",   "ca-it",   "en-gl",   "en-ca",   "en-es",   "eo-ca",   "eo-en",   "eo-es",
    "eo-fr",   "es-gl",   "es-pt",   "es-ro",   "eu-en",   "eu-es",   "fr-es",   "id-ms",
    "is-sv",   "mk-bg",   "mk-en",   "oc-ca",   "oc-es",   "pt-ca",   "pt-gl",   "es-ast",
    "es-ca",   "es-it",
};

}  // namespace

std::string debianPairPackage(const Language& a, const Language& b) {
  for (const char* name : kDebianPairPackages) {
    const std::string_view pair(name);
    const std::size_t dash = pair.find('-');
    const auto first = parseApertiumLanguage(pair.substr(0, dash));
    const auto second = parseApertiumLanguage(pair.substr(dash + 1));
    if (!first || !second) continue;
    if ((first->code == a.code && second->code == b.code) ||
        (first->code == b.code && second->code == a.code)) {
      return "apertium-" + std::string(pair);
    }
  }
  return std::string();
}

std::optional<Language> parseLanguageCode(std::string_view code) {
  const std::string text = trimmed(code);
  std::string_view base;
  std::string_view variant;
  if (!splitVariant(text, "_-", &base, &variant) || !allLetters(base)) return std::nullopt;
  const std::string lowerBase = lowered(base);
  if (lowerBase.size() == 2) {
    const KnownLanguage* known = findByTwoLetter(lowerBase);
    if (known == nullptr) return std::nullopt;
    return Language{known->threeLetter, std::string(variant)};
  }
  if (lowerBase.size() == 3) return Language{lowerBase, std::string(variant)};
  return std::nullopt;
}

std::optional<Language> parseApertiumLanguage(std::string_view name) {
  std::string_view base;
  std::string_view variant;
  if (!splitVariant(name, "_", &base, &variant) || !allLetters(base) || base.size() < 2 ||
      base.size() > 3 || lowered(base) != base) {
    return std::nullopt;
  }
  if (base.size() == 2) {
    // A pair named with a two-letter code: keep the three-letter form inside.
    const KnownLanguage* known = findByTwoLetter(base);
    if (known != nullptr) return Language{known->threeLetter, std::string(variant)};
  }
  return Language{std::string(base), std::string(variant)};
}

std::string displayCode(const Language& language) {
  const KnownLanguage* known = findByThreeLetter(language.code);
  std::string code =
      known != nullptr && known->twoLetter[0] != '\0' ? known->twoLetter : language.code;
  if (!language.variant.empty()) code += "_" + language.variant;
  return code;
}

std::string languageName(const Language& language) {
  const KnownLanguage* known = findByThreeLetter(language.code);
  return known != nullptr ? known->name : std::string();
}

}  // namespace zta
