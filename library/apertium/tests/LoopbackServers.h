// Servers on 127.0.0.1 for the tests of server mode: a real Apertium APY
// started for the test and stopped afterwards, and a canned HTTP server that
// answers, stays silent or hangs up as a test tells it.
#ifndef XLATE_LIBRARY_APERTIUM_TESTS_LOOPBACK_SERVERS_H
#define XLATE_LIBRARY_APERTIUM_TESTS_LOOPBACK_SERVERS_H

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zta::test {

// A TCP port on 127.0.0.1 that nothing listens on right now.
int freeLoopbackPort();

// Why apertium-apy or the English-Spanish modes are missing, or empty.
std::string apyMissingReason();

#define SKIP_WITHOUT_APY()                                                \
  do {                                                                    \
    const std::string why = ::zta::test::apyMissingReason();              \
    if (!why.empty()) GTEST_SKIP() << "Apertium APY cannot run: " << why; \
  } while (false)

// apertium-apy serving the modes of a folder on a loopback port, in a
// process group of its own. The constructor waits until /listPairs answers
// (at most startLimit); the destructor stops the server and every process
// it started.
class ApyServer {
 public:
  explicit ApyServer(const std::string& modesDirectory = "/usr/share/apertium/modes", int port = 0,
                     const std::vector<std::string>& options = {},
                     std::chrono::seconds startLimit = std::chrono::seconds(60));
  ~ApyServer();
  ApyServer(const ApyServer&) = delete;
  ApyServer& operator=(const ApyServer&) = delete;

  bool running() const { return pid_ > 0; }
  // Why it is not running: the reason and the end of the server's log.
  const std::string& failure() const { return failure_; }
  int port() const { return port_; }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  int processGroup() const { return group_; }

  // Ends the server and its pipelines; waits until they are gone.
  void stop();

 private:
  bool start(const std::string& modesDirectory, const std::vector<std::string>& options,
             std::chrono::steady_clock::time_point deadline);
  std::string logTail() const;

  int port_ = 0;
  int pid_ = 0;
  int group_ = 0;
  std::string folder_;
  std::string failure_;
};

// What a CannedServer does with each request.
enum class CannedBehaviour {
  kAnswer,  // writes the canned answer and keeps the connection for more requests
  kSilent,  // reads the request and never answers
  kHangUp   // closes the connection once the request's head is there, body unread
};

// An HTTP server on a loopback port, one connection at a time.
class CannedServer {
 public:
  using Responder = std::function<std::string(const std::string& request)>;

  CannedServer(CannedBehaviour behaviour, std::string answer = std::string());
  // Answers each request with what respond makes of it.
  explicit CannedServer(Responder respond);
  ~CannedServer();
  CannedServer(const CannedServer&) = delete;
  CannedServer& operator=(const CannedServer&) = delete;

  int port() const { return port_; }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  int connectionsAccepted() const { return accepted_; }
  // Every request so far, head and body as they came.
  std::vector<std::string> requests() const;

  // A complete HTTP/1.1 answer with that status line, content type and body.
  static std::string answer(const std::string& statusLine, const std::string& contentType,
                            const std::string& body);

 private:
  void serve();
  void serveConnection(int connection);

  void listen();

  CannedBehaviour behaviour_;
  std::string answer_;
  Responder respond_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> accepted_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// Sends request to 127.0.0.1:port and reads the answer until the server
// closes the connection or limit passes; empty when nothing could be sent.
std::string loopbackExchange(int port, const std::string& request, std::chrono::milliseconds limit);

}  // namespace zta::test

#endif
