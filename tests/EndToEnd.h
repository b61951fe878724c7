#pragma once

// Runs the built program as a subprocess, from a folder of its own that
// holds a copy of the program and of a translation library.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/TestProcess.h"

namespace xlate {

class ProgramFolder {
 public:
  // A fresh folder with the program (under aProgramName) and, unless
  // aLibrary is empty, that library under the name the program loads.
  explicit ProgramFolder(const std::string& aLibrary = XLATE_TEST_DOUBLE,
                         const std::string& aProgramName = "xlate");
  ~ProgramFolder();
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;

  const std::filesystem::path& Path() const { return FPath; }
  std::string File(const std::string& aName) const { return (FPath / aName).string(); }

  // Runs the program in its folder with the locale aLocale (LC_ALL).
  ProcessResult Run(const std::vector<std::string>& aArguments,
                    const std::string& aLocale = "en_US.CP1252", ProcessOptions aOptions = {});

 private:
  std::filesystem::path FPath;
  std::string FProgram;
};

// The usage text for a program file name, and the error report around a
// message, as the program prints them.
std::string UsageFor(const std::string& aProgramName);
std::string ReportFor(const std::string& aMessage, const std::string& aProgramName = "xlate");

std::string ReadFileBytes(const std::string& aPath);
void WriteFileBytes(const std::string& aPath, const std::string& aBytes);

}  // namespace xlate
