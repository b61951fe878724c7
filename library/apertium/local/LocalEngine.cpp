#include "local/LocalEngine.h"

#include <utility>

#include "engine/ZtaErrors.h"
#include "local/ChainStages.h"
#include "local/Pipeline.h"

namespace zta {

LocalEngine::LocalEngine(LocalSettings settings, bool placeholders)
    : settings_(std::move(settings)), placeholders_(placeholders) {
  if (!settings_.commandBuilder) settings_.commandBuilder = apertiumNullFlushStages;
}

const PairCatalog& LocalEngine::pairs(bool rescan) {
  if (catalog_ && !rescan) return *catalog_;
  catalog_ = PairCatalog::fromModesDirectory(settings_.modesDirectory);
  return *catalog_;
}

std::string LocalEngine::translate(const LanguagePair& pair, std::string_view text) {
  return translatorForPair(pair).translate(text);
}

std::vector<std::string> LocalEngine::translateMany(const LanguagePair& pair,
                                                    const std::vector<std::string_view>& texts) {
  return translatorForPair(pair).translateMany(texts);
}

std::string LocalEngine::pairsNote() {
  return "installed pairs: " + pairs(false).installedPairsText();
}

std::string LocalEngine::noPairText(const Language& source, const Language& target,
                                    const std::string& languages) {
  const std::string package = debianPairPackage(source, target);
  return "Apertium has no pair from " + languages +
         "; installed pairs: " + pairs(false).installedPairsText() + " (modes in " +
         settings_.modesDirectory + "); to add it, install " +
         (package.empty()
              ? "an apertium package for " + displayCode(source) + "-" + displayCode(target)
              : "the package " + package);
}

std::string LocalEngine::noPairsText() {
  return "No Apertium language pairs are installed (no mode files in " + settings_.modesDirectory +
         ")";
}

void LocalEngine::stop() { translators_.clear(); }

PairTranslator* LocalEngine::translatorFor(const std::string& modeName) {
  const auto found = translators_.find(modeName);
  return found == translators_.end() ? nullptr : found->second.get();
}

PairTranslator& LocalEngine::translatorForPair(const LanguagePair& pair) {
  auto found = translators_.find(pair.modeName);
  if (found != translators_.end()) return *found->second;
  StageList stages;
  std::string error;
  if (!settings_.commandBuilder(pair, settings_, &stages, &error)) {
    throw ZtaError(ErrorCode::kEngineUnavailable,
                   "Apertium cannot translate " + pair.displayName() + ": " + error);
  }
  unsigned chains = settings_.chains;
  bool pin = settings_.pinChainToOneProcessor;
  if (chains == 0) {
    // The stages of one chain keep two processors busy, as bulk Apertium's
    // do, and every chain loads the pair's dictionaries again (for eng-spa
    // half a second of processor time): up to two processors, one chain
    // free to use both translates fastest; beyond, one chain per processor.
    const unsigned processors = processorsAvailable();
    chains = processors <= 2 ? 1 : processors;
    pin = pin && processors > 2;
  }
  std::vector<int> cpus;
  for (unsigned chain = 0; chain < chains; ++chain) {
    cpus.push_back(pin ? processorForChain(static_cast<unsigned>(translators_.size()) + chain)
                       : -1);
  }
  auto translator = std::make_unique<PairTranslator>(
      pair.displayName(), std::move(stages), std::move(cpus), settings_.baseTimeout,
      settings_.timeoutPerKilobyte, settings_.memoryAvailable, placeholders_);
  PairTranslator& result = *translator;
  translators_.emplace(pair.modeName, std::move(translator));
  return result;
}

}  // namespace zta
