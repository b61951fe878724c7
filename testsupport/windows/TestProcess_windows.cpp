#include <windows.h>

#include <map>
#include <stdexcept>
#include <thread>

#include "testsupport/TestProcess.h"

namespace xlate {

namespace {

// How long one run of the program may take before it counts as hung.
constexpr DWORD kRunTimeoutMs = 120000;

std::wstring Wide(const std::string& aBytes) {
  if (aBytes.empty()) return std::wstring();
  int length =
      MultiByteToWideChar(CP_ACP, 0, aBytes.data(), static_cast<int>(aBytes.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, aBytes.data(), static_cast<int>(aBytes.size()), &out[0], length);
  return out;
}

std::string Narrow(const std::wstring& aText) {
  if (aText.empty()) return std::string();
  int length = WideCharToMultiByte(CP_ACP, 0, aText.data(), static_cast<int>(aText.size()), nullptr,
                                   0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, aText.data(), static_cast<int>(aText.size()), &out[0], length,
                      nullptr, nullptr);
  return out;
}

std::runtime_error SystemFailure(const std::string& aWhat) {
  return std::runtime_error(aWhat + " failed with error " + std::to_string(GetLastError()));
}

// One argument as the program's own splitting gives it back: enclosed in
// double quotes when it holds a separator (units 1 to 32), or is empty. The
// program knows no escape, so a double quote cannot be passed at all.
std::wstring Quoted(const std::wstring& aArgument) {
  if (aArgument.find(L'"') != std::wstring::npos) {
    throw std::invalid_argument("a double quote cannot be part of an argument");
  }
  bool plain = !aArgument.empty();
  for (wchar_t unit : aArgument) plain = plain && (unit < 1 || unit > 32);
  return plain ? aArgument : L"\"" + aArgument + L"\"";
}

// Names of environment variables are compared ignoring case.
struct TIgnoringCase {
  bool operator()(const std::wstring& aLeft, const std::wstring& aRight) const {
    return CompareStringOrdinal(aLeft.c_str(), static_cast<int>(aLeft.size()), aRight.c_str(),
                                static_cast<int>(aRight.size()), TRUE) == CSTR_LESS_THAN;
  }
};

// This process's environment with aExtra added, as a block for
// CreateProcessW: sorted NAME=VALUE strings, each ended by a NUL, and one
// more NUL at the end.
std::wstring EnvironmentBlock(const std::map<std::string, std::string>& aExtra) {
  std::map<std::wstring, std::wstring, TIgnoringCase> all;
  if (wchar_t* own = GetEnvironmentStringsW()) {
    for (const wchar_t* entry = own; *entry; entry += wcslen(entry) + 1) {
      std::wstring text = entry;
      // Names like "=C:" begin with the "=" that otherwise ends a name.
      std::size_t eq = text.find(L'=', 1);
      if (eq != std::wstring::npos) all[text.substr(0, eq)] = text.substr(eq + 1);
    }
    FreeEnvironmentStringsW(own);
  }
  for (const auto& [name, value] : aExtra) all[Wide(name)] = Wide(value);
  std::wstring block;
  for (const auto& [name, value] : all) {
    block += name + L"=" + value;
    block += L'\0';
  }
  block += L'\0';
  return block;
}

// A handle closed when it goes.
class THandle {
 public:
  THandle() = default;
  explicit THandle(HANDLE aHandle) : FHandle(aHandle) {}
  ~THandle() { Close(); }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  HANDLE Get() const { return FHandle; }
  HANDLE* Out() {
    Close();
    return &FHandle;
  }
  void Close() {
    if (FHandle != nullptr && FHandle != INVALID_HANDLE_VALUE) CloseHandle(FHandle);
    FHandle = nullptr;
  }

 private:
  HANDLE FHandle = nullptr;
};

// A pipe whose aChildEnd (0 reading, 1 writing) is inherited by the child.
void MakePipe(THandle& vRead, THandle& vWrite, int aChildEnd) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  if (!CreatePipe(vRead.Out(), vWrite.Out(), &inherit, 0)) throw SystemFailure("CreatePipe");
  HANDLE ours = aChildEnd == 0 ? vWrite.Get() : vRead.Get();
  if (!SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0)) {
    throw SystemFailure("SetHandleInformation");
  }
}

void ReadAll(HANDLE aPipe, std::string* vOut) {
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(aPipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
    vOut->append(buffer, got);
}

}  // namespace

TProcessResult RunProcess(const std::string& aProgram, const TProcessOptions& aOptions) {
  if (aOptions.Unprivileged) {
    throw std::invalid_argument("running without privileges is a POSIX test");
  }
  const std::wstring program = Wide(aProgram);
  std::wstring line = L"\"" + program + L"\"";
  if (!aOptions.RawCommandLine.empty()) {
    line += Wide(aOptions.RawCommandLine);
  } else {
    for (const std::string& argument : aOptions.Arguments) line += L" " + Quoted(Wide(argument));
  }
  std::wstring environment = EnvironmentBlock(aOptions.Environment);
  const std::wstring folder = Wide(aOptions.WorkingDirectory);

  THandle inRead, inWrite, outRead, outWrite, errRead, errWrite;
  MakePipe(inRead, inWrite, 0);
  MakePipe(errRead, errWrite, 1);
  HANDLE childOut = nullptr;
  switch (aOptions.Output) {
    case TOutputTarget::otCapture:
      MakePipe(outRead, outWrite, 1);
      childOut = outWrite.Get();
      break;
    case TOutputTarget::otClosed:
      break;
    case TOutputTarget::otDevFull:
      throw std::invalid_argument("Windows has no device that is always full");
    case TOutputTarget::otDevNull: {
      SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
      *outWrite.Out() = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    &inherit, OPEN_EXISTING, 0, nullptr);
      if (outWrite.Get() == INVALID_HANDLE_VALUE) throw SystemFailure("CreateFileW(NUL)");
      childOut = outWrite.Get();
      break;
    }
    case TOutputTarget::otBrokenPipe:
      MakePipe(outRead, outWrite, 1);
      outRead.Close();  // nobody reads: every write fails
      childOut = outWrite.Get();
      break;
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead.Get();
  startup.hStdOutput = childOut;
  startup.hStdError = errWrite.Get();
  PROCESS_INFORMATION info{};
  // Without a console of its own the program writes to the handles given.
  if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE,
                      CREATE_UNICODE_ENVIRONMENT | DETACHED_PROCESS, &environment[0],
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    throw SystemFailure("CreateProcessW(" + aProgram + ")");
  }
  THandle process(info.hProcess);
  CloseHandle(info.hThread);
  // Only the child holds its ends now, so that reading ends with it.
  inRead.Close();
  outWrite.Close();
  errWrite.Close();

