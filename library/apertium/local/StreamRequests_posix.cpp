// The stream loop of local chains: every request of a batch through every
// pipeline in one poll loop (Pipeline.h, streamRequests).
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <map>
#include <string_view>

#include "local/Pipeline.h"
#include "local/PosixPipeline_posix.h"
#include "local/TaggerFreshness.h"

namespace zta {
namespace posix {

// One pipeline's side of streamRequests. Each request goes through the
// pipeline's segments in turn: what a segment answers for it is what the
// next one is given. Per segment, the requests it was given in order, how
// many of them are written whole, how far the next one is written, and the
// reply so far.
class PipelineStream {
 public:
  PipelineStream(PosixPipeline& pipeline, std::vector<StreamRequest>& requests)
      : pipeline_(pipeline),
        requests_(requests),
        hops_(pipeline.segments_.size()),
        first_(pipeline.segments_.size()) {}

  bool usable() const { return !failed_ && pipeline_.running(); }
  std::size_t bytesInFlight() const { return bytesInFlight_; }
  bool busy() const { return !inFlight_.empty(); }

  void give(std::size_t index, int pipelineIndex) {
    if (inFlight_.empty()) deadline_ = Clock::now() + requests_[index].limit;
    requests_[index].pipeline = pipelineIndex;
    inFlight_.push_back(index);
    hops_.front().lines.push_back(index);
    bytesInFlight_ += requests_[index].bytes.size();
  }

  Clock::time_point deadline() const { return deadline_; }

  // The poll entries of each segment: input while something is unwritten,
  // output, errors.
  void addPollEntries(std::vector<pollfd>& fds) {
    for (std::size_t k = 0; k < hops_.size(); ++k) {
      SpawnedChain& segment = pipeline_.segments_[k];
      first_[k] = fds.size();
      fds.push_back({canWrite(k) ? segment.input.get() : -1, POLLOUT, 0});
      fds.push_back({segment.output.get(), POLLIN, 0});
      fds.push_back({segment.errors.get(), POLLIN, 0});
    }
  }

  // Handles what poll found; false when the pipeline failed.
  bool handle(const std::vector<pollfd>& fds) {
    for (std::size_t k = 0; k < hops_.size() && !failed_; ++k) {
      if (fds[first_[k] + 2].revents != 0) {
        pipeline_.drainErrors(pipeline_.segments_[k], isTagger(k) ? &taggerSaid_ : nullptr);
      }
      if (fds[first_[k]].revents != 0 && !write(k)) return false;
      if (fds[first_[k] + 1].revents != 0 && !read(k)) return false;
    }
    return !failed_;
  }

  void timeOut() {
    const StreamRequest& oldest = requests_[inFlight_.front()];
    ExchangeResult result;
    result.status = ExchangeStatus::kTimedOut;
    result.detail = "no reply within " + std::to_string(oldest.limit.count()) + " ms";
    pipeline_.collectErrorsBriefly();
    result.detail += pipeline_.whatItSaid();
    fail(result);
  }

 private:
  struct Hop {
    std::deque<std::size_t> lines;  // given to the segment and not yet answered, in order
    std::size_t written = 0;        // how many of them are written whole
    std::size_t offset = 0;         // bytes written of the next one
    std::string reply;
    bool inputClosed = false;  // the segment takes nothing more
  };

  std::string_view bytesFor(std::size_t hop, std::size_t index) const {
    return hop == 0 ? requests_[index].bytes : std::string_view(carried_.at(index));
  }

  // What a segment before the last may answer: the stream between stages
  // carries every word's analyses, many times the text's size.
  std::size_t replyLimit(std::size_t hop, std::size_t index) const {
    const std::size_t limit = requests_[index].maxReplySize;
    return hop + 1 < hops_.size() ? 8 * limit : limit;
  }

  bool isTagger(std::size_t k) const { return static_cast<int>(k) == pipeline_.tagger_; }

  // True while segment k has something to write that it may write now: the
  // tagger gets one text at a time, so that its notes can be told apart.
  bool canWrite(std::size_t k) const {
    const Hop& hop = hops_[k];
    if (hop.inputClosed) return false;
    return hop.written < hop.lines.size() && (hop.written == 0 || !isTagger(k));
  }

