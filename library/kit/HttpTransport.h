// The HTTP requests a library makes when it translates through a
// translation server: a GET and a form POST, each answered with a status
// and a body, or with the reason there is no answer. The libcurl
// implementation is in CurlTransport.cpp, the WinHTTP one of the Windows
// build in WinHttpTransport.cpp (part of Windows, so a library needs no DLL
// beside it); the tests put their own behind it. Target xlate_kit_http.
#ifndef XLATE_LIBRARY_KIT_HTTP_TRANSPORT_H
#define XLATE_LIBRARY_KIT_HTTP_TRANSPORT_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zta_kit {

enum class THttpOutcome {
  kAnswered,     // status and body hold the server's answer (any status)
  kUnreachable,  // no connection: bad address, refused, or not connected in time
  kTimedOut,     // connected, but the answer did not come in time
  kBroken,       // the connection broke before a whole answer came
  kTooLarge      // the answer was larger than the transport accepts
};

struct THttpResult {
  THttpOutcome outcome = THttpOutcome::kUnreachable;
  long status = 0;     // the HTTP status, when answered
  std::string body;    // the answer's body, when answered
  std::string detail;  // what went wrong, in ASCII, when not answered
};

class THttpTransport {
 public:
  virtual ~THttpTransport() = default;

  virtual THttpResult Get(const std::string& aUrl) = 0;

  // POSTs aFormBody as application/x-www-form-urlencoded.
  virtual THttpResult PostForm(const std::string& aUrl, const std::string& aFormBody) = 0;

  // How many connections were opened so far: stays at 1 while the server
  // keeps the connection open between requests.
  virtual std::uint64_t ConnectionsOpened() const = 0;
};

struct THttpLimits {
  std::chrono::milliseconds connectTimeout{5000};
  std::chrono::milliseconds totalTimeout{60000};
  std::size_t maxAnswerBytes = 64u << 20;
  // After a few requests in a row that did not reach the server, or that it
  // did not answer in time, requests fail at once for this long, and then
  // one tries the server again.
  std::chrono::milliseconds pauseAfterFailures{30000};
  // What the requests say they come from (the User-Agent header).
  std::string userAgent = "jxZTAccess";
};

// A transport on one libcurl easy handle, kept for the transport's lifetime
// so that one connection serves every request. Nothing and a reason in
// *vError when libcurl cannot be set up.
std::unique_ptr<THttpTransport> MakeCurlTransport(const THttpLimits& aLimits, std::string* vError);

// The transport of this build: libcurl's on Linux, WinHTTP's on Windows
// (WinHttpTransport.cpp). Nothing and a reason in *vError when it cannot be
// set up.
std::unique_ptr<THttpTransport> MakeHttpTransport(const THttpLimits& aLimits, std::string* vError);

}  // namespace zta_kit

#endif
