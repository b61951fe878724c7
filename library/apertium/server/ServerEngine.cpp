#include "server/ServerEngine.h"

#include <utility>

#include "engine/ZtaErrors.h"

namespace zta {
namespace {

// Asks the server; a server that refuses a pair it listed may have changed,
// so its pairs are read again on the next call.
template <typename Ask>
auto askServer(std::optional<PairCatalog>& catalog, Ask ask) -> decltype(ask()) {
  try {
    return ask();
  } catch (const ZtaError& error) {
    if (error.code() == ErrorCode::kServerRefused) catalog.reset();
    throw;
  }
}

}  // namespace

ServerEngine::ServerEngine(ServerSettings settings, bool markUnknownWords, bool placeholders)
    : pool_(std::move(settings), markUnknownWords, placeholders) {}

const PairCatalog& ServerEngine::pairs(bool rescan) {
  if (catalog_ && !rescan) return *catalog_;
  catalog_ = PairCatalog::fromModeNames(pool_.readPairNames());
  return *catalog_;
}

std::string ServerEngine::translate(const LanguagePair& pair, std::string_view text) {
  return askServer(catalog_, [&] { return pool_.translate(pair.modeName, text); });
}

std::vector<std::string> ServerEngine::translateMany(const LanguagePair& pair,
                                                     const std::vector<std::string_view>& texts) {
  return askServer(catalog_, [&] {
    return pool_.batch().translate(pair.modeName, texts, pool_.serversWithPair(pair.modeName));
  });
}

std::string ServerEngine::pairsNote() {
  try {
    const PairCatalog& known = pairs(false);
    return std::string(pool_.servers().size() == 1 ? "the server's" : "the servers'") +
           " pairs: " + known.installedPairsText();
  } catch (const ZtaError&) {
    return std::string();  // the failure to translate says more than this one
  }
}

std::string ServerEngine::noPairText(const Language& /*source*/, const Language& /*target*/,
                                     const std::string& languages) {
  return pool_.serversHave() + " no pair from " + languages +
         (pool_.servers().size() == 1 ? "; its pairs: " : "; their pairs: ") +
         pairs(false).installedPairsText();
}

std::string ServerEngine::noPairsText() { return pool_.serversHave() + " no language pairs"; }

}  // namespace zta
