#include "local/ChildProcesses_posix.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>

#include "engine/KitNames.h"

extern char** environ;

namespace zta::posix {
namespace {

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
// and an empty signal mask whatever the host has set for itself. On Linux
// the stage is killed when the thread that started it ends (so with the
// host process, however it ends, SIGKILL included): otherwise a chain
// outlives a killed host until it notices its input closed, which takes
// seconds on a busy machine. Returns 0, or the errno of the failure.
int spawnStage(const std::vector<std::string>& argv, int in, int out, int err, pid_t groupId,
               char* const* environment, pid_t* pid) {
  // Everything the child needs is made before fork: between fork and exec
  // it may only make async-signal-safe calls (another thread of the host
  // may hold the allocator's lock).
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const int defaults[] = {SIGPIPE, SIGCHLD, SIGHUP,  SIGINT,  SIGQUIT,
                          SIGTERM, SIGALRM, SIGUSR1, SIGUSR2, SIGXFSZ};
  const pid_t parent = ::getpid();
  // The child tells why exec failed through this pipe; a successful exec
  // closes it.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return errno;
  // No signal handler of the host may run in the child before exec.
  sigset_t all;
  sigset_t before;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &before);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(report[0]);
    struct sigaction standard;
    std::memset(&standard, 0, sizeof standard);
    standard.sa_handler = SIG_DFL;
    for (int sig : defaults) ::sigaction(sig, &standard, nullptr);
    int failure = 0;
    if (::setpgid(0, groupId) != 0) failure = errno;
#ifdef __linux__
    // Killed with the thread that started it; and at once when the parent
    // ended before this line (the child then belongs to another process).
    if (failure == 0 && ::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) failure = errno;
    if (failure == 0 && ::getppid() != parent) ::_exit(127);
#else
    (void)parent;
#endif
    const int streams[] = {in, out, err};
    for (int target = 0; failure == 0 && target < 3; ++target) {
      if (streams[target] == target) {
        // dup2 onto itself would keep close-on-exec.
        const int flags = ::fcntl(target, F_GETFD);
        if (flags < 0 || ::fcntl(target, F_SETFD, flags & ~FD_CLOEXEC) != 0) failure = errno;
      } else if (::dup2(streams[target], target) < 0) {
        failure = errno;
      }
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (failure == 0) {
      ::execvpe(args[0], args.data(), environment);
      failure = errno;
    }
    while (::write(report[1], &failure, sizeof failure) < 0 && errno == EINTR) {
    }
    ::_exit(127);
  }
  const int forkError = child < 0 ? errno : 0;
  ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
  ::close(report[1]);
  int failure = forkError;
  if (child > 0) {
    int said = 0;
    ssize_t got = 0;
    while ((got = ::read(report[0], &said, sizeof said)) < 0 && errno == EINTR) {
    }
    if (got == static_cast<ssize_t>(sizeof said)) {
      failure = said;
      int status = 0;
      while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
      }
    } else {
      *pid = child;
    }
  }
  ::close(report[0]);
  return failure;
}

void keepOnProcessor(pid_t pid, int cpu) {
  if (cpu < 0 || cpu >= CPU_SETSIZE) return;
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  ::sched_setaffinity(pid, sizeof set, &set);  // only a matter of speed if it fails
}

}  // namespace

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

}  // namespace zta::posix
