// End-to-end cases whose expectations differ between the platforms by
// nature (library loading, system messages, devices, the command line);
// the cases that expect the same bytes everywhere are in EndToEndCases.cpp.

#include <gtest/gtest.h>

#include "testsupport/EndToEnd.h"

namespace xlate {
namespace {

TEST(EndToEnd, TheUsageLineShowsTheProgramsOwnFileName) {
#if defined(_WIN32)
  const std::string name = "xl.exe";
#else
  const std::string name = "xl.bin";
#endif
  TProgramFolder folder(XLATE_TEST_DOUBLE, name);
  EXPECT_EQ(folder.Run({"DO=x"}).Out, ReportFor("Unknown task type", name));
}

// A help word alone: the usage, then every parameter with its meaning and
// default, the settings of the environment, examples and the manual page,
// the same for each of the words; in lines ending as the style ends them.
TEST(EndToEnd, HelpNamesEveryParameterAndSetting) {
  TProgramFolder folder;
  const TProcessResult help = folder.Run({"--help"});
  EXPECT_EQ(help.ExitCode, 0);
  EXPECT_EQ(help.Err, "");
  ASSERT_EQ(help.Out.rfind(UsageFor(kProgramName) + "\r\n", 0), 0u) << help.Out;
  for (const std::string& shown : std::vector<std::string>{
           "  DO=[TRANSLATE|LIST]\r\n      what to do", "  LANGFROM=<LangCode>\r\n", "  LANGTO=",
           "  LANGINIT=", "  ICODING=[ANSI|UTF8|UNICODE|OEM]\r\n", "  OCODING=", "  TEXT=<Text>",
           "  IFILE=<FileName>\r\n", "  OFILE=", "(default en)", "--pairs", "XLATE_STYLE=unix",
           "XLATE_STRICT=1", "ZTA_SERVER=", "ZTA_FORMAT=", "ZTA_CHAINS=", "ZTA_PIVOT=",
           std::string("ZTA_FORMAT=srt ") + kProgramName + " IFILE=film.srt", "man xlate"}) {
    EXPECT_NE(help.Out.find(shown), std::string::npos) << shown;
  }
  EXPECT_EQ(help.Out.substr(help.Out.size() - 2), "\r\n");
  for (const char* word : {"-h", "-?", "/?"}) EXPECT_EQ(folder.Run({word}).Out, help.Out) << word;
  TProcessOptions unix;
  unix.Environment["XLATE_STYLE"] = "unix";
  const TProcessResult unixHelp = folder.Run({"--help"}, "en_US.CP1252", unix);
  EXPECT_EQ(unixHelp.ExitCode, 0);
  std::string lf = help.Out;
  for (std::size_t at = lf.find("\r\n"); at != std::string::npos; at = lf.find("\r\n", at)) {
    lf.erase(at, 1);
  }
  EXPECT_EQ(unixHelp.Out, lf);
}

// One line: the version the build was made as, and the library the program
// loads, or the version alone when none loads.
TEST(EndToEnd, TheVersionNamesTheLibraryInUse) {
  TProgramFolder folder;
  TProcessResult r = folder.Run({"--version"});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Out, "xlate " XLATE_VERSION " (library " + folder.File(kLibraryName) + ")\r\n");
  TProgramFolder without("");
  r = without.Run({"-V"});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Out, "xlate " XLATE_VERSION "\r\n");
  EXPECT_EQ(r.Err, "");
}