  TProcessResult result;
  std::thread outReader;
  if (outRead.Get() != nullptr) outReader = std::thread(ReadAll, outRead.Get(), &result.Out);
  std::thread errReader(ReadAll, errRead.Get(), &result.Err);
  std::size_t fed = 0;
  while (fed < aOptions.Input.size()) {
    DWORD put = 0;
    std::size_t left = aOptions.Input.size() - fed;
    if (!WriteFile(inWrite.Get(), aOptions.Input.data() + fed,
                   static_cast<DWORD>(left < 65536 ? left : 65536), &put, nullptr)) {
      break;  // the program stopped reading
    }
    fed += put;
  }
  inWrite.Close();
  bool hung = WaitForSingleObject(process.Get(), kRunTimeoutMs) != WAIT_OBJECT_0;
  if (hung) TerminateProcess(process.Get(), 1);
  if (outReader.joinable()) outReader.join();
  errReader.join();
  if (hung) throw std::runtime_error(aProgram + " did not end in time");

  DWORD code = 0;
  if (!GetExitCodeProcess(process.Get(), &code)) throw SystemFailure("GetExitCodeProcess");
  // Codes with the two top bits set are exceptions that ended the process.
  result.ExitCode = (code & 0xC0000000u) == 0xC0000000u ? -1 : static_cast<int>(code);
  return result;
}

THeldFileLock::THeldFileLock(const std::string& aPath) {
  HANDLE handle = CreateFileW(Wide(aPath).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw SystemFailure("CreateFileW(" + aPath + ")");
  FHandle = reinterpret_cast<std::intptr_t>(handle);
}

THeldFileLock::~THeldFileLock() { CloseHandle(reinterpret_cast<HANDLE>(FHandle)); }

std::uint32_t OwnAnsiCodePage() { return GetACP(); }
std::uint32_t OwnOemCodePage() { return GetOEMCP(); }

std::string SystemMessage(std::uint32_t aCode) {
  wchar_t buffer[256];
  DWORD length =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, aCode,
                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, 256, nullptr);
  std::wstring text(buffer, length);
  while (!text.empty() && (text.back() <= 32 || text.back() == L'.')) text.pop_back();
  return Narrow(text);
}

std::uint32_t FileAttributeBits(const std::string& aPath) {
  DWORD bits = GetFileAttributesW(Wide(aPath).c_str());
  if (bits == INVALID_FILE_ATTRIBUTES) throw SystemFailure("GetFileAttributesW(" + aPath + ")");
  return bits;
}

void SetFileAttributeBits(const std::string& aPath, std::uint32_t aBits) {
  if (!SetFileAttributesW(Wide(aPath).c_str(), FileAttributeBits(aPath) | aBits)) {
    throw SystemFailure("SetFileAttributesW(" + aPath + ")");
  }
}

}  // namespace xlate
