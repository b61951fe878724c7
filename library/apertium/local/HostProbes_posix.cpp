// What the local engine asks of the host on POSIX: processors, memory, and
// running a program for its output (Pipeline.h).
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
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>

#include "engine/KitNames.h"
#include "local/ChildProcesses_posix.h"
#include "local/Pipeline.h"

namespace zta {

using posix::Clock;
using posix::FileDescriptor;
using posix::millisecondsUntil;
using posix::spawnChain;
using posix::SpawnedChain;

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
