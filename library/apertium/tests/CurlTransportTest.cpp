// The libcurl transport against canned HTTP servers on 127.0.0.1: the
// requests it writes, connection reuse, and what each failure becomes.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

#include "LoopbackServers.h"
#include "engine/KitNames.h"

namespace zta {
namespace {

using namespace std::chrono_literals;
using test::CannedBehaviour;
using test::CannedServer;

const std::string kJson = R"({"responseData": {"translatedText": "Hola"}, "responseStatus": 200})";

std::unique_ptr<HttpTransport> transport(HttpLimits limits = {}) {
  std::string error;
  std::unique_ptr<HttpTransport> made = zta_kit::MakeCurlTransport(limits, &error);
  EXPECT_NE(made, nullptr) << error;
  return made;
}

std::atomic<int> gSignalsSeen{0};
void countSignal(int) { ++gSignalsSeen; }

TEST(CurlTransport, WritesPlainRequestsAndKeepsOneConnectionForAll) {
  CannedServer server(CannedBehaviour::kAnswer,
                      CannedServer::answer("200 OK", "application/json", kJson));
  auto http = transport();
  const std::string largeForm = "q=" + std::string(5000, 'a') + "&langpair=eng%7Cspa";
  for (int round = 0; round < 3; ++round) {
    HttpResult result = http->Get(server.url() + "/listPairs");
    ASSERT_EQ(result.Outcome, HttpOutcome::hoAnswered) << result.Detail;
    EXPECT_EQ(result.Status, 200);
    EXPECT_EQ(result.Body, kJson);
    result = http->PostForm(server.url() + "/translate", largeForm);
    ASSERT_EQ(result.Outcome, HttpOutcome::hoAnswered) << result.Detail;
    EXPECT_EQ(result.Body, kJson);
  }
  EXPECT_EQ(http->ConnectionsOpened(), 1u);
  EXPECT_EQ(server.connectionsAccepted(), 1);

  const std::vector<std::string> requests = server.requests();
  ASSERT_EQ(requests.size(), 6u);
  EXPECT_EQ(requests[0].rfind("GET /listPairs HTTP/1.1\r\n", 0), 0u) << requests[0];
  const std::string& post = requests[1];
  EXPECT_EQ(post.rfind("POST /translate HTTP/1.1\r\n", 0), 0u) << post;
  EXPECT_NE(post.find("\r\nContent-Type: application/x-www-form-urlencoded\r\n"), std::string::npos)
      << post;
  EXPECT_NE(post.find("\r\nContent-Length: " + std::to_string(largeForm.size()) + "\r\n"),
            std::string::npos);
  EXPECT_EQ(post.find("100-continue"), std::string::npos) << post;
  EXPECT_EQ(post.substr(post.find("\r\n\r\n") + 4), largeForm);
  // A GET after a POST is a GET again, without a body.
  EXPECT_EQ(requests[2].rfind("GET /listPairs", 0), 0u) << requests[2];
  EXPECT_EQ(requests[2].find("Content-Length"), std::string::npos) << requests[2];
}

TEST(CurlTransport, GivesTheStatusAndBodyOfAnErrorAnswer) {
  const std::string body = R"({"status": "error", "code": 400, "explanation": "x"})";
  CannedServer server(CannedBehaviour::kAnswer,
                      CannedServer::answer("400 Bad Request", "application/json", body));
  const HttpResult result = transport()->PostForm(server.url() + "/translate", "q=a");
  ASSERT_EQ(result.Outcome, HttpOutcome::hoAnswered) << result.Detail;
  EXPECT_EQ(result.Status, 400);
  EXPECT_EQ(result.Body, body);
}

TEST(CurlTransport, TellsARefusedConnectionFromASilentServerAndAHangUp) {
  const int closedPort = test::freeLoopbackPort();
  HttpResult result =
      transport()->Get("http://127.0.0.1:" + std::to_string(closedPort) + "/listPairs");
  EXPECT_EQ(result.Outcome, HttpOutcome::hoUnreachable);
  EXPECT_NE(result.Detail.find(std::to_string(closedPort)), std::string::npos) << result.Detail;

  CannedServer silent(CannedBehaviour::kSilent);
  HttpLimits limits;
  limits.TotalTimeout = 300ms;
  const auto start = std::chrono::steady_clock::now();
  result = transport(limits)->PostForm(silent.url() + "/translate", "q=a");
  EXPECT_EQ(result.Outcome, HttpOutcome::hoTimedOut) << result.Detail;
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

  CannedServer hangUp(CannedBehaviour::kHangUp);
  result = transport()->PostForm(hangUp.url() + "/translate", "q=a");
  EXPECT_EQ(result.Outcome, HttpOutcome::hoBroken) << result.Detail;
  EXPECT_FALSE(result.Detail.empty());
}

TEST(CurlTransport, GivesUpConnectingAfterTheConnectTimeout) {
  // A listener that accepts nothing, with its one-place queue taken: the
  // kernel drops further connection attempts, so connecting hangs.
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 0), 0);
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
  std::vector<int> fillers;
  for (int i = 0; i < 2; ++i) {
    const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
    fillers.push_back(filler);
  }
  std::this_thread::sleep_for(100ms);
  HttpLimits limits;
  limits.ConnectTimeout = 300ms;
  limits.TotalTimeout = 10s;
  const auto start = std::chrono::steady_clock::now();
  const HttpResult result =
      transport(limits)->Get("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/");
  const auto took = std::chrono::steady_clock::now() - start;
  for (int filler : fillers) ::close(filler);
  ::close(listener);
  EXPECT_EQ(result.Outcome, HttpOutcome::hoUnreachable) << result.Detail;
  EXPECT_LT(took, 5s);
}

