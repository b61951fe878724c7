// POSIX side of the library: starting the Apertium process chain, talking to
// it through one poll loop, and ending it without leaving anything behind.
//
// The library lives inside someone else's process, so it never touches the
// host's signal dispositions: the chain's input is a socket written with
// MSG_NOSIGNAL (a dead chain gives EPIPE, not SIGPIPE), and children are
// reaped by pid with waitpid, never through a SIGCHLD handler.
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
#include <climits>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>

#include "Pipeline.h"
#include "Utf8Text.h"

extern char** environ;

namespace zta {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kErrorTailSize = 400;  // bytes of the chain's stderr kept for messages

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~FileDescriptor() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

std::string errnoText(int error) { return std::strerror(error); }

void setNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

int millisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

void sleepMilliseconds(long milliseconds) {
  timespec pause{0, milliseconds * 1000000L};
  ::nanosleep(&pause, nullptr);
}

// True once the process has ended; it is left unreaped (a zombie) so that its
// pid, and with it its process group id, cannot be reused before we are done.
bool hasExited(pid_t pid) {
  siginfo_t info;
  std::memset(&info, 0, sizeof info);
  if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
    return errno == ECHILD;  // already reaped elsewhere (e.g. the host ignores SIGCHLD)
  }
  return info.si_pid == pid;
}

// Our ends of a started chain.
struct SpawnedChain {
  std::vector<pid_t> pids;  // the stages, first to last; the first leads the group
  FileDescriptor input;     // the first stage's standard input (a socket)
  FileDescriptor output;    // read end of the last stage's standard output
  FileDescriptor errors;    // read end of every stage's standard error
};

// Starts one stage with the given standard streams, in process group
// groupId (0: a new group led by the stage), with default signal handling
// and an empty signal mask whatever the host has set for itself.
int spawnStage(const std::vector<std::string>& argv, int in, int out, int err, pid_t groupId,
               pid_t* pid) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawnattr_setpgroup(&attributes, groupId);
  sigset_t noSignals;
  sigemptyset(&noSignals);
  posix_spawnattr_setsigmask(&attributes, &noSignals);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int sig :
       {SIGPIPE, SIGCHLD, SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGALRM, SIGUSR1, SIGUSR2, SIGXFSZ}) {
    sigaddset(&defaults, sig);
  }
  posix_spawnattr_setsigdefault(&attributes, &defaults);

  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const int rc = ::posix_spawnp(pid, args[0], &actions, &attributes, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return rc;
}

void keepOnProcessor(pid_t pid, int cpu) {
  if (cpu < 0 || cpu >= CPU_SETSIZE) return;
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  ::sched_setaffinity(pid, sizeof set, &set);  // only a matter of speed if it fails
}

void killAndReap(const std::vector<pid_t>& pids) {
  if (pids.empty()) return;
  // The group leader is not reaped yet, so the group id is still ours.
  ::kill(-pids.front(), SIGKILL);
  for (pid_t pid : pids) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
}

bool spawnChain(const StageList& stages, int cpu, SpawnedChain* chain, std::string* error) {
  if (stages.empty() || stages.front().empty()) {
    *error = "no program to start";
    return false;
  }
  int input[2];
  int output[2];
  int errors[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0) {
    *error = "socketpair failed: " + errnoText(errno);
    return false;
  }
  FileDescriptor inputOurs(input[0]);
  FileDescriptor stageInput(input[1]);
  if (::pipe2(output, O_CLOEXEC) != 0) {
    *error = "pipe failed: " + errnoText(errno);
    return false;
  }
  FileDescriptor outputOurs(output[0]);
  FileDescriptor outputTheirs(output[1]);
  if (::pipe2(errors, O_CLOEXEC) != 0) {
    *error = "pipe failed: " + errnoText(errno);
    return false;
  }
  FileDescriptor errorsOurs(errors[0]);
  FileDescriptor errorsTheirs(errors[1]);

  std::vector<pid_t> pids;
  for (std::size_t i = 0; i < stages.size(); ++i) {
    FileDescriptor nextInput;
    FileDescriptor linkOutput;
    if (i + 1 < stages.size()) {
      int link[2];
      if (::pipe2(link, O_CLOEXEC) != 0) {
        *error = "pipe failed: " + errnoText(errno);
        killAndReap(pids);
        return false;
      }
      nextInput.reset(link[0]);
      linkOutput.reset(link[1]);
    }
    const int stageOutput = linkOutput.valid() ? linkOutput.get() : outputTheirs.get();
    pid_t pid = -1;
    const int rc = spawnStage(stages[i], stageInput.get(), stageOutput, errorsTheirs.get(),
                              pids.empty() ? 0 : pids.front(), &pid);
    if (rc != 0) {
      *error = "cannot start " + asciiForMessage(stages[i].empty() ? "" : stages[i][0]) + ": " +
               errnoText(rc);
      killAndReap(pids);
      return false;
    }
    pids.push_back(pid);
    keepOnProcessor(pid, cpu);
    stageInput = std::move(nextInput);
  }
  setNonBlocking(inputOurs.get());
  setNonBlocking(outputOurs.get());
  setNonBlocking(errorsOurs.get());
  chain->pids = std::move(pids);
  chain->input = std::move(inputOurs);
  chain->output = std::move(outputOurs);
  chain->errors = std::move(errorsOurs);
  return true;
}

