#include <gtest/gtest.h>

#include "tests/EndToEnd.h"

namespace xlate {
namespace {

const std::string kBanner = "Hello, this is xlate, a front end to a translation library.";

TEST(EndToEnd, WithoutParametersPrintsTheBannerAndUsage) {
  ProgramFolder folder;
  ProcessResult r = folder.Run({});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "\r\n" + kBanner + "\r\n\r\n" + UsageFor("xlate"));
  EXPECT_EQ(r.err, "");
  // An empty argument counts as no parameter, like a pair of quotes.
  EXPECT_EQ(folder.Run({""}).out, r.out);
}

TEST(EndToEnd, TheUsageLineShowsTheProgramsOwnFileName) {
  ProgramFolder folder(XLATE_TEST_DOUBLE, "xl.bin");
  EXPECT_EQ(folder.Run({"DO=x"}).out, ReportFor("Unknown task type", "xl.bin"));
}

TEST(EndToEnd, AMissingLibraryIsReportedEvenWithoutParameters) {
  ProgramFolder folder("");
  ProcessResult r = folder.Run({});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, ReportFor("Can't load libjxZTAccess.so because of \"libjxZTAccess.so: cannot "
                             "open shared object file: No such file or directory\""));
}

TEST(EndToEnd, ALibraryWithoutAnEntryPointIsReported) {
  ProgramFolder folder(XLATE_TEST_DOUBLE_WITHOUT_FROMPOST);
  ProcessResult r = folder.Run({"TEXT=x"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out,
            ReportFor("Can't find ztaFromPostText in libjxZTAccess.so because of \"" +
                      folder.File("libjxZTAccess.so") + ": undefined symbol: ztaFromPostText\""));
}

TEST(EndToEnd, TranslationsGoOutInTheOutputCodingOfTheLocale) {
  ProgramFolder folder;
  // German Windows: ANSI 1252 in, OEM 850 out.
  EXPECT_EQ(folder.Run({"TEXT=gr\xFC\xDF", "LANGTO=de"}, "de_DE.CP1252").out,
            "[en>de] gr\x81\xE1\r\n");
  // Russian: 1251 and 866.
  EXPECT_EQ(folder.Run({"TEXT=\xC6", "LANGTO=ru"}, "ru_RU.CP1251").out, "[en>ru] \x86\r\n");
  // Polish: 1250 and 852.
  EXPECT_EQ(folder.Run({"TEXT=\xB3", "LANGTO=pl"}, "pl_PL.CP1250").out, "[en>pl] \x88\r\n");
  // A UTF-8 terminal gets UTF-8 out of the box.
  EXPECT_EQ(folder.Run({"TEXT=gr\xC3\xBC\xC3\x9F"}, "C.UTF-8").out,
            "[en>en] gr\xC3\xBC\xC3\x9F\r\n");
  // OCODING=UTF8 reads the TEXT bytes as UTF-8 too and writes UTF-8.
  EXPECT_EQ(folder.Run({"TEXT=\xC3\xBC", "OCODING=UTF8"}, "en_US.CP1252").out,
            "[en>en] \xC3\xBC\r\n");
  // UNICODE on the console stands for the ANSI code page.
  EXPECT_EQ(folder.Run({"TEXT=\xFC", "OCODING=UNICODE"}, "en_US.CP1252").out, "[en>en] \xFC\r\n");
  // A character the OEM code page lacks becomes "?".
  EXPECT_EQ(folder.Run({"TEXT=\x80"}, "en_US.CP1252").out, "[en>en] ?\r\n");
}

TEST(EndToEnd, TheListHasOneLanguagePerLine) {
  ProgramFolder folder;
  ProcessOptions options;
  options.environment["ZTA_DOUBLE_LANGUAGES"] =
      "en English\r\nde Deutsch\r\nfr Fran\xC3\xA7"
      "ais";
  ProcessResult r = folder.Run({"DO=LIST"}, "fr_FR.CP1252", options);
  EXPECT_EQ(r.out,
            "en English\r\nde Deutsch\r\nfr Fran\x87"
            "ais\r\n");
}

TEST(EndToEnd, ErrorsAreReportedAndTheRunEndsWithZero) {
  ProgramFolder folder;
  ProcessResult r = folder.Run({"TEXT=@fail 7 short message"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, ReportFor("Can't get translation of text \"@fail 7 short message\" because of "
                             "\"short message\""));
  EXPECT_EQ(folder.Run({"TEXT=@errchain"}).out,
            ReportFor("Can't get error text because of error code = 11"));
  EXPECT_EQ(folder.Run({"ICODING=X", "OCODING=Y"}).out, ReportFor("Unknown coding type"));
}

TEST(EndToEnd, AReportThatCannotBeWrittenEndsWithExitCode1) {
  ProgramFolder folder;
  ProcessOptions full;
  full.output = OutputTarget::DevFull;
  ProcessResult r = folder.Run({"TEXT=x"}, "en_US.CP1252", full);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "xlate: the error report could not be written (Disk full): Disk full\r\n");

  ProcessOptions closed;
  closed.output = OutputTarget::Closed;
  r = folder.Run({"DO=LIST"}, "en_US.CP1252", closed);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err,
            "xlate: the error report could not be written (I/O error 105): I/O error 105\r\n");
}

TEST(EndToEnd, OutputToTheNullDeviceSucceeds) {
  ProgramFolder folder;
  ProcessOptions null;
  null.output = OutputTarget::DevNull;
  ProcessResult r = folder.Run({"DO=LIST"}, "en_US.CP1252", null);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
}

TEST(EndToEnd, LongResultsComeThroughTheGrowingBuffer) {
  ProgramFolder folder;
  ProcessResult r = folder.Run({"TEXT=@size 5000"});
  ASSERT_EQ(r.out.size(), 5002u);
  EXPECT_EQ(r.out.substr(0, 4), "abcd");
  EXPECT_EQ(r.out.substr(5000), "\r\n");
}

}  // namespace
}  // namespace xlate
