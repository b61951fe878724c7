#include "LoopbackServers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace zta::test {
namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in loopbackAddress(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool programInPath(const char* name) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (::access((folder + "/" + name).c_str(), X_OK) == 0) return true;
  }
  return false;
}

bool writeAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads one request (head and Content-Length body, or the head only) from
// fd, waiting at most until stopping is set. Empty when the client closed the
// connection.
std::string readRequest(int fd, const std::atomic<bool>& stopping, std::string* pending,
                        bool headOnly) {
  std::string& data = *pending;
  for (;;) {
    const std::size_t headEnd = data.find("\r\n\r\n");
    if (headEnd != std::string::npos && headOnly) return data;
    if (headEnd != std::string::npos) {
      std::size_t length = 0;
      std::string head = data.substr(0, headEnd);
      for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      const std::size_t field = head.find("\r\ncontent-length:");
      if (field != std::string::npos) length = std::strtoul(head.c_str() + field + 17, nullptr, 10);
      if (data.size() >= headEnd + 4 + length) {
        std::string request = data.substr(0, headEnd + 4 + length);
        data.erase(0, request.size());
        return request;
      }
    }
    pollfd wait{fd, POLLIN, 0};
    const int ready = ::poll(&wait, 1, 50);
    if (stopping) return std::string();
    if (ready <= 0) continue;
    char buffer[65536];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return std::string();
    data.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace

int freeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in address = loopbackAddress(0);
  socklen_t size = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

std::string apyMissingReason() {
  for (const char* program : {"apertium-apy", "apertium-destxt", "apertium-retxt", "lt-proc"}) {
    if (!programInPath(program)) return std::string(program) + " is not in PATH";
  }
  for (const char* mode : {"eng-spa", "spa-eng"}) {
    const std::string path = std::string("/usr/share/apertium/modes/") + mode + ".mode";
    if (!std::filesystem::exists(path)) return path + " does not exist";
  }
  return std::string();
}

std::string loopbackExchange(int port, const std::string& request,
                             std::chrono::milliseconds limit) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return std::string();
  const sockaddr_in address = loopbackAddress(port);
  std::string answer;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
      writeAll(fd, request)) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      pollfd wait{fd, POLLIN, 0};
      if (left <= 0 || ::poll(&wait, 1, static_cast<int>(left)) <= 0) break;
      char buffer[65536];
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      answer.append(buffer, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  return answer;
}

// ---------------------------------------------------------------- ApyServer

ApyServer::ApyServer(const std::string& modesDirectory, int port,
                     const std::vector<std::string>& options, std::chrono::seconds startLimit) {
  std::string pattern = (std::filesystem::temp_directory_path() / "zta_apy.XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    failure_ = "mkdtemp failed";
    return;
  }
  folder_ = pattern;
  const auto deadline = Clock::now() + startLimit;
  // A port picked here may be taken by someone else before APY binds it:
  // then try another one.
  for (int attempt = 0; attempt < 3; ++attempt) {
    port_ = port != 0 ? port : freeLoopbackPort();
    if (start(modesDirectory, options, deadline)) return;
    if (port != 0 || Clock::now() >= deadline) break;
  }
}

ApyServer::~ApyServer() {
  stop();
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

std::string ApyServer::logTail() const {
  std::ifstream log(folder_ + "/apy.log", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  return text.size() > 2000 ? text.substr(text.size() - 2000) : text;
}

bool ApyServer::start(const std::string& modesDirectory, const std::vector<std::string>& options,
                      Clock::time_point deadline) {
  std::vector<std::string> arguments = {"apertium-apy", "-p", std::to_string(port_)};
  arguments.insert(arguments.end(), options.begin(), options.end());
  arguments.push_back(modesDirectory);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  // APY refuses to start without a UTF-8 locale, and a fresh machine or a
  // bare environment has none: it gets C.UTF-8, which every Debian has.
  std::vector<std::string> environment = {"LC_ALL=C.UTF-8"};
  for (char** variable = environ; *variable != nullptr; ++variable) {
    if (std::strncmp(*variable, "LC_ALL=", 7) != 0) environment.emplace_back(*variable);
  }
  std::vector<char*> envp;
  for (std::string& variable : environment) envp.push_back(variable.data());
  envp.push_back(nullptr);
  const std::string logPath = folder_ + "/apy.log";

  const pid_t pid = ::fork();
  if (pid < 0) {
    failure_ = std::string("fork failed: ") + std::strerror(errno);
    return false;
  }
  if (pid == 0) {
    ::setpgid(0, 0);
    const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    const int null = ::open("/dev/null", O_RDONLY);
    if (log < 0 || null < 0 || ::chdir(folder_.c_str()) != 0) ::_exit(126);
    ::dup2(null, STDIN_FILENO);
    ::dup2(log, STDOUT_FILENO);
    ::dup2(log, STDERR_FILENO);
    ::execvpe(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::setpgid(pid, pid);  // also here, so that stop() can never miss the group
  pid_ = pid;
  group_ = pid;

  const std::string probe =
      "GET /listPairs HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
  while (Clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      pid_ = 0;
      ::kill(-group_, SIGKILL);
      failure_ = "apertium-apy ended at start (status " + std::to_string(status) + ") on port " +
                 std::to_string(port_) + "; its log:\n" + logTail();
      return false;
    }
    const std::string answer = loopbackExchange(port_, probe, std::chrono::seconds(2));
    if (answer.rfind("HTTP/1.1 200", 0) == 0 && answer.find("responseData") != std::string::npos) {
      failure_.clear();
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  failure_ = "apertium-apy did not answer /listPairs in time on port " + std::to_string(port_) +
             "; its log:\n" + logTail();
  stop();
  return false;
}

void ApyServer::stop() {
  if (group_ == 0) return;
  if (pid_ > 0) {
    ::kill(-group_, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0 && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(-group_, SIGKILL);
    ::waitpid(pid_, &status, 0);
    pid_ = 0;
  }
  // The pipelines were children of the server: init reaps them once they end.
  ::kill(-group_, SIGKILL);
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while ((::kill(-group_, 0) == 0 || errno == EPERM) && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  group_ = 0;
}

// ------------------------------------------------------------- CannedServer

CannedServer::CannedServer(CannedBehaviour behaviour, std::string answer)
    : behaviour_(behaviour), answer_(std::move(answer)) {
  listen();
}

CannedServer::CannedServer(Responder respond)
    : behaviour_(CannedBehaviour::kAnswer), respond_(std::move(respond)) {
  listen();
}

void CannedServer::listen() {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = loopbackAddress(0);
  socklen_t size = sizeof address;
  if (listener_ < 0 ||
      ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 8) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { serve(); });
}

CannedServer::~CannedServer() {
  stopping_ = true;
  thread_.join();
  ::close(listener_);
}

std::vector<std::string> CannedServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::string CannedServer::answer(const std::string& statusLine, const std::string& contentType,
                                 const std::string& body) {
  return "HTTP/1.1 " + statusLine + "\r\nContent-Type: " + contentType +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

void CannedServer::serve() {
  while (!stopping_) {
    pollfd wait{listener_, POLLIN, 0};
    if (::poll(&wait, 1, 50) <= 0) continue;
    const int connection = ::accept(listener_, nullptr, nullptr);
    if (connection < 0) continue;
    ++accepted_;
    serveConnection(connection);
    ::close(connection);
  }
}

void CannedServer::serveConnection(int connection) {
  std::string pending;
  for (;;) {
    const std::string request =
        readRequest(connection, stopping_, &pending, behaviour_ == CannedBehaviour::kHangUp);
    if (request.empty()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    switch (behaviour_) {
      case CannedBehaviour::kAnswer:
        if (!writeAll(connection, respond_ ? respond_(request) : answer_)) return;
        break;
      case CannedBehaviour::kSilent:
        while (!stopping_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return;
      case CannedBehaviour::kHangUp:
        return;
    }
  }
}

}  // namespace zta::test
