#pragma once

// Starting the built program from the end-to-end tests. Test support only:
// the program itself never starts processes.

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
};

struct ProcessResult {
  int exitCode = -1;  // -1 when the process did not end normally
  int signal = 0;     // the signal that ended it, if one did
  std::string out;
  std::string err;
};

ProcessResult RunProcess(const std::string& aProgram, const ProcessOptions& aOptions);

}  // namespace xlate
