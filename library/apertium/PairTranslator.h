// One warm process chain for one language pair: started on the first request,
// kept for every later one, and replaced when it fails.
#ifndef XLATE_LIBRARY_APERTIUM_PAIR_TRANSLATOR_H
#define XLATE_LIBRARY_APERTIUM_PAIR_TRANSLATOR_H

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Pipeline.h"
#include "ZtaErrors.h"

namespace zta {

class PairTranslator {
 public:
  // pairName appears in error texts; stages make the chain, kept on processor
  // cpu when that is not -1.
  PairTranslator(std::string pairName, StageList stages, int cpu,
                 std::chrono::milliseconds baseTimeout, std::chrono::milliseconds perKilobyte);
  ~PairTranslator();
  PairTranslator(const PairTranslator&) = delete;
  PairTranslator& operator=(const PairTranslator&) = delete;

  // The translation of one UTF-8 text. A chain found stopped or out of step
  // before the request is replaced first, so that call still succeeds; a chain
  // that fails during the request is killed and the call throws ZtaError
  // (kEngineStopped, kEngineTimedOut or kEngineOutOfStep). The next call
  // starts a new chain.
  std::string translate(std::string_view text);

  // Process id of the running chain's first stage, 0 when none runs.
  int processId() const;

  // Process ids of the running chain's stages.
  std::vector<int> stageProcessIds() const;

  // How many requests went to a chain, and how many chains were started.
  std::uint64_t exchangeCount() const { return exchanges_; }
  std::uint64_t startCount() const { return starts_; }

  // Ends the running chain, if any.
  void stop();

 private:
  void ensureRunning();
  [[noreturn]] void failAndKill(ErrorCode code, const std::string& what);

  std::string pairName_;
  StageList stages_;
  int cpu_;
  std::chrono::milliseconds baseTimeout_;
  std::chrono::milliseconds perKilobyte_;
  std::unique_ptr<ChildPipeline> pipeline_;
  std::uint64_t exchanges_ = 0;
  std::uint64_t starts_ = 0;
};

}  // namespace zta

#endif
