// The end-to-end cases that do not depend on the platform: parameters,
// codings, messages and the byte layout of console output and files. Every
// case runs on POSIX and on Windows and expects the same bytes on both; the
// only difference, by nature, is the program's file name in the usage text.
//
// The cases are grouped by locale, and the group's name (en_US_CP1252, ...)
// leads the name of each test, so that a Windows test run can give each
// group a process with that locale's code pages.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "testsupport/EndToEnd.h"

namespace xlate {
namespace {

namespace fs = std::filesystem;

struct FileBytes {
  std::string name;
  std::string bytes;
};

struct SharedCase {
  std::string name;
  std::vector<std::string> arguments;
  std::string out;                       // the whole console output
  std::vector<FileBytes> inputs = {};    // written before the run
  std::vector<FileBytes> outputs = {};   // what the files hold afterwards
  std::vector<std::string> absent = {};  // files that must not exist afterwards
  std::map<std::string, std::string> environment = {};
  std::vector<std::string> folders = {};  // made before the run
  std::string err = {};                   // the whole of standard error
  int exitCode = 0;
  std::string stdinText = {};  // fed to standard input
};

// Test names show a case by its name.
void PrintTo(const SharedCase& aCase, std::ostream* aOut) { *aOut << aCase.name; }

const std::string kBanner = "Hello, this is xlate, a front end to a translation library.";

std::string Utf16(const std::u16string& aText) { return Utf16Bytes(aText); }

std::string Letters(std::size_t aCount) {
  std::string out;
  for (std::size_t i = 0; i < aCount; ++i) out += static_cast<char>('a' + i % 26);
  return out;
}

// A row run in the unix style (XLATE_STYLE=unix).
SharedCase UnixRow(std::string aName, std::vector<std::string> aArguments, std::string aOut,
                   std::string aErr, int aExitCode, std::vector<FileBytes> aInputs = {},
                   std::vector<FileBytes> aOutputs = {}, std::string aStdin = {}) {
  SharedCase row{std::move(aName), std::move(aArguments), std::move(aOut), std::move(aInputs),
                 std::move(aOutputs)};
  row.environment["XLATE_STYLE"] = "unix";
  row.err = std::move(aErr);
  row.exitCode = aExitCode;
  row.stdinText = std::move(aStdin);
  return row;
}

// The same row in the classic style.
SharedCase ClassicRow(SharedCase aRow) {
  aRow.environment.erase("XLATE_STYLE");
  return aRow;
}

// The unix style, each rule beside the classic style's answer to the same
// command: LF and no UTF-8 mark, errors as one line on standard error with
// an exit code, unknown names and codings refused, failed lines kept.
std::vector<SharedCase> UnixStyleCases() {
  const std::string coding = "(ANSI, UTF8, UNICODE, OEM)";
  const std::vector<FileBytes> failing = {{"in.txt", "one\n@fail 7 bad\n"}};
  std::vector<SharedCase> rows = {
      UnixRow("UnixLinesEndWithLf", {"TEXT=x"}, "[en>en] x\n", "", 0),
      UnixRow("UnixStandardInputToStandardOutput",
              {"IFILE=-", "OFILE=-", "ICODING=UTF8", "OCODING=UTF8", "LANGTO=es"},
              "[en>es] La casa\n[en>es] es\n", "", 0, {}, {}, "La casa\nes\n"),
      ClassicRow(UnixRow("ClassicStandardInputToStandardOutput",
                         {"IFILE=-", "OFILE=-", "ICODING=UTF8", "OCODING=UTF8", "LANGTO=es"},
                         "\xEF\xBB\xBF[en>es] La casa\r\n[en>es] es\r\n", "", 0, {}, {},
                         "La casa\nes\n")),
      UnixRow("UnixUtf8FileHasNoMark", {"IFILE=in.txt", "OFILE=out.txt", "ICODING=UTF8"}, "", "", 0,
              {{"in.txt", "\xEF\xBB\xBFone\r\ntwo"}}, {{"out.txt", "[en>en] one\n[en>en] two\n"}}),
      UnixRow("UnixUnicodeFileKeepsItsMark",
              {"IFILE=in.txt", "OFILE=out.txt", "ICODING=UTF8", "OCODING=UNICODE"}, "", "", 0,
              {{"in.txt", "\xEF\xBB\xBFone\n"}},
              {{"out.txt", "\xFF\xFE" + Utf16(u"[en>en] one\n")}}),
      UnixRow("UnixListIntoAFile", {"DO=LIST", "OFILE=langs.txt", "OCODING=UTF8"}, "", "", 0, {},
              {{"langs.txt", "en English\nde German\nfr French\n"}}),
      UnixRow("UnixMissingFileIsOneLineOnStandardError", {"IFILE=missing.txt", "OFILE=-"}, "",
              "xlate: File \"missing.txt\" not found\n", 2),
      {"ClassicMissingFileIsReportedOnStandardOutput",
       {"IFILE=missing.txt", "OFILE=-"},
       ReportFor("File \"missing.txt\" not found")},
      UnixRow("UnixUnknownNameIsAnError", {"LANGFORM=es", "TEXT=x"}, "",
              "xlate: LANGFORM= is not a parameter; did you mean LANGFROM=?\n", 2),
      {"ClassicUnknownNameIsAWarning",
       {"LANGFORM=es", "TEXT=x"},
       "[en>en] x\r\n",
       {},
       {},
       {},
       {},
       {},
       "xlate: LANGFORM= is not a parameter; did you mean LANGFROM=?\r\n"},
      UnixRow("UnixNameInTheWrongCaseIsAnError", {"text=x"}, "",
              "xlate: text= is not TEXT= (names are upper case); it stops TEXT from taking its "
              "default\n",
              2),
      UnixRow("UnixAParameterWithoutAValueIsAnError", {"hello"}, "",
              "xlate: hello is not a parameter (NAME=VALUE; --help lists them)\n", 2),
      UnixRow("UnixCodingThatIsNoKeywordIsAnError", {"OCODING=utf8", "TEXT=x"}, "",
              "xlate: OCODING=utf8 is not a coding " + coding + "\n", 2),
      {"ClassicCodingThatIsNoKeywordPrintsAnEmptyLine",
       {"OCODING=utf8", "TEXT=x"},
       "\r\n",
       {},
       {},
       {},
       {},
       {},
       "xlate: OCODING=utf8 is not a coding " + coding + "\r\n"},
      UnixRow("UnixAnErrorOfTheLibraryIsOneLine", {"TEXT=@fail 7 bad"}, "",
              "xlate: Can't get translation of text \"@fail 7 bad\" because of \"bad\"\n", 2),
      UnixRow("UnixAFailedLineKeepsItsText", {"IFILE=in.txt", "OFILE=out.txt", "OCODING=UTF8"}, "",
              "xlate: line 2: Can't get translation of text \"@fail 7 bad\" because of \"bad\"\n"
              "xlate: 1 of 2 lines failed; it stands untranslated in the output\n",
              3, failing, {{"out.txt", "[en>en] one\n@fail 7 bad\n"}}),
      {"ClassicAFailedLineHoldsItsMessage",
       {"IFILE=in.txt", "OFILE=out.txt", "OCODING=UTF8"},
       "",
       failing,
       {{"out.txt",
         "\xEF\xBB\xBF[en>en] one\r\n"
         "Can't get translation of text \"@fail 7 bad\" because of \"bad\"\r\n"}},
       {},
       {},
       {},
       "1 of 2 lines failed; its message stands in the output\r\n"},
      UnixRow("UnixPairsWithoutTheirEntryPointIsAnError", {"--pairs"}, "",
              "xlate: The translation library does not list the directions it translates; DO=LIST "
              "lists its languages\n",
              2),
      {"ClassicPairsWithoutTheirEntryPointIsReported",
       {"--pairs"},
       ReportFor("The translation library does not list the directions it translates; DO=LIST "
                 "lists its languages")},
  };
  // More failed lines than a screenful: the first twenty by number, then
  // how many more.
  std::string many;
  std::string kept;
  std::string listed;
  for (int i = 1; i <= 23; ++i) {
    many += "@fail 7 e" + std::to_string(i) + "\n";
    if (i <= 20) {
      listed += "xlate: line " + std::to_string(i) + ": Can't get translation of text \"@fail 7 e" +
                std::to_string(i) + "\" because of \"e" + std::to_string(i) + "\"\n";
    }
  }
  rows.push_back(UnixRow("UnixFailedLinesAreListedUpToAScreenful",
                         {"IFILE=many.txt", "OFILE=out.txt", "OCODING=UTF8"}, "",
                         listed + "xlate: ... and 3 more\n"
                                  "xlate: 23 of 23 lines failed; they stand untranslated in the "
                                  "output\n",
                         3, {{"many.txt", many}}, {{"out.txt", many}}));
  return rows;
}

// Parameters, defaults, the console codings of a US system (1252 and 437)
// and the messages of the translation service.
std::vector<SharedCase> UsCases() {
  const std::string banner = "\r\n" + kBanner + "\r\n\r\n" + UsageFor(kProgramName);
  const std::string list = "en English\r\nde German\r\nfr French\r\n";
  std::vector<SharedCase> cases = {
      {"NoParametersPrintTheBanner", {}, banner},
      {"AnEmptyParameterCountsAsNone", {""}, banner},
      // A help word among other parameters, as anything else without "=",
      // sets nothing (a help word alone: EndToEnd.HelpNamesEveryParameter).
      {"HelpAmongOtherParametersSetsNothing", {"--help", "TEXT=x"}, "[en>en] x\r\n"},
      {"AParameterThatSetsNothingTranslatesTheDefaultText",
       {"hello"},
       "[en>en] " + kBanner + "\r\n"},
      {"AnEmptyTextGivesTheDefaultText", {"TEXT="}, "[en>en] " + kBanner + "\r\n"},
      {"AnEmptyTaskGivesTranslate", {"DO=", "TEXT=x"}, "[en>en] x\r\n"},
      {"TheTaskIsUpperCase", {"DO=list"}, ReportFor("Unknown task type")},
      // Warnings on standard error tell what a mistyped name does; standard
      // output stays as it was.
      {"ANameInTheWrongCaseBlocksTheDefault",
       {"do=LIST"},
       ReportFor("Unknown task type"),
       {},
       {},
       {},
       {},
       {},
       "xlate: do= is not DO= (names are upper case); it stops DO from taking its default\r\n"},
      {"AnUnknownTask", {"DO=FOO"}, ReportFor("Unknown task type")},
      {"TwoUnknownCodings",
       {"ICODING=X", "OCODING=Y"},
       ReportFor("Unknown coding type"),
       {},
       {},
       {},
       {},
       {},
       "xlate: ICODING=X is not a coding (ANSI, UTF8, UNICODE, OEM)\r\n"
       "xlate: OCODING=Y is not a coding (ANSI, UTF8, UNICODE, OEM)\r\n"},
      {"LanguagesReachTheLibrary", {"TEXT=Hello", "LANGFROM=fr", "LANGTO=de"}, "[fr>de] Hello\r\n"},
      {"ALanguageNameInTheWrongCaseLeavesItEmpty",
       {"langfrom=de", "TEXT=x", "text=y"},
       "[>en] x\r\n",
       {},
       {},
       {},
       {},
       {},
       "xlate: langfrom= is not LANGFROM= (names are upper case); it stops LANGFROM from taking "
       "its default\r\n"
       "xlate: text= is not TEXT= (names are upper case); it is ignored\r\n"},
      // The closest of the nine names, when one is close.
      {"AnUnknownNameIsIgnored",
       {"TEXT=x", "LANGOT=es", "IFLE=in.txt", "colour=red"},
       "[en>en] x\r\n",
       {},
       {},
       {"in.txt."},
       {},
       {},
       "xlate: LANGOT= is not a parameter; did you mean LANGTO=?\r\n"
       "xlate: IFLE= is not a parameter; did you mean IFILE=?\r\n"
       "xlate: colour= is not a parameter\r\n"},
      {"TheLastOfTwoNamesWinsAndTheFirstBlocksTheDefault",
       {"LANGTO=de", "TEXT=x", "LANGTO="},
       "[en>] x\r\n"},
      {"AValueMayHoldEqualSigns", {"TEXT=a=b"}, "[en>en] a=b\r\n"},
      {"AValueMayHoldBlanks", {"TEXT=Good morning", "LANGTO=de"}, "[en>de] Good morning\r\n"},
      {"TheDefaultOutputIsTheOemCodePage", {"TEXT=gr\xFC\xDF"}, "[en>en] gr\x81\xE1\r\n"},
      {"ACharacterTheOemCodePageLacksBecomesAQuestionMark", {"TEXT=\x80"}, "[en>en] ?\r\n"},
      {"Utf8InAndOut",
       {"TEXT=\xC3\xBC\xE2\x82\xAC", "OCODING=UTF8"},
       "[en>en] \xC3\xBC\xE2\x82\xAC\r\n"},
      // Both platforms decode these malformed sequences to one U+FFFD each.
      {"MalformedUtf8BecomesReplacementCharacters",
       {"TEXT=a\xC3", "ICODING=UTF8", "OCODING=UTF8"},
       "[en>en] a\xEF\xBF\xBD\r\n"},
      {"StrayUtf8ContinuationBytes",
       {"TEXT=\x80\xBF", "ICODING=UTF8"},
       "[en>en] \xEF\xBF\xBD\xEF\xBF\xBD\r\n"},
      {"UnicodeOnTheConsoleIsTheAnsiCodePage",
       {"TEXT=\xFC\x80", "OCODING=UNICODE"},
       "[en>en] \xFC\x80\r\n"},
      {"OemInputIsReadThroughTheAnsiCodePage",
       {"TEXT=\x81\xE1", "ICODING=OEM", "OCODING=ANSI"},
       "[en>en] \xFC\xDF\r\n"},
      // A-macron, l-stroke, an en space and a CJK character, which has no
      // best fit; the OEM output goes through the ANSI code page, where
      // S-caron takes the best fit of 437.
      {"CharactersTheAnsiCodePageLacksTakeItsBestFit",
       {"TEXT=\xC4\x80\xC5\x82\xE2\x80\x82\xE4\xB8\xAD", "ICODING=UTF8", "OCODING=ANSI"},
       "[en>en] Al ?\r\n"},
      {"CharactersTheOemCodePageLacksTakeItsBestFit",
       {"TEXT=\xC4\x80\xC5\x82\xE2\x80\x82\xE4\xB8\xAD\xC5\xA0", "ICODING=UTF8", "OCODING=OEM"},
       "[en>en] Al ?S\r\n"},
      // Alpha, Gamma and infinity of 437 are not in 1252.
      {"OemInputTakesTheBestFitOfTheAnsiCodePage",
       {"TEXT=\xE0\xE2\xEC", "ICODING=OEM", "OCODING=UTF8"},
       "[en>en] aG8\r\n"},
      // The TEXT value in UTF-8 holds a Cyrillic letter, which the ANSI
      // messages show as "?"; the library's error text is ANSI bytes,
      // which come back as they were.
      {"MessagesAreWrittenInTheAnsiCodePage",
       {"TEXT=@fail 7 \xD0\x96", "ICODING=UTF8"},
       ReportFor("Can't get translation of text \"@fail 7 ?\" because of \"\xD0\x96\"")},
      {"TheListHasOneLanguagePerLine", {"DO=LIST"}, list},
      {"AListWithoutCodingGivesEmptyLines",
       {"DO=LIST", "OCODING=UTF-8"},
       "\r\n\r\n\r\n",
       {},
       {},
       {},
       {},
       {},
       "xlate: OCODING=UTF-8 is not a coding (ANSI, UTF8, UNICODE, OEM)\r\n"},
      {"ListNamesGoOutInTheOutputCoding",
       {"DO=LIST"},
       "en English\r\nfr Fran\x87"
       "ais\r\n",
       {},
       {},
       {},
       {{"ZTA_DOUBLE_LANGUAGES",
         "en English\nfr Fran\xC3\xA7"
         "ais"}}},
      {"ALibraryFailure",
       {"TEXT=@fail 7 short message"},
       ReportFor("Can't get translation of text \"@fail 7 short message\" because of \"short "
                 "message\"")},
      {"AFailingErrorTextEndsInTheLastCode",
       {"TEXT=@errchain"},
       ReportFor("Can't get error text because of error code = 11")},
      {"ALongErrorTextComesThroughTheGrowingBuffer",
       {"TEXT=@bigerror"},
       ReportFor("Can't get translation of text \"@bigerror\" because of \"" +
                 std::string(2990, 'e') + " big error\"")},
      {"ALongResultComesThroughTheGrowingBuffer", {"TEXT=@size 5000"}, Letters(5000) + "\r\n"},
      {"TooSmallIsRetried", {"TEXT=@busy 3"}, "busy done\r\n"},
      {"OnlyTheLowByteOfAResultCounts",
       {"TEXT=@falselow"},
       ReportFor("Can't get translation of text \"@falselow\" because of \"low byte false\"")},
      {"HighBitsOfATrueResultDoNotMatter", {"TEXT=@truehigh"}, "high bits true\r\n"},

      // File mode.
      {"Utf8WithMarkIntoUtf16WithMark",
       {"IFILE=notes.txt", "LANGFROM=en", "LANGTO=es", "ICODING=UTF8", "OCODING=UNICODE"},
       "",
       {{"notes.txt", "\xEF\xBB\xBFGood morning\r\nSee you \xE2\x82\xAC"}},
       {{"notes.txt.es",
         "\xFF\xFE" + Utf16(u"[en>es] Good morning\r\n[en>es] See you \u20ac\r\n")}}},
      {"TheOutputNameIsDerivedFromTheInput",
       {"IFILE=a.txt", "LANGTO=de", "OCODING=ANSI"},
       "",
       {{"a.txt", "x"}},
       {{"a.txt.de", "[en>de] x\r\n"}}},
      {"TheInputNameIsDerivedFromTheOutput",
       {"OFILE=b.txt", "LANGFROM=fr", "OCODING=ANSI"},
       "",
       {{"b.txt.fr", "y"}},
       {{"b.txt", "[fr>en] y\r\n"}}},
      {"Utf8WithoutAMarkLosesNothing",
       {"IFILE=plain.txt", "OFILE=out.txt", "ICODING=UTF8"},
       "",
       {{"plain.txt", "abc\ndef"}},
       {{"out.txt", "\xEF\xBB\xBF[en>en] abc\r\n[en>en] def\r\n"}}},
      {"EveryLineBreakEndsALineAndTheLastGetsOne",
       {"IFILE=in.txt", "OFILE=out.txt", "OCODING=ANSI"},
       "",
       {{"in.txt", "a\r\nb\rc\n\rd"}},
       {{"out.txt", "[en>en] a\r\n[en>en] b\r\n[en>en] c\r\n[en>en] \r\n[en>en] d\r\n"}}},
      // One line in, one line out: each line break inside a message or a
      // translation becomes a space. Standard error tells of the failures.
      {"FailingLinesCarryTheirMessage",
       {"IFILE=in.txt", "OFILE=out.txt", "OCODING=ANSI"},
       "",
       {{"in.txt", "one\n@fail 7 bad line\n@fail 8 a\\r\\nb\\rc\\nd\n@echo e\\r\\nf\nfive"}},
       {{"out.txt",
         "[en>en] one\r\n"
         "Can't get translation of text \"@fail 7 bad line\" because of \"bad line\"\r\n"
         "Can't get translation of text \"@fail 8 a\\r\\nb\\rc\\nd\" because of \"a b c d\"\r\n"
         "e f\r\n"
         "[en>en] five\r\n"}},
       {},
       {},
       {},
       "2 of 5 lines failed; their messages stand in the output\r\n"},
      {"AnOemFileTakesTheBestFit",
       {"IFILE=in.txt", "OFILE=out.txt", "ICODING=UTF8", "OCODING=OEM"},
       "",
       {{"in.txt", "\xC4\x80\xC5\x82\xC3\x80 \xE4\xB8\xAD\r\n"}},
       {{"out.txt", "[en>en] AlA ?\r\n"}}},
      {"AnEmptyUtf16InputGivesOnlyTheMark",
       {"IFILE=empty.txt", "OFILE=out.txt", "ICODING=UNICODE"},
       "",
       {{"empty.txt", ""}},
       {{"out.txt", "\xFF\xFE"}}},
      {"AnEmptyInputIntoAnsiGivesAnEmptyFile",
       {"IFILE=empty.txt", "OFILE=out.txt", "OCODING=ANSI"},
       "",
       {{"empty.txt", ""}},
       {{"out.txt", ""}}},
      {"AnOddLastByteOfUtf16BecomesAReplacementCharacter",
       {"IFILE=in.txt", "OFILE=out.txt", "ICODING=UNICODE", "OCODING=UTF8"},
       "",
       {{"in.txt", "\xFF\xFE" + Utf16(u"ab") + "c"}},
       {{"out.txt", "\xEF\xBB\xBF[en>en] ab\xEF\xBF\xBD\r\n"}}},
      // A file is never read or written without a coding.
      {"AnUnknownInputCodingLeavesTheFileAsItWas",
       {"IFILE=a.txt", "OFILE=a.txt", "ICODING=utf8"},
       ReportFor("Unknown coding type"),
       {{"a.txt", "text"}},
       {{"a.txt", "text"}},
       {},
       {},
       {},
       "xlate: ICODING=utf8 is not a coding (ANSI, UTF8, UNICODE, OEM)\r\n"},
      {"AnUnknownListCodingLeavesTheFileAsItWas",
       {"DO=LIST", "OFILE=x", "OCODING=utf8"},
       ReportFor("Unknown coding type"),
       {{"x", "keep"}},
       {{"x", "keep"}},
       {},
       {},
       {},
       "xlate: OCODING=utf8 is not a coding (ANSI, UTF8, UNICODE, OEM)\r\n"},
      // NULs to the end of the file are padding; text after a NUL is most
      // likely the wrong ICODING, and nothing is written.
      {"TrailingNulsArePadding",
       {"IFILE=in.txt", "OFILE=out.txt", "OCODING=ANSI"},
       "",
       {{"in.txt", std::string("one\r\n\0\0\0", 8)}},
       {{"out.txt", "[en>en] one\r\n"}}},
      {"TextAfterANulIsAnError",
       {"IFILE=in.txt", "OFILE=out.txt", "ICODING=UTF8"},
       ReportFor("File \"in.txt\" holds a NUL character in line 1 followed by more text; is "
                 "ICODING right?"),
       {{"in.txt", "\xFF\xFE" + Utf16(u"one\r\ntwo\r\n")}, {"out.txt", "old"}},
       {{"out.txt", "old"}}},
      {"TheSameFileGivenTwiceIsTranslatedInPlace",
       {"IFILE=book.txt", "OFILE=book.txt", "OCODING=ANSI"},
       "",
       {{"book.txt", "one\r\ntwo"}},
       {{"book.txt", "[en>en] one\r\n[en>en] two\r\n"}}},
      {"TheLanguageListIntoAFile",
       {"DO=LIST", "OFILE=langs.txt", "OCODING=UTF8"},
       "",
       {},
       {{"langs.txt",
         "\xEF\xBB\xBF"
         "en English\r\nde German\r\nfr French\r\n"}}},
      // The file written beside the output fits wherever its name fits.
      {"AnOutputNameOfTheLongestLengthIsReplaced",
       {"IFILE=in.txt", "OFILE=" + std::string(255, 'n'), "OCODING=ANSI"},
       "",
       {{"in.txt", "x"}, {std::string(255, 'n'), "old"}},
       {{std::string(255, 'n'), "[en>en] x\r\n"}}},
      {"ALanguageCodeWithAPathSeparatorMakesNoOutputName",
       {"IFILE=a.txt", "LANGTO=x/../y"},
       ReportFor("LANGTO \"x/../y\" holds a path separator and cannot be part of the output file "
                 "name; give OFILE"),
       {{"a.txt", "x"}},
       {},
       {"y"},
       {},
       {"a.txt.x"}},
      {"AMissingInput",
       {"IFILE=nothing.txt"},
       ReportFor("File \"nothing.txt\" not found"),
       {},
       {},
       {"nothing.txt.", "nothing.txt.en"}},
      {"AFolderIsNoInput",
       {"IFILE=dir", "OFILE=out.txt"},
       ReportFor("File \"dir\" not found; it is a folder, not a file"),
       {},
       {},
       {"out.txt"},
       {},
       {"dir"}},
  };
  const std::vector<SharedCase> unix = UnixStyleCases();
  cases.insert(cases.end(), unix.begin(), unix.end());
  return cases;
}

// "grüße €" in each coding of a German system (1252 and 850), read and
// written in every pair of codings; 850 has no euro sign.
std::vector<SharedCase> GermanCases() {
  struct Coding {
    const char* word;
    std::string bytes;  // the line without its mark and line break
    std::string mark;
    std::string lineBreak;
  };
  const Coding codings[] = {
      {"ANSI",
       "gr\xFC\xDF"
       "e \x80",
       "", "\r\n"},
      {"OEM",
       "gr\x81\xE1"
       "e ?",
       "", "\r\n"},
      {"UTF8",
       "gr\xC3\xBC\xC3\x9F"
       "e \xE2\x82\xAC",
       "\xEF\xBB\xBF", "\r\n"},
      {"UNICODE", Utf16(u"gr\u00fc\u00dfe \u20ac"), "\xFF\xFE", Utf16(u"\r\n")},
  };
  // What OEM input lost, the euro sign, stays lost.
  const std::map<std::string, std::string> fromOem = {
      {"ANSI",
       "gr\xFC\xDF"
       "e ?"},
      {"OEM",
       "gr\x81\xE1"
       "e ?"},
      {"UTF8",
       "gr\xC3\xBC\xC3\x9F"
       "e ?"},
      {"UNICODE", Utf16(u"gr\u00fc\u00dfe ?")},
  };
  std::vector<SharedCase> cases = {
      {"TranslationsGoOutInTheOemCodePage",
       {"TEXT=gr\xFC\xDF", "LANGTO=de"},
       "[en>de] gr\x81\xE1\r\n"},
      {"ListNamesGoOutInTheOemCodePage",
       {"DO=LIST"},
       "en English\r\nfr Fran\x87"
       "ais\r\n",
       {},
       {},
       {},
       {{"ZTA_DOUBLE_LANGUAGES",
         "en English\r\nfr Fran\xC3\xA7"
         "ais"}}},
  };
  for (const Coding& in : codings) {
    for (const Coding& out : codings) {
      const bool oemIn = std::string(in.word) == "OEM";
      const std::string prefix =
          std::string(out.word) == "UNICODE" ? Utf16(u"[en>en] ") : "[en>en] ";
      cases.push_back({std::string(in.word) + "To" + out.word,
                       {"IFILE=in.txt", "OFILE=out.txt", std::string("ICODING=") + in.word,
                        std::string("OCODING=") + out.word},
                       "",
                       {{"in.txt", in.mark + in.bytes + in.lineBreak}},
                       {{"out.txt", out.mark + prefix + (oemIn ? fromOem.at(out.word) : out.bytes) +
                                        out.lineBreak}}});
    }
  }
  return cases;
}

// Russian (1251 and 866) and Polish (1250 and 852) systems.
std::vector<SharedCase> RussianCases() {
  return {
      {"TranslationsGoOutInTheOemCodePage", {"TEXT=\xC6", "LANGTO=ru"}, "[en>ru] \x86\r\n"},
      {"AnAnsiFileIntoOem",
       {"IFILE=in.txt", "OFILE=out.txt", "ICODING=ANSI", "OCODING=OEM"},
       "",
       {{"in.txt", "\xC6\xE6\r\n"}},
       {{"out.txt", "[en>en] \x86\xA6\r\n"}}},
      {"Utf8IntoAnsi", {"TEXT=\xD0\x96", "ICODING=UTF8", "OCODING=ANSI"}, "[en>en] \xC6\r\n"},
  };
}

std::vector<SharedCase> PolishCases() {
  return {
      {"TranslationsGoOutInTheOemCodePage", {"TEXT=\xB3", "LANGTO=pl"}, "[en>pl] \x88\r\n"},
  };
}

class SharedEndToEnd : public ::testing::TestWithParam<SharedCase> {
 protected:
  // The locale is the name of the group, with its last "_" as the dot.
  static std::string Locale() {
    std::string group = ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name();
    group = group.substr(0, group.find('/'));
    group[group.rfind('_')] = '.';
    return group;
  }
};

TEST_P(SharedEndToEnd, Run) {
  const SharedCase& c = GetParam();
  TProgramFolder folder;
  for (const std::string& name : c.folders) fs::create_directory(folder.File(name));
  for (const FileBytes& file : c.inputs) WriteFileBytes(folder.File(file.name), file.bytes);
  TProcessOptions options;
  options.Environment = c.environment;
  options.Input = c.stdinText;
  TProcessResult r = folder.Run(c.arguments, Locale(), options);
  EXPECT_EQ(r.ExitCode, c.exitCode);
  EXPECT_EQ(r.Out, c.out);
  EXPECT_EQ(r.Err, c.err);
  for (const FileBytes& file : c.outputs) {
    ASSERT_TRUE(fs::exists(folder.File(file.name))) << file.name;
    EXPECT_EQ(ReadFileBytes(folder.File(file.name)), file.bytes) << file.name;
  }
  for (const std::string& name : c.absent) EXPECT_FALSE(fs::exists(folder.File(name))) << name;
  // Outputs are written beside their target and moved into place: nothing
  // of that is left.
  for (const auto& entry : fs::directory_iterator(folder.Path())) {
    EXPECT_EQ(entry.path().filename().string().find(".xlate-"), std::string::npos)
        << entry.path().filename().string();
  }
}

std::string NameOf(const ::testing::TestParamInfo<SharedCase>& aInfo) { return aInfo.param.name; }

INSTANTIATE_TEST_SUITE_P(en_US_CP1252, SharedEndToEnd, ::testing::ValuesIn(UsCases()), NameOf);
INSTANTIATE_TEST_SUITE_P(de_DE_CP1252, SharedEndToEnd, ::testing::ValuesIn(GermanCases()), NameOf);
INSTANTIATE_TEST_SUITE_P(ru_RU_CP1251, SharedEndToEnd, ::testing::ValuesIn(RussianCases()), NameOf);
INSTANTIATE_TEST_SUITE_P(pl_PL_CP1250, SharedEndToEnd, ::testing::ValuesIn(PolishCases()), NameOf);

}  // namespace
}  // namespace xlate