// The exit code is 0 after a reported error and after failed lines, unless
// XLATE_STRICT=1 asks for codes that tell them apart; standard output is
// the same either way. The unix style gives them too, and tells a closed
// standard output by 1 whether or not there was an error before it.
TEST(EndToEnd, ExitCodesTellTheOutcomeOnlyWhenAskedFor) {
  struct Row {
    std::vector<std::string> arguments;
    TOutputTarget output;
    int plain;
    int strict;
    int unix;  // XLATE_STYLE=unix
  };
  const Row rows[] = {
    {{"TEXT=x"}, TOutputTarget::otCapture, 0, 0, 0},
    {{"DO=FOO"}, TOutputTarget::otCapture, 0, 2, 2},
    {{"IFILE=in.txt", "OFILE=out.txt"}, TOutputTarget::otCapture, 0, 3, 3},
    {{"DO=FOO"}, TOutputTarget::otClosed, 1, 1, 2},
    {{"TEXT=x"}, TOutputTarget::otClosed, 1, 1, 1},
    // A coding without a known word drops the text, or its translation;
    // the unix style refuses it.
    {{"TEXT=hello", "ICODING=UTF-8"}, TOutputTarget::otCapture, 0, 4, 2},
    {{"TEXT=hello", "OCODING=bogus"}, TOutputTarget::otCapture, 0, 4, 2},
#if !defined(_WIN32) && !defined(__SANITIZE_THREAD__)
    // The library ends the process with exit(0) in the middle of a file.
    // (Not under ThreadSanitizer: it takes the reading thread, still there
    // at exit(), for a leak and changes the exit code.)
    {{"IFILE=exit.txt", "OFILE=out.txt"}, TOutputTarget::otCapture, 0, 4, 4},
#endif
  };
  TProgramFolder folder;
  WriteFileBytes(folder.File("in.txt"), "one\n@fail 7 bad\n");
  WriteFileBytes(folder.File("exit.txt"), "one\n@exit 0\ntwo\n");
  for (const Row& row : rows) {
    TProcessOptions options;
    options.Output = row.output;
    const TProcessResult plain = folder.Run(row.arguments, "en_US.CP1252", options);
    options.Environment["XLATE_STRICT"] = "1";
    const TProcessResult strict = folder.Run(row.arguments, "en_US.CP1252", options);
    EXPECT_EQ(plain.ExitCode, row.plain) << row.arguments[0];
    EXPECT_EQ(strict.ExitCode, row.strict) << row.arguments[0];
    EXPECT_EQ(strict.Out, plain.Out) << row.arguments[0];
    options.Environment.erase("XLATE_STRICT");
    options.Environment["XLATE_STYLE"] = "unix";
    EXPECT_EQ(folder.Run(row.arguments, "en_US.CP1252", options).ExitCode, row.unix)
        << row.arguments[0];
  }
}

TEST(EndToEnd, AMissingLibraryIsReportedEvenWithoutParameters) {
  TProgramFolder folder("");
  TProcessResult r = folder.Run({});
  EXPECT_EQ(r.ExitCode, 0);
#if defined(_WIN32)
  // ERROR_MOD_NOT_FOUND, in the system's words.
  EXPECT_EQ(r.Out,
            ReportFor("Can't load jxZTAccess.dll because of \"" + SystemMessage(126) + "\""));
#else
  EXPECT_EQ(r.Out, ReportFor("Can't load libjxZTAccess.so because of \"libjxZTAccess.so: cannot "
                             "open shared object file: No such file or directory\""));
#endif
}

TEST(EndToEnd, ALibraryWithoutAnEntryPointIsReported) {
  TProgramFolder folder(XLATE_TEST_DOUBLE_WITHOUT_FROMPOST);
  TProcessResult r = folder.Run({"TEXT=x"});
  EXPECT_EQ(r.ExitCode, 0);
#if defined(_WIN32)
  // ERROR_PROC_NOT_FOUND.
  EXPECT_EQ(r.Out, ReportFor("Can't find ztaFromPostText in jxZTAccess.dll because of \"" +
                             SystemMessage(127) + "\""));
#else
  EXPECT_EQ(r.Out,
            ReportFor("Can't find ztaFromPostText in libjxZTAccess.so because of \"" +
                      folder.File("libjxZTAccess.so") + ": undefined symbol: ztaFromPostText\""));
#endif
}

