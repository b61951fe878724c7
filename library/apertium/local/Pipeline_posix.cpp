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
#include <map>
#include <string_view>

#include "engine/KitNames.h"
#include "local/Pipeline.h"

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
  std::vector<pid_t> pids;  // the stages, first to last
  FileDescriptor input;     // the first stage's standard input (a socket)
  FileDescriptor output;    // read end of the last stage's standard output
  FileDescriptor errors;    // read end of every stage's standard error
};

// The environment of every stage: the host's, with the locale replaced by
// C.UTF-8. Apertium's programs read and write UTF-8 whatever the locale, but
// they fail at start under a locale that is not installed (a code-page locale
// the host runs under on purpose, say), and their messages end up in ASCII
// error texts: C.UTF-8 is built into the C library and always there.
class ChildEnvironment {
 public:
  ChildEnvironment() {
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
      const std::string_view text(*entry);
      if (text.rfind("LC_", 0) == 0 || text.rfind("LANG=", 0) == 0 ||
          text.rfind("LANGUAGE=", 0) == 0) {
        continue;
      }
      strings_.emplace_back(text);
    }
    strings_.emplace_back("LC_ALL=C.UTF-8");
    for (std::string& text : strings_) pointers_.push_back(text.data());
    pointers_.push_back(nullptr);
  }
  char* const* get() const { return pointers_.data(); }

 private:
  std::vector<std::string> strings_;
  std::vector<char*> pointers_;
};

