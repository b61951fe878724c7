// Routes and pivots: which pairs take a text from its language into the
// other, two through a pivot when no pair goes straight (a text through
// them is in Formats.cpp). Written once above the engines.
#include <cstdio>
#include <utility>

#include "Library.h"
#include "engine/KitNames.h"
#include "engine/ZtaErrors.h"
#include "text/ApertiumText.h"
#include "text/LanguageCodes.h"

namespace zta {

std::string TranslationLibrary::Route::key() const {
  return second ? first.modeName + "+" + second->modeName : first.modeName;
}

TranslationLibrary::Route TranslationLibrary::routeFor(const Language& source,
                                                       const Language& target) {
  const std::string languages = displayCode(source) + " into " + displayCode(target);
  const bool pivotsOff = settings_.pivot == "0";
  std::optional<Language> pivot;
  // The pairs known are tried first; they are read again only when they
  // have no route, in case the pair was installed meanwhile.
  for (bool rescan : {false, true}) {
    const PairCatalog& pairs = catalog(rescan);
    if (const LanguagePair* found = pairs.find(source, target)) return Route{*found, std::nullopt};
    if (pivotsOff) continue;
    if (!settings_.pivot.empty()) {
      pivot = parseLanguageCode(settings_.pivot);
      if (!pivot) {
        throw ZtaError(ErrorCode::kBadLanguageCode,
                       "No pair goes from " + languages + ", and ZTA_PIVOT=\"" +
                           asciiForMessage(settings_.pivot, 40) +
                           "\" is no language code to translate through (0 for none)");
      }
    }
    if (auto two = pairs.findPivot(source, target, pivot)) {
      return Route{std::move(two->first), std::move(two->second)};
    }
  }
  // Said when some pair through the asked pivot is missing: the other
  // pivots were not tried.
  const std::string through =
      pivot ? " (nor through " + displayCode(*pivot) + ", as ZTA_PIVOT asks)" : std::string();
  throw ZtaError(ErrorCode::kPairNotInstalled,
                 engine_->noPairText(source, target, languages + through));
}

void TranslationLibrary::notify(const std::string& line) {
  if (settings_.notice) {
    settings_.notice(line);
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
  }
}

void TranslationLibrary::announce(const Route& route) {
  if (!route.second || !announced_.insert(route.key()).second) return;
  const std::string line = displayCode(route.first.source) + "\xE2\x86\x92" +
                           displayCode(route.second->target) + " goes through " +
                           displayCode(route.first.target);
  notify(line);
}

}  // namespace zta