TEST(EndToEnd, AReportThatCannotBeWrittenEndsWithExitCode1) {
  TProgramFolder folder;
  const std::string program = kProgramName;
  TProcessOptions closed;
  closed.Output = TOutputTarget::otClosed;
  TProcessResult r = folder.Run({"DO=LIST"}, "en_US.CP1252", closed);
  EXPECT_EQ(r.ExitCode, 1);
#if defined(_WIN32)
  const std::string closedCause = "standard output is not open";
#else
  const std::string closedCause = "standard output is closed";
  // The input file does not take the closed output's place.
  WriteFileBytes(folder.File("in.txt"), "x\n");
  r = folder.Run({"IFILE=in.txt", "OFILE=-"}, "en_US.CP1252", closed);
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, program + ": the error report could not be written (" + closedCause +
                       "): Cannot open standard output. Standard output is closed\r\n");
  r = folder.Run({"DO=LIST"}, "en_US.CP1252", closed);
#endif
  EXPECT_EQ(r.Err, program + ": standard output could not be written (" + closedCause +
                       "): I/O error 105\r\n");

  // A pipe that nobody reads: EPIPE on POSIX, ERROR_NO_DATA on Windows.
  // Output to a pipe goes out when the 128-byte buffer is full, and the
  // failure of the last write at the end is ignored: the translation and
  // the usage line of the report are longer than that.
  // What failed is the translation's own line, and the system says why.
#if defined(_WIN32)
  const std::string broken = "I/O error 232";
  const std::string cause = SystemMessage(232);
#else
  const std::string broken = "I/O error 32";
  const std::string cause = "Broken pipe";
#endif
  TProcessOptions unread;
  unread.Output = TOutputTarget::otBrokenPipe;
  r = folder.Run({"TEXT=@size 300"}, "en_US.CP1252", unread);
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err,
            program + ": standard output could not be written (" + cause + "): " + broken + "\r\n");
}

#if !defined(_WIN32)
// /dev/full has no Windows counterpart.
TEST(EndToEnd, AReportOnAFullDeviceEndsWithExitCode1) {
  TProgramFolder folder;
  TProcessOptions full;
  full.Output = TOutputTarget::otDevFull;
  TProcessResult r = folder.Run({"TEXT=x"}, "en_US.CP1252", full);
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "xlate: standard output could not be written (Disk full): Disk full\r\n");
}

// A UTF-8 locale gives UTF-8 for both code pages on POSIX. A Windows
// system's ANSI code page is never UTF-8 by its locale, and Wine gives
// 1252 and 437 for C.UTF-8.
TEST(EndToEnd, AUtf8TerminalGetsUtf8OutOfTheBox) {
  TProgramFolder folder;
  EXPECT_EQ(folder.Run({"TEXT=gr\xC3\xBC\xC3\x9F"}, "C.UTF-8").Out,
            "[en>en] gr\xC3\xBC\xC3\x9F\r\n");
}

// So does the C locale, under any of its names or none at all, the default
// of containers and services.
TEST(EndToEnd, TheCLocaleGetsUtf8) {
  TProgramFolder folder;
  for (const char* locale : {"C", "POSIX", ""}) {
    TProcessOptions options;
    options.Environment = {{"LC_CTYPE", ""}, {"LANG", ""}};
    EXPECT_EQ(folder.Run({"TEXT=The caf\xC3\xA9 is near."}, locale, options).Out,
              "[en>en] The caf\xC3\xA9 is near.\r\n")
        << locale;
  }
}

// An installed program (PREFIX/bin/xlate) finds its library in
// PREFIX/lib/xlate, from any working folder; a library beside the program
// still comes first.
TEST(EndToEnd, AnInstalledProgramFindsItsLibraryInLibXlate) {
  namespace fs = std::filesystem;
  TProgramFolder folder("");
  const fs::path bin = folder.Path() / "bin";
  fs::create_directories(bin);
  fs::create_directories(folder.Path() / "lib" / "xlate");
  fs::copy_file(XLATE_PROGRAM, bin / "xlate");
  fs::copy_file(XLATE_TEST_DOUBLE, folder.Path() / "lib" / "xlate" / "libjxZTAccess.so");
  TProcessOptions options;
  options.Arguments = {"TEXT=x"};
  options.Environment["LC_ALL"] = "C.UTF-8";
  options.WorkingDirectory = "/";
  EXPECT_EQ(RunProcess((bin / "xlate").string(), options).Out, "[en>en] x\r\n");

  fs::copy_file(XLATE_TEST_DOUBLE_WITHOUT_FROMPOST, bin / "libjxZTAccess.so");
  EXPECT_EQ(
      RunProcess((bin / "xlate").string(), options).Out,
      ReportFor("Can't find ztaFromPostText in libjxZTAccess.so because of \"" +
                (bin / "libjxZTAccess.so").string() + ": undefined symbol: ztaFromPostText\""));
}
#endif