  bool write(std::size_t k) {
    Hop& hop = hops_[k];
    const int fd = pipeline_.segments_[k].input.get();
    while (canWrite(k)) {
      const std::string_view bytes = bytesFor(k, hop.lines[hop.written]);
      if (isTagger(k) && hop.offset == 0 && !pipeline_.taggerChangedBy_.empty() &&
          bytes.find("/*") != std::string_view::npos) {
        return restartTagger(k) && write(k);  // an unknown word: a fresh tagger
      }
      const ssize_t n = ::send(fd, bytes.data() + hop.offset, bytes.size() - hop.offset,
                               MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return true;
        // A segment that stopped may have answered the texts before it
        // stopped: its replies are read to the end of its output, which
        // then fails the rest (or the time limit does, if it never ends).
        hop.inputClosed = true;
        return true;
      }
      hop.offset += static_cast<std::size_t>(n);
      if (hop.offset < bytes.size()) return true;
      ++hop.written;
      hop.offset = 0;
    }
    return true;
  }

  bool read(std::size_t k) {
    Hop& hop = hops_[k];
    char buffer[65536];
    const ssize_t n = ::read(pipeline_.segments_[k].output.get(), buffer, sizeof buffer);
    if (n == 0) {
      pipeline_.keepError(taggerSaid_);
      return failStopped("it closed its output");
    }
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return true;
      return failStopped("reading failed (" + errnoText(errno) + ")");
    }
    std::string_view data(buffer, static_cast<std::size_t>(n));
    while (!data.empty()) {
      if (hop.lines.empty()) return failOutOfStep("it wrote more than one reply");
      const std::size_t index = hop.lines.front();
      const std::size_t nul = data.find('\0');
      hop.reply.append(data.substr(0, nul));
      if (hop.reply.size() > replyLimit(k, index)) {
        return failOutOfStep("its reply grew past " + std::to_string(replyLimit(k, index)) +
                             " bytes");
      }
      if (nul == std::string_view::npos) break;
      if (hop.written == 0) return failOutOfStep("it answered before the request was complete");
      data.remove_prefix(nul + 1);
      if (isTagger(k)) {
        // The tagger wrote its notes on this text before the text's NUL.
        pipeline_.drainErrors(pipeline_.segments_[k], &taggerSaid_);
        const std::vector<std::string> classes = takeNewClassNotes(taggerSaid_);
        const bool saidMore = taggerSaid_.find_first_not_of(" \r\n") != std::string::npos;
        pipeline_.keepError(taggerSaid_);  // anything else it said
        taggerSaid_.clear();
        std::string& changedBy = pipeline_.taggerChangedBy_;
        const auto sameClass = [&](const std::string& met) {
          return met == (changedBy.empty() ? classes.front() : changedBy) && met != kSeveralClasses;
        };
        const bool oneClass = std::all_of(classes.begin(), classes.end(), sameClass);
        if (!changedBy.empty() && (saidMore || !oneClass)) {
          // What a changed tagger made of it may not be what it is alone.
          if (!data.empty()) return failOutOfStep("it wrote more than one reply");
          hop.written = 0;
          return restartTagger(k) && write(k);
        }
        if (changedBy.empty() && !classes.empty()) {
          changedBy = oneClass ? classes.front() : std::string(kSeveralClasses);
        }
      }
      std::string reply = std::move(hop.reply);
      hop.reply.clear();
      hop.lines.pop_front();
      --hop.written;
      if (k + 1 < hops_.size()) {
        reply.push_back('\0');
        carried_[index] = std::move(reply);
        hops_[k + 1].lines.push_back(index);
      } else {
        answer(index, std::move(reply));
      }
    }
    if (isTagger(k) && !write(k)) return false;
    if (k + 1 < hops_.size()) return write(k + 1);
    return true;
  }

  // A fresh tagger for the texts from the first one not yet answered (none
  // was written to the one it replaces, which took one text at a time).
  bool restartTagger(std::size_t k) {
    std::string error;
    if (!pipeline_.replaceTagger(&error)) return failStopped("cannot restart its tagger: " + error);
    hops_[k].reply.clear();
    hops_[k].inputClosed = false;
    return true;
  }

