#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/fanotify.h>
#include <sys/xattr.h>
#endif

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "testsupport/TestProcess.h"

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
  out.reserve(all.size());
  for (const auto& [name, value] : all) out.push_back(name + "=" + value);
  return out;
}

std::vector<char*> Pointers(std::vector<std::string>& aStrings) {
  std::vector<char*> out;
  out.reserve(aStrings.size() + 1);
  for (std::string& s : aStrings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

TProcessResult RunProcess(const std::string& aProgram, const TProcessOptions& aOptions) {
  if (!aOptions.RawCommandLine.empty()) {
    throw std::invalid_argument("a POSIX program gets its arguments one by one, not as one line");
  }
  int in[2], out[2], err[2], broken[2] = {-1, -1};
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe");
  if (aOptions.Output == TOutputTarget::otBrokenPipe) {
    if (pipe(broken) != 0) throw std::runtime_error("pipe");
    close(broken[0]);  // nobody reads: every write fails with EPIPE
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  switch (aOptions.Output) {
    case TOutputTarget::otCapture:
      posix_spawn_file_actions_adddup2(&actions, out[1], 1);
      break;
    case TOutputTarget::otClosed:
      posix_spawn_file_actions_addclose(&actions, 1);
      break;
    case TOutputTarget::otDevFull:
      posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
      break;
    case TOutputTarget::otDevNull:
      posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
      break;
    case TOutputTarget::otBrokenPipe:
      posix_spawn_file_actions_adddup2(&actions, broken[1], 1);
      posix_spawn_file_actions_addclose(&actions, broken[1]);
      break;
  }
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
    posix_spawn_file_actions_addclose(&actions, fd);
  }

  std::vector<std::string> argStrings;
  if (aOptions.Unprivileged && geteuid() == 0) {
    argStrings = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  }
  std::size_t start = 0;
  while (start < aOptions.Wrapper.size()) {
    std::size_t blank = aOptions.Wrapper.find(' ', start);
    if (blank == std::string::npos) blank = aOptions.Wrapper.size();
    if (blank > start) argStrings.push_back(aOptions.Wrapper.substr(start, blank - start));
    start = blank + 1;
  }
  argStrings.push_back(aProgram);
  const std::string program = argStrings[0];
  argStrings.insert(argStrings.end(), aOptions.Arguments.begin(), aOptions.Arguments.end());
  std::vector<std::string> envStrings = MergedEnvironment(aOptions.Environment);
  std::vector<char*> argv = Pointers(argStrings);
  std::vector<char*> envp = Pointers(envStrings);

  // posix_spawn has no portable working-directory action: change it around
  // the spawn (tests run one process at a time).
  std::string previous;
  if (!aOptions.WorkingDirectory.empty()) {
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer)) previous = buffer;
    if (chdir(aOptions.WorkingDirectory.c_str()) != 0) throw std::runtime_error("chdir");
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
  TProcessResult result;
  std::size_t fed = 0;
  int inFd = in[1];
  if (aOptions.Input.empty()) {
    close(inFd);
    inFd = -1;
  } else {
    // A blocking write of more than the pipe holds would wait for the child
    // to read, while the child may wait for its output to be read.
    fcntl(inFd, F_SETFL, fcntl(inFd, F_GETFL) | O_NONBLOCK);
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
          (i == 0 ? result.Out : result.Err).append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
          close(fds[i].fd);
          (i == 0 ? out[0] : err[0]) = -1;
          --open;
        }
      }
    }
    if (inFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t put = write(inFd, aOptions.Input.data() + fed, aOptions.Input.size() - fed);
      if (put > 0) fed += static_cast<std::size_t>(put);
      if ((put < 0 && errno != EAGAIN && errno != EINTR) || fed == aOptions.Input.size()) {
        close(inFd);
        inFd = -1;
      }
    }
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.ExitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.Signal = WTERMSIG(status);
  return result;
}

THeldFileLock::THeldFileLock(const std::string& aPath) {
  int fd = open(aPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || flock(fd, LOCK_EX) != 0) throw std::runtime_error("cannot lock " + aPath);
  FHandle = fd;
}

THeldFileLock::~THeldFileLock() { close(static_cast<int>(FHandle)); }

