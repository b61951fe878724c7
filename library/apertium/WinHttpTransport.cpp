// The WinHTTP transport of the Windows build. WinHTTP is part of Windows, so
// the library needs nothing installed beside it.
//
// One WinHTTP session per transport, kept for the transport's lifetime:
// WinHTTP keeps the connection to the server open in the session's pool
// between requests, as libcurl does with its handle. Requests are
// synchronous. WinHTTP has no limit for a whole request, so the time left of
// ZTA_SERVER_TIMEOUT_MS is set as the send and receive limit before every
// step. Redirects are not followed (neither does the libcurl transport), and
// the proxy is the one of the system's WinHTTP settings.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "HttpTransport.h"

namespace zta {
namespace {

using Clock = std::chrono::steady_clock;

std::wstring wideFromAnsi(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

// Short texts of the failures a request meets most, for systems (such as
// Wine) whose winhttp.dll has no message texts.
const char* ownText(DWORD code) {
  switch (code) {
    case ERROR_WINHTTP_TIMEOUT:
      return "The operation timed out";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      return "The server name could not be resolved";
    case ERROR_WINHTTP_CANNOT_CONNECT:
      return "A connection with the server could not be established";
    case ERROR_WINHTTP_CONNECTION_ERROR:
      return "The connection with the server was reset or terminated";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      return "The server response could not be parsed";
    default:
      return "";
  }
}

// "WinHTTP error 12029 (A connection with the server could not be
// established)", with the system's text where it has one.
std::string describe(DWORD code) {
  std::string text = "WinHTTP error " + std::to_string(code);
  wchar_t message[512];
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      GetModuleHandleW(L"winhttp.dll"), code, 0, message, 512, nullptr);
  std::string said;
  for (DWORD i = 0; i < length; ++i) {
    said += message[i] >= 32 && message[i] < 127 ? static_cast<char>(message[i]) : ' ';
  }
  while (!said.empty() && (said.back() == ' ' || said.back() == '.')) said.pop_back();
  if (said.empty()) said = ownText(code);
  if (!said.empty()) text += " (" + said + ")";
  return text;
}

class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET handle = nullptr) : handle_(handle) {}
  ~InternetHandle() {
    if (handle_ != nullptr) WinHttpCloseHandle(handle_);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  HINTERNET get() const { return handle_; }

 private:
  HINTERNET handle_;
};

class WinHttpTransport : public HttpTransport {
 public:
  explicit WinHttpTransport(const HttpLimits& limits) : limits_(limits) {}

