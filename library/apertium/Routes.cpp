// Routes and pivots: which pairs take a text from its language into the
// other, and a text through two pairs when no pair goes straight. Written
// once above the engines.
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

void TranslationLibrary::announce(const Route& route) {
  if (!route.second || !announced_.insert(route.key()).second) return;
  const std::string line = displayCode(route.first.source) + "\xE2\x86\x92" +
                           displayCode(route.second->target) + " goes through " +
                           displayCode(route.first.target);
  if (settings_.notice) {
    settings_.notice(line);
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
  }
}

std::string TranslationLibrary::engineTranslation(const Route& route, std::string_view text) {
  std::string middle = pairTranslation(route.first, text);
  // A translation into the pivot that came out blank is its own translation.
  if (!route.second || isBlankText(middle)) return middle;
  return pairTranslation(*route.second, middle);
}

std::vector<std::string> TranslationLibrary::engineTranslations(
    const Route& route, const std::vector<std::string_view>& texts,
    const std::vector<MarkupState>& starts) {
  if (!route.second) return pairTranslations(route.first, texts, starts);
  // The texts translated into the pivot go on, as a batch of their own;
  // those that came out blank stay as they are.
  const auto onward = [&](std::vector<std::string> middles) {
    // A text's markup is the same in the pivot, and so is its start.
    std::vector<std::string_view> sent;
    std::vector<MarkupState> sentStarts;
    std::vector<std::size_t> index;
    for (std::size_t i = 0; i < middles.size(); ++i) {
      if (isBlankText(middles[i])) continue;
      sent.push_back(middles[i]);
      if (i < starts.size()) sentStarts.push_back(starts[i]);
      index.push_back(i);
    }
    std::vector<std::string> finals = middles;
    std::vector<std::string> translated;
    try {
      translated = pairTranslations(*route.second, sent, sentStarts);
    } catch (const PartialBatchError& partial) {
      // Only the texts before the first one without its translation are done.
      const std::size_t done =
          partial.done().size() < index.size() ? index[partial.done().size()] : middles.size();
      for (std::size_t k = 0; k < partial.done().size(); ++k) finals[index[k]] = partial.done()[k];
      finals.resize(done);
      throw PartialBatchError(partial, std::move(finals));
    }
    for (std::size_t k = 0; k < translated.size(); ++k) finals[index[k]] = std::move(translated[k]);
    return finals;
  };
  std::vector<std::string> middles;
  try {
    middles = pairTranslations(route.first, texts, starts);
  } catch (const PartialBatchError& partial) {
    // The texts that reached the pivot before the failure still go on, so
    // that the caller keeps them; the first failure is the one reported.
    std::vector<std::string> done;
    try {
      done = onward(partial.done());
    } catch (const PartialBatchError& later) {
      done = later.done();
    } catch (const ZtaError&) {
      done.clear();  // none of them got through the second pair
    }
    throw PartialBatchError(partial, std::move(done));
  }
  return onward(std::move(middles));
}

}  // namespace zta
