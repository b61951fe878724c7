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

#include "library/kit/HttpTransport.h"

namespace zta_kit {
namespace {

using Clock = std::chrono::steady_clock;

std::wstring WideFromAnsi(const std::string& aText) {
  if (aText.empty()) return std::wstring();
  const int size =
      MultiByteToWideChar(CP_ACP, 0, aText.data(), static_cast<int>(aText.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, aText.data(), static_cast<int>(aText.size()), wide.data(), size);
  return wide;
}

// Short texts of the failures a request meets most, for systems (such as
// Wine) whose winhttp.dll has no message texts.
const char* OwnText(DWORD aCode) {
  switch (aCode) {
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
std::string Describe(DWORD aCode) {
  std::string text = "WinHTTP error " + std::to_string(aCode);
  wchar_t message[512];
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      GetModuleHandleW(L"winhttp.dll"), aCode, 0, message, 512, nullptr);
  std::string said;
  for (DWORD i = 0; i < length; ++i) {
    said += message[i] >= 32 && message[i] < 127 ? static_cast<char>(message[i]) : ' ';
  }
  while (!said.empty() && (said.back() == ' ' || said.back() == '.')) said.pop_back();
  if (said.empty()) said = OwnText(aCode);
  if (!said.empty()) text += " (" + said + ")";
  return text;
}

class TInternetHandle {
 public:
  explicit TInternetHandle(HINTERNET aHandle = nullptr) : FHandle(aHandle) {}
  ~TInternetHandle() {
    if (FHandle != nullptr) WinHttpCloseHandle(FHandle);
  }
  TInternetHandle(const TInternetHandle&) = delete;
  TInternetHandle& operator=(const TInternetHandle&) = delete;
  HINTERNET Get() const { return FHandle; }

 private:
  HINTERNET FHandle;
};

class TWinHttpTransport : public THttpTransport {
 public:
  explicit TWinHttpTransport(const THttpLimits& aLimits) : FLimits(aLimits) {}

  bool Open(std::string* vError) {
    FSession = std::make_unique<TInternetHandle>(
        WinHttpOpen(WideFromAnsi(FLimits.UserAgent).c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (FSession->Get() == nullptr) {
      *vError = "WinHTTP cannot start: " + Describe(GetLastError());
      return false;
    }
    // Tells when a request opens a new connection, and whether it got one.
    WinHttpSetStatusCallback(FSession->Get(), &TWinHttpTransport::Notice,
                             WINHTTP_CALLBACK_FLAG_CONNECT_TO_SERVER, 0);
    return true;
  }

  THttpResult Get(const std::string& aUrl) override { return Perform(L"GET", aUrl, nullptr); }

  THttpResult PostForm(const std::string& aUrl, const std::string& aFormBody) override {
    return Perform(L"POST", aUrl, &aFormBody);
  }

  std::uint64_t ConnectionsOpened() const override { return FConnections; }

 private:
  static void CALLBACK Notice(HINTERNET, DWORD_PTR aContext, DWORD aStatus, LPVOID, DWORD) {
    auto* self = reinterpret_cast<TWinHttpTransport*>(aContext);
    if (self == nullptr) return;
    if (aStatus == WINHTTP_CALLBACK_STATUS_CONNECTING_TO_SERVER) self->FConnecting = true;
    if (aStatus == WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER) {
      self->FConnecting = false;
      ++self->FConnections;
    }
  }

  // Milliseconds left until aDeadline, at least 1.
  static DWORD LeftUntil(Clock::time_point aDeadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(aDeadline - Clock::now()).count();
    return static_cast<DWORD>(std::max<long long>(left, 1));
  }

  THttpResult Failure(THttpOutcome aOutcome, const std::string& aDetail) const {
    THttpResult result;
    result.Outcome = aOutcome;
    result.Detail = aDetail;
    return result;
  }

  // The failure of the last WinHTTP call; aSending tells whether the request
  // was still being sent (or its connection made).
  THttpResult Failed(bool aSending) const {
    const DWORD code = GetLastError();
    switch (code) {
      case ERROR_WINHTTP_CANNOT_CONNECT:
      case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      case ERROR_WINHTTP_INVALID_URL:
      case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
      case ERROR_WINHTTP_SECURE_FAILURE:
        return Failure(THttpOutcome::hoUnreachable, Describe(code));
      case ERROR_WINHTTP_TIMEOUT:
        // Nothing was sent when the time ran out while connecting.
        return Failure(
            aSending && FConnecting ? THttpOutcome::hoUnreachable : THttpOutcome::hoTimedOut,
            Describe(code));
      default:
        return Failure(THttpOutcome::hoBroken, Describe(code));
    }
  }

  THttpResult Perform(const wchar_t* aVerb, const std::string& aUrl, const std::string* aFormBody) {
    const Clock::time_point deadline = Clock::now() + FLimits.TotalTimeout;
    FConnecting = false;

    const std::wstring wideUrl = WideFromAnsi(aUrl);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts)) {
      return Failure(THttpOutcome::hoUnreachable,
                     "not an address WinHTTP can use: " + Describe(GetLastError()));
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty()) path = L"/";

    TInternetHandle connection(WinHttpConnect(FSession->Get(), host.c_str(), parts.nPort, 0));
    if (connection.Get() == nullptr) return Failed(true);
    const wchar_t* accept[] = {L"application/json", nullptr};
    TInternetHandle request(WinHttpOpenRequest(
        connection.Get(), aVerb, path.c_str(), nullptr, WINHTTP_NO_REFERER, accept,
        parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    if (request.Get() == nullptr) return Failed(true);
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(request.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);
    const int connectLimit =
        static_cast<int>(std::min(FLimits.ConnectTimeout, FLimits.TotalTimeout).count());
    const int left = static_cast<int>(LeftUntil(deadline));
    WinHttpSetTimeouts(request.Get(), connectLimit, connectLimit, left, left);

    const wchar_t* headers =
        aFormBody != nullptr ? L"Content-Type: application/x-www-form-urlencoded\r\n" : nullptr;
    void* body = aFormBody != nullptr ? const_cast<char*>(aFormBody->data()) : nullptr;
    const DWORD bodySize = aFormBody != nullptr ? static_cast<DWORD>(aFormBody->size()) : 0;
    if (!WinHttpSendRequest(request.Get(), headers, headers != nullptr ? static_cast<DWORD>(-1) : 0,
                            body, bodySize, bodySize, reinterpret_cast<DWORD_PTR>(this))) {
      return Failed(true);
    }
    SetReceiveLimit(request.Get(), deadline);
    if (!WinHttpReceiveResponse(request.Get(), nullptr)) return Failed(false);

    THttpResult result;
    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                             WINHTTP_NO_HEADER_INDEX)) {
      return Failed(false);
    }
    result.Status = static_cast<long>(status);
    for (;;) {
      SetReceiveLimit(request.Get(), deadline);
      DWORD available = 0;
      if (!WinHttpQueryDataAvailable(request.Get(), &available)) return Failed(false);
      if (available == 0) break;
      if (result.Body.size() + available > FLimits.MaxAnswerBytes) {
        return Failure(
            THttpOutcome::hoTooLarge,
            "the answer is larger than " + std::to_string(FLimits.MaxAnswerBytes) + " bytes");
      }
      const std::size_t before = result.Body.size();
      result.Body.resize(before + available);
      DWORD read = 0;
      if (!WinHttpReadData(request.Get(), result.Body.data() + before, available, &read)) {
        return Failed(false);
      }
      result.Body.resize(before + read);
      if (read == 0) break;
    }
    result.Outcome = THttpOutcome::hoAnswered;
    return result;
  }

  // Both limits: the one for the answer's head and the one for each read.
  static void SetReceiveLimit(HINTERNET aRequest, Clock::time_point aDeadline) {
    DWORD left = LeftUntil(aDeadline);
    WinHttpSetOption(aRequest, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &left, sizeof left);
    WinHttpSetOption(aRequest, WINHTTP_OPTION_RECEIVE_TIMEOUT, &left, sizeof left);
  }

  THttpLimits FLimits;
  std::unique_ptr<TInternetHandle> FSession;
  bool FConnecting = false;  // a new connection was begun and not yet made
  std::uint64_t FConnections = 0;
};

}  // namespace

std::unique_ptr<THttpTransport> MakeHttpTransport(const THttpLimits& aLimits, std::string* vError) {
  auto transport = std::make_unique<TWinHttpTransport>(aLimits);
  if (!transport->Open(vError)) return nullptr;
  return transport;
}

}  // namespace zta_kit
