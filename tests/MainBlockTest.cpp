#include <gtest/gtest.h>

#include "testsupport/ProgramTest.h"

namespace xlate {
namespace {

const std::string kUsage = ExpectedUsage("xlate");

using MainBlockTest = TProgramTest;

TEST_F(MainBlockTest, NoParametersPrintTheBannerAndUsageWithoutTranslating) {
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(FPlatform.StdOut,
            "\r\nHello, this is xlate, a front end to a translation library.\r\n\r\n" + kUsage);
  EXPECT_TRUE(zta_double::Calls().empty());
  EXPECT_EQ(FPlatform.LoadedLibraries, 0);
}

TEST_F(MainBlockTest, NoParametersAndNoLibraryReportTheLoadFailure) {
  FPlatform.LibraryPresent = false;
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(FPlatform.StdOut,
            Report("Can't load libjxZTAccess.so because of \"The specified module could not be "
                   "found\""));
}

TEST_F(MainBlockTest, TheTranslationIsPrintedInTheOutputCoding) {
  // Default coding: ANSI in, OEM out.
  EXPECT_EQ(Run({u"TEXT=gr\u00fc\u00df", u"LANGTO=de"}), 0);
  EXPECT_EQ(FPlatform.StdOut, "[en>de] gr\x81\xE1\r\n");
  FPlatform.StdOut.clear();
  // UTF8 both ways: the TEXT bytes are read as UTF-8 (here the ANSI bytes
  // of "Ã¼" are the UTF-8 bytes of u-umlaut).
  EXPECT_EQ(Run({u"TEXT=\u00c3\u00bc", u"OCODING=UTF8"}), 0);
  EXPECT_EQ(FPlatform.StdOut, "[en>en] \xC3\xBC\r\n");
  FPlatform.StdOut.clear();
  // UNICODE on the console is the ANSI code page.
  EXPECT_EQ(Run({u"TEXT=\u00fc", u"OCODING=UNICODE"}), 0);
  EXPECT_EQ(FPlatform.StdOut, "[en>en] \xFC\r\n");
  FPlatform.StdOut.clear();
  // OEM input: the bytes are OEM bytes carried in the ANSI string.
  EXPECT_EQ(Run({u"TEXT=\u00fc", u"ICODING=OEM", u"OCODING=ANSI"}), 0);
  EXPECT_EQ(FPlatform.StdOut, "[en>en] \xB3\r\n");  // 0xFC in 850 is superscript three
}

TEST_F(MainBlockTest, AParameterThatSetsNothingTranslatesTheDefaultText) {
  EXPECT_EQ(Run({u"hello"}), 0);
  EXPECT_EQ(FPlatform.StdOut,
            "[en>en] Hello, this is xlate, a front end to a translation library.\r\n");
}

TEST_F(MainBlockTest, ListPrintsOneLanguagePerLine) {
  EXPECT_EQ(Run({u"DO=LIST"}), 0);
  EXPECT_EQ(FPlatform.StdOut, "en English\r\nde German\r\nfr French\r\n");
  FPlatform.StdOut.clear();
  // OCODING=X gives the output coding none: empty lines.
  EXPECT_EQ(Run({u"DO=LIST", u"OCODING=X"}), 0);
  EXPECT_EQ(FPlatform.StdOut, "\r\n\r\n\r\n");
}

TEST_F(MainBlockTest, FailuresAreReportedWithTheUsageText) {
  EXPECT_EQ(Run({u"DO=FOO"}), 0);
  EXPECT_EQ(FPlatform.StdOut, Report("Unknown task type"));
  EXPECT_EQ(FPlatform.LoadedLibraries, 0);
  FPlatform.StdOut.clear();
  EXPECT_EQ(Run({u"TEXT=@fail 7 bad \u00fc"}), 0);
  // The system's own words are in the ANSI code page. The library's error
  // text is read as ANSI too, so the UTF-8 bytes the double echoes come
  // back as they were.
  EXPECT_EQ(FPlatform.StdOut,
            Report("Can't get translation of text \"@fail 7 bad \xFC\" because of "
                   "\"bad \xC3\xBC\""));
  EXPECT_EQ(FPlatform.LoadedLibraries, 0);
}

TEST_F(MainBlockTest, TheUsageLineNamesTheProgramFileAfterItsLastSeparator) {
  FPlatform.ProgramFile = u"C:\\tools\\xl.exe";
  FPlatform.Separators = u"\\:";
  EXPECT_EQ(Run({u"DO=x"}), 0);
  EXPECT_NE(FPlatform.StdOut.find("Usage:\r\nxl.exe DO="), std::string::npos);
  FPlatform.StdOut.clear();
  FPlatform.ProgramFile = u"D:xl/t.exe";
  EXPECT_EQ(Run({u"DO=x"}), 0);
  EXPECT_NE(FPlatform.StdOut.find("Usage:\r\nxl/t.exe DO="), std::string::npos);
}

TEST_F(MainBlockTest, AFailedUnloadReplacesTheMessageOnItsWay) {
  FPlatform.FreeFails = true;
  EXPECT_EQ(Run({u"TEXT=@fail 7 bad"}), 0);
  EXPECT_EQ(FPlatform.StdOut,
            Report("Can't unload libjxZTAccess.so because of \"Unloading failed\""));
  FPlatform.StdOut.clear();
  // And after a successful task the failed unload is reported as well.
  EXPECT_EQ(Run({u"TEXT=fine"}), 0);
  EXPECT_EQ(FPlatform.StdOut,
            "[en>en] fine\r\n" + Report("Can't unload libjxZTAccess.so because of \"Unloading "
                                        "failed\""));
}

TEST_F(MainBlockTest, AListFailingHalfwayKeepsTheLinesWrittenSoFar) {
  FPlatform.OutputType = THandleType::htCharDevice;
  FPlatform.FailWritesWith = 112;
  FPlatform.WritesBeforeFailure = 2;
  FPlatform.FailuresLeft = 1;
  EXPECT_EQ(Run({u"DO=LIST"}), 0);
  EXPECT_EQ(FPlatform.StdOut, "en English\r\nde German\r\n" + Report("I/O error 112"));
  EXPECT_EQ(FPlatform.LoadedLibraries, 0);
}

TEST_F(MainBlockTest, AReportThatCannotBeWrittenEndsWithExitCode1) {
  FPlatform.OutputType = THandleType::htCharDevice;
  FPlatform.FailWritesWith = 112;
  EXPECT_EQ(Run({u"DO=LIST"}), 1);
  // The output itself failed, for the system's reason, before any report.
  EXPECT_EQ(FPlatform.StdErr,
            "xlate: standard output could not be written (There is not enough space on the "
            "disk): I/O error 112\r\n");
  // Without a usable handle, with a message in the OEM code page (the
  // double's UTF-8 error text, read as ANSI, is A-tilde and the currency
  // sign, whose best fits in 437 are "A" and 0x0F).
  FPlatform.StdErr.clear();
  FPlatform.OutputType = THandleType::htUnknown;
  FPlatform.Oem = 437;
  EXPECT_EQ(Run({u"TEXT=@fail 7 \u00e4"}), 1);
  EXPECT_EQ(FPlatform.StdOut, "");
  EXPECT_EQ(FPlatform.StdErr,
            "xlate: the error report could not be written (standard output is not open): Can't "
            "get translation "
            "of text \"@fail 7 \x84\" because of \"A\x0F\"\r\n");
}

}  // namespace
}  // namespace xlate
