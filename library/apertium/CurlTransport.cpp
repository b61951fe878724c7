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

#include "HttpTransport.h"

namespace zta {
namespace {

class CurlTransport;

// Guards everything below; plain data only, so nothing here has a
// destructor that could run before a transport's.
std::mutex gCurlMutex;
CurlTransport* gFirstTransport = nullptr;
int gTransportCount = 0;
bool gCurlReady = false;
bool gExitHandlerRegistered = false;

void endAllAtExit();

class CurlTransport : public HttpTransport {
 public:
  explicit CurlTransport(const HttpLimits& limits) : limits_(limits) {}

  ~CurlTransport() override {
    std::lock_guard<std::mutex> lock(gCurlMutex);
    closeHandle();
    if (registered_) {
      if (previous_ != nullptr) previous_->next_ = next_;
      if (next_ != nullptr) next_->previous_ = previous_;
      if (gFirstTransport == this) gFirstTransport = next_;
      if (--gTransportCount == 0 && gCurlReady) {
        curl_global_cleanup();
        gCurlReady = false;
      }
    }
  }

  CurlTransport(const CurlTransport&) = delete;
  CurlTransport& operator=(const CurlTransport&) = delete;

  bool open(std::string* error) {
    std::lock_guard<std::mutex> lock(gCurlMutex);
    if (!gCurlReady) {
      const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
      if (code != CURLE_OK) {
        *error = std::string("libcurl cannot start: ") + curl_easy_strerror(code);
        return false;
      }
      gCurlReady = true;
      if (!gExitHandlerRegistered && std::atexit(endAllAtExit) == 0) gExitHandlerRegistered = true;
    }
    registered_ = true;
    ++gTransportCount;
    next_ = gFirstTransport;
    if (next_ != nullptr) next_->previous_ = this;
    gFirstTransport = this;

    handle_ = curl_easy_init();
    if (handle_ == nullptr || !configure()) {
      *error = "libcurl cannot make an HTTP handle";
      return false;
    }
    return true;
  }

  HttpResult get(const std::string& url) override {
    if (handle_ == nullptr) return shutDown();
    curl_easy_setopt(handle_, CURLOPT_HTTPGET, 1L);
    return perform(url);
  }

  HttpResult postForm(const std::string& url, const std::string& formBody) override {
    if (handle_ == nullptr) return shutDown();
    curl_easy_setopt(handle_, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(formBody.size()));
    curl_easy_setopt(handle_, CURLOPT_POSTFIELDS, formBody.c_str());
    return perform(url);
  }

  std::uint64_t connectionsOpened() const override { return connections_; }

  // Ends the handle; later requests fail. Called with gCurlMutex held.
  void closeHandle() {
    if (handle_ != nullptr) curl_easy_cleanup(handle_);
    handle_ = nullptr;
    if (headers_ != nullptr) curl_slist_free_all(headers_);
    headers_ = nullptr;
  }

  CurlTransport* next() const { return next_; }

 private:
  static std::size_t collect(char* data, std::size_t size, std::size_t count, void* self) {
    auto* transport = static_cast<CurlTransport*>(self);
    const std::size_t bytes = size * count;
    if (transport->body_.size() + bytes > transport->limits_.maxAnswerBytes) {
      transport->tooLarge_ = true;
      return 0;  // makes libcurl stop with CURLE_WRITE_ERROR
    }
    transport->body_.append(data, bytes);
    return bytes;
  }

  bool configure() {
    // "Expect:" keeps libcurl from waiting for "100 Continue" before a large
    // form; the answers are JSON.
    headers_ = curl_slist_append(headers_, "Expect:");
    headers_ = curl_slist_append(headers_, "Accept: application/json");
    bool ok = headers_ != nullptr;
    ok = ok && curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers_) == CURLE_OK;
    ok =
        ok && curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &CurlTransport::collect) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle_, CURLOPT_WRITEDATA, this) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle_, CURLOPT_ERRORBUFFER, errorBuffer_) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle_, CURLOPT_CONNECTTIMEOUT_MS,
                                static_cast<long>(limits_.connectTimeout.count())) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle_, CURLOPT_TIMEOUT_MS,
                                static_cast<long>(limits_.totalTimeout.count())) == CURLE_OK;
    ok = ok && curl_easy_setopt(handle_, CURLOPT_USERAGENT, "jxZTAccess (Apertium)") == CURLE_OK;
    ok = ok && curl_easy_setopt(handle_, CURLOPT_TCP_KEEPALIVE, 1L) == CURLE_OK;