class PosixPipeline : public ChildPipeline {
 public:
  explicit PosixPipeline(SpawnedChain chain)
      : pids_(std::move(chain.pids)),
        ownerPid_(::getpid()),
        input_(std::move(chain.input)),
        output_(std::move(chain.output)),
        errors_(std::move(chain.errors)) {}

  ~PosixPipeline() override { terminate(true); }

  ExchangeResult exchange(std::string_view request, std::chrono::milliseconds limit,
                          std::size_t maxReplySize) override {
    ExchangeResult result;
    if (pids_.empty() || !input_.valid() || !output_.valid()) {
      return stopped(std::move(result), "the pipeline is not running");
    }
    const Clock::time_point deadline = Clock::now() + limit;
    std::size_t sent = 0;
    char buffer[65536];
    for (;;) {
      pollfd fds[3] = {{sent < request.size() ? input_.get() : -1, POLLOUT, 0},
                       {output_.get(), POLLIN, 0},
                       {errors_.get(), POLLIN, 0}};
      const int timeout = millisecondsUntil(deadline);
      if (timeout == 0) {
        result.status = ExchangeStatus::kTimedOut;
        result.detail = "no reply within " + std::to_string(limit.count()) + " ms";
        return result;
      }
      const int ready = ::poll(fds, 3, timeout);
      if (ready < 0) {
        if (errno == EINTR) continue;
        return stopped(std::move(result), "poll failed: " + errnoText(errno));
      }
      if (fds[2].revents != 0) drainErrors();
      if (fds[0].revents != 0) {
        const ssize_t n = ::send(input_.get(), request.data() + sent, request.size() - sent,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
          sent += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
          return stopped(std::move(result), "it closed its input (" + errnoText(errno) + ")");
        }
      }
      if (fds[1].revents != 0) {
        const ssize_t n = ::read(output_.get(), buffer, sizeof buffer);
        if (n == 0) return stopped(std::move(result), "it closed its output");
        if (n < 0) {
          if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
          return stopped(std::move(result), "reading failed (" + errnoText(errno) + ")");
        }
        const std::size_t length = static_cast<std::size_t>(n);
        const void* nul = std::memchr(buffer, '\0', length);
        if (nul == nullptr) {
          result.reply.append(buffer, length);
          if (result.reply.size() > maxReplySize) {
            return outOfStep(std::move(result),
                             "its reply grew past " + std::to_string(maxReplySize) + " bytes");
          }
          continue;
        }
        const std::size_t used = static_cast<std::size_t>(static_cast<const char*>(nul) - buffer);
        result.reply.append(buffer, used);
        if (result.reply.size() > maxReplySize) {
          return outOfStep(std::move(result),
                           "its reply grew past " + std::to_string(maxReplySize) + " bytes");
        }
        if (sent < request.size()) {
          return outOfStep(std::move(result), "it answered before the request was complete");
        }
        if (used + 1 != length) {
          return outOfStep(std::move(result), "it wrote more than one reply");
        }
        result.status = ExchangeStatus::kAnswered;
        return result;
      }
    }
  }

  bool readyForRequest() override {
    if (pids_.empty() || !input_.valid() || !output_.valid()) return false;
    pollfd fds[2] = {{output_.get(), POLLIN, 0}, {errors_.get(), POLLIN, 0}};
    if (::poll(fds, 2, 0) < 0) return false;
    if (fds[1].revents != 0) drainErrors();
    if (fds[0].revents != 0) return false;  // output nobody asked for, or its end
    return !anyStageExited();
  }

  int processId() const override { return pids_.empty() ? 0 : static_cast<int>(pids_.front()); }

  std::vector<int> stageProcessIds() const override {
    return std::vector<int>(pids_.begin(), pids_.end());
  }

