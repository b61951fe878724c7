#include "local/PairTranslator.h"

#include <algorithm>
#include <optional>

#include "engine/KitNames.h"
#include "engine/ZtaErrors.h"
#include "text/ApertiumText.h"

namespace zta {
namespace {

// Bytes of requests written ahead to one chain: enough for every stage to
// read many lines at a time, as in bulk streaming; bounded so that a large
// batch is still shared among the chains as they get through it.
constexpr std::size_t kStreamWindow = std::size_t{64} * 1024;
// A batch uses another chain only for this many texts more.
constexpr std::size_t kTextsPerChain = 16;

// Translations grow a little, never by orders of magnitude.
std::size_t maxReplyFor(const std::string& request) { return 16 * request.size() + 65536; }

}  // namespace

PairTranslator::PairTranslator(std::string pairName, StageList stages, std::vector<int> cpus,
                               std::chrono::milliseconds baseTimeout,
                               std::chrono::milliseconds perKilobyte,
                               std::function<std::uint64_t()> memoryAvailable, bool placeholders)
    : pairName_(std::move(pairName)),
      stages_(std::move(stages)),
      cpus_(std::move(cpus)),
      baseTimeout_(baseTimeout),
      perKilobyte_(perKilobyte),
      memoryAvailable_(std::move(memoryAvailable)),
      placeholders_(placeholders) {
  if (cpus_.empty()) cpus_.push_back(-1);
  pipelines_.resize(cpus_.size());
}

PairTranslator::~PairTranslator() { stop(); }

void PairTranslator::stop() {
  for (std::unique_ptr<ChildPipeline>& pipeline : pipelines_) {
    if (pipeline) {
      endedChainsRestarts_ += pipeline->stageRestarts();
      pipeline->terminate(true);
    }
    pipeline.reset();
  }
}

std::uint64_t PairTranslator::stageRestartCount() const {
  std::uint64_t count = endedChainsRestarts_;
  for (const std::unique_ptr<ChildPipeline>& pipeline : pipelines_) {
    if (pipeline) count += pipeline->stageRestarts();
  }
  return count;
}

std::size_t PairTranslator::runningChains() const {
  return static_cast<std::size_t>(std::count_if(pipelines_.begin(), pipelines_.end(),
                                                [](const auto& p) { return p != nullptr; }));
}

int PairTranslator::processId() const { return pipelines_[0] ? pipelines_[0]->processId() : 0; }

std::vector<int> PairTranslator::stageProcessIds() const {
  return pipelines_[0] ? pipelines_[0]->stageProcessIds() : std::vector<int>();
}

void PairTranslator::ensureRunning(std::size_t chain) {
  std::unique_ptr<ChildPipeline>& pipeline = pipelines_[chain];
  if (pipeline && pipeline->readyForRequest()) return;
  if (pipeline) {
    endedChainsRestarts_ += pipeline->stageRestarts();
    pipeline->terminate(false);
  }
  pipeline.reset();
  std::string error;
  pipeline = startChildPipeline(stages_, cpus_[chain], &error);
  if (!pipeline) {
    throw ZtaError(ErrorCode::kEngineUnavailable,
                   "Cannot start the Apertium pipeline for " + pairName_ + ": " + error);
  }
  ++starts_;
}

bool PairTranslator::roomForAnotherChain() const {
  const std::uint64_t available = memoryAvailable_ ? memoryAvailable_() : memoryAvailable();
  if (available == 0) return true;
  return available / 2 >= residentMemory(pipelines_[0]->stageProcessIds());
}

void PairTranslator::kill(std::size_t chain) {
  if (pipelines_[chain]) {
    endedChainsRestarts_ += pipelines_[chain]->stageRestarts();
    pipelines_[chain]->terminate(false);
  }
  pipelines_[chain].reset();
}

void PairTranslator::failAndKill(std::size_t chain, ErrorCode code, const std::string& what) {
  kill(chain);
  throw ZtaError(code, "The Apertium pipeline for " + pairName_ + " " + what +
                           "; it is restarted on the next call");
}

void PairTranslator::failRequest(std::size_t chain, const ExchangeResult& result) {
  switch (result.status) {
    case ExchangeStatus::kAnswered:
      break;
    case ExchangeStatus::kStopped:
      failAndKill(chain, ErrorCode::kEngineStopped,
                  "stopped during the request (" + result.detail + ")");
    case ExchangeStatus::kTimedOut:
      failAndKill(chain, ErrorCode::kEngineTimedOut,
                  "did not answer in time (" + result.detail + ") and was killed");
    case ExchangeStatus::kOutOfStep:
      failAndKill(chain, ErrorCode::kEngineOutOfStep,
                  "answered out of step (" + result.detail + ") and was killed");
  }
  const std::size_t tail = result.reply.size() > 60 ? result.reply.size() - 60 : 0;
  failAndKill(chain, ErrorCode::kEngineOutOfStep,
              "answered out of step (the reply does not end as the request did: \"" +
                  asciiForMessage(result.reply.substr(tail)) + "\")");
}

std::chrono::milliseconds PairTranslator::limitFor(const std::string& request) const {
  return baseTimeout_ + perKilobyte_ * static_cast<long>(request.size() / 1024);
}

std::string PairTranslator::translate(std::string_view text) {
  if (isBlankText(text)) return std::string(text);
  ensureRunning(0);
  const std::string request = frameRequest(text, placeholders_);
  ExchangeResult result = pipelines_[0]->exchange(request, limitFor(request), maxReplyFor(request));
  ++exchanges_;
  if (result.status == ExchangeStatus::kAnswered) {
    if (std::optional<std::string> translation = unframeReply(result.reply)) return *translation;
  }
  failRequest(0, result);
}

std::vector<std::string> PairTranslator::translateMany(const std::vector<std::string_view>& texts) {
  std::vector<std::string> translations(texts.size());
  std::vector<std::string> framed;
  std::vector<std::size_t> textOf;  // the text of each request
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (isBlankText(texts[i])) {
      translations[i] = std::string(texts[i]);
    } else {
      framed.push_back(frameRequest(texts[i], placeholders_));
      textOf.push_back(i);
    }
  }
  if (framed.empty()) return translations;
  // Another chain only where it has enough to do: starting one takes time.
  const std::size_t chains =
      std::clamp<std::size_t>(framed.size() / kTextsPerChain, 1, pipelines_.size());
  std::vector<ChildPipeline*> pipelines;
  for (std::size_t chain = 0; chain < chains; ++chain) {
    // Every chain holds the pair's dictionaries: a new one only where the
    // memory holds it with room to spare.
    if (chain > 0 && !pipelines_[chain] && !roomForAnotherChain()) break;
    try {
      ensureRunning(chain);
    } catch (const ZtaError&) {
      if (chain == 0) throw;
      break;  // the chains that run take the batch
    }
    pipelines.push_back(pipelines_[chain].get());
  }
  std::vector<StreamRequest> requests(framed.size());
  for (std::size_t i = 0; i < framed.size(); ++i) {
    requests[i].bytes = framed[i];
    requests[i].limit = limitFor(framed[i]);
    requests[i].maxReplySize = maxReplyFor(framed[i]);
  }
  streamRequests(pipelines, requests, kStreamWindow);

