#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/TestProcess.h"

extern char** environ;

namespace xlate {

namespace {

std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& aExtra) {
  std::map<std::string, std::string> all;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    std::size_t eq = entry.find('=');
    if (eq != std::string::npos) all[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const auto& [name, value] : aExtra) all[name] = value;
  std::vector<std::string> out;
  for (const auto& [name, value] : all) out.push_back(name + "=" + value);
  return out;
}

std::vector<char*> Pointers(std::vector<std::string>& aStrings) {
  std::vector<char*> out;
  for (std::string& s : aStrings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

ProcessResult RunProcess(const std::string& aProgram, const ProcessOptions& aOptions) {
  if (!aOptions.rawCommandLine.empty()) {
    throw std::invalid_argument("a POSIX program gets its arguments one by one, not as one line");
  }
  int in[2], out[2], err[2], broken[2] = {-1, -1};
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe");
  if (aOptions.output == OutputTarget::BrokenPipe) {
    if (pipe(broken) != 0) throw std::runtime_error("pipe");
    close(broken[0]);  // nobody reads: every write fails with EPIPE
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  switch (aOptions.output) {
    case OutputTarget::Capture:
      posix_spawn_file_actions_adddup2(&actions, out[1], 1);
      break;
    case OutputTarget::Closed:
      posix_spawn_file_actions_addclose(&actions, 1);
      break;
    case OutputTarget::DevFull:
      posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
      break;
    case OutputTarget::DevNull:
      posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
      break;
    case OutputTarget::BrokenPipe:
      posix_spawn_file_actions_adddup2(&actions, broken[1], 1);
      posix_spawn_file_actions_addclose(&actions, broken[1]);
      break;
  }
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
    posix_spawn_file_actions_addclose(&actions, fd);
  }

  std::vector<std::string> argStrings;
  if (aOptions.unprivileged && geteuid() == 0) {
    argStrings = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  }
  std::size_t start = 0;
  while (start < aOptions.wrapper.size()) {
    std::size_t blank = aOptions.wrapper.find(' ', start);
    if (blank == std::string::npos) blank = aOptions.wrapper.size();
    if (blank > start) argStrings.push_back(aOptions.wrapper.substr(start, blank - start));
    start = blank + 1;
  }
  argStrings.push_back(aProgram);
  const std::string program = argStrings[0];
  argStrings.insert(argStrings.end(), aOptions.arguments.begin(), aOptions.arguments.end());
  std::vector<std::string> envStrings = MergedEnvironment(aOptions.environment);
  std::vector<char*> argv = Pointers(argStrings);
  std::vector<char*> envp = Pointers(envStrings);

  // posix_spawn has no portable working-directory action: change it around
  // the spawn (tests run one process at a time).
  std::string previous;
  if (!aOptions.workingDirectory.empty()) {
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer)) previous = buffer;
    if (chdir(aOptions.workingDirectory.c_str()) != 0) throw std::runtime_error("chdir");
  }
  pid_t pid;
  int spawned = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  if (!previous.empty() && chdir(previous.c_str()) != 0) throw std::runtime_error("chdir back");
  posix_spawn_file_actions_destroy(&actions);
  if (broken[1] >= 0) close(broken[1]);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  if (spawned != 0) {
    close(in[1]);
    close(out[0]);
    close(err[0]);
    throw std::runtime_error("cannot start " + aProgram + ": " + std::strerror(spawned));
  }

  // Feed standard input and drain both outputs in one loop, so that no
  // pipe fills up and blocks the child.
  ProcessResult result;
  std::size_t fed = 0;
  int inFd = in[1];
  if (aOptions.input.empty()) {
    close(inFd);
    inFd = -1;
  }
  signal(SIGPIPE, SIG_IGN);
  int open = 2;
  while (open > 0 || inFd >= 0) {
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {inFd, POLLOUT, 0}};
    if (poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
        char buffer[65536];
        ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
        if (got > 0) {
          (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
          close(fds[i].fd);
          (i == 0 ? out[0] : err[0]) = -1;
          --open;
        }
      }
    }
    if (inFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t put = write(inFd, aOptions.input.data() + fed, aOptions.input.size() - fed);
      if (put > 0) fed += static_cast<std::size_t>(put);
      if (put < 0 || fed == aOptions.input.size()) {
        close(inFd);
        inFd = -1;
      }
    }
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

HeldFileLock::HeldFileLock(const std::string& aPath) {
  int fd = open(aPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || flock(fd, LOCK_EX) != 0) throw std::runtime_error("cannot lock " + aPath);
  FHandle = fd;
}

HeldFileLock::~HeldFileLock() { close(static_cast<int>(FHandle)); }

NamedPipe::NamedPipe(const std::string& aPath) {
  if (mkfifo(aPath.c_str(), 0600) != 0) throw std::runtime_error("cannot make " + aPath);
  int fd = open(aPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + aPath);
  FHandle = fd;
}

NamedPipe::~NamedPipe() { close(static_cast<int>(FHandle)); }

std::string NamedPipe::ReadAvailable() {
  std::string out;
  char buffer[4096];
  ssize_t got;
  while ((got = read(static_cast<int>(FHandle), buffer, sizeof buffer)) > 0) {
    out.append(buffer, static_cast<std::size_t>(got));
  }
  return out;
}

}  // namespace xlate
