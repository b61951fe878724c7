// A child process chain that answers NUL-terminated requests, and the other
// operating-system services the library needs. Everything that touches
// processes, pipes and signals lives behind this interface, in
// Pipeline_posix.cpp.
#ifndef XLATE_LIBRARY_APERTIUM_PIPELINE_H
#define XLATE_LIBRARY_APERTIUM_PIPELINE_H

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ModeScript.h"

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

  // Ends the chain: with graceful set, closes its input and gives it a moment
  // to finish; then kills whatever is left of its process group and reaps
  // every stage. The destructor does the graceful form.
  virtual void terminate(bool graceful) = 0;
};

// Starts the stages (each argv[0] is searched for in PATH), each reading the
// output of the one before, all in one new process group. The first stage
// reads what exchange() writes, the last one's output is the reply, and the
// standard error of all is collected for error texts. With cpu >= 0 every
// stage is kept on that processor. Nothing and a reason in *error when the
// chain cannot be started.
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

}  // namespace zta

#endif
