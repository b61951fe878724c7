#pragma once

// Starting the built program from the end-to-end tests. Test support only:
// the program itself never starts processes.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace xlate {

enum class OutputTarget {
  Capture,  // a pipe, read into ProcessResult::out
  Closed,   // standard output closed
  DevFull,  // /dev/full on POSIX: every write fails with "no space"
  DevNull,
};

struct ProcessOptions {
  std::vector<std::string> arguments;              // after the program's name
  std::map<std::string, std::string> environment;  // added to or replacing the test's own
  std::string input;                               // fed to standard input
  std::string workingDirectory;                    // empty: the test's own
  OutputTarget output = OutputTarget::Capture;
  // Run without the privileges of an administrator, so that file
  // permissions apply even when the tests run as root.
  bool unprivileged = false;
  // A command put before the program, such as a memory checker; split at
  // blanks.
  std::string wrapper;
};

struct ProcessResult {
  int exitCode = -1;  // -1 when the process did not end normally
  int signal = 0;     // the signal that ended it, if one did
  std::string out;
  std::string err;
};

ProcessResult RunProcess(const std::string& aProgram, const ProcessOptions& aOptions);

// Holds an exclusive lock on a file, as another run of the program would.
class HeldFileLock {
 public:
  explicit HeldFileLock(const std::string& aPath);
  ~HeldFileLock();
  HeldFileLock(const HeldFileLock&) = delete;
  HeldFileLock& operator=(const HeldFileLock&) = delete;

 private:
  std::intptr_t FHandle;
};

// A named pipe with its reading end open, so that a writer does not block.
class NamedPipe {
 public:
  explicit NamedPipe(const std::string& aPath);
  ~NamedPipe();
  NamedPipe(const NamedPipe&) = delete;
  NamedPipe& operator=(const NamedPipe&) = delete;
  // What has been written into the pipe so far.
  std::string ReadAvailable();

 private:
  std::intptr_t FHandle;
};

}  // namespace xlate