TEST(CurlTransport, StopsReadingAnAnswerLargerThanItsLimit) {
  CannedServer server(CannedBehaviour::kAnswer,
                      CannedServer::answer("200 OK", "application/json", std::string(5000, 'x')));
  HttpLimits limits;
  limits.MaxAnswerBytes = 1000;
  const HttpResult result = transport(limits)->Get(server.url() + "/listPairs");
  EXPECT_EQ(result.Outcome, HttpOutcome::hoTooLarge) << result.Detail;
}

TEST(CurlTransport, LeavesTheHostsSignalDispositionsAlone) {
  struct sigaction mine {};
  mine.sa_handler = countSignal;
  sigemptyset(&mine.sa_mask);
  struct sigaction before[2]{};
  const int signals[] = {SIGPIPE, SIGALRM};
  for (int i = 0; i < 2; ++i) ASSERT_EQ(sigaction(signals[i], &mine, &before[i]), 0);
  gSignalsSeen = 0;
  {
    CannedServer server(CannedBehaviour::kAnswer,
                        CannedServer::answer("200 OK", "application/json", kJson));
    CannedServer hangUp(CannedBehaviour::kHangUp);
    auto http = transport();
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(http->PostForm(server.url() + "/translate", "q=a").Outcome,
                HttpOutcome::hoAnswered);
      // A large body to a server that hangs up: writes into a closed socket.
      EXPECT_NE(http->PostForm(hangUp.url() + "/translate", std::string(1 << 20, 'q')).Outcome,
                HttpOutcome::hoAnswered);
      EXPECT_NE(http->Get("http://127.0.0.1:" + std::to_string(test::freeLoopbackPort())).Outcome,
                HttpOutcome::hoAnswered);
    }
  }
  for (int i = 0; i < 2; ++i) {
    struct sigaction now {};
    ASSERT_EQ(sigaction(signals[i], &before[i], &now), 0);
    EXPECT_EQ(now.sa_handler, &countSignal) << "signal " << signals[i];
  }
  EXPECT_EQ(gSignalsSeen, 0);
}

}  // namespace
}  // namespace zta
