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
  hoAnswered,     // status and body hold the server's answer (any status)
  hoUnreachable,  // no connection: bad address, refused, or not connected in time
  hoTimedOut,     // connected, but the answer did not come in time
  hoBroken,       // the connection broke before a whole answer came
  hoTooLarge      // the answer was larger than the transport accepts
};

struct THttpResult {
  THttpOutcome Outcome = THttpOutcome::hoUnreachable;
  long Status = 0;     // the HTTP status, when answered
  std::string Body;    // the answer's body, when answered
  std::string Detail;  // what went wrong, in ASCII, when not answered
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
  std::chrono::milliseconds ConnectTimeout{5000};
  std::chrono::milliseconds TotalTimeout{60000};
  std::size_t MaxAnswerBytes = 64u << 20;
  // After a few requests in a row that did not reach the server, or that it
  // did not answer in time, requests fail at once for this long, and then
  // one tries the server again.
  std::chrono::milliseconds PauseAfterFailures{30000};
  // While a server's failures in a row began less than this long ago, a
  // text with no other server left waits for its pause to end and tries
  // it again, instead of failing at once.
  std::chrono::milliseconds WaitForPausedServer{120000};
  // What the requests say they come from (the User-Agent header).
  std::string UserAgent = "jxZTAccess";
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