#if LIBCURL_VERSION_NUM >= 0x075500
    ok = ok && curl_easy_setopt(handle_, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
#else
    ok = ok &&
         curl_easy_setopt(handle_, CURLOPT_PROTOCOLS, CURLPROTO_HTTP | CURLPROTO_HTTPS) == CURLE_OK;
#endif
    return ok;
  }

  HttpResult shutDown() const {
    HttpResult result;
    result.outcome = HttpOutcome::kBroken;
    result.detail = "the HTTP client has already been shut down";
    return result;
  }

  HttpResult perform(const std::string& url) {
    HttpResult result;
    body_.clear();
    tooLarge_ = false;
    errorBuffer_[0] = '\0';
    curl_easy_setopt(handle_, CURLOPT_URL, url.c_str());
    const CURLcode code = curl_easy_perform(handle_);
    long connects = 0;
    if (curl_easy_getinfo(handle_, CURLINFO_NUM_CONNECTS, &connects) == CURLE_OK && connects > 0) {
      connections_ += static_cast<std::uint64_t>(connects);
    }
    if (code == CURLE_OK) {
      result.outcome = HttpOutcome::kAnswered;
      curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &result.status);
      result.body.swap(body_);
      return result;
    }
    result.detail = errorBuffer_[0] != '\0' ? errorBuffer_ : curl_easy_strerror(code);
    switch (code) {
      case CURLE_UNSUPPORTED_PROTOCOL:
      case CURLE_URL_MALFORMAT:
      case CURLE_COULDNT_RESOLVE_PROXY:
      case CURLE_COULDNT_RESOLVE_HOST:
      case CURLE_COULDNT_CONNECT:
      case CURLE_SSL_CONNECT_ERROR:
      case CURLE_PEER_FAILED_VERIFICATION:
        result.outcome = HttpOutcome::kUnreachable;
        break;
      case CURLE_OPERATION_TIMEDOUT: {
        // Nothing was sent when the time ran out while connecting.
        long requestBytes = 0;
        curl_easy_getinfo(handle_, CURLINFO_REQUEST_SIZE, &requestBytes);
        result.outcome = requestBytes == 0 ? HttpOutcome::kUnreachable : HttpOutcome::kTimedOut;
        break;
      }
      case CURLE_WRITE_ERROR:
        result.outcome = tooLarge_ ? HttpOutcome::kTooLarge : HttpOutcome::kBroken;
        if (tooLarge_) {
          result.detail =
              "the answer is larger than " + std::to_string(limits_.maxAnswerBytes) + " bytes";
        }
        break;
      default:
        result.outcome = HttpOutcome::kBroken;
        break;
    }
    return result;
  }

  HttpLimits limits_;
  CURL* handle_ = nullptr;
  curl_slist* headers_ = nullptr;
  char errorBuffer_[CURL_ERROR_SIZE] = {};
  std::string body_;
  bool tooLarge_ = false;
  std::uint64_t connections_ = 0;
  bool registered_ = false;
  CurlTransport* previous_ = nullptr;
  CurlTransport* next_ = nullptr;
};

void endAllAtExit() {
  std::lock_guard<std::mutex> lock(gCurlMutex);
  for (CurlTransport* transport = gFirstTransport; transport != nullptr;
       transport = transport->next()) {
    transport->closeHandle();
  }
  if (gCurlReady) {
    curl_global_cleanup();
    gCurlReady = false;
  }
}

}  // namespace

std::unique_ptr<HttpTransport> makeCurlTransport(const HttpLimits& limits, std::string* error) {
  auto transport = std::make_unique<CurlTransport>(limits);
  if (!transport->open(error)) return nullptr;
  return transport;
}

std::unique_ptr<HttpTransport> makeHttpTransport(const HttpLimits& limits, std::string* error) {
  return makeCurlTransport(limits, error);
}

}  // namespace zta
