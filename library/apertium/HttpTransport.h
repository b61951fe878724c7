// The HTTP requests the library makes when it translates through a
// translation server: a GET and a form POST, each answered with a status
// and a body, or with the reason there is no answer. The libcurl
// implementation is in CurlTransport.cpp, the WinHTTP one of the Windows
// build in WinHttpTransport.cpp; the tests put their own behind it.
#ifndef XLATE_LIBRARY_APERTIUM_HTTP_TRANSPORT_H
#define XLATE_LIBRARY_APERTIUM_HTTP_TRANSPORT_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zta {

enum class HttpOutcome {
  kAnswered,     // status and body hold the server's answer (any status)
  kUnreachable,  // no connection: bad address, refused, or not connected in time
  kTimedOut,     // connected, but the answer did not come in time
  kBroken,       // the connection broke before a whole answer came
  kTooLarge      // the answer was larger than the transport accepts
};

struct HttpResult {
  HttpOutcome outcome = HttpOutcome::kUnreachable;
  long status = 0;     // the HTTP status, when answered
  std::string body;    // the answer's body, when answered
  std::string detail;  // what went wrong, in ASCII, when not answered
};

class HttpTransport {
 public:
  virtual ~HttpTransport() = default;

  virtual HttpResult get(const std::string& url) = 0;

  // POSTs formBody as application/x-www-form-urlencoded.
  virtual HttpResult postForm(const std::string& url, const std::string& formBody) = 0;

  // How many connections were opened so far: stays at 1 while the server
  // keeps the connection open between requests.
  virtual std::uint64_t connectionsOpened() const = 0;
};

struct HttpLimits {
  std::chrono::milliseconds connectTimeout{5000};
  std::chrono::milliseconds totalTimeout{60000};
  std::size_t maxAnswerBytes = 64u << 20;
  // After a few requests in a row that did not reach the server, or that it
  // did not answer in time, requests fail at once for this long, and then
  // one tries the server again.
  std::chrono::milliseconds pauseAfterFailures{30000};
};

// A transport on one libcurl easy handle, kept for the transport's lifetime
// so that one connection serves every request. Nothing and a reason in
// *error when libcurl cannot be set up.
std::unique_ptr<HttpTransport> makeCurlTransport(const HttpLimits& limits, std::string* error);

// The transport of this build: libcurl's on Linux, WinHTTP's on Windows
// (WinHttpTransport.cpp). Nothing and a reason in *error when it cannot be
// set up.
std::unique_ptr<HttpTransport> makeHttpTransport(const HttpLimits& limits, std::string* error);

}  // namespace zta

#endif
