#include "platform/windows/WindowsFile.h"

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

namespace xlate {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is UTF-16");

namespace {

const wchar_t* W(const Text& aText) { return reinterpret_cast<const wchar_t*>(aText.c_str()); }

// Closes a handle once.
bool CloseOnce(HANDLE& vHandle) {
  if (vHandle == INVALID_HANDLE_VALUE) return true;
  HANDLE handle = vHandle;
  vHandle = INVALID_HANDLE_VALUE;
  return CloseHandle(handle) != 0;
}

// The most one ReadFile or WriteFile call is asked to move.
constexpr std::size_t kMaxTransfer = 1u << 30;

class TWindowsFile : public TPlatformFile {
 public:
  explicit TWindowsFile(HANDLE aHandle) : FHandle(aHandle) {}
  ~TWindowsFile() override { CloseOnce(FHandle); }

  TErrorCode Size(std::uint64_t& vSize) override {
    // Devices and pipes have no size; they are read to their end.
    if (GetFileType(FHandle) != FILE_TYPE_DISK) {
      vSize = 0;
      return kSuccess;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(FHandle, &size)) return LastWindowsError();
    vSize = static_cast<std::uint64_t>(size.QuadPart);
    return kSuccess;
  }

  TErrorCode Read(char* aBuffer, std::size_t aCount, std::size_t& vRead) override {
    DWORD got = 0;
    DWORD ask = static_cast<DWORD>(aCount < kMaxTransfer ? aCount : kMaxTransfer);
    if (!ReadFile(FHandle, aBuffer, ask, &got, nullptr)) {
      const TErrorCode code = LastWindowsError();
      // The writer of a pipe has gone: that is its end.
      if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) {
        vRead = 0;
        return kSuccess;
      }
      return code;
    }
    vRead = got;
    return kSuccess;
  }

  TErrorCode Write(const char* aBuffer, std::size_t aCount, std::size_t& vWritten) override {
    vWritten = 0;
    while (vWritten < aCount) {
      std::size_t left = aCount - vWritten;
      DWORD ask = static_cast<DWORD>(left < kMaxTransfer ? left : kMaxTransfer);
      DWORD put = 0;
      if (!WriteFile(FHandle, aBuffer + vWritten, ask, &put, nullptr)) return LastWindowsError();
      if (put == 0) return ERROR_DISK_FULL;
      vWritten += put;
    }
    return kSuccess;
  }

  TErrorCode Close() override { return CloseOnce(FHandle) ? kSuccess : LastWindowsError(); }

  // A file on a disk is known by its volume's serial number and its file
  // index; devices and pipes have none.
  TFileIdentity Identity() override {
    TFileIdentity identity;
    BY_HANDLE_FILE_INFORMATION information;
    DWORD mode = 0;
    // A console has a console mode; the null device, also a character
    // device, has none.
    identity.Terminal = FHandle != INVALID_HANDLE_VALUE && GetFileType(FHandle) == FILE_TYPE_CHAR &&
                        GetConsoleMode(FHandle, &mode) != 0;
    if (FHandle == INVALID_HANDLE_VALUE || GetFileType(FHandle) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(FHandle, &information)) {
      return identity;
    }
    identity.Volume = information.dwVolumeSerialNumber;
    identity.Index =
        (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    identity.Known = true;
    identity.GivesBack = true;
    identity.Regular = true;
    return identity;
  }

 protected:
  HANDLE FHandle;
};

// The temporary files being written. Ctrl-C, Ctrl-Break, closing the
// console, logging off and shutting down end a console process by default;
// the handler, which the system runs on a thread of its own, first removes
// these files. They are open with FILE_SHARE_DELETE, so the removal takes
// effect when the ending process closes them; none is moved into place
// after an ending event came.
std::mutex gPendingMutex;
std::vector<Text> gPending;
bool gEnding = false;

BOOL WINAPI RemovePendingFiles(DWORD) {
  std::lock_guard<std::mutex> lock(gPendingMutex);
  gEnding = true;
  for (const Text& path : gPending) DeleteFileW(W(path));
  return FALSE;  // the next handler, the system's, ends the process
}

// Under the lock.
bool RegisterPending(const Text& aPath) {
  static bool installed = false;
  if (!installed) installed = SetConsoleCtrlHandler(RemovePendingFiles, TRUE) != 0;
  if (gEnding) return false;
  gPending.push_back(aPath);
  return true;
}

void ForgetPending(const Text& aPath) {
  for (auto it = gPending.begin(); it != gPending.end(); ++it) {
    if (*it == aPath) {
      gPending.erase(it);
      return;
    }
  }
}

// Writes into a new file beside the target and moves it over the target
// on Commit.
class TReplacingFile : public TWindowsFile {
 public:
  TReplacingFile(HANDLE aTemp, Text aTempPath, Text aTarget, HANDLE aHold, TPlatformFile* aInput,
                 HANDLE aNameLock)
      : TWindowsFile(aTemp),
        FTempPath(std::move(aTempPath)),
        FTarget(std::move(aTarget)),
        FHold(aHold),
        FInput(aInput),
        FNameLock(aNameLock) {}

