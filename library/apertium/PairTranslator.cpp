#include "PairTranslator.h"

#include "ApertiumText.h"
#include "Utf8Text.h"
#include "ZtaErrors.h"

namespace zta {

PairTranslator::PairTranslator(std::string pairName, StageList stages, int cpu,
                               std::chrono::milliseconds baseTimeout,
                               std::chrono::milliseconds perKilobyte)
    : pairName_(std::move(pairName)),
      stages_(std::move(stages)),
      cpu_(cpu),
      baseTimeout_(baseTimeout),
      perKilobyte_(perKilobyte) {}

PairTranslator::~PairTranslator() { stop(); }

void PairTranslator::stop() {
  if (pipeline_) pipeline_->terminate(true);
  pipeline_.reset();
}

int PairTranslator::processId() const { return pipeline_ ? pipeline_->processId() : 0; }

std::vector<int> PairTranslator::stageProcessIds() const {
  return pipeline_ ? pipeline_->stageProcessIds() : std::vector<int>();
}

void PairTranslator::ensureRunning() {
  if (pipeline_ && pipeline_->readyForRequest()) return;
  if (pipeline_) pipeline_->terminate(false);
  pipeline_.reset();
  std::string error;
  pipeline_ = startChildPipeline(stages_, cpu_, &error);
  if (!pipeline_) {
    throw ZtaError(ErrorCode::kEngineUnavailable,
                   "Cannot start the Apertium pipeline for " + pairName_ + ": " + error);
  }
  ++starts_;
}

void PairTranslator::failAndKill(ErrorCode code, const std::string& what) {
  if (pipeline_) pipeline_->terminate(false);
  pipeline_.reset();
  throw ZtaError(code, "The Apertium pipeline for " + pairName_ + " " + what +
                           "; it is restarted on the next call");
}

std::string PairTranslator::translate(std::string_view text) {
  if (isBlankText(text)) return std::string(text);
  ensureRunning();
  const std::string request = frameRequest(text);
  const auto limit = baseTimeout_ + perKilobyte_ * static_cast<long>(request.size() / 1024);
  // Translations grow a little, never by orders of magnitude.
  const std::size_t maxReply = 16 * request.size() + 65536;
  ExchangeResult result = pipeline_->exchange(request, limit, maxReply);
  ++exchanges_;
  switch (result.status) {
    case ExchangeStatus::kAnswered: {
      std::optional<std::string> translation = unframeReply(result.reply);
      if (!translation) {
        const std::size_t tail = result.reply.size() > 60 ? result.reply.size() - 60 : 0;
        failAndKill(ErrorCode::kEngineOutOfStep,
                    "answered out of step (the reply does not end as the request did: \"" +
                        asciiForMessage(result.reply.substr(tail)) + "\")");
      }
      return *translation;
    }
    case ExchangeStatus::kStopped:
      failAndKill(ErrorCode::kEngineStopped, "stopped during the request (" + result.detail + ")");
    case ExchangeStatus::kTimedOut:
      failAndKill(ErrorCode::kEngineTimedOut,
                  "did not answer in time (" + result.detail + ") and was killed");
    case ExchangeStatus::kOutOfStep:
      failAndKill(ErrorCode::kEngineOutOfStep,
                  "answered out of step (" + result.detail + ") and was killed");
  }
  failAndKill(ErrorCode::kInternal, "gave an unknown result");
}

}  // namespace zta