  bool open(std::string* error) {
    session_ = std::make_unique<InternetHandle>(
        WinHttpOpen(L"jxZTAccess (Apertium)", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (session_->get() == nullptr) {
      *error = "WinHTTP cannot start: " + describe(GetLastError());
      return false;
    }
    // Tells when a request opens a new connection, and whether it got one.
    WinHttpSetStatusCallback(session_->get(), &WinHttpTransport::notice,
                             WINHTTP_CALLBACK_FLAG_CONNECT_TO_SERVER, 0);
    return true;
  }

  HttpResult get(const std::string& url) override { return perform(L"GET", url, nullptr); }

  HttpResult postForm(const std::string& url, const std::string& formBody) override {
    return perform(L"POST", url, &formBody);
  }

  std::uint64_t connectionsOpened() const override { return connections_; }

 private:
  static void CALLBACK notice(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
    auto* self = reinterpret_cast<WinHttpTransport*>(context);
    if (self == nullptr) return;
    if (status == WINHTTP_CALLBACK_STATUS_CONNECTING_TO_SERVER) self->connecting_ = true;
    if (status == WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER) {
      self->connecting_ = false;
      ++self->connections_;
    }
  }

  // Milliseconds left until deadline, at least 1.
  static DWORD leftUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<DWORD>(std::max<long long>(left, 1));
  }

  HttpResult failure(HttpOutcome outcome, const std::string& detail) const {
    HttpResult result;
    result.outcome = outcome;
    result.detail = detail;
    return result;
  }

  // The failure of the last WinHTTP call; sending tells whether the request
  // was still being sent (or its connection made).
  HttpResult failed(bool sending) const {
    const DWORD code = GetLastError();
    switch (code) {
      case ERROR_WINHTTP_CANNOT_CONNECT:
      case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      case ERROR_WINHTTP_INVALID_URL:
      case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
      case ERROR_WINHTTP_SECURE_FAILURE:
        return failure(HttpOutcome::kUnreachable, describe(code));
      case ERROR_WINHTTP_TIMEOUT:
        // Nothing was sent when the time ran out while connecting.
        return failure(sending && connecting_ ? HttpOutcome::kUnreachable : HttpOutcome::kTimedOut,
                       describe(code));
      default:
        return failure(HttpOutcome::kBroken, describe(code));
    }
  }

  HttpResult perform(const wchar_t* verb, const std::string& url, const std::string* formBody) {
    const Clock::time_point deadline = Clock::now() + limits_.totalTimeout;
    connecting_ = false;

    const std::wstring wideUrl = wideFromAnsi(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts)) {
      return failure(HttpOutcome::kUnreachable,
                     "not an address WinHTTP can use: " + describe(GetLastError()));
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty()) path = L"/";

    InternetHandle connection(WinHttpConnect(session_->get(), host.c_str(), parts.nPort, 0));
    if (connection.get() == nullptr) return failed(true);
    const wchar_t* accept[] = {L"application/json", nullptr};
    InternetHandle request(WinHttpOpenRequest(
        connection.get(), verb, path.c_str(), nullptr, WINHTTP_NO_REFERER, accept,
        parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    if (request.get() == nullptr) return failed(true);
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);
    const int connectLimit =
        static_cast<int>(std::min(limits_.connectTimeout, limits_.totalTimeout).count());
    const int left = static_cast<int>(leftUntil(deadline));
    WinHttpSetTimeouts(request.get(), connectLimit, connectLimit, left, left);

    const wchar_t* headers =
        formBody != nullptr ? L"Content-Type: application/x-www-form-urlencoded\r\n" : nullptr;
    void* body = formBody != nullptr ? const_cast<char*>(formBody->data()) : nullptr;
    const DWORD bodySize = formBody != nullptr ? static_cast<DWORD>(formBody->size()) : 0;
    if (!WinHttpSendRequest(request.get(), headers, headers != nullptr ? static_cast<DWORD>(-1) : 0,
                            body, bodySize, bodySize, reinterpret_cast<DWORD_PTR>(this))) {
      return failed(true);
    }
    setReceiveLimit(request.get(), deadline);
    if (!WinHttpReceiveResponse(request.get(), nullptr)) return failed(false);

    HttpResult result;
    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                             WINHTTP_NO_HEADER_INDEX)) {
      return failed(false);
    }
    result.status = static_cast<long>(status);
    for (;;) {
      setReceiveLimit(request.get(), deadline);
      DWORD available = 0;
      if (!WinHttpQueryDataAvailable(request.get(), &available)) return failed(false);
      if (available == 0) break;
      if (result.body.size() + available > limits_.maxAnswerBytes) {
        return failure(
            HttpOutcome::kTooLarge,
            "the answer is larger than " + std::to_string(limits_.maxAnswerBytes) + " bytes");
      }
      const std::size_t before = result.body.size();
      result.body.resize(before + available);
      DWORD read = 0;
      if (!WinHttpReadData(request.get(), result.body.data() + before, available, &read)) {
        return failed(false);
      }
      result.body.resize(before + read);
      if (read == 0) break;
    }
    result.outcome = HttpOutcome::kAnswered;
    return result;
  }

  // Both limits: the one for the answer's head and the one for each read.
  static void setReceiveLimit(HINTERNET request, Clock::time_point deadline) {
    DWORD left = leftUntil(deadline);
    WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &left, sizeof left);
    WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_TIMEOUT, &left, sizeof left);
  }

  HttpLimits limits_;
  std::unique_ptr<InternetHandle> session_;
  bool connecting_ = false;  // a new connection was begun and not yet made
  std::uint64_t connections_ = 0;
};

}  // namespace

std::unique_ptr<HttpTransport> makeHttpTransport(const HttpLimits& limits, std::string* error) {
  auto transport = std::make_unique<WinHttpTransport>(limits);
  if (!transport->open(error)) return nullptr;
  return transport;
}

}  // namespace zta
