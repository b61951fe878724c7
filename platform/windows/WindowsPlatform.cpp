// The Win32 implementation of the platform's parts.
#include <windows.h>

// <windows.h> maps these names to their A or W functions; in this program
// they are the platform interface's method names, so the macros go before
// its header is read, and the W functions are called by their full names.
#undef LoadLibrary
#undef CharToOem
#undef OemToChar

#include <climits>
#include <string>

#include "common/CommandLine.h"
#include "common/ErrorCodes.h"
#include "platform/Platform.h"
#include "platform/windows/WindowsFile.h"

namespace xlate {

namespace {

constexpr DWORD kMessageBufferUnits = 256;
// The most units or bytes handed to one conversion call.
constexpr std::size_t kMaxConversion = 1u << 28;

const wchar_t* W(const Text& aText) { return reinterpret_cast<const wchar_t*>(aText.c_str()); }
const wchar_t* W(const char16_t* aText) { return reinterpret_cast<const wchar_t*>(aText); }

// A piece of at most kMaxConversion bytes that does not cut a UTF-8
// sequence in two. Other multi-byte code pages could be cut, but no line
// or result comes near this size.
std::size_t BytePiece(std::uint32_t aCodePage, const char* aBytes, std::size_t aCount) {
  if (aCount <= kMaxConversion) return aCount;
  std::size_t piece = kMaxConversion;
  if (aCodePage == CP_UTF8) {
    while (piece > kMaxConversion - 4 && (static_cast<unsigned char>(aBytes[piece]) & 0xC0) == 0x80)
      --piece;
  }
  return piece;
}

// A piece of at most kMaxConversion units that does not split a surrogate
// pair.
std::size_t UnitPiece(const char16_t* aText, std::size_t aCount) {
  if (aCount <= kMaxConversion) return aCount;
  std::size_t piece = kMaxConversion;
  if (aText[piece] >= 0xDC00 && aText[piece] <= 0xDFFF) --piece;
  return piece;
}

HANDLE StdHandle(TStdStream aStream) {
  return GetStdHandle(aStream == TStdStream::ssOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool Missing(HANDLE aHandle) { return aHandle == INVALID_HANDLE_VALUE || aHandle == nullptr; }

bool SameText(const Text& aLeft, const Text& aRight) {
  if (aLeft.size() > INT_MAX || aRight.size() > INT_MAX) return false;
  return CompareStringOrdinal(W(aLeft), static_cast<int>(aLeft.size()), W(aRight),
                              static_cast<int>(aRight.size()), TRUE) == CSTR_EQUAL;
}

// The volume and index of an existing file or folder, which tell two
// names of one file apart from names of two files.
bool FileIdentity(const Text& aName, BY_HANDLE_FILE_INFORMATION& vInfo) {
  // No access rights asked: this open does not collide with an opener that
  // shares nothing.
  HANDLE handle = CreateFileW(W(aName), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool ok = GetFileInformationByHandle(handle, &vInfo) != 0;
  CloseHandle(handle);
  return ok;
}

// The library, loaded by the system's loader.
class TWindowsLibraries : public TLibraryLoader {
 public:
  TErrorCode LoadLibrary(const Text& aFileName, LibraryHandle& vLibrary) override {
    HMODULE module = LoadLibraryW(W(aFileName));
    if (module == nullptr) return LastWindowsError();
    vLibrary = reinterpret_cast<LibraryHandle>(module);
    return kSuccess;
  }

  TErrorCode GetProcAddress(LibraryHandle aLibrary, const ByteString& aName,
                            void*& vAddress) override {
    FARPROC address = ::GetProcAddress(reinterpret_cast<HMODULE>(aLibrary), aName.c_str());
    if (address == nullptr) return LastWindowsError();
    vAddress = reinterpret_cast<void*>(address);
    return kSuccess;
  }

  TErrorCode FreeLibrary(LibraryHandle aLibrary) override {
    if (::FreeLibrary(reinterpret_cast<HMODULE>(aLibrary))) return kSuccess;
    return LastWindowsError();
  }

  Text LibraryFileName() override { return u"jxZTAccess.dll"; }

  Text LibraryPath(LibraryHandle aLibrary) override {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
      DWORD length = GetModuleFileNameW(reinterpret_cast<HMODULE>(aLibrary), &buffer[0],
                                        static_cast<DWORD>(buffer.size()));
      if (length == 0) return Text();
      if (length < buffer.size()) {
        return Text(reinterpret_cast<const char16_t*>(buffer.data()), length);
      }
      buffer.resize(buffer.size() * 2);
    }
  }
};

// The system's code pages and messages.
class TWindowsSystemText : public TSystemText {
 public:
  Text SystemErrorMessage(TErrorCode aCode) override {
    if (aCode == kConsoleByName) {
      return u"The console is not opened by name: IFILE=- reads standard input and OFILE=- "
             u"writes standard output";
    }
    wchar_t buffer[kMessageBufferUnits];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, aCode, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer,
                                  kMessageBufferUnits, nullptr);
    return Text(reinterpret_cast<const char16_t*>(buffer), length);
  }

  std::uint32_t AnsiCodePage() override { return GetACP(); }
  std::uint32_t OemCodePage() override { return GetOEMCP(); }

  Text MultiByteToText(std::uint32_t aCodePage, const char* aBytes, std::size_t aCount) override {
    Text out;
    while (aCount > 0) {
      std::size_t piece = BytePiece(aCodePage, aBytes, aCount);
      int length = MultiByteToWideChar(aCodePage, 0, aBytes, static_cast<int>(piece), nullptr, 0);
      if (length > 0) {
        std::size_t start = out.size();
        out.resize(start + static_cast<std::size_t>(length));
        MultiByteToWideChar(aCodePage, 0, aBytes, static_cast<int>(piece),
                            reinterpret_cast<wchar_t*>(&out[start]), length);
      }
      aBytes += piece;
      aCount -= piece;
    }
    return out;
  }

  void AppendTextAsMultiByte(std::uint32_t aCodePage, const char16_t* aText, std::size_t aCount,
                             ByteString& vOut) override {
    while (aCount > 0) {
      std::size_t piece = UnitPiece(aText, aCount);
      int length = WideCharToMultiByte(aCodePage, 0, W(aText), static_cast<int>(piece), nullptr, 0,
                                       nullptr, nullptr);
      if (length > 0) {
        std::size_t start = vOut.size();
        vOut.resize(start + static_cast<std::size_t>(length));
        WideCharToMultiByte(aCodePage, 0, W(aText), static_cast<int>(piece), &vOut[start], length,
                            nullptr, nullptr);
      }
      aText += piece;
      aCount -= piece;
    }
  }

  ByteString CharToOem(const ByteString& aBytes) override {
    ByteString out(aBytes.size(), '\0');
    for (std::size_t done = 0; done < aBytes.size(); done += kMaxConversion) {
      std::size_t left = aBytes.size() - done;
      CharToOemBuffA(aBytes.data() + done, &out[done],
                     static_cast<DWORD>(left < kMaxConversion ? left : kMaxConversion));
    }
    return out;
  }

  ByteString OemToChar(const ByteString& aBytes) override {
    ByteString out(aBytes.size(), '\0');
    for (std::size_t done = 0; done < aBytes.size(); done += kMaxConversion) {
      std::size_t left = aBytes.size() - done;
      OemToCharBuffA(aBytes.data() + done, &out[done],
                     static_cast<DWORD>(left < kMaxConversion ? left : kMaxConversion));
    }
    return out;
  }
};

// The command line as the system holds it, whole.
class TWindowsProcess : public TProcessContext {
 public:
  bool EqualIgnoreCase(const Text& aLeft, const Text& aRight) override {
    if (aLeft.size() > INT_MAX || aRight.size() > INT_MAX) return false;
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, W(aLeft),
                          static_cast<int>(aLeft.size()), W(aRight),
                          static_cast<int>(aRight.size())) == CSTR_EQUAL;
  }

  std::vector<Text> CommandLineParameters() override {
    const wchar_t* line = GetCommandLineW();
    std::vector<Text> words =
        SplitCommandLine(line ? Text(reinterpret_cast<const char16_t*>(line)) : Text());
    if (!words.empty()) words.erase(words.begin());  // the program's name
    return words;
  }

  Text ProgramPath() override {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
      DWORD length = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
      if (length == 0) return Text();
      // A path that fills the buffer may have been cut short.
      if (length < buffer.size()) {
        return Text(reinterpret_cast<const char16_t*>(buffer.data()), length);
      }
      buffer.resize(buffer.size() * 2);
    }
  }

