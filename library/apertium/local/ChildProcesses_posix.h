// Starting the stages of a chain as child processes and owning our ends of
// their pipes (local/ on POSIX): what PosixPipeline, the stream loop and
// runForOutput share.
//
// The library lives inside someone else's process, so it never touches the
// host's signal dispositions: the chain's input is a socket written with
// MSG_NOSIGNAL (a dead chain gives EPIPE, not SIGPIPE), and children are
// reaped by pid with waitpid, never through a SIGCHLD handler.
#ifndef XLATE_LIBRARY_APERTIUM_LOCAL_CHILD_PROCESSES_POSIX_H
#define XLATE_LIBRARY_APERTIUM_LOCAL_CHILD_PROCESSES_POSIX_H

#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "local/ModeScript.h"

namespace zta::posix {

using Clock = std::chrono::steady_clock;

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

std::string errnoText(int error);
void setNonBlocking(int fd);
int millisecondsUntil(Clock::time_point deadline);
void sleepMilliseconds(long milliseconds);

// True once the process has ended; it is left unreaped (a zombie) so that its
// pid, and with it its process group id, cannot be reused before we are done.
bool hasExited(pid_t pid);

// Our ends of a started chain.
struct SpawnedChain {
  std::vector<pid_t> pids;  // the stages, first to last
  FileDescriptor input;     // the first stage's standard input (a socket)
  FileDescriptor output;    // read end of the last stage's standard output
  FileDescriptor errors;    // read end of every stage's standard error
};

void reap(const std::vector<pid_t>& pids);
// Kills the process group led by pids.front() and reaps every pid.
void killAndReap(const std::vector<pid_t>& pids);

// Starts the stages, each reading the output of the one before, in process
// group groupId (0: a new group led by the first stage).
bool spawnChain(const StageList& stages, int cpu, pid_t groupId, SpawnedChain* chain,
                std::string* error);

}  // namespace zta::posix

#endif
