// The libcurl transport.
//
// One easy handle per transport, made once and reused for every request, so
// that libcurl keeps the connection to the server open between the lines of
// a file. The handle never prints (its body goes to our write function, and
// verbose output stays off) and never touches signals (CURLOPT_NOSIGNAL): on
// Linux libcurl sends with MSG_NOSIGNAL, so a connection closed by the server
// does not raise SIGPIPE either.
//
// libcurl's global state. curl_global_init and curl_global_cleanup are
// reference-counted by libcurl, so a host that uses libcurl itself keeps its
// own count. They are called when the first transport is made (the first
// call that goes to a server; loading the library for its local pipeline
// never starts libcurl) and when the last one ends (the library's state ends
// when the library is unloaded or the process exits). libcurl builds that do
// not report CURL_VERSION_THREADSAFE (before 7.84) make the two calls
// thread-unsafe: there, a host that runs libcurl on other threads should call
// curl_global_init itself before its first translation through a server, so
// that the library's call only raises the count. Our own calls are
// serialised by gCurlMutex.
//
// At process exit, OpenSSL's own exit handler (registered by
// curl_global_init) would run before the destructor of the library's state,
// which was made earlier. So an exit handler of ours, registered right after
// curl_global_init and so run before OpenSSL's, closes every handle first.
#include <curl/curl.h>

#include <cstdlib>
#include <mutex>

#include "library/kit/HttpTransport.h"

namespace zta_kit {
namespace {

class TCurlTransport;

// Guards everything below; plain data only, so nothing here has a
// destructor that could run before a transport's.
std::mutex gCurlMutex;
TCurlTransport* gFirstTransport = nullptr;
int gTransportCount = 0;
bool gCurlReady = false;
bool gExitHandlerRegistered = false;

void EndAllAtExit();

class TCurlTransport : public THttpTransport {
 public:
  explicit TCurlTransport(const THttpLimits& aLimits) : FLimits(aLimits) {}

  ~TCurlTransport() override {
    std::lock_guard<std::mutex> lock(gCurlMutex);
    CloseCurlHandle();
    if (FRegistered) {
      if (FPrevious != nullptr) FPrevious->FNext = FNext;
      if (FNext != nullptr) FNext->FPrevious = FPrevious;
      if (gFirstTransport == this) gFirstTransport = FNext;
      if (--gTransportCount == 0 && gCurlReady) {
        curl_global_cleanup();
        gCurlReady = false;
      }
    }
  }

  TCurlTransport(const TCurlTransport&) = delete;
  TCurlTransport& operator=(const TCurlTransport&) = delete;

  bool Open(std::string* vError) {
    std::lock_guard<std::mutex> lock(gCurlMutex);
    if (!gCurlReady) {
      const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
      if (code != CURLE_OK) {
        *vError = std::string("libcurl cannot start: ") + curl_easy_strerror(code);
        return false;
      }
      gCurlReady = true;
      if (!gExitHandlerRegistered && std::atexit(EndAllAtExit) == 0) gExitHandlerRegistered = true;
    }
    FRegistered = true;
    ++gTransportCount;
    FNext = gFirstTransport;
    if (FNext != nullptr) FNext->FPrevious = this;
    gFirstTransport = this;

    FHandle = curl_easy_init();
    if (FHandle == nullptr || !Configure()) {
      *vError = "libcurl cannot make an HTTP handle";
      return false;
    }
    return true;
  }

  THttpResult Get(const std::string& aUrl) override {
    if (FHandle == nullptr) return ShutDown();
    curl_easy_setopt(FHandle, CURLOPT_HTTPGET, 1L);
    return Perform(aUrl);
  }

  THttpResult PostForm(const std::string& aUrl, const std::string& aFormBody) override {
    if (FHandle == nullptr) return ShutDown();
    curl_easy_setopt(FHandle, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(aFormBody.size()));
    curl_easy_setopt(FHandle, CURLOPT_POSTFIELDS, aFormBody.c_str());
    return Perform(aUrl);
  }

  std::uint64_t ConnectionsOpened() const override { return FConnections; }

  // Ends the handle; later requests fail. Called with gCurlMutex held.
  void CloseCurlHandle() {
    if (FHandle != nullptr) curl_easy_cleanup(FHandle);
    FHandle = nullptr;
    if (FHeaders != nullptr) curl_slist_free_all(FHeaders);
    FHeaders = nullptr;
  }

  TCurlTransport* Next() const { return FNext; }

 private:
  static std::size_t Collect(char* aData, std::size_t aSize, std::size_t aCount, void* aSelf) {
    auto* transport = static_cast<TCurlTransport*>(aSelf);
    const std::size_t bytes = aSize * aCount;
    if (transport->FBody.size() + bytes > transport->FLimits.MaxAnswerBytes) {
      transport->FTooLarge = true;
      return 0;  // makes libcurl stop with CURLE_WRITE_ERROR
    }
    transport->FBody.append(aData, bytes);
    return bytes;
  }

