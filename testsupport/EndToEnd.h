#pragma once

// Runs the built program as a subprocess, from a folder of its own that
// holds a copy of the program and of a translation library.

#include <filesystem>
#include <string>
#include <vector>

#include "testsupport/Expected.h"
#include "testsupport/TestProcess.h"

namespace xlate {

// The program's and the translation library's file names, which differ by
// platform by nature.
extern const char kProgramName[];
extern const char kLibraryName[];

class TProgramFolder {
 public:
  // A fresh folder with the program (under aProgramName) and, unless
  // aLibrary is empty, that library under the name the program loads.
  explicit TProgramFolder(const std::string& aLibrary = XLATE_TEST_DOUBLE,
                          const std::string& aProgramName = kProgramName);
  ~TProgramFolder();
  TProgramFolder(const TProgramFolder&) = delete;
  TProgramFolder& operator=(const TProgramFolder&) = delete;

  const std::filesystem::path& Path() const { return FPath; }
  // A name in the folder as the system writes it: "/" inside aName becomes
  // "\\" on Windows.
  std::string File(const std::string& aName) const {
    return (FPath / std::filesystem::path(aName).make_preferred()).string();
  }
  const std::string& Program() const { return FProgram; }

  // Runs the program in its folder with the locale aLocale (LC_ALL). On
  // Windows the program runs with this process's code pages, and a locale
  // with others fails the test: see CheckLocaleOfProcess.
  TProcessResult Run(const std::vector<std::string>& aArguments,
                     const std::string& aLocale = "en_US.CP1252", TProcessOptions aOptions = {});

 private:
  std::filesystem::path FPath;
  std::string FProgram;
};

// The usage text for a program file name, and the error report around a
// message, as the program prints them.
inline std::string UsageFor(const std::string& aProgramName) { return ExpectedUsage(aProgramName); }
inline std::string ReportFor(const std::string& aMessage,
                             const std::string& aProgramName = kProgramName) {
  return ExpectedReport(aMessage, aProgramName);
}

// Throws unless the programs this process starts get the code pages of
// aLocale. On POSIX every run gets its own locale, so any locale will do;
// on Windows the code pages are the system's (under Wine, those of this
// test process, set by its LC_ALL).
void CheckLocaleOfProcess(const std::string& aLocale);

// The pair list that follows aNamed in aOutput up to the line's end, as
// ", a-b, c-d," so that ", a-b," finds a whole pair; empty when aOutput does
// not hold aNamed.
inline std::string PairsNamedAfter(const std::string& aOutput, const std::string& aNamed) {
  const std::size_t at = aOutput.find(aNamed);
  if (at == std::string::npos) return std::string();
  const std::size_t begin = at + aNamed.size();
  return ", " + aOutput.substr(begin, aOutput.find('\r', begin) - begin) + ",";
}

std::string ReadFileBytes(const std::string& aPath);
void WriteFileBytes(const std::string& aPath, const std::string& aBytes);

}  // namespace xlate