TEST(EndToEnd, OutputToTheNullDeviceSucceeds) {
  TProgramFolder folder;
  TProcessOptions null;
  null.Output = TOutputTarget::otDevNull;
  TProcessResult r = folder.Run({"DO=LIST"}, "en_US.CP1252", null);
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Err, "");
}

#if defined(_WIN32)
// A Windows program gets its command line as one string and cuts it into
// words itself; these runs hand the real program such strings as they are.
class CommandLine : public ::testing::Test {
 protected:
  TProcessResult Run(const std::string& aAfterProgram) {
    TProcessOptions options;
    options.RawCommandLine = "\"" + folder.Program() + "\"" + aAfterProgram;
    return folder.Run({}, "en_US.CP1252", options);
  }
  TProgramFolder folder;
};

TEST_F(CommandLine, QuotedStretchesKeepBlanksAndJoinWithTheirWord) {
  EXPECT_EQ(Run(" \"TEXT=Good morning\" LANGTO=de").Out, "[en>de] Good morning\r\n");
  EXPECT_EQ(Run(" TEXT=\"Good morning\"").Out, "[en>en] Good morning\r\n");
  // TEXT= followed by "a b" and then c gives the text a bc.
  EXPECT_EQ(Run(" TEXT=\"a b\"c").Out, "[en>en] a bc\r\n");
  EXPECT_EQ(Run(" T\"EX\"T=x\"\"y").Out, "[en>en] xy\r\n");
  // An unclosed stretch runs to the end of the line.
  EXPECT_EQ(Run(" \"TEXT=a  b").Out, "[en>en] a  b\r\n");
  // Tabs and control characters separate words like blanks.
  EXPECT_EQ(Run("\tLANGTO=de\x01TEXT=x").Out, "[en>de] x\r\n");
}

TEST_F(CommandLine, PairsOfQuotesBetweenWordsMakeNoParameter) {
  // Only pairs of quotes: no parameter at all, so the banner shows.
  EXPECT_EQ(Run(" \"\" \"\"\"\"").Out, Run("").Out);
  EXPECT_EQ(Run(" \"\"LANGTO=de \"\" TEXT=x \"\"").Out, "[en>de] x\r\n");
}

TEST_F(CommandLine, ALoneQuoteAtTheEndEndsTheParameters) {
  EXPECT_EQ(Run(" TEXT=x \"").Out, "[en>en] x\r\n");
  // With nothing before it, the line holds no parameter.
  EXPECT_EQ(Run(" \"").Out, Run("").Out);
}

TEST_F(CommandLine, BackslashIsOrdinaryAndDoesNotEscapeAQuote) {
  EXPECT_EQ(Run(" TEXT=C:\\dir\\a.txt").Out, "[en>en] C:\\dir\\a.txt\r\n");
  // The quote after the backslash still opens a stretch.
  EXPECT_EQ(Run(" TEXT=a\\\"b c\" LANGTO=de").Out, "[en>de] a\\b c\r\n");
  EXPECT_EQ(Run(" \"TEXT=a\\\\\" LANGTO=de").Out, "[en>de] a\\\\\r\n");
}

TEST_F(CommandLine, TheProgramNameComesFromItsFileNotFromTheCommandLine) {
  TProcessOptions options;
  options.RawCommandLine = "\"C:\\elsewhere\\other name.exe\" DO=x";
  EXPECT_EQ(folder.Run({}, "en_US.CP1252", options).Out, ReportFor("Unknown task type"));
}
#endif

}  // namespace
}  // namespace xlate
