#pragma once

// Starting the built program from the end-to-end tests. Test support only:
// the program itself never starts processes.

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace xlate {

enum class TOutputTarget {
  otCapture,  // a pipe, read into ProcessResult::out
  otClosed,   // standard output closed
  otDevFull,  // /dev/full on POSIX: every write fails with "no space"; none on Windows
  otDevNull,  // /dev/null, or NUL on Windows
  // A pipe whose reading end is closed before the program starts, so that
  // every write into it fails.
  otBrokenPipe,
};

// Arguments, the raw command line and environment values are bytes in the
// ANSI code page the program runs with. POSIX passes them as they are; on
// Windows they become UTF-16 through this process's ANSI code page, which
// the program shares, so that it sees the same bytes again.
struct TProcessOptions {
  std::vector<std::string> Arguments;  // after the program's name
  // Windows only: the command line after the quoted program name, blanks
  // included, passed as it stands instead of `arguments`. On Windows a
  // program gets one string and splits it itself; on POSIX there is no
  // such string, and setting this fails there.
  std::string RawCommandLine;
  std::map<std::string, std::string> Environment;  // added to or replacing the test's own
  std::string Input;                               // fed to standard input
  std::string WorkingDirectory;                    // empty: the test's own
  TOutputTarget Output = TOutputTarget::otCapture;
  // Run without the privileges of an administrator, so that file
  // permissions apply even when the tests run as root. POSIX only.
  bool Unprivileged = false;
  // A command put before the program, such as a memory checker; split at
  // blanks.
  std::string Wrapper;
};

struct TProcessResult {
  int ExitCode = -1;  // -1 when the process did not end normally
  int Signal = 0;     // the signal that ended it, if one did
  std::string Out;
  std::string Err;
};

TProcessResult RunProcess(const std::string& aProgram, const TProcessOptions& aOptions);

// Holds a file the way another run of the program would: with an exclusive
// lock on POSIX, open and shared with nobody on Windows.
class THeldFileLock {
 public:
  explicit THeldFileLock(const std::string& aPath);
  ~THeldFileLock();
  THeldFileLock(const THeldFileLock&) = delete;
  THeldFileLock& operator=(const THeldFileLock&) = delete;

 private:
  std::intptr_t FHandle;
};

#if !defined(_WIN32)
// A named pipe with its reading end open, so that a writer does not block.
// POSIX only: a Windows named pipe is a server that the program would have
// to connect to, which is another way of writing than a file's.
class TNamedPipe {
 public:
  explicit TNamedPipe(const std::string& aPath);
  ~TNamedPipe();
  TNamedPipe(const TNamedPipe&) = delete;
  TNamedPipe& operator=(const TNamedPipe&) = delete;
  // What has been written into the pipe so far.
  std::string ReadAvailable();

 private:
  std::intptr_t FHandle;
};
#endif

#if !defined(_WIN32)
// Sends aSignal to the process that opens a file in aFolder whose name
// holds aNamePart, while that open waits for this object's leave: a moment
// inside the program that no timing can miss. Every open in the folder
// waits for it (fanotify permission events), which needs the privilege of
// an administrator; Unavailable() then says why it cannot work.
class TSignalAtOpen {
 public:
  TSignalAtOpen(const std::string& aFolder, const std::string& aNamePart, int aSignal);
  ~TSignalAtOpen();
  TSignalAtOpen(const TSignalAtOpen&) = delete;
  TSignalAtOpen& operator=(const TSignalAtOpen&) = delete;
  const std::string& Unavailable() const { return FUnavailable; }
  bool Sent() const { return FSent; }

 private:
  void Serve();

  std::string FNamePart;
  int FSignal;
  int FNotify = -1;
  int FStop[2] = {-1, -1};
  std::string FUnavailable;
  std::atomic<bool> FSent{false};
  std::thread FThread;
};

// A file's owner and group (of a link itself, not its target), and setting
// them, which needs the privilege to.
struct TFileOwnership {
  unsigned Uid;
  unsigned Gid;
};
TFileOwnership OwnershipOf(const std::string& aPath);
void SetOwnership(const std::string& aPath, TFileOwnership aOwnership);
// Extended attributes; false or empty where the file system has none.
bool SetExtendedAttribute(const std::string& aPath, const std::string& aName,
                          const std::string& aValue);
std::string ExtendedAttribute(const std::string& aPath, const std::string& aName);
#endif

#if defined(_WIN32)
// The ANSI and OEM code pages of this test process. A program it starts
// runs with the same ones: on Windows they belong to the system, and Wine
// hands a process's own on to the processes it starts (LC_ALL in their
// environment plays no part).
std::uint32_t OwnAnsiCodePage();
std::uint32_t OwnOemCodePage();

// The system's message for an error code as the program shows it: without
// its trailing blanks, line breaks and periods, in the ANSI code page.
std::string SystemMessage(std::uint32_t aCode);

// A file's attribute bits (FILE_ATTRIBUTE_...), and adding some to them.
constexpr std::uint32_t kHiddenAttribute = 0x2;  // FILE_ATTRIBUTE_HIDDEN
std::uint32_t FileAttributeBits(const std::string& aPath);
void SetFileAttributeBits(const std::string& aPath, std::uint32_t aBits);
#endif

}  // namespace xlate
