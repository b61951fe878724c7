// The local engine: Apertium's installed pairs (the mode files of
// LocalSettings::modesDirectory), each translated by warm process chains
// (PairTranslator.h) made as ChainStages.h builds them.
#ifndef XLATE_LIBRARY_APERTIUM_LOCAL_LOCAL_ENGINE_H
#define XLATE_LIBRARY_APERTIUM_LOCAL_LOCAL_ENGINE_H

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Engine.h"
#include "local/LocalSettings.h"
#include "local/PairTranslator.h"

namespace zta {

class LocalEngine : public TranslationEngine {
 public:
  // With placeholders, the texts hold placeholders of markup, which the
  // chains get as superblanks.
  LocalEngine(LocalSettings settings, bool placeholders);

  const PairCatalog& pairs(bool rescan) override;
  std::string translate(const LanguagePair& pair, std::string_view text) override;
  std::vector<std::string> translateMany(const LanguagePair& pair,
                                         const std::vector<std::string_view>& texts) override;
  std::string pairsNote() override;
  std::string noPairText(const Language& source, const Language& target,
                         const std::string& languages) override;
  std::string noPairsText() override;
  void stop() override;

  // The translator of a pair by its mode name ("eng-spa"), if one was made.
  PairTranslator* translatorFor(const std::string& modeName);

 private:
  PairTranslator& translatorForPair(const LanguagePair& pair);

  LocalSettings settings_;
  bool placeholders_;
  std::optional<PairCatalog> catalog_;
  std::map<std::string, std::unique_ptr<PairTranslator>> translators_;  // by mode name
};

}  // namespace zta

#endif
