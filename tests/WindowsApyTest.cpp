// The Windows program with the Windows build of the reference library,
// jxZTAccess.dll, which translates through an Apertium APY server only.
// tests/with-apy.sh starts apertium-apy on a loopback port and runs the
// WindowsApy tests twice: with XLATE_TEST_APY naming the running server,
// then, once it is stopped, with XLATE_TEST_STOPPED_APY naming it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "testsupport/EndToEnd.h"

namespace xlate {
namespace {

std::string Setting(const char* aName) {
  const char* value = std::getenv(aName);
  return value != nullptr ? value : "";
}

TProcessResult RunWithServer(TProgramFolder& aFolder, const std::vector<std::string>& aArguments,
                             const std::string& aServer) {
  TProcessOptions options;
  options.Environment["ZTA_SERVER"] = aServer;
  return aFolder.Run(aArguments, "en_US.CP1252", options);
}

class WindowsApy : public ::testing::Test {
 protected:
  void SetUp() override {
    if (server.empty()) GTEST_SKIP() << "XLATE_TEST_APY names no server: run tests/with-apy.sh";
  }
  TProcessResult Run(const std::vector<std::string>& aArguments) {
    return RunWithServer(folder, aArguments, server);
  }

  std::string server = Setting("XLATE_TEST_APY");
  TProgramFolder folder{XLATE_APERTIUM_LIBRARY};
};

TEST_F(WindowsApy, TranslatesASentenceAndListsTheLanguages) {
  TProcessResult r = Run({"TEXT=The house is big and my friend reads a book.", "LANGFROM=en",
                          "LANGTO=es", "OCODING=UTF8"});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Out, "La casa es grande y mi amigo lee un libro.\r\n");
  // Into and out of the ANSI code page (1252), through UTF-8 on the way.
  r = Run({"TEXT=El ni\xF1o lee un libro en la casa.", "LANGFROM=es", "LANGTO=en"});
  EXPECT_EQ(r.Out, "The boy reads a book in the house.\r\n");
  r = Run(
      {"TEXT=My friend reads a book in the garden.", "LANGFROM=en", "LANGTO=es", "OCODING=ANSI"});
  EXPECT_EQ(r.Out, "Mi amigo lee un libro en el jard\xEDn.\r\n");
  r = Run({"DO=LIST"});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_NE(r.Out.find("en English\r\n"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("es Spanish\r\n"), std::string::npos) << r.Out;
}

TEST_F(WindowsApy, NamesTheServersPairsWhenAPairIsMissing) {
  const TProcessResult r = Run({"TEXT=house", "LANGFROM=en", "LANGTO=de"});
  EXPECT_EQ(r.Out.substr(0, 8), "Error:\r\n");
  // The server has every pair installed here; the test made sure of en-es and es-en.
  const std::string named =
      "The translation server " + server + " has no pair from en into de; its pairs: ";
  const std::string pairs = PairsNamedAfter(r.Out, named);
  ASSERT_FALSE(pairs.empty()) << r.Out;
  EXPECT_NE(pairs.find(", en-es,"), std::string::npos) << pairs;
  EXPECT_NE(pairs.find(", es-en,"), std::string::npos) << pairs;
}

TEST(WindowsApyStopped, AStoppedServerCannotBeReached) {
  const std::string server = Setting("XLATE_TEST_STOPPED_APY");
  if (server.empty()) GTEST_SKIP() << "XLATE_TEST_STOPPED_APY names no stopped server";
  TProgramFolder folder(XLATE_APERTIUM_LIBRARY);
  const std::string cannotReach = "Cannot reach the translation server " + server +
                                  ": WinHTTP error 12029 (A connection with the server could not "
                                  "be established)";
  TProcessResult r = RunWithServer(folder, {"TEXT=house", "LANGFROM=en", "LANGTO=es"}, server);
  EXPECT_EQ(r.Out.substr(0, 8), "Error:\r\n");
  EXPECT_NE(r.Out.find(cannotReach), std::string::npos) << r.Out;
  r = RunWithServer(folder, {"DO=LIST"}, server);
  EXPECT_NE(r.Out.find(cannotReach), std::string::npos) << r.Out;
}

// Without ZTA_SERVER (or with it empty) the library has nothing to translate
// with, and says how to set it.
TEST(WindowsLibrary, WithoutAServerEveryCallSaysHowToSetZtaServer) {
  TProgramFolder folder(XLATE_APERTIUM_LIBRARY);
  const std::string why =
      "This library translates through an Apertium APY server only, and ZTA_SERVER names none. "
      "Set the environment variable ZTA_SERVER to the server's address before starting the "
      "program: \"set ZTA_SERVER=http://host:2737\" in a Command Prompt, or \"setx ZTA_SERVER "
      "http://host:2737\" for the ones opened after it";
  EXPECT_EQ(RunWithServer(folder, {"TEXT=house", "LANGFROM=en", "LANGTO=es"}, "").Out,
            ReportFor("Can't get translation of text \"house\" because of \"" + why + "\""));
  EXPECT_EQ(RunWithServer(folder, {"DO=LIST"}, "").Out,
            ReportFor("Can't get list of known languges because of \"" + why + "\""));
}

}  // namespace
}  // namespace xlate
