// The server engine: the pairs and translations of the Apertium APY servers
// of ZTA_SERVER (ServerPool.h). The pairs are those of all servers; each
// text goes to a server that has its pair.
#ifndef XLATE_LIBRARY_APERTIUM_SERVER_SERVER_ENGINE_H
#define XLATE_LIBRARY_APERTIUM_SERVER_SERVER_ENGINE_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Engine.h"
#include "server/ServerPool.h"
#include "server/ServerSettings.h"

namespace zta {

class ServerEngine : public TranslationEngine {
 public:
  // markUnknownWords and placeholders as ApyClient takes them.
  ServerEngine(ServerSettings settings, bool markUnknownWords, bool placeholders);

  const PairCatalog& pairs(bool rescan) override;
  std::string translate(const LanguagePair& pair, std::string_view text) override;
  std::vector<std::string> translateMany(const LanguagePair& pair,
                                         const std::vector<std::string_view>& texts) override;
  std::string pairsNote() override;
  std::string noPairText(const Language& source, const Language& target,
                         const std::string& languages) override;
  std::string noPairsText() override;
  void stop() override {}

  const ServerPool& pool() const { return pool_; }

 private:
  ServerPool pool_;
  std::optional<PairCatalog> catalog_;
};

}  // namespace zta

#endif