  bool Configure() {
    // "Expect:" keeps libcurl from waiting for "100 Continue" before a large
    // form; the answers are JSON.
    FHeaders = curl_slist_append(FHeaders, "Expect:");
    FHeaders = curl_slist_append(FHeaders, "Accept: application/json");
    bool ok = FHeaders != nullptr;
    ok = ok && curl_easy_setopt(FHandle, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(FHandle, CURLOPT_HTTPHEADER, FHeaders) == CURLE_OK;
    ok = ok &&
         curl_easy_setopt(FHandle, CURLOPT_WRITEFUNCTION, &TCurlTransport::Collect) == CURLE_OK;
    ok = ok && curl_easy_setopt(FHandle, CURLOPT_WRITEDATA, this) == CURLE_OK;
    ok = ok && curl_easy_setopt(FHandle, CURLOPT_ERRORBUFFER, FErrorBuffer) == CURLE_OK;
    ok = ok && curl_easy_setopt(FHandle, CURLOPT_CONNECTTIMEOUT_MS,
                                static_cast<long>(FLimits.ConnectTimeout.count())) == CURLE_OK;
    ok = ok && curl_easy_setopt(FHandle, CURLOPT_TIMEOUT_MS,
                                static_cast<long>(FLimits.TotalTimeout.count())) == CURLE_OK;
    ok = ok && curl_easy_setopt(FHandle, CURLOPT_USERAGENT, FLimits.UserAgent.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(FHandle, CURLOPT_TCP_KEEPALIVE, 1L) == CURLE_OK;
#if LIBCURL_VERSION_NUM >= 0x075500
    ok = ok && curl_easy_setopt(FHandle, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
#else
    ok = ok &&
         curl_easy_setopt(FHandle, CURLOPT_PROTOCOLS, CURLPROTO_HTTP | CURLPROTO_HTTPS) == CURLE_OK;
#endif
    return ok;
  }

  THttpResult ShutDown() const {
    THttpResult result;
    result.Outcome = THttpOutcome::hoBroken;
    result.Detail = "the HTTP client has already been shut down";
    return result;
  }

  THttpResult Perform(const std::string& aUrl) {
    THttpResult result;
    FBody.clear();
    FTooLarge = false;
    FErrorBuffer[0] = '\0';
    curl_easy_setopt(FHandle, CURLOPT_URL, aUrl.c_str());
    const CURLcode code = curl_easy_perform(FHandle);
    long connects = 0;
    if (curl_easy_getinfo(FHandle, CURLINFO_NUM_CONNECTS, &connects) == CURLE_OK && connects > 0) {
      FConnections += static_cast<std::uint64_t>(connects);
    }
    if (code == CURLE_OK) {
      result.Outcome = THttpOutcome::hoAnswered;
      curl_easy_getinfo(FHandle, CURLINFO_RESPONSE_CODE, &result.Status);
      result.Body.swap(FBody);
      return result;
    }
    result.Detail = FErrorBuffer[0] != '\0' ? FErrorBuffer : curl_easy_strerror(code);
    switch (code) {
      case CURLE_UNSUPPORTED_PROTOCOL:
      case CURLE_URL_MALFORMAT:
      case CURLE_COULDNT_RESOLVE_PROXY:
      case CURLE_COULDNT_RESOLVE_HOST:
      case CURLE_COULDNT_CONNECT:
      case CURLE_SSL_CONNECT_ERROR:
      case CURLE_PEER_FAILED_VERIFICATION:
        result.Outcome = THttpOutcome::hoUnreachable;
        break;
      case CURLE_OPERATION_TIMEDOUT: {
        // Nothing was sent when the time ran out while connecting.
        long requestBytes = 0;
        curl_easy_getinfo(FHandle, CURLINFO_REQUEST_SIZE, &requestBytes);
        result.Outcome = requestBytes == 0 ? THttpOutcome::hoUnreachable : THttpOutcome::hoTimedOut;
        break;
      }
      case CURLE_WRITE_ERROR:
        result.Outcome = FTooLarge ? THttpOutcome::hoTooLarge : THttpOutcome::hoBroken;
        if (FTooLarge) {
          result.Detail =
              "the answer is larger than " + std::to_string(FLimits.MaxAnswerBytes) + " bytes";
        }
        break;
      default:
        result.Outcome = THttpOutcome::hoBroken;
        break;
    }
    return result;
  }

  THttpLimits FLimits;
  CURL* FHandle = nullptr;
  curl_slist* FHeaders = nullptr;
  char FErrorBuffer[CURL_ERROR_SIZE] = {};
  std::string FBody;
  bool FTooLarge = false;
  std::uint64_t FConnections = 0;
  bool FRegistered = false;
  TCurlTransport* FPrevious = nullptr;
  TCurlTransport* FNext = nullptr;
};

void EndAllAtExit() {
  std::lock_guard<std::mutex> lock(gCurlMutex);
  for (TCurlTransport* transport = gFirstTransport; transport != nullptr;
       transport = transport->Next()) {
    transport->CloseCurlHandle();
  }
  if (gCurlReady) {
    curl_global_cleanup();
    gCurlReady = false;
  }
}

}  // namespace

std::unique_ptr<THttpTransport> MakeCurlTransport(const THttpLimits& aLimits, std::string* vError) {
  auto transport = std::make_unique<TCurlTransport>(aLimits);
  if (!transport->Open(vError)) return nullptr;
  return transport;
}

std::unique_ptr<THttpTransport> MakeHttpTransport(const THttpLimits& aLimits, std::string* vError) {
  return MakeCurlTransport(aLimits, vError);
}

}  // namespace zta_kit