TNamedPipe::TNamedPipe(const std::string& aPath) {
  if (mkfifo(aPath.c_str(), 0600) != 0) throw std::runtime_error("cannot make " + aPath);
  int fd = open(aPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + aPath);
  FHandle = fd;
}

TNamedPipe::~TNamedPipe() { close(static_cast<int>(FHandle)); }

std::string TNamedPipe::ReadAvailable() {
  std::string out;
  char buffer[4096];
  ssize_t got;
  while ((got = read(static_cast<int>(FHandle), buffer, sizeof buffer)) > 0) {
    out.append(buffer, static_cast<std::size_t>(got));
  }
  return out;
}

TSignalAtOpen::TSignalAtOpen(const std::string& aFolder, const std::string& aNamePart, int aSignal)
    : FNamePart(aNamePart), FSignal(aSignal) {
#if defined(__linux__)
  FNotify = fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY);
  if (FNotify < 0 || fanotify_mark(FNotify, FAN_MARK_ADD, FAN_OPEN_PERM | FAN_EVENT_ON_CHILD,
                                   AT_FDCWD, aFolder.c_str()) != 0) {
    FUnavailable = std::string("fanotify permission events: ") + std::strerror(errno);
    return;
  }
  if (pipe(FStop) != 0) throw std::runtime_error("pipe");
  FThread = std::thread([this] { Serve(); });
#else
  (void)aFolder;
  FUnavailable = "fanotify is Linux's";
#endif
}

TSignalAtOpen::~TSignalAtOpen() {
  if (FThread.joinable()) {
    close(FStop[1]);
    FThread.join();
    close(FStop[0]);
  }
  if (FNotify >= 0) close(FNotify);
}

void TSignalAtOpen::Serve() {
#if defined(__linux__)
  alignas(fanotify_event_metadata) char buffer[4096];
  for (;;) {
    pollfd fds[2] = {{FNotify, POLLIN, 0}, {FStop[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
    if (fds[1].revents != 0) return;
    if ((fds[0].revents & POLLIN) == 0) continue;
    ssize_t got = read(FNotify, buffer, sizeof buffer);
    if (got <= 0) continue;
    auto* event = reinterpret_cast<fanotify_event_metadata*>(buffer);
    for (; FAN_EVENT_OK(event, got); event = FAN_EVENT_NEXT(event, got)) {
      if (event->fd < 0) continue;
      char path[4096];
      const std::string link = "/proc/self/fd/" + std::to_string(event->fd);
      ssize_t length = readlink(link.c_str(), path, sizeof path - 1);
      const std::string name(path, length > 0 ? static_cast<std::size_t>(length) : 0);
      if (!FSent && name.find(FNamePart) != std::string::npos) {
        // Marked before the signal: the test may look as soon as the
        // process has ended, before this thread runs again.
        FSent = true;
        kill(event->pid, FSignal);
      }
      fanotify_response allow = {event->fd, FAN_ALLOW};
      if (write(FNotify, &allow, sizeof allow) < 0) {
        // The opener goes on when the group goes away.
      }
      close(event->fd);
    }
  }
#endif
}

TFileOwnership OwnershipOf(const std::string& aPath) {
  struct stat info;
  if (lstat(aPath.c_str(), &info) != 0) throw std::runtime_error("cannot examine " + aPath);
  return {info.st_uid, info.st_gid};
}

void SetOwnership(const std::string& aPath, TFileOwnership aOwnership) {
  if (lchown(aPath.c_str(), aOwnership.Uid, aOwnership.Gid) != 0) {
    throw std::runtime_error("cannot change the owner of " + aPath);
  }
}

bool SetExtendedAttribute(const std::string& aPath, const std::string& aName,
                          const std::string& aValue) {
#if defined(__linux__)
  return setxattr(aPath.c_str(), aName.c_str(), aValue.data(), aValue.size(), 0) == 0;
#else
  return false;
#endif
}

std::string ExtendedAttribute(const std::string& aPath, const std::string& aName) {
#if defined(__linux__)
  char value[1024];
  ssize_t length = getxattr(aPath.c_str(), aName.c_str(), value, sizeof value);
  if (length > 0) return std::string(value, static_cast<std::size_t>(length));
#endif
  return std::string();
}

}  // namespace xlate