  void answer(std::size_t index, std::string reply) {
    StreamRequest& request = requests_[index];
    request.result.status = ExchangeStatus::kAnswered;
    request.result.reply = std::move(reply);
    carried_.erase(index);
    bytesInFlight_ -= request.bytes.size();
    inFlight_.pop_front();  // segments answer in order: it is the oldest
    if (!inFlight_.empty()) deadline_ = Clock::now() + requests_[inFlight_.front()].limit;
  }

  bool failStopped(const std::string& what) {
    fail(pipeline_.stopped(ExchangeResult(), what));
    return false;
  }

  bool failOutOfStep(const std::string& what) {
    fail(pipeline_.outOfStep(ExchangeResult(), what));
    return false;
  }

  void fail(const ExchangeResult& result) {
    failed_ = true;
    if (inFlight_.empty() && result.status == ExchangeStatus::kOutOfStep) {
      pipeline_.outOfStep_ = true;
    }
    for (std::size_t index : inFlight_) requests_[index].result = result;
    inFlight_.clear();
    for (Hop& hop : hops_) hop = Hop();
    carried_.clear();
    bytesInFlight_ = 0;
  }

  PosixPipeline& pipeline_;
  std::vector<StreamRequest>& requests_;
  std::deque<std::size_t> inFlight_;  // given and not yet answered by the last segment, in order
  std::size_t bytesInFlight_ = 0;     // their size
  std::vector<Hop> hops_;             // one per segment
  std::map<std::size_t, std::string> carried_;  // what a segment after the first is given
  std::string taggerSaid_;                      // the tagger's standard error since its last reply
  Clock::time_point deadline_;
  std::vector<std::size_t> first_;  // where each segment's entries start in the poll set
  bool failed_ = false;
};

}  // namespace posix

using posix::Clock;
using posix::millisecondsUntil;
using posix::PipelineStream;

void streamRequests(const std::vector<ChildPipeline*>& pipelines,
                    std::vector<StreamRequest>& requests, std::size_t windowBytes) {
  std::vector<PipelineStream> streams;
  streams.reserve(pipelines.size());
  for (ChildPipeline* pipeline : pipelines) {
    streams.emplace_back(static_cast<posix::PosixPipeline&>(*pipeline), requests);
  }
  std::size_t next = 0;
  bool sending = true;
  std::vector<pollfd> fds;
  for (;;) {
    // Top every usable pipeline up to the window, the least busy first;
    // an idle one takes a request of any size.
    while (sending && next < requests.size()) {
      PipelineStream* least = nullptr;
      for (PipelineStream& stream : streams) {
        if (stream.usable() &&
            (!stream.busy() ||
             stream.bytesInFlight() + requests[next].bytes.size() <= windowBytes) &&
            (least == nullptr || stream.bytesInFlight() < least->bytesInFlight())) {
          least = &stream;
        }
      }
      if (least == nullptr) break;
      least->give(next++, static_cast<int>(least - streams.data()));
    }
    fds.clear();
    Clock::time_point deadline = Clock::time_point::max();
    bool anyBusy = false;
    for (PipelineStream& stream : streams) {
      if (!stream.busy()) continue;
      anyBusy = true;
      if (stream.deadline() <= Clock::now()) {
        stream.timeOut();
        sending = false;
        continue;
      }
      deadline = std::min(deadline, stream.deadline());
      stream.addPollEntries(fds);
    }
    if (!anyBusy) {
      if (!sending || next == requests.size()) return;
      for (std::size_t i = next; i < requests.size(); ++i) {
        requests[i].result.detail = "no pipeline could take it";
      }
      return;
    }
    if (fds.empty()) continue;  // the only busy ones just timed out
    const int ready = ::poll(fds.data(), fds.size(), millisecondsUntil(deadline));
    if (ready < 0 && errno != EINTR) {
      for (PipelineStream& stream : streams) {
        if (stream.busy()) stream.timeOut();
      }
      return;
    }
    if (ready <= 0) continue;
    for (PipelineStream& stream : streams) {
      if (stream.busy() && !stream.handle(fds)) sending = false;
    }
  }
}

}  // namespace zta