  ~TReplacingFile() override {
    if (!FCommitted) {
      CloseOnce(FHandle);
      std::lock_guard<std::mutex> lock(gPendingMutex);
      DeleteFileW(W(FTempPath));
      ForgetPending(FTempPath);
    }
    CloseOnce(FHold);
    CloseOnce(FNameLock);
  }

  TErrorCode Close() override { return Commit(); }

  TFileIdentity Identity() override { return {}; }

  TErrorCode Commit() override {
    if (FCommitted) return kSuccess;
    // The replaced file is gone after the move, so its new content must be
    // on the disk first.
    if (!FlushFileBuffers(FHandle)) return LastWindowsError();
    if (!CloseOnce(FHandle)) return LastWindowsError();
    // Nobody may move a file over one that is open, this program included.
    CloseOnce(FHold);
    if (FInput != nullptr) FInput->Close();
    std::lock_guard<std::mutex> lock(gPendingMutex);
    if (gEnding) return ERROR_OPERATION_ABORTED;
    if (!MoveFileExW(W(FTempPath), W(FTarget),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return LastWindowsError();
    }
    ForgetPending(FTempPath);
    FCommitted = true;
    CloseOnce(FNameLock);
    return kSuccess;
  }

 private:
  Text FTempPath;
  Text FTarget;
  HANDLE FHold;           // the file being replaced, held open until the move
  TPlatformFile* FInput;  // or the input file holds it
  HANDLE FNameLock;       // keeps other runs from writing the same name (LockName)
  bool FCommitted = false;
};

bool StartsWith(const Text& aText, const char16_t* aPrefix) {
  return aText.compare(0, std::char_traits<char16_t>::length(aPrefix), aPrefix) == 0;
}

Text Hex(std::uint32_t aValue) {
  static const char16_t kDigits[] = u"0123456789abcdef";
  Text out;
  do {
    out.insert(out.begin(), kDigits[aValue & 15]);
    aValue >>= 4;
  } while (aValue != 0);
  return out;
}

// The longest name of one folder entry, and of a path without the "\\?\"
// prefix.
constexpr std::size_t kMaxComponent = 255;
constexpr std::size_t kMaxPath = MAX_PATH - 1;

// The name of the file written beside aFullTarget: its name followed by
// aSuffix. Where that is longer than a name or a path may be, the target's
// name is cut so that the whole is no longer than the target's, and fits
// wherever the target fits.
Text TemporaryNameBeside(const Text& aFullTarget, const Text& aSuffix) {
  const std::size_t leafStart = aFullTarget.find_last_of(u"\\/") + 1;
  const std::size_t leaf = aFullTarget.size() - leafStart;
  if (leaf + aSuffix.size() <= kMaxComponent &&
      (aFullTarget.size() + aSuffix.size() <= kMaxPath || aFullTarget.size() > kMaxPath)) {
    return aFullTarget + aSuffix;
  }
  std::size_t keep = leaf > aSuffix.size() ? leaf - aSuffix.size() : 0;
  // Not between the two halves of a surrogate pair.
  if (keep > 0 && aFullTarget[leafStart + keep] >= 0xDC00 &&
      aFullTarget[leafStart + keep] <= 0xDFFF)
    --keep;
  return aFullTarget.substr(0, leafStart + keep) + aSuffix;
}

// Creates a new, empty file beside aFullTarget; its name holds ".xlate-".
// INVALID_HANDLE_VALUE on failure, with its code in vError.
HANDLE CreateTemporaryBeside(const Text& aFullTarget, DWORD aAttributes, Text& vPath,
                             TErrorCode& vError) {
  static std::uint32_t counter = 0;
  const std::uint32_t process = GetCurrentProcessId();
  for (int attempt = 0; attempt < 100; ++attempt) {
    vPath = TemporaryNameBeside(aFullTarget,
                                u".xlate-" + Hex(process) + u"-" + Hex(counter++) + u".tmp");
    std::lock_guard<std::mutex> lock(gPendingMutex);
    HANDLE temp = CreateFileW(W(vPath), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                              aAttributes, nullptr);
    if (temp != INVALID_HANDLE_VALUE) {
      if (RegisterPending(vPath)) return temp;
      CloseHandle(temp);
      DeleteFileW(W(vPath));
      vError = ERROR_OPERATION_ABORTED;
      return INVALID_HANDLE_VALUE;
    }
    vError = LastWindowsError();
    if (vError != ERROR_FILE_EXISTS && vError != ERROR_ALREADY_EXISTS) break;
  }
  return INVALID_HANDLE_VALUE;
}

// Keeps other runs out of one output name for as long as vLock is open,
// whether a file stands under the name yet or not: holding the file open
// cannot cover a name that a run is about to create, and two runs would
// each write their file, the last one's replacing the other's without a
// word. The lock is a named mutex, named after the full path in upper case,
// which vanishes with the process, however it ends, and leaves nothing in
// the folder; in the global namespace where the system allows, so that
// runs in other sessions see it too. Taken by another:
// ERROR_SHARING_VIOLATION, as for a file held open.
TErrorCode LockName(const Text& aFullTarget, HANDLE& vLock) {
  vLock = INVALID_HANDLE_VALUE;
  std::wstring upper(aFullTarget.begin(), aFullTarget.end());
  if (!upper.empty()) CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a over the units
  for (const wchar_t unit : upper) {
    hash ^= static_cast<std::uint16_t>(unit);
    hash *= 1099511628211ull;
  }
  const Text leaf = u"xlate-output-" + Hex(static_cast<std::uint32_t>(hash >> 32)) + u"-" +
                    Hex(static_cast<std::uint32_t>(hash));
  for (const char16_t* space : {u"Global\\", u"Local\\"}) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, W(Text(space) + leaf));
    if (mutex == nullptr) continue;  // not allowed there: the next namespace
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
      CloseHandle(mutex);
      return ERROR_SHARING_VIOLATION;
    }
    vLock = mutex;
    return kSuccess;
  }
  return kSuccess;  // no mutex at all: the name stays unlocked, as before
}

