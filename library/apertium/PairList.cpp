// The directions the library translates, for ztaPairList: every pair the
// engine has, and every direction between two of its languages that goes
// through a pivot language (ZTA_PIVOT), one a line.
#include <set>
#include <string>

#include "Library.h"
#include "engine/ZtaErrors.h"
#include "text/LanguageCodes.h"

namespace zta {

std::string TranslationLibrary::pairListText() {
  const PairCatalog& pairs = catalog(true);
  if (pairs.pairs().empty()) throw ZtaError(ErrorCode::kEngineUnavailable, engine_->noPairsText());
  // The pairs by the codes a caller writes, in their order.
  std::set<std::string> direct;
  for (const LanguagePair& pair : pairs.pairs()) direct.insert(pair.displayName());
  std::string list;
  for (const std::string& name : direct) {
    if (!list.empty()) list += "\r\n";
    list += name;
  }
  if (settings_.pivot == "0") return list;
  std::optional<Language> pivot;
  if (!settings_.pivot.empty()) {
    pivot = parseLanguageCode(settings_.pivot);
    if (!pivot) return list;  // a pivot that is no language: translating says so
  }
  const std::vector<Language> languages = pairs.languages();
  for (const Language& source : languages) {
    for (const Language& target : languages) {
      if (source == target || pairs.find(source, target) != nullptr) continue;
      if (auto two = pairs.findPivot(source, target, pivot)) {
        list += "\r\n" + displayCode(source) + "-" + displayCode(target) + " (through " +
                displayCode(two->first.target) + ")";
      }
    }
  }
  return list;
}

bool TranslationLibrary::pairList(const char* /*langInit*/, char* dest, uint32_t maxSize) {
  return run(dest, maxSize, [&] {
    requireServerOrLocalChains();
    return pairListText();
  });
}

}  // namespace zta