  void terminate(bool graceful) override {
    if (pids_.empty()) return;
    if (::getpid() != ownerPid_) {
      // A forked copy of the host: the chain belongs to the parent.
      input_.reset();
      output_.reset();
      errors_.reset();
      pids_.clear();
      return;
    }
    input_.reset();  // end of input: every stage finishes and exits
    if (graceful) waitForExit(Clock::now() + std::chrono::milliseconds(1000));
    killAndReap(pids_);
    output_.reset();
    errors_.reset();
    pids_.clear();
  }

 private:
  friend class PipelineStream;

  ExchangeResult stopped(ExchangeResult result, const std::string& what) {
    collectErrorsBriefly();
    result.status = ExchangeStatus::kStopped;
    result.detail = what;
    if (!errorTail_.empty()) result.detail += "; it said: " + asciiForMessage(errorTail_);
    return result;
  }

  static ExchangeResult outOfStep(ExchangeResult result, const std::string& what) {
    result.status = ExchangeStatus::kOutOfStep;
    result.detail = what;
    return result;
  }

  void drainErrors() {
    char buffer[4096];
    while (errors_.valid()) {
      const ssize_t n = ::read(errors_.get(), buffer, sizeof buffer);
      if (n > 0) {
        errorTail_.append(buffer, static_cast<std::size_t>(n));
        if (errorTail_.size() > kErrorTailSize) {
          errorTail_.erase(0, errorTail_.size() - kErrorTailSize);
        }
        continue;
      }
      if (n == 0) errors_.reset();
      if (n < 0 && errno == EINTR) continue;
      break;
    }
  }

  // A stage that fails usually says why on its way out: wait a little for it.
  void collectErrorsBriefly() {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(200);
    while (errors_.valid()) {
      pollfd fd = {errors_.get(), POLLIN, 0};
      const int timeout = millisecondsUntil(deadline);
      if (timeout == 0 || ::poll(&fd, 1, timeout) <= 0) break;
      drainErrors();
    }
    while (!errorTail_.empty() && std::strchr("\r\n ", errorTail_.back()) != nullptr) {
      errorTail_.pop_back();
    }
  }

  bool anyStageExited() const { return std::any_of(pids_.begin(), pids_.end(), hasExited); }

  bool allStagesExited() const { return std::all_of(pids_.begin(), pids_.end(), hasExited); }

  void waitForExit(Clock::time_point deadline) {
    char buffer[4096];
    while (!allStagesExited() && Clock::now() < deadline) {
      if (!output_.valid()) {
        sleepMilliseconds(2);
        continue;
      }
      // Keep reading so that a stage writing on its way out never blocks.
      pollfd fd = {output_.get(), POLLIN, 0};
      if (::poll(&fd, 1, std::min(5, millisecondsUntil(deadline))) > 0) {
        const ssize_t n = ::read(output_.get(), buffer, sizeof buffer);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) output_.reset();
      }
    }
  }

  std::vector<pid_t> pids_;
  pid_t ownerPid_;
  FileDescriptor input_;
  FileDescriptor output_;
  FileDescriptor errors_;
  std::string errorTail_;
};

// One pipeline's side of streamRequests: the requests it was given, in
// order, how far the first unsent one is written, and the reply so far.
class PipelineStream {
 public:
  PipelineStream(PosixPipeline& pipeline, std::vector<StreamRequest>& requests)
      : pipeline_(pipeline), requests_(requests) {}

  bool usable() const { return !failed_ && pipeline_.input_.valid() && pipeline_.output_.valid(); }
  std::size_t bytesInFlight() const { return bytesInFlight_; }
  bool busy() const { return !inFlight_.empty(); }

  void give(std::size_t index, int pipelineIndex) {
    if (inFlight_.empty()) deadline_ = Clock::now() + requests_[index].limit;
    requests_[index].pipeline = pipelineIndex;
    inFlight_.push_back(index);
    bytesInFlight_ += requests_[index].bytes.size();
  }

  Clock::time_point deadline() const { return deadline_; }

  // The poll entries: input while something is unwritten, output, errors.
  void addPollEntries(std::vector<pollfd>& fds) {
    first_ = fds.size();
    fds.push_back({written_ < inFlight_.size() ? pipeline_.input_.get() : -1, POLLOUT, 0});
    fds.push_back({pipeline_.output_.get(), POLLIN, 0});
    fds.push_back({pipeline_.errors_.get(), POLLIN, 0});
  }

  // Handles what poll found; false when the pipeline failed.
  bool handle(const std::vector<pollfd>& fds) {
    if (fds[first_ + 2].revents != 0) pipeline_.drainErrors();
    if (fds[first_].revents != 0 && !write()) return false;
    if (fds[first_ + 1].revents != 0 && !read()) return false;
    return true;
  }

