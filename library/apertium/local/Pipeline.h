// A child process chain that answers NUL-terminated requests, and the other
// operating-system services the library needs. Everything that touches
// processes, pipes and signals lives behind this interface, in
// the *_posix.cpp files of local/. The Windows build has no such chains
// (Pipeline_windows.cpp): it translates through a server only.
#ifndef XLATE_LIBRARY_APERTIUM_PIPELINE_H
#define XLATE_LIBRARY_APERTIUM_PIPELINE_H

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "local/ModeScript.h"

namespace zta {

enum class ExchangeStatus {
  kAnswered,  // reply holds the bytes before the first NUL
  kStopped,   // the chain closed its output or its input
  kTimedOut,  // no complete reply within the limit
  kOutOfStep  // more than one reply, or a reply far larger than allowed
};

struct ExchangeResult {
  ExchangeStatus status = ExchangeStatus::kStopped;
  std::string reply;
  std::string detail;  // what went wrong, for the error text (ASCII)
};

class ChildPipeline {
 public:
  virtual ~ChildPipeline() = default;

  // Writes request (which ends in a NUL) to the chain and reads its reply up
  // to the first NUL, both through one poll loop, so that a request larger
  // than the pipe buffers cannot deadlock. maxReplySize bounds the reply.
  virtual ExchangeResult exchange(std::string_view request, std::chrono::milliseconds limit,
                                  std::size_t maxReplySize) = 0;

  // True while the chain runs and has written nothing unasked for: the state
  // in which it can take a request.
  virtual bool readyForRequest() = 0;

  // Process id of the chain's first stage, which leads the chain's own
  // process group.
  virtual int processId() const = 0;

  // Process ids of all stages, first to last.
  virtual std::vector<int> stageProcessIds() const = 0;

  // How many times a stage that keeps state from one request to the next
  // was replaced by a fresh one, so that each request is translated as it
  // is alone (TaggerFreshness.h).
  virtual std::uint64_t stageRestarts() const = 0;

  // Ends the chain: with graceful set, closes its input and gives it a moment
  // to finish; then kills whatever is left of its process group and reaps
  // every stage. The destructor does the graceful form.
  virtual void terminate(bool graceful) = 0;
};

// One request of a stream (streamRequests), and what came of it.
struct StreamRequest {
  std::string_view bytes;             // the request, ending in its NUL
  std::chrono::milliseconds limit{};  // how long its reply may take after the one before
  std::size_t maxReplySize = 0;
  int pipeline = -1;      // the pipeline it was given to; -1 when it was never sent
  ExchangeResult result;  // kAnswered with its reply, or the failure
};

// Streams requests through the pipelines as bulk Apertium streams a file:
// writing ahead while reading the replies, every pipeline in one poll loop,
// so that all stages of all chains work at once. Each request goes to the
// pipeline with the fewest bytes in flight, at most windowBytes per
// pipeline (an idle one takes any request), and every pipeline answers in
// the order it was asked. A reply must come
// within its limit after the reply before it (or after it was sent, when
// the pipeline was idle). When a pipeline fails (stops, times out, answers
// out of step), every request it has in flight gets that failure and no
// more requests are sent; the other pipelines finish the ones they have, so
// that they stay in step. Requests never sent keep pipeline -1.
void streamRequests(const std::vector<ChildPipeline*>& pipelines,
                    std::vector<StreamRequest>& requests, std::size_t windowBytes);

// How many processors this process may run on; at least 1.
unsigned processorsAvailable();

// Bytes of memory the system can still give without swapping, and no more
// than the memory limit of this process's control group leaves; 0 when
// unknown.
std::uint64_t memoryAvailable();

// Bytes the processes hold in memory, summed; 0 when unknown.
std::uint64_t residentMemory(const std::vector<int>& processIds);

// Starts the stages (each argv[0] is searched for in PATH), each reading the
// output of the one before, all in one new process group, under the locale
// C.UTF-8 whatever the host's. The first stage reads what exchange() writes,
// the last one's output is the reply, and the standard error of all is
// collected for error texts (its last lines end the detail of a failure).
// An HMM tagger among the stages is kept fresh: a request is never tagged
// by a tagger that a request before it changed. With cpu >= 0 every stage is
// kept on that processor. Nothing and a reason in *error when the chain
// cannot be started.
std::unique_ptr<ChildPipeline> startChildPipeline(const StageList& stages, int cpu,
                                                  std::string* error);

// The processor for the chainIndex-th chain when chains are kept on one
// processor each (the handover from stage to stage is cheapest without
// crossing processors); -1 when this process may use only one.
int processorForChain(unsigned chainIndex);

// Runs argv to its end and returns its standard output; false and a reason in
// *error when it cannot be started, fails, or runs past limit.
bool runForOutput(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                  std::string* output, std::string* error);

// True when a program of that name can be run from PATH.
bool programInPath(const std::string& name);

// True when this build can run local Apertium chains at all.
bool localPipelinesAvailable();

}  // namespace zta

#endif
