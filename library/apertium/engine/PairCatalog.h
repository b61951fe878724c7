// The language pairs that Apertium has installed, read from the names of the
// mode files in its modes directory ("eng-spa.mode" translates English into
// Spanish; "spa-eng_US.mode" into its US variant).
#ifndef XLATE_LIBRARY_APERTIUM_PAIR_CATALOG_H
#define XLATE_LIBRARY_APERTIUM_PAIR_CATALOG_H

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "text/LanguageCodes.h"

namespace zta {

struct LanguagePair {
  Language source;
  Language target;
  std::string modeName;  // "eng-spa"
  std::string modePath;  // the mode file, empty when the catalog was built from names

  // "en-es", as a caller would write it.
  std::string displayName() const;
};

class PairCatalog {
 public:
  // Builds the catalog from mode names ("eng-spa"); names that are not a
  // source-target pair (such as "eng-spa-tagger") are left out.
  static PairCatalog fromModeNames(const std::vector<std::string>& modeNames,
                                   const std::string& modesDirectory = std::string());

  // Reads the *.mode files of a directory; an empty catalog when there is none.
  static PairCatalog fromModesDirectory(const std::string& modesDirectory);

  // The pair for the two languages. A variant asked for must match (case does
  // not matter); when none is asked for, the plain pair is preferred and a
  // variant pair is taken only if it is the one installed.
  const LanguagePair* find(const Language& source, const Language& target) const;

  // The two pairs that translate from source into target through a third
  // language P (source-P, then P-target), for when find has no direct pair.
  // Only pivot is tried when one is given. Otherwise the candidates are
  // ranked: two plain pairs before any that needs a variant mode; then
  // English, Spanish and Catalan, in that order, since most released pairs
  // have one of them on a side; then the others by code. Nothing when no
  // language links the two.
  std::optional<std::pair<LanguagePair, LanguagePair>> findPivot(
      const Language& source, const Language& target,
      const std::optional<Language>& pivot = std::nullopt) const;

  const std::vector<LanguagePair>& pairs() const { return pairs_; }

  // The languages on either side of any pair, variants folded into their
  // language, sorted by code.
  std::vector<Language> languages() const;

  // "en-es, es-en, es-en_US", or "none" for an empty catalog.
  std::string installedPairsText() const;

 private:
  std::vector<LanguagePair> pairs_;  // sorted by mode name
};

}  // namespace zta

#endif