// Starts one stage with the given standard streams, in process group
// groupId (0: a new group led by the stage), with default signal handling
// and an empty signal mask whatever the host has set for itself.
int spawnStage(const std::vector<std::string>& argv, int in, int out, int err, pid_t groupId,
               char* const* environment, pid_t* pid) {
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
  const int rc = ::posix_spawnp(pid, args[0], &actions, &attributes, args.data(), environment);
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

void reap(const std::vector<pid_t>& pids) {
  for (pid_t pid : pids) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
}

// Kills the process group led by pids.front() and reaps every pid.
void killAndReap(const std::vector<pid_t>& pids) {
  if (pids.empty()) return;
  // The group leader is not reaped yet, so the group id is still ours.
  ::kill(-pids.front(), SIGKILL);
  reap(pids);
}

// Starts the stages, each reading the output of the one before, in process
// group groupId (0: a new group led by the first stage).
bool spawnChain(const StageList& stages, int cpu, pid_t groupId, SpawnedChain* chain,
                std::string* error) {
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
  const ChildEnvironment environment;

  std::vector<pid_t> pids;
  const auto undo = [&] {
    if (groupId == 0) {
      killAndReap(pids);
    } else {
      for (pid_t pid : pids) ::kill(pid, SIGKILL);
      reap(pids);
    }
  };
  for (std::size_t i = 0; i < stages.size(); ++i) {
    FileDescriptor nextInput;
    FileDescriptor linkOutput;
    if (i + 1 < stages.size()) {
      int link[2];
      if (::pipe2(link, O_CLOEXEC) != 0) {
        *error = "pipe failed: " + errnoText(errno);
        undo();
        return false;
      }
      nextInput.reset(link[0]);
      linkOutput.reset(link[1]);
    }
    const int stageOutput = linkOutput.valid() ? linkOutput.get() : outputTheirs.get();
    pid_t pid = -1;
    const int rc = spawnStage(stages[i], stageInput.get(), stageOutput, errorsTheirs.get(),
                              pids.empty() ? groupId : (groupId != 0 ? groupId : pids.front()),
                              environment.get(), &pid);
    if (rc != 0) {
      *error = "cannot start " + asciiForMessage(stages[i].empty() ? "" : stages[i][0]) + ": " +
               errnoText(rc);
      undo();
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

// The HMM tagger (apertium-tagger -g) is the one Apertium stage that keeps
// state from one null-flushed text to the next: when a word's ambiguity
// class is not in its model, it looks for a similar class and, doing so,
// overwrites the class it gives unknown words (the search for the next
// similar class starts from it too), for the rest of the process. A later
// text with an unknown word or a class of its own is then tagged differently
// from the way it is tagged alone; other texts are not.
// Told to (-d), it notes each such class on its standard error while it
// tags the text that holds the word, before it writes that text's NUL. A
// chain runs the tagger as a segment of its own and gives it one text at a
// time, so that what its standard error holds once the text's reply is read
// belongs to that text. Once the tagger has met a new class, a text with an
// unknown word ("/*" in what the tagger reads) goes to a fresh tagger,
// started ahead, and a text on which the changed tagger said anything but
// that it met the same class again is tagged again by a fresh one. (The
// search for a similar class ends where it ended the first time when it
// starts there: meeting the class again gives what a fresh tagger gives and
// leaves the tagger as it was.) Other taggers (the sliding-window one stops
// on such a class under -d) are left as they are.
bool isHmmTagger(const std::vector<std::string>& stage) {
  if (stage.empty()) return false;
  const std::string& program = stage.front();
  if (program.substr(program.find_last_of('/') + 1) != "apertium-tagger") return false;
  bool tags = false;
  for (std::size_t i = 1; i < stage.size(); ++i) {
    const std::string& arg = stage[i];
    if (arg == "-g" || arg == "--tagger") tags = true;
    if (arg == "-d" || arg == "--debug") return false;  // its notes are its own already
    if (arg.size() < 2 || arg[0] != '-' || arg == "-z" || arg == "--null-flush" || arg == "-g" ||
        arg == "--tagger" || arg == "-f" || arg == "--first" || arg == "-m" || arg == "--mark" ||
        arg == "-p" || arg == "--show-superficial") {
      continue;
    }
    return false;  // another kind of tagger, or options whose output is not known here
  }
  return tags;
}

constexpr std::string_view kNewClassNote = "Error: A new ambiguity class was found.";

constexpr std::string_view kClassLine = "\nNew ambiguity class: ";
// How a tagger changed by more than one class is marked.
constexpr std::string_view kSeveralClasses = "several classes";

// Takes the tagger's notes of new ambiguity classes out of what it wrote on
// its standard error, and returns the classes they name ("{NOUN,ADJ}").
std::vector<std::string> takeNewClassNotes(std::string& said) {
  std::vector<std::string> classes;
  std::size_t at = 0;
  while ((at = said.find(kNewClassNote, at)) != std::string::npos) {
    const std::size_t classLine = said.find(kClassLine, at);
    const std::size_t end =
        classLine == std::string::npos ? std::string::npos : said.find('\n', classLine + 1);
    classes.push_back(classLine == std::string::npos
                          ? std::string(kSeveralClasses)
                          : said.substr(classLine + kClassLine.size(),
                                        end == std::string::npos
                                            ? std::string::npos
                                            : end - classLine - kClassLine.size()));
    said.erase(at, end == std::string::npos ? std::string::npos : end + 1 - at);
  }
  return classes;
}

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
        ownerPid_(::getpid()) {
    startSpareTagger();
  }

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

  // A tagger started ahead, so that replacing one costs no wait.
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
  // Set when it broke step after every request had its answer, so that no
  // request carried the failure: it takes no more requests.
  bool outOfStep_ = false;
};

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
    fail(std::move(result));
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

  void fail(ExchangeResult result) {
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

}  // namespace

std::unique_ptr<ChildPipeline> startChildPipeline(const StageList& stages, int cpu,
                                                  std::string* error) {
  // The HMM tagger runs as a segment of its own (see isHmmTagger).
  const auto tagger = std::find_if(stages.begin(), stages.end(), isHmmTagger);
  std::vector<StageList> parts;
  std::vector<std::string> taggerStage;
  int taggerSegment = -1;
  if (tagger == stages.end()) {
    parts.push_back(stages);
  } else {
    if (tagger != stages.begin()) parts.emplace_back(stages.begin(), tagger);
    taggerStage = *tagger;
    taggerStage.insert(taggerStage.begin() + 1, "-d");
    taggerSegment = static_cast<int>(parts.size());
    parts.push_back({taggerStage});
    if (tagger + 1 != stages.end()) parts.emplace_back(tagger + 1, stages.end());
  }
  std::vector<SpawnedChain> segments;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    SpawnedChain segment;
    const pid_t group = segments.empty() ? 0 : segments.front().pids.front();
    if (!spawnChain(parts[i], cpu, group, &segment, error)) {
      std::vector<pid_t> pids;
      for (const SpawnedChain& started : segments) {
        pids.insert(pids.end(), started.pids.begin(), started.pids.end());
      }
      killAndReap(pids);
      return nullptr;
    }
    segments.push_back(std::move(segment));
  }
  return std::make_unique<PosixPipeline>(std::move(segments), taggerSegment, std::move(taggerStage),
                                         cpu);
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
  if (!spawnChain({argv}, -1, 0, &child, error)) return false;
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