  void timeOut() {
    const StreamRequest& oldest = requests_[inFlight_.front()];
    ExchangeResult result;
    result.status = ExchangeStatus::kTimedOut;
    result.detail = "no reply within " + std::to_string(oldest.limit.count()) + " ms";
    fail(std::move(result));
  }

 private:
  bool write() {
    while (written_ < inFlight_.size()) {
      const std::string_view bytes = requests_[inFlight_[written_]].bytes;
      const ssize_t n = ::send(pipeline_.input_.get(), bytes.data() + offset_,
                               bytes.size() - offset_, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return true;
        return failStopped("it closed its input (" + errnoText(errno) + ")");
      }
      offset_ += static_cast<std::size_t>(n);
      if (offset_ < bytes.size()) return true;
      ++written_;
      offset_ = 0;
    }
    return true;
  }

  bool read() {
    char buffer[65536];
    const ssize_t n = ::read(pipeline_.output_.get(), buffer, sizeof buffer);
    if (n == 0) return failStopped("it closed its output");
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return true;
      return failStopped("reading failed (" + errnoText(errno) + ")");
    }
    return takeReplies(std::string_view(buffer, static_cast<std::size_t>(n)));
  }

  // Splits what the chain wrote into the replies of the requests in flight;
  // false when the chain is out of step.
  bool takeReplies(std::string_view data) {
    while (!data.empty()) {
      if (inFlight_.empty()) return failOutOfStep("it wrote more than one reply");
      StreamRequest& request = requests_[inFlight_.front()];
      const std::size_t nul = data.find('\0');
      reply_.append(data.substr(0, nul));
      if (reply_.size() > request.maxReplySize) {
        return failOutOfStep("its reply grew past " + std::to_string(request.maxReplySize) +
                             " bytes");
      }
      if (nul == std::string_view::npos) break;
      if (written_ == 0) return failOutOfStep("it answered before the request was complete");
      request.result.status = ExchangeStatus::kAnswered;
      request.result.reply = std::move(reply_);
      reply_.clear();
      bytesInFlight_ -= request.bytes.size();
      inFlight_.pop_front();
      --written_;
      if (!inFlight_.empty()) deadline_ = Clock::now() + requests_[inFlight_.front()].limit;
      data.remove_prefix(nul + 1);
    }
    return true;
  }

  bool failStopped(const std::string& what) {
    // The replies it wrote whole before it stopped stay theirs (a stage
    // that died makes the write fail while they still wait in the pipe).
    char buffer[65536];
    ssize_t n = 0;
    while (!inFlight_.empty() && !failed_ &&
           (n = ::read(pipeline_.output_.get(), buffer, sizeof buffer)) > 0) {
      takeReplies(std::string_view(buffer, static_cast<std::size_t>(n)));
    }
    if (failed_) return false;  // out of step after all
    fail(pipeline_.stopped(ExchangeResult(), what));
    return false;
  }

  bool failOutOfStep(const std::string& what) {
    fail(PosixPipeline::outOfStep(ExchangeResult(), what));
    return false;
  }

  void fail(ExchangeResult result) {
    failed_ = true;
    for (std::size_t index : inFlight_) requests_[index].result = result;
    inFlight_.clear();
    bytesInFlight_ = 0;
    written_ = 0;
  }

  PosixPipeline& pipeline_;
  std::vector<StreamRequest>& requests_;
  std::deque<std::size_t> inFlight_;  // given and not yet answered, in order
  std::size_t bytesInFlight_ = 0;     // their size
  std::size_t written_ = 0;           // how many of inFlight_ are written whole
  std::size_t offset_ = 0;            // bytes written of the next one
  std::string reply_;
  Clock::time_point deadline_;
  std::size_t first_ = 0;  // where its entries start in the poll set
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<ChildPipeline> startChildPipeline(const StageList& stages, int cpu,
                                                  std::string* error) {
  SpawnedChain chain;
  if (!spawnChain(stages, cpu, &chain, error)) return nullptr;
  return std::make_unique<PosixPipeline>(std::move(chain));
}

