// Warm process chains for one language pair: the first is started on the
// first request and kept for every later one; more are started for batches
// large enough to share among them. A chain that fails is replaced.
#ifndef XLATE_LIBRARY_APERTIUM_PAIR_TRANSLATOR_H
#define XLATE_LIBRARY_APERTIUM_PAIR_TRANSLATOR_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ZtaErrors.h"
#include "local/Pipeline.h"

namespace zta {

class PairTranslator {
 public:
  // pairName appears in error texts; stages make a chain. There are up to
  // as many chains as cpus (at least one), the i-th kept on processor
  // cpus[i] when that is not -1. Another chain than the first is started
  // only while memoryAvailable (empty: the system's, Pipeline.h) gives at
  // least twice what the first chain holds, or gives 0 (unknown). With
  // placeholders, the texts hold placeholders of markup (MarkupText.h),
  // which the chains get as superblanks.
  PairTranslator(std::string pairName, StageList stages, std::vector<int> cpus,
                 std::chrono::milliseconds baseTimeout, std::chrono::milliseconds perKilobyte,
                 std::function<std::uint64_t()> memoryAvailable = {}, bool placeholders = false);
  ~PairTranslator();
  PairTranslator(const PairTranslator&) = delete;
  PairTranslator& operator=(const PairTranslator&) = delete;

  // The translation of one UTF-8 text. A chain found stopped or out of step
  // before the request is replaced first, so that call still succeeds; a chain
  // that fails during the request is killed and the call throws ZtaError
  // (kEngineStopped, kEngineTimedOut or kEngineOutOfStep). The next call
  // starts a new chain.
  std::string translate(std::string_view text);

  // The translations of many UTF-8 texts, each the same as translate gives
  // it, streamed through the chains (Pipeline.h, streamRequests). A chain
  // that fails is killed and the call throws as translate does, as a
  // PartialBatchError that holds the translations of the texts before the
  // first one without a whole reply from a chain that kept in step; the
  // chains that did not fail stay warm.
  std::vector<std::string> translateMany(const std::vector<std::string_view>& texts);

  // How many chains a batch may use.
  std::size_t chainLimit() const { return cpus_.size(); }

  // Process id of the first chain's first stage, 0 when none runs.
  int processId() const;

  // Process ids of the first chain's stages.
  std::vector<int> stageProcessIds() const;

  // How many requests went to a chain, and how many chains were started.
  std::uint64_t exchangeCount() const { return exchanges_; }
  std::uint64_t startCount() const { return starts_; }
  // How many times a chain replaced a stage that kept state (ChildPipeline).
  std::uint64_t stageRestartCount() const;

  // How many chains run.
  std::size_t runningChains() const;

  // Ends the running chains, if any.
  void stop();

 private:
  void ensureRunning(std::size_t chain);
  // True when memory allows one more chain beside the first, which runs.
  bool roomForAnotherChain() const;
  void kill(std::size_t chain);
  [[noreturn]] void failAndKill(std::size_t chain, ErrorCode code, const std::string& what);
  // Throws the failure of a request to chain as failAndKill does.
  [[noreturn]] void failRequest(std::size_t chain, const ExchangeResult& result);
  std::chrono::milliseconds limitFor(const std::string& request) const;

  std::string pairName_;
  StageList stages_;
  std::vector<int> cpus_;
  std::chrono::milliseconds baseTimeout_;
  std::chrono::milliseconds perKilobyte_;
  std::function<std::uint64_t()> memoryAvailable_;
  bool placeholders_;
  std::vector<std::unique_ptr<ChildPipeline>> pipelines_;  // one per chain; null when not running
  std::uint64_t exchanges_ = 0;
  std::uint64_t starts_ = 0;
  std::uint64_t endedChainsRestarts_ = 0;  // stageRestarts of the chains that ended
};

}  // namespace zta

#endif
