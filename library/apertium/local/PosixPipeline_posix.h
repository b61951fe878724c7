// The chain of one pair on POSIX: its segments (the stages before the HMM
// tagger, the tagger alone, the stages after it), a fresh tagger kept
// ready once its tagger met a new class, and the tail of what the stages
// said on their standard error. streamRequests (StreamRequests_posix.cpp)
// talks to it; startChildPipeline makes it.
#ifndef XLATE_LIBRARY_APERTIUM_LOCAL_POSIX_PIPELINE_POSIX_H
#define XLATE_LIBRARY_APERTIUM_LOCAL_POSIX_PIPELINE_POSIX_H

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/KitNames.h"
#include "local/ChildProcesses_posix.h"
#include "local/Pipeline.h"

namespace zta::posix {

constexpr std::size_t kErrorTailSize = 400;  // bytes of the chain's stderr kept for messages

class PosixPipeline : public ChildPipeline {
 public:
  // segments run one after the other, all in the process group of the
  // first stage of the first; segments[tagger] (when tagger >= 0) is the
  // HMM tagger alone, started from taggerStage.
  PosixPipeline(std::vector<SpawnedChain> segments, int tagger,
                std::vector<std::string> taggerStage, int cpu)
      : segments_(std::move(segments)),
        tagger_(tagger),
        taggerStage_(std::move(taggerStage)),
        cpu_(cpu),
        ownerPid_(::getpid()) {}

  ~PosixPipeline() override { terminate(true); }

  ExchangeResult exchange(std::string_view request, std::chrono::milliseconds limit,
                          std::size_t maxReplySize) override {
    std::vector<StreamRequest> requests(1);
    requests[0].bytes = request;
    requests[0].limit = limit;
    requests[0].maxReplySize = maxReplySize;
    streamRequests({this}, requests, request.size());
    if (requests[0].pipeline < 0) return stopped(ExchangeResult(), "the pipeline is not running");
    return std::move(requests[0].result);
  }

  bool readyForRequest() override {
    if (!running() || outOfStep_) return false;
    for (SpawnedChain& segment : segments_) {
      pollfd fds[2] = {{segment.output.get(), POLLIN, 0}, {segment.errors.get(), POLLIN, 0}};
      if (::poll(fds, 2, 0) < 0) return false;
      if (fds[1].revents != 0) drainErrors(segment);
      if (fds[0].revents != 0) return false;  // output nobody asked for, or its end
    }
    return !anyStageExited();
  }

  int processId() const override {
    return segments_.empty() ? 0 : static_cast<int>(segments_.front().pids.front());
  }

  std::vector<int> stageProcessIds() const override {
    std::vector<int> pids;
    for (const SpawnedChain& segment : segments_) {
      pids.insert(pids.end(), segment.pids.begin(), segment.pids.end());
    }
    return pids;
  }

  std::uint64_t stageRestarts() const override { return restarts_; }

  void terminate(bool graceful) override {
    if (segments_.empty()) return;
    if (::getpid() != ownerPid_) {
      // A forked copy of the host: the chain belongs to the parent.
      segments_.clear();
      spare_ = SpawnedChain();
      return;
    }
    // End of input: every stage finishes and exits.
    for (SpawnedChain& segment : segments_) segment.input.reset();
    spare_.input.reset();
    if (graceful) waitForExit(Clock::now() + std::chrono::milliseconds(1000));
    std::vector<pid_t> pids;
    for (const SpawnedChain& segment : segments_) {
      pids.insert(pids.end(), segment.pids.begin(), segment.pids.end());
    }
    pids.insert(pids.end(), spare_.pids.begin(), spare_.pids.end());
    killAndReap(pids);  // the first is the group's leader: the whole group goes
    segments_.clear();
    spare_ = SpawnedChain();
  }

 private:
  friend class PipelineStream;

  bool running() const {
    return !segments_.empty() &&
           std::all_of(segments_.begin(), segments_.end(), [](const SpawnedChain& segment) {
             return segment.input.valid() && segment.output.valid();
           });
  }

  // How many texts a tagger must have tagged one at a time without a note
  // since its last one before a fresh tagger takes many texts at a time
  // again: text that makes notes often is tagged one text at a time, as a
  // note with texts behind its text costs a fresh tagger for all of them.
  static constexpr std::uint64_t kQuietTextsToStream = 32;

  // True when the tagger may take many texts at a time: it is fresh (no
  // text changed it) and met no new class of late.
  bool taggerStreams() const {
    return taggerChangedBy_.empty() && quietTexts_ >= kQuietTextsToStream;
  }

  // A tagger started ahead, so that replacing one costs no wait; started
  // once the chain's tagger met a new class, as only then may it need one.
  void startSpareTagger() {
    if (tagger_ < 0 || !spare_.pids.empty()) return;
    std::string error;
    if (!spawnChain({taggerStage_}, cpu_, segments_.front().pids.front(), &spare_, &error)) {
      spare_ = SpawnedChain();  // replaceTagger starts one itself and reports the failure
    }
  }