  Text EnvironmentValue(const Text& aName) override {
    std::wstring buffer(256, L'\0');
    for (;;) {
      SetLastError(0);
      DWORD length =
          GetEnvironmentVariableW(W(aName), &buffer[0], static_cast<DWORD>(buffer.size()));
      if (length == 0) return Text();
      if (length < buffer.size()) {
        return Text(reinterpret_cast<const char16_t*>(buffer.data()), length);
      }
      buffer.resize(length);  // the size needed, with its NUL
    }
  }
};

// The process's standard handles.
class TWindowsStreams : public TStandardStreams {
 public:
  THandleType StdOutputType() override {
    HANDLE handle = StdHandle(TStdStream::ssOutput);
    if (Missing(handle)) return THandleType::htUnknown;
    switch (GetFileType(handle)) {
      case FILE_TYPE_CHAR:
        return THandleType::htCharDevice;
      case FILE_TYPE_DISK:
        return THandleType::htFile;
      case FILE_TYPE_PIPE:
        return THandleType::htPipe;
      default:
        return THandleType::htUnknown;
    }
  }

  TErrorCode WriteStd(TStdStream aStream, const char* aBytes, std::size_t aCount) override {
    HANDLE handle = StdHandle(aStream);
    if (Missing(handle)) return kNotOpenForOutput;
    while (aCount > 0) {
      DWORD ask = static_cast<DWORD>(aCount < kMaxConversion ? aCount : kMaxConversion);
      DWORD put = 0;
      if (!WriteFile(handle, aBytes, ask, &put, nullptr)) return GetLastError();
      if (put < ask) return kDiskFull;
      aBytes += put;
      aCount -= put;
    }
    return kSuccess;
  }

