#include "engine/PairCatalog.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iterator>
#include <system_error>
#include <tuple>

namespace zta {
namespace {

bool sameVariant(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// A side matches when the language is the same and the variant is the one
// asked for; a side asked for without a variant matches any variant.
bool sideMatches(const Language& asked, const Language& installed, bool allowAnyVariant) {
  if (asked.code != installed.code) return false;
  if (!asked.variant.empty()) return sameVariant(asked.variant, installed.variant);
  return allowAnyVariant || installed.variant.empty();
}

}  // namespace

std::string LanguagePair::displayName() const {
  return displayCode(source) + "-" + displayCode(target);
}

PairCatalog PairCatalog::fromModeNames(const std::vector<std::string>& modeNames,
                                       const std::string& modesDirectory) {
  PairCatalog catalog;
  for (const std::string& name : modeNames) {
    const std::size_t dash = name.find('-');
    if (dash == std::string::npos || name.find('-', dash + 1) != std::string::npos) continue;
    const auto source = parseApertiumLanguage(name.substr(0, dash));
    const auto target = parseApertiumLanguage(name.substr(dash + 1));
    if (!source || !target) continue;
    LanguagePair pair{*source, *target, name, std::string()};
    if (!modesDirectory.empty()) {
      pair.modePath = (std::filesystem::path(modesDirectory) / (name + ".mode")).string();
    }
    catalog.pairs_.push_back(std::move(pair));
  }
  std::sort(catalog.pairs_.begin(), catalog.pairs_.end(),
            [](const LanguagePair& a, const LanguagePair& b) { return a.modeName < b.modeName; });
  return catalog;
}

PairCatalog PairCatalog::fromModesDirectory(const std::string& modesDirectory) {
  std::vector<std::string> names;
  std::error_code error;
  std::filesystem::directory_iterator entries(modesDirectory, error);
  if (!error) {
    for (const auto& entry : entries) {
      const std::filesystem::path& path = entry.path();
      if (path.extension() == ".mode" && entry.is_regular_file(error)) {
        names.push_back(path.stem().string());
      }
    }
  }
  return fromModeNames(names, modesDirectory);
}

const LanguagePair* PairCatalog::find(const Language& source, const Language& target) const {
  for (bool allowAnyVariant : {false, true}) {
    for (const LanguagePair& pair : pairs_) {
      if (sideMatches(source, pair.source, allowAnyVariant) &&
          sideMatches(target, pair.target, allowAnyVariant)) {
        return &pair;
      }
    }
  }
  return nullptr;
}

std::optional<std::pair<LanguagePair, LanguagePair>> PairCatalog::findPivot(
    const Language& source, const Language& target, const std::optional<Language>& pivot) const {
  static constexpr const char* kPreferredPivots[] = {"eng", "spa", "cat"};
  const auto rank = [&](const Language& language, const LanguagePair& first,
                        const LanguagePair& second) {
    // A variant mode the caller did not ask for counts against a candidate.
    const bool variant = (source.variant.empty() && !first.source.variant.empty()) ||
                         !first.target.variant.empty() || !second.source.variant.empty() ||
                         (target.variant.empty() && !second.target.variant.empty());
    std::size_t order = std::size(kPreferredPivots);
    for (std::size_t i = 0; i < std::size(kPreferredPivots); ++i) {
      if (language.code == kPreferredPivots[i]) order = i;
    }
    return std::make_tuple(variant, order, language.code);
  };
  std::optional<std::pair<LanguagePair, LanguagePair>> best;
  std::optional<decltype(rank(source, pairs_.front(), pairs_.front()))> bestRank;
  for (const Language& candidate : languages()) {
    if (candidate.code == source.code || candidate.code == target.code) continue;
    if (pivot && pivot->code != candidate.code) continue;
    const Language middle = pivot ? *pivot : candidate;
    const LanguagePair* first = find(source, middle);
    const LanguagePair* second = first == nullptr ? nullptr : find(middle, target);
    if (second == nullptr) continue;
    const auto candidateRank = rank(candidate, *first, *second);
    if (!bestRank || candidateRank < *bestRank) {
      bestRank = candidateRank;
      best = std::make_pair(*first, *second);
    }
  }
  return best;
}

std::vector<Language> PairCatalog::languages() const {
  std::vector<Language> result;
  for (const LanguagePair& pair : pairs_) {
    for (const Language& side : {pair.source, pair.target}) {
      const Language plain{side.code, std::string()};
      if (std::find(result.begin(), result.end(), plain) == result.end()) result.push_back(plain);
    }
  }
  std::sort(result.begin(), result.end(),
            [](const Language& a, const Language& b) { return displayCode(a) < displayCode(b); });
  return result;
}

std::string PairCatalog::installedPairsText() const {
  if (pairs_.empty()) return "none";
  std::string text;
  for (const LanguagePair& pair : pairs_) {
    if (!text.empty()) text += ", ";
    text += pair.displayName();
  }
  return text;
}

}  // namespace zta