// Whether a name is one of the console's devices: CON, CONIN$ or CONOUT$,
// in any case, in any folder or after "\\.\", with or without an
// extension or trailing blanks, as the system reads such names.
bool NamesConsole(const Text& aName, bool aInputOnly) {
  Text leaf = aName.substr(aName.find_last_of(u"\\/:") + 1);
  leaf = leaf.substr(0, leaf.find(u'.'));
  while (!leaf.empty() && leaf.back() == u' ') leaf.pop_back();
  for (char16_t& c : leaf) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  if (aInputOnly) return leaf == u"CONIN$";
  return leaf == u"CON" || leaf == u"CONIN$" || leaf == u"CONOUT$";
}

}  // namespace

TErrorCode OpenWindowsStdHandle(std::uint32_t aWhich, std::unique_ptr<TPlatformFile>& vFile) {
  HANDLE handle = GetStdHandle(aWhich);
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return ERROR_INVALID_HANDLE;
  HANDLE copy = INVALID_HANDLE_VALUE;
  if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return LastWindowsError();
  }
  vFile = std::make_unique<TWindowsFile>(copy);
  return kSuccess;
}

// GetLastError() after a failed call is never 0; should it be, the failure
// still counts as one.
TErrorCode LastWindowsError() {
  const DWORD code = GetLastError();
  return code != 0 ? code : ERROR_GEN_FAILURE;
}