  bool IsTerminal(TStdStream aStream) override {
    HANDLE handle = StdHandle(aStream);
    DWORD mode = 0;
    // The null device is a character device too, but has no console mode.
    return !Missing(handle) && GetFileType(handle) == FILE_TYPE_CHAR &&
           GetConsoleMode(handle, &mode) != 0;
  }

  TErrorCode OpenStdInput(std::unique_ptr<TPlatformFile>& vFile) override {
    return OpenWindowsStdHandle(STD_INPUT_HANDLE, vFile);
  }
  TErrorCode OpenStdOutput(std::unique_ptr<TPlatformFile>& vFile) override {
    return OpenWindowsStdHandle(STD_OUTPUT_HANDLE, vFile);
  }
};

// Files by their UTF-16 names.
class TWindowsFiles : public TFileSystem {
 public:
  bool FileExists(const Text& aName) override {
    DWORD attributes = GetFileAttributesW(W(aName));
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
        error == ERROR_INVALID_NAME) {
      return false;
    }
    // A name too long to look up is not a missing one: opening it says why
    // it cannot be read.
    if (error == ERROR_FILENAME_EXCED_RANGE) return true;
    // The name could not be examined (for example a file in use by the
    // system): look for it in its folder instead.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(W(aName), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  bool FolderExists(const Text& aName) override {
    DWORD attributes = GetFileAttributesW(W(aName));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  TErrorCode OpenForReading(const Text& aName, TReadShare aShare,
                            std::unique_ptr<TPlatformFile>& vFile) override {
    return OpenWindowsInput(aName, aShare, vFile);
  }

  TErrorCode CreateForWriting(const Text& aName, std::unique_ptr<TPlatformFile>& vFile) override {
    return CreateWindowsOutput(aName, vFile);
  }

  TErrorCode CreateOverInput(const Text& aName, TPlatformFile& aInput,
                             std::unique_ptr<TPlatformFile>& vFile) override {
    return CreateWindowsOutput(aName, vFile, &aInput);
  }

  Text FullPath(const Text& aName) override { return WindowsFullPath(aName); }

  bool SameFile(const Text& aLeft, const Text& aRight) override {
    // The full paths settle the usual case, "a.txt." and "a.txt" included
    // (the system drops trailing dots); the file index catches other
    // names of one file: hard links, short names, other drive letters.
    BY_HANDLE_FILE_INFORMATION left, right;
    if (!FileIdentity(aLeft, left)) return false;
    if (SameText(WindowsFullPath(aLeft), WindowsFullPath(aRight))) return true;
    return FileIdentity(aRight, right) && left.dwVolumeSerialNumber == right.dwVolumeSerialNumber &&
           left.nFileIndexHigh == right.nFileIndexHigh && left.nFileIndexLow == right.nFileIndexLow;
  }

  Text PathSeparators() override { return u"\\:"; }
};

// The parts, none of which holds any state of its own: the system keeps it.
class TWindowsPlatform : public TPlatform {
 public:
  TLibraryLoader& Libraries() override { return FLibraries; }
  TProcessContext& Process() override { return FProcess; }
  TStandardStreams& Streams() override { return FStreams; }
  TFileSystem& Files() override { return FFiles; }
  TSystemText& SystemText() override { return FText; }

 private:
  TWindowsLibraries FLibraries;
  TWindowsProcess FProcess;
  TWindowsStreams FStreams;
  TWindowsFiles FFiles;
  TWindowsSystemText FText;
};

}  // namespace

std::unique_ptr<TPlatform> TPlatform::Create(int, char**) {
  // The command line is read whole from the system, not from main's words.
  return std::make_unique<TWindowsPlatform>();
}

}  // namespace xlate
