#include "local/ChildProcesses_posix.h"

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
  args.reserve(argv.size() + 1);
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
