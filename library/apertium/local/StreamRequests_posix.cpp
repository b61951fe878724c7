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
// many of them are queued for writing and written whole, the bytes queued
// and not yet written (many texts go in one write), and the reply so far.
//
// The tagger segment takes many texts at a time while it is fresh and has
// said nothing of late: a note it writes for a text comes before that
// text's NUL, so once a read of its output ends in NULs, reading its
// standard error then gives every note of those texts (and maybe of later
// ones). Texts up to the first one with a note were tagged by a fresh
// tagger; when more were written behind that text, a fresh tagger tags them
// again, one at a time, so that what it says belongs to one text.
class PipelineStream {
  static constexpr std::size_t kCompactAfter = std::size_t{256} * 1024;

 public:
  PipelineStream(PosixPipeline& pipeline, std::vector<StreamRequest>& requests)
      : pipeline_(pipeline),
        requests_(requests),
        hops_(pipeline.segments_.size()),
        carried_(pipeline.segments_.size() > 1 ? requests.size() : 0),
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
    std::size_t queued = 0;         // how many of them are in out or written
    std::size_t written = 0;        // how many of them are written whole
    std::string out;                // the queued bytes; those before outOffset are written
    std::size_t outOffset = 0;
    std::deque<std::size_t> ends;  // where each queued text not yet written whole ends in out
    std::string reply;
    bool inputClosed = false;  // the segment takes nothing more
  };

  std::string_view bytesFor(std::size_t hop, std::size_t index) const {
    return hop == 0 ? requests_[index].bytes : std::string_view(carried_[index]);
  }

  // What a segment before the last may answer: the stream between stages
  // carries every word's analyses, many times the text's size.
  std::size_t replyLimit(std::size_t hop, std::size_t index) const {
    const std::size_t limit = requests_[index].maxReplySize;
    return hop + 1 < hops_.size() ? 8 * limit : limit;
  }

  bool isTagger(std::size_t k) const { return static_cast<int>(k) == pipeline_.tagger_; }

  // True while segment k may be given one more of its texts: the tagger
  // takes one text at a time unless it streams.
  bool mayQueue(std::size_t k) const {
    const Hop& hop = hops_[k];
    return hop.queued < hop.lines.size() &&
           (hop.queued == 0 || !isTagger(k) || pipeline_.taggerStreams());
  }

  bool canWrite(std::size_t k) const {
    const Hop& hop = hops_[k];
    return !hop.inputClosed && (hop.outOffset < hop.out.size() || mayQueue(k));
  }

  // Puts the texts segment k may take into its bytes to write; false when
  // the pipeline failed.
  bool queue(std::size_t k) {
    Hop& hop = hops_[k];
    while (mayQueue(k)) {
      const std::size_t index = hop.lines[hop.queued];
      const std::string_view bytes = bytesFor(k, index);
      if (isTagger(k) && hop.queued == 0 && !pipeline_.taggerChangedBy_.empty() &&
          bytes.find("/*") != std::string_view::npos) {
        if (!restartTagger(k)) return false;  // an unknown word: a fresh tagger
        continue;
      }
      hop.out.append(bytes.data(), bytes.size());
      hop.ends.push_back(hop.out.size());
      ++hop.queued;
      // Only the tagger may need a text again (for a fresh tagger).
      if (k > 0 && !isTagger(k)) std::string().swap(carried_[index]);
    }
    return true;
  }

  bool write(std::size_t k) {
    Hop& hop = hops_[k];
    if (hop.inputClosed) return true;
    if (!queue(k)) return false;
    const int fd = pipeline_.segments_[k].input.get();
    while (hop.outOffset < hop.out.size()) {
      const ssize_t n = ::send(fd, hop.out.data() + hop.outOffset, hop.out.size() - hop.outOffset,
                               MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) break;
        // A segment that stopped may have answered the texts before it
        // stopped: its replies are read to the end of its output, which
        // then fails the rest (or the time limit does, if it never ends).
        hop.inputClosed = true;
        return true;
      }
      hop.outOffset += static_cast<std::size_t>(n);
    }
    while (!hop.ends.empty() && hop.ends.front() <= hop.outOffset) {
      hop.ends.pop_front();
      ++hop.written;
    }
    if (hop.outOffset == hop.out.size()) {
      hop.out.clear();
      hop.outOffset = 0;
    } else if (hop.outOffset >= kCompactAfter) {  // keep only what is still to write
      hop.out.erase(0, hop.outOffset);
      for (std::size_t& end : hop.ends) end -= hop.outOffset;
      hop.outOffset = 0;
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
    // The tagger's notes on the texts whose NULs are in data.
    std::vector<std::string> classes;
    bool saidMore = false;
    if (isTagger(k) && data.find('\0') != std::string_view::npos) {
      pipeline_.drainErrors(pipeline_.segments_[k], &taggerSaid_);
      classes = takeNewClassNotes(taggerSaid_);
      saidMore = taggerSaid_.find_first_not_of(" \r\n") != std::string::npos;
      pipeline_.keepError(taggerSaid_);  // anything else it said
      taggerSaid_.clear();
    }
    bool firstReply = true;
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
      if (isTagger(k) && firstReply) {
        firstReply = false;
        switch (judgeTaggerReply(classes, saidMore, !data.empty() || hop.queued > 1)) {
          case TaggerVerdict::kKeep:
            break;
          case TaggerVerdict::kTagAgain:
            // What a changed tagger made of it may not be what it is alone.
            if (!data.empty()) return failOutOfStep("it wrote more than one reply");
            return restartTagger(k) && write(k);
          case TaggerVerdict::kKeepAndTagTheRestAgain:
            pass(k, index);
            return restartTagger(k) && write(k) && (k + 1 >= hops_.size() || write(k + 1));
        }
      }
      pass(k, index);
    }
    if (isTagger(k) && !write(k)) return false;
    if (k + 1 < hops_.size()) return write(k + 1);
    return true;
  }

  enum class TaggerVerdict { kKeep, kTagAgain, kKeepAndTagTheRestAgain };

  // Whether the tagger's first reply of a read is kept, given what it said
  // (classes, saidMore) up to its end, and whether it had more texts behind
  // that one (any of which may have said it). Notes the tagger's state.
  TaggerVerdict judgeTaggerReply(const std::vector<std::string>& classes, bool saidMore,
                                 bool textsBehind) {
    std::string& changedBy = pipeline_.taggerChangedBy_;
    if (classes.empty() && !saidMore) {
      ++pipeline_.quietTexts_;
      return TaggerVerdict::kKeep;
    }
    if (!classes.empty()) pipeline_.quietTexts_ = 0;
    if (changedBy.empty()) {
      // It was fresh when it tagged this text: the reply is as the text's alone.
      if (classes.empty()) return TaggerVerdict::kKeep;
      if (textsBehind) return TaggerVerdict::kKeepAndTagTheRestAgain;
      const bool oneClass = std::all_of(
          classes.begin(), classes.end(),
          [&](const std::string& met) { return met == classes.front() && met != kSeveralClasses; });
      changedBy = oneClass ? classes.front() : std::string(kSeveralClasses);
      pipeline_.startSpareTagger();  // the next text with an unknown word needs one
      return TaggerVerdict::kKeep;
    }
    const bool sameClass = std::all_of(classes.begin(), classes.end(), [&](const std::string& met) {
      return met == changedBy && met != kSeveralClasses;
    });
    return saidMore || !sameClass ? TaggerVerdict::kTagAgain : TaggerVerdict::kKeep;
  }

  // Segment k answered the oldest text it was given with hop.reply: it goes
  // to the next segment, or is the request's reply after the last.
  void pass(std::size_t k, std::size_t index) {
    Hop& hop = hops_[k];
    std::string reply = std::move(hop.reply);
    hop.reply.clear();
    hop.lines.pop_front();
    --hop.queued;
    --hop.written;
    if (k + 1 < hops_.size()) {
      reply.push_back('\0');
      carried_[index] = std::move(reply);
      hops_[k + 1].lines.push_back(index);
    } else {
      answer(index, std::move(reply));
    }
  }

  // A fresh tagger for the texts from the first one not yet answered; what
  // the one it replaces was given or wrote of them is dropped.
  bool restartTagger(std::size_t k) {
    std::string error;
    if (!pipeline_.replaceTagger(&error)) return failStopped("cannot restart its tagger: " + error);
    Hop& hop = hops_[k];
    hop.queued = 0;
    hop.written = 0;
    hop.out.clear();
    hop.outOffset = 0;
    hop.ends.clear();
    hop.reply.clear();
    hop.inputClosed = false;
    taggerSaid_.clear();
    return true;
  }

  void answer(std::size_t index, std::string reply) {
    StreamRequest& request = requests_[index];
    request.result.status = ExchangeStatus::kAnswered;
    request.result.reply = std::move(reply);
    if (!carried_.empty()) std::string().swap(carried_[index]);
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
    for (std::string& text : carried_) std::string().swap(text);
    bytesInFlight_ = 0;
  }

  PosixPipeline& pipeline_;
  std::vector<StreamRequest>& requests_;
  std::deque<std::size_t> inFlight_;  // given and not yet answered by the last segment, in order
  std::size_t bytesInFlight_ = 0;     // their size
  std::vector<Hop> hops_;             // one per segment
  // What a segment after the first is given, by request; empty once no
  // segment needs it any more.
  std::vector<std::string> carried_;
  std::string taggerSaid_;  // the tagger's standard error not yet judged
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
