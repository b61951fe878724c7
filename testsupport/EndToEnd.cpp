#include "testsupport/EndToEnd.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace xlate {

namespace fs = std::filesystem;

namespace {

fs::path NewFolder() {
  static std::atomic<int> counter{0};
  std::random_device random;
  fs::path path = fs::temp_directory_path() /
                  ("xlate-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
  fs::create_directories(path);
  return path;
}

}  // namespace

#if defined(_WIN32)
const char kProgramName[] = "xlate.exe";
const char kLibraryName[] = "jxZTAccess.dll";
#else
const char kProgramName[] = "xlate";
const char kLibraryName[] = "libjxZTAccess.so";
#endif

void CheckLocaleOfProcess(const std::string& aLocale) {
#if defined(_WIN32)
  // The Windows code pages of the locales the tests use.
  struct TPages {
    const char* Locale;
    std::uint32_t Ansi, Oem;
  };
  static const TPages kPages[] = {
      {"en_US.CP1252", 1252, 437}, {"de_DE.CP1252", 1252, 850}, {"fr_FR.CP1252", 1252, 850},
      {"ru_RU.CP1251", 1251, 866}, {"pl_PL.CP1250", 1250, 852},
  };
  for (const TPages& pages : kPages) {
    if (aLocale != pages.Locale) continue;
    if (pages.Ansi == OwnAnsiCodePage() && pages.Oem == OwnOemCodePage()) return;
    throw std::runtime_error("this run needs the code pages of " + aLocale + " (" +
                             std::to_string(pages.Ansi) + " and " + std::to_string(pages.Oem) +
                             "), but the system has " + std::to_string(OwnAnsiCodePage()) +
                             " and " + std::to_string(OwnOemCodePage()) +
                             "; under Wine run this test with LC_ALL=" + aLocale);
  }
  throw std::runtime_error("no Windows code pages known for the locale " + aLocale);
#else
  (void)aLocale;
#endif
}

TProgramFolder::TProgramFolder(const std::string& aLibrary, const std::string& aProgramName)
    : FPath(NewFolder()), FProgram((FPath / aProgramName).string()) {
  fs::copy_file(XLATE_PROGRAM, FProgram);
  if (!aLibrary.empty()) fs::copy_file(aLibrary, FPath / kLibraryName);
}

TProgramFolder::~TProgramFolder() {
  std::error_code ignored;
  // Give back permissions a test took away, so that everything can go.
  for (auto it = fs::recursive_directory_iterator(FPath, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::permissions(FPath, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(FPath, ignored);
}

TProcessResult TProgramFolder::Run(const std::vector<std::string>& aArguments,
                                   const std::string& aLocale, TProcessOptions aOptions) {
  CheckLocaleOfProcess(aLocale);
  aOptions.Arguments = aArguments;
  aOptions.Environment["LC_ALL"] = aLocale;
  if (aOptions.WorkingDirectory.empty()) aOptions.WorkingDirectory = FPath.string();
  // XLATE_TEST_WRAPPER runs the program under a checker such as valgrind,
  // which ends the run with 99 when it finds an error.
  if (const char* wrapper = std::getenv("XLATE_TEST_WRAPPER")) aOptions.Wrapper = wrapper;
  TProcessResult result = RunProcess(FProgram, aOptions);
  if (!aOptions.Wrapper.empty() && result.ExitCode == 99) {
    throw std::runtime_error("the checker found errors:\n" + result.Err);
  }
  return result;
}

std::string ReadFileBytes(const std::string& aPath) {
  std::ifstream in(aPath, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + aPath);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFileBytes(const std::string& aPath, const std::string& aBytes) {
  std::ofstream out(aPath, std::ios::binary | std::ios::trunc);
  out.write(aBytes.data(), static_cast<std::streamsize>(aBytes.size()));
  if (!out) throw std::runtime_error("cannot write " + aPath);
}

}  // namespace xlate