  // Ends the tagger and puts a fresh one in its place; false with the
  // reason in *error when none can be started.
  bool replaceTagger(std::string* error) {
    taggerChangedBy_.clear();
    SpawnedChain& tagger = segments_[static_cast<std::size_t>(tagger_)];
    for (pid_t pid : tagger.pids) ::kill(pid, SIGKILL);
    reap(tagger.pids);
    tagger = SpawnedChain();
    if (!spare_.pids.empty() && hasExited(spare_.pids.front())) {
      reap(spare_.pids);
      spare_ = SpawnedChain();
    }
    if (spare_.pids.empty() &&
        !spawnChain({taggerStage_}, cpu_, segments_.front().pids.front(), &spare_, error)) {
      return false;
    }
    tagger = std::move(spare_);
    spare_ = SpawnedChain();
    ++restarts_;
    startSpareTagger();
    return true;
  }

  ExchangeResult stopped(ExchangeResult result, const std::string& what) {
    collectErrorsBriefly();
    result.status = ExchangeStatus::kStopped;
    result.detail = what + whatItSaid();
    return result;
  }

  ExchangeResult outOfStep(ExchangeResult result, const std::string& what) {
    collectErrorsBriefly();
    result.status = ExchangeStatus::kOutOfStep;
    result.detail = what + whatItSaid();
    return result;
  }

  // The last lines the stages wrote on their standard error, for a message.
  std::string whatItSaid() const {
    std::string_view tail = errorTail_;
    while (!tail.empty() && std::strchr("\r\n ", tail.back()) != nullptr) tail.remove_suffix(1);
    if (tail.empty()) return std::string();
    if (errorTail_.size() >= kErrorTailSize) {  // start at a whole line when one was cut
      const std::size_t line = tail.find('\n');
      if (line != std::string_view::npos && line + 1 < tail.size()) tail.remove_prefix(line + 1);
    }
    return "; it said: " + asciiForMessage(std::string(tail));
  }

  void keepError(std::string_view text) {
    errorTail_.append(text.data(), text.size());
    if (errorTail_.size() > kErrorTailSize) {
      errorTail_.erase(0, errorTail_.size() - kErrorTailSize);
    }
  }

  // Reads what the segment wrote on its standard error so far: into *notes
  // when given (the tagger's, read with each reply), else into the tail.
  void drainErrors(SpawnedChain& segment, std::string* notes = nullptr) {
    char buffer[4096];
    while (segment.errors.valid()) {
      const ssize_t n = ::read(segment.errors.get(), buffer, sizeof buffer);
      if (n > 0) {
        const std::string_view text(buffer, static_cast<std::size_t>(n));
        if (notes != nullptr) {
          notes->append(text.data(), text.size());
        } else {
          keepError(text);
        }
        continue;
      }
      if (n == 0) segment.errors.reset();
      if (n < 0 && errno == EINTR) continue;
      break;
    }
  }

  // A stage that fails usually says why on its way out: wait a little for it.
  void collectErrorsBriefly() {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(200);
    for (SpawnedChain& segment : segments_) {
      while (segment.errors.valid()) {
        pollfd fd = {segment.errors.get(), POLLIN, 0};
        const int timeout = millisecondsUntil(deadline);
        if (timeout == 0 || ::poll(&fd, 1, timeout) <= 0) break;
        drainErrors(segment);
      }
    }
  }

  bool anyStageExited() const {
    return std::any_of(segments_.begin(), segments_.end(), [](const SpawnedChain& segment) {
      return std::any_of(segment.pids.begin(), segment.pids.end(), hasExited);
    });
  }

  bool allStagesExited() const {
    return std::all_of(segments_.begin(), segments_.end(), [](const SpawnedChain& segment) {
      return std::all_of(segment.pids.begin(), segment.pids.end(), hasExited);
    });
  }

  void waitForExit(Clock::time_point deadline) {
    char buffer[4096];
    while (!allStagesExited() && Clock::now() < deadline) {
      // Keep reading so that a stage writing on its way out never blocks.
      std::vector<pollfd> fds;
      for (SpawnedChain& segment : segments_) {
        if (segment.output.valid()) fds.push_back({segment.output.get(), POLLIN, 0});
      }
      if (fds.empty()) {
        sleepMilliseconds(2);
        continue;
      }
      if (::poll(fds.data(), fds.size(), std::min(5, millisecondsUntil(deadline))) <= 0) continue;
      for (const pollfd& fd : fds) {
        if (fd.revents == 0) continue;
        const ssize_t n = ::read(fd.fd, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
          for (SpawnedChain& segment : segments_) {
            if (segment.output.get() == fd.fd) segment.output.reset();
          }
        }
      }
    }
  }

  std::vector<SpawnedChain> segments_;
  int tagger_;  // the segment of the HMM tagger; -1 when there is none
  std::vector<std::string> taggerStage_;
  int cpu_;
  SpawnedChain spare_;  // a fresh tagger, not yet given anything
  pid_t ownerPid_;
  std::string errorTail_;
  std::uint64_t restarts_ = 0;
  // The new ambiguity class the tagger met since it started (kSeveralClasses
  // when more than one); empty while it is as fresh.
  std::string taggerChangedBy_;
  // Texts tagged without a note since the last one (the tagger streams
  // while this is at least kQuietTextsToStream).
  std::uint64_t quietTexts_ = kQuietTextsToStream;
  // Set when it broke step after every request had its answer, so that no
  // request carried the failure: it takes no more requests.
  bool outOfStep_ = false;
};

}  // namespace zta::posix

#endif