void streamRequests(const std::vector<ChildPipeline*>& pipelines,
                    std::vector<StreamRequest>& requests, std::size_t windowBytes) {
  std::vector<PipelineStream> streams;
  for (ChildPipeline* pipeline : pipelines) {
    streams.emplace_back(static_cast<PosixPipeline&>(*pipeline), requests);
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

unsigned processorsAvailable() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (::sched_getaffinity(0, sizeof allowed, &allowed) != 0) return 1;
  const int count = CPU_COUNT(&allowed);
  return count > 0 ? static_cast<unsigned>(count) : 1u;
}

std::uint64_t memoryAvailable() {
  std::uint64_t available = 0;
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::uint64_t kilobytes = 0;
  std::string rest;
  while (meminfo >> key >> kilobytes && std::getline(meminfo, rest)) {
    if (key == "MemAvailable:") {
      available = kilobytes * 1024;
      break;
    }
  }
  // A control group with a memory limit: what the limit leaves. Version 2
  // names it memory.max, which says "max" (no number) when there is none;
  // version 1 names it memory.limit_in_bytes, a huge number when there is
  // none.
  const auto leftBy = [&available](const std::string& limitPath, const std::string& usedPath) {
    std::ifstream limitFile(limitPath);
    std::ifstream usedFile(usedPath);
    std::uint64_t limit = 0;
    std::uint64_t used = 0;
    if (!(limitFile >> limit) || !(usedFile >> used)) return;
    const std::uint64_t left = limit > used ? limit - used : 1;
    available = available == 0 ? left : std::min(available, left);
  };
  std::ifstream groups("/proc/self/cgroup");
  std::string line;
  while (std::getline(groups, line)) {
    // "0::/path" (version 2) or "4:memory:/path" (version 1).
    const std::size_t first = line.find(':');
    const std::size_t second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string controllers = "," + line.substr(first + 1, second - first - 1) + ",";
    const std::string path = line.substr(second + 1);
    if (controllers == ",,") {
      leftBy("/sys/fs/cgroup" + path + "/memory.max", "/sys/fs/cgroup" + path + "/memory.current");
    } else if (controllers.find(",memory,") != std::string::npos) {
      const std::string folder = "/sys/fs/cgroup/memory" + path;
      leftBy(folder + "/memory.limit_in_bytes", folder + "/memory.usage_in_bytes");
    }
  }
  return available;
}

std::uint64_t residentMemory(const std::vector<int>& processIds) {
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pageSize <= 0) return 0;
  std::uint64_t pages = 0;
  for (int pid : processIds) {
    // statm: the program's size, then its resident pages.
    std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
    std::uint64_t size = 0;
    std::uint64_t resident = 0;
    if (statm >> size >> resident) pages += resident;
  }
  return pages * static_cast<std::uint64_t>(pageSize);
}

int processorForChain(unsigned chainIndex) {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (::sched_getaffinity(0, sizeof allowed, &allowed) != 0) return -1;
  std::vector<int> cpus;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &allowed)) cpus.push_back(cpu);
  }
  if (cpus.size() < 2) return -1;
  // From the last processor down: the host tends to run on the first ones.
  return cpus[cpus.size() - 1 - chainIndex % cpus.size()];
}

bool runForOutput(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                  std::string* output, std::string* error) {
  SpawnedChain child;
  if (!spawnChain({argv}, -1, &child, error)) return false;
  child.input.reset();
  const Clock::time_point deadline = Clock::now() + limit;
  std::string errors;
  char buffer[65536];
  bool timedOut = false;
  while (child.output.valid() || child.errors.valid()) {
    pollfd fds[2] = {{child.output.get(), POLLIN, 0}, {child.errors.get(), POLLIN, 0}};
    const int timeout = millisecondsUntil(deadline);
    if (timeout == 0) {
      timedOut = true;
      break;
    }
    const int ready = ::poll(fds, 2, timeout);
    if (ready < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (ready <= 0 || fds[i].revents == 0) continue;
      FileDescriptor& fd = i == 0 ? child.output : child.errors;
      const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? *output : errors).append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        fd.reset();
      }
    }
  }
  const pid_t pid = child.pids.front();
  if (timedOut) ::kill(-pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (timedOut) {
    *error = asciiForMessage(argv[0]) + " did not finish within " + std::to_string(limit.count()) +
             " ms";
    return false;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    *error = asciiForMessage(argv[0]) + " failed";
    if (WIFEXITED(status)) *error += " with exit code " + std::to_string(WEXITSTATUS(status));
    while (!errors.empty() && std::strchr("\r\n ", errors.back()) != nullptr) errors.pop_back();
    if (!errors.empty()) *error += ": " + asciiForMessage(errors);
    return false;
  }
  return true;
}

bool localPipelinesAvailable() { return true; }

bool programInPath(const std::string& name) {
  if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  std::string_view rest = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  while (true) {
    const std::size_t colon = rest.find(':');
    std::string directory(rest.substr(0, colon));
    if (directory.empty()) directory = ".";
    if (::access((directory + "/" + name).c_str(), X_OK) == 0) return true;
    if (colon == std::string_view::npos) return false;
    rest.remove_prefix(colon + 1);
  }
}

}  // namespace zta