Text WindowsFullPath(const Text& aName) {
  if (aName.empty()) return aName;
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD length =
        GetFullPathNameW(W(aName), static_cast<DWORD>(buffer.size()), &buffer[0], nullptr);
    if (length == 0) return aName;
    if (length < buffer.size()) {
      return Text(reinterpret_cast<const char16_t*>(buffer.data()), length);
    }
    buffer.resize(length);  // the size needed, with its NUL
  }
}

TErrorCode OpenWindowsInput(const Text& aName, TReadShare aShare,
                            std::unique_ptr<TPlatformFile>& vFile) {
  if (NamesConsole(aName, false)) return kConsoleByName;
  const DWORD share = aShare == TReadShare::rsShared ? FILE_SHARE_READ : 0;
  HANDLE handle = CreateFileW(W(aName), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastWindowsError();
  vFile = std::make_unique<TWindowsFile>(handle);
  return kSuccess;
}

TErrorCode CreateWindowsOutput(const Text& aName, std::unique_ptr<TPlatformFile>& vFile,
                               TPlatformFile* aInput) {
  if (NamesConsole(aName, true)) return kConsoleByName;
  if (StartsWith(aName, u"\\\\.\\")) aInput = nullptr;  // a device: nothing to replace
  // Opening the existing name proves that it may be written (a directory
  // or a read-only file fails here) and keeps every other opener out. An
  // input file of that name holds it already, shared with nobody: then
  // only its read-only attribute can tell.
  HANDLE existing = aInput != nullptr ? INVALID_HANDLE_VALUE
                                      : CreateFileW(W(aName), GENERIC_WRITE, 0, nullptr,
                                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (aInput != nullptr) {
    DWORD old = GetFileAttributesW(W(aName));
    if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY) != 0) {
      return ERROR_ACCESS_DENIED;
    }
  } else if (existing == INVALID_HANDLE_VALUE) {
    const TErrorCode code = LastWindowsError();
    // CON and CONOUT$ write to the console where there is one; a process
    // without one is told what to use instead of a bare "Invalid handle".
    if (NamesConsole(aName, false)) return kConsoleByName;
    if (code != ERROR_FILE_NOT_FOUND || StartsWith(aName, u"\\\\.\\")) return code;
  } else if (StartsWith(aName, u"\\\\.\\") || GetFileType(existing) != FILE_TYPE_DISK) {
    // A device or a pipe: written as it is, nothing to replace.
    vFile = std::make_unique<TWindowsFile>(existing);
    return kSuccess;
  }

  // A regular file, or a new name: write a file beside it and move that
  // over it at the end. The new file gets the old one's attributes.
  const Text target = WindowsFullPath(aName);
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  if (existing != INVALID_HANDLE_VALUE || aInput != nullptr) {
    DWORD old = GetFileAttributesW(W(target));
    constexpr DWORD kKept = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (old != INVALID_FILE_ATTRIBUTES && (old & kKept) != 0) attributes = old & kKept;
  }
  HANDLE nameLock = INVALID_HANDLE_VALUE;
  if (const TErrorCode code = LockName(target, nameLock)) {
    CloseOnce(existing);
    return code;
  }
  Text tempPath;
  TErrorCode code = kSuccess;
  HANDLE temp = CreateTemporaryBeside(target, attributes, tempPath, code);
  if (temp == INVALID_HANDLE_VALUE) {
    CloseOnce(nameLock);
    CloseOnce(existing);
    // The target could be opened; the new file could not be made beside it.
    return code == ERROR_OPERATION_ABORTED ? code : code | kFolderFailure;
  }
  vFile = std::make_unique<TReplacingFile>(temp, tempPath, target, existing, aInput, nameLock);
  return kSuccess;
}

}  // namespace xlate