  // Every failed chain goes; the first failure of a request that was sent
  // is the call's. A reply that does not end as its request did is its
  // chain's failure too.
  std::vector<std::optional<std::string>> replies(requests.size());
  const StreamRequest* failure = nullptr;
  std::vector<bool> failed(pipelines.size(), false);
  std::vector<bool> distrusted(pipelines.size(), false);
  for (std::size_t i = 0; i < requests.size(); ++i) {
    const StreamRequest& request = requests[i];
    if (request.pipeline >= 0) ++exchanges_;
    if (request.result.status == ExchangeStatus::kAnswered) {
      replies[i] = unframeReply(request.result.reply);
      if (replies[i]) continue;
    }
    if (request.pipeline >= 0) {
      const auto chain = static_cast<std::size_t>(request.pipeline);
      failed[chain] = true;
      // A chain out of step, or one that stopped answering, may have put
      // the end of one reply into another: none of its replies is kept.
      if (request.result.status != ExchangeStatus::kStopped) distrusted[chain] = true;
    }
    if (failure == nullptr || (failure->pipeline < 0 && request.pipeline >= 0)) {
      failure = &request;
    }
  }
  if (failure != nullptr) {
    for (std::size_t chain = 0; chain < pipelines.size(); ++chain) {
      if (failed[chain] && static_cast<int>(chain) != failure->pipeline) kill(chain);
    }
    // The texts before the first one without a trusted reply keep theirs.
    std::size_t kept = 0;
    for (std::size_t r = 0; kept < texts.size(); ++kept) {
      if (r < textOf.size() && textOf[r] == kept) {
        if (!replies[r] || distrusted[static_cast<std::size_t>(requests[r].pipeline)]) break;
        translations[kept] = std::move(*replies[r++]);
      }
    }
    translations.resize(kept);
    try {
      if (failure->pipeline < 0) {
        throw ZtaError(ErrorCode::kEngineStopped, "The Apertium pipelines for " + pairName_ +
                                                      " could not take every text of the batch");
      }
      failRequest(static_cast<std::size_t>(failure->pipeline), failure->result);
    } catch (const ZtaError& error) {
      throw PartialBatchError(error, std::move(translations));
    }
  }
  for (std::size_t i = 0; i < requests.size(); ++i) {
    translations[textOf[i]] = std::move(*replies[i]);
  }
  return translations;
}

}  // namespace zta
