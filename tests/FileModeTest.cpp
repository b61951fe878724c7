#include <gtest/gtest.h>

#include <cstring>

#include "app/filemode/InputFile.h"
#include "app/filemode/Progress.h"
#include "common/Utf8.h"
#include "tests/ProgramTest.h"

namespace xlate {
namespace {

using FileModeTest = ProgramTest;

std::string Utf16(const std::u16string& aText) { return Utf16Bytes(aText); }

TEST_F(FileModeTest, TranslatesEveryLineOnItsOwnIntoUtf16WithItsMark) {
  File(u"notes.txt") = "\xEF\xBB\xBFGood morning\r\n\r\ngr\xC3\xBC\xC3\x9F";
  EXPECT_EQ(Run({u"IFILE=notes.txt", u"LANGTO=es", u"ICODING=UTF8", u"OCODING=UNICODE"}), 0);
  EXPECT_EQ(platform.stdOut, "");
  EXPECT_EQ(File(u"notes.txt.es"),
            "\xFF\xFE" + Utf16(u"[en>es] Good morning\r\n[en>es] \r\n[en>es] gr\u00fc\u00df\r\n"));
  // Empty lines go to the library too.
  EXPECT_EQ(TranslateCalls(), 3u);
}

TEST_F(FileModeTest, EachCodingIsReadAndWrittenWithItsBytes) {
  struct Case {
    const char16_t* coding;
    std::string in;   // "gr\u00fc\u00df" in the coding, with its mark
    std::string out;  // the translation, with the mark the writer adds
  };
  for (const Case& c : {
           Case{u"ANSI", "gr\xFC\xDF", "[en>en] gr\xFC\xDF\r\n"},
           Case{u"OEM", "gr\x81\xE1", "[en>en] gr\x81\xE1\r\n"},
           Case{u"UTF8", "\xEF\xBB\xBFgr\xC3\xBC\xC3\x9F",
                "\xEF\xBB\xBF[en>en] gr\xC3\xBC\xC3\x9F\r\n"},
           Case{u"UNICODE", "\xFF\xFE" + Utf16(u"gr\u00fc\u00df"),
                "\xFF\xFE" + Utf16(u"[en>en] gr\u00fc\u00df\r\n")},
       }) {
    File(u"in") = c.in;
    EXPECT_EQ(Run({u"IFILE=in", u"OFILE=out", Text(u"ICODING=") + c.coding}), 0);
    EXPECT_EQ(File(u"out"), c.out) << U8(c.coding);
  }
}

TEST_F(FileModeTest, AMarkIsDroppedOnlyWhenItIsThere) {
  TStringList lines;
  DecodeFileBytes(ctUTF8, "abc\r\ndef", lines);
  EXPECT_EQ(lines.Lines(), (std::vector<Text>{u"abc", u"def"}));
  DecodeFileBytes(ctUTF8, "\xEF\xBB\xBF", lines);
  EXPECT_EQ(lines.Count(), 0u);
  TStringList units;
  DecodeFileBytes(ctUNICODE, Utf16(u"ab\nc"), units);
  EXPECT_EQ(units.Lines(), (std::vector<Text>{u"ab", u"c"}));
  // Seven bytes: three units, the mark dropped, the odd byte ignored.
  TStringList seven;
  DecodeFileBytes(ctUNICODE,
                  std::string("\xFF\xFE"
                              "a\0b\0X",
                              7),
                  seven);
  EXPECT_EQ(seven.Lines(), (std::vector<Text>{u"ab"}));
  TStringList one;
  DecodeFileBytes(ctUNICODE, "a", one);
  EXPECT_EQ(one.Count(), 0u);
  // Short UTF-8 files without a mark keep every byte.
  for (const char* shortFile : {"a", "ab", "abc"}) {
    TStringList kept;
    DecodeFileBytes(ctUTF8, shortFile, kept);
    EXPECT_EQ(kept.Lines(), (std::vector<Text>{DecodeUtf8(shortFile, std::strlen(shortFile))}));
  }
  TStringList partOfAMark;
  DecodeFileBytes(ctUTF8, "\xEF\xBB", partOfAMark);
  EXPECT_EQ(partOfAMark.Lines(), (std::vector<Text>{u"\uFFFD"}));
  // A mark that is not at the start is text.
  TStringList inner;
  DecodeFileBytes(ctUTF8, "a\xEF\xBB\xBF", inner);
  EXPECT_EQ(inner.Lines(), (std::vector<Text>{u"a\uFEFF"}));
}

TEST_F(FileModeTest, LineBreaksAndNulInFiles) {
  TStringList lines;
  DecodeFileBytes(ctANSI, std::string("a\rb\n\rc\r\nd\0e\r\nf", 14), lines);
  EXPECT_EQ(lines.Lines(), (std::vector<Text>{u"a", u"b", u"", u"c", u"d"}));
  TStringList nul;
  DecodeFileBytes(ctOEM, std::string("\0", 1), nul);
  EXPECT_EQ(nul.Count(), 0u);
  DecodeFileBytes(ctANSI, std::string("a\n\0b", 4), nul);
  EXPECT_EQ(nul.Lines(), (std::vector<Text>{u"a"}));
  TStringList units;
  DecodeFileBytes(ctUNICODE, Utf16(std::u16string(u"x\r\ny\0z", 6)), units);
  EXPECT_EQ(units.Lines(), (std::vector<Text>{u"x", u"y"}));
  // A malformed UTF-8 sequence before a line break does not swallow it.
  TStringList malformed;
  DecodeFileBytes(ctUTF8, "a\xE2\x82\nb", malformed);
  EXPECT_EQ(malformed.Lines(), (std::vector<Text>{u"a\uFFFD", u"b"}));
}

TEST_F(FileModeTest, AFailingLineCarriesItsMessageAndTheOthersAreTranslated) {
  File(u"in") = "one\r\n@fail 7 broken\r\n@fail 8 first\\nsecond\r\nfour";
  EXPECT_EQ(Run({u"IFILE=in", u"OFILE=out", u"OCODING=ANSI"}), 0);
  EXPECT_EQ(
      File(u"out"),
      "[en>en] one\r\n"
      "Can't get translation of text \"@fail 7 broken\" because of \"broken\"\r\n"
      "Can't get translation of text \"@fail 8 first\\nsecond\" because of \"first\nsecond\"\r\n"
      "[en>en] four\r\n");
  // The message is written in the output coding like any translation.
  File(u"in") = "gr\xC3\xBC\xC3\x9F\r\n@fail 7 broken";
  EXPECT_EQ(Run({u"IFILE=in", u"OFILE=out", u"ICODING=UTF8", u"OCODING=UNICODE"}), 0);
  EXPECT_EQ(File(u"out"),
            "\xFF\xFE" + Utf16(u"[en>en] gr\u00fc\u00df\r\n"
                               u"Can't get translation of text \"@fail 7 broken\" because of "
                               u"\"broken\"\r\n"));
}

TEST_F(FileModeTest, ALongFileKeepsEveryLineInItsPlace) {
  // Many blocks of lines, failures among them, and lines that grow and
  // shrink in translation.
  std::string in, out = "\xEF\xBB\xBF";
  for (int i = 0; i < 12000; ++i) {
    const std::string n = std::to_string(i);
    if (i % 997 == 0) {
      in += "@fail 7 no " + n + "\n";
      out +=
          "Can't get translation of text \"@fail 7 no " + n + "\" because of \"no " + n + "\"\r\n";
    } else if (i % 3 == 0) {
      in += "@echo " + n + "\n";
      out += n + "\r\n";
    } else {
      in += "gr\xC3\xBC\xC3\x9F " + n + std::string(i % 50, 'x') + "\n";
      out += "[en>en] gr\xC3\xBC\xC3\x9F " + n + std::string(i % 50, 'x') + "\r\n";
    }
  }
  File(u"in") = in;
  EXPECT_EQ(Run({u"IFILE=in", u"OFILE=out", u"ICODING=UTF8"}), 0);
  EXPECT_EQ(File(u"out"), out);
  EXPECT_EQ(TranslateCalls(), 12000u);
}

TEST_F(FileModeTest, AnEmptyInputCallsNothingAndWritesOnlyTheMark) {
  for (const char16_t* coding : {u"ANSI", u"OEM", u"UTF8", u"UNICODE"}) {
    File(u"empty") = "";
    EXPECT_EQ(Run({u"IFILE=empty", u"OFILE=out", Text(u"OCODING=") + coding}), 0);
    std::string expected = Text(coding) == u"UTF8"      ? "\xEF\xBB\xBF"
                           : Text(coding) == u"UNICODE" ? "\xFF\xFE"
                                                        : "";
    EXPECT_EQ(File(u"out"), expected) << U8(coding);
  }
  EXPECT_EQ(TranslateCalls(), 0u);
}

TEST_F(FileModeTest, AnUnknownInputCodingReadsNoLines) {
  File(u"in") = "text\r\n";
  EXPECT_EQ(Run({u"IFILE=in", u"OFILE=out", u"ICODING=X"}), 0);
  EXPECT_EQ(File(u"out"), "");
  EXPECT_EQ(TranslateCalls(), 0u);
}

TEST_F(FileModeTest, MissingUnopenableAndDirectoryInputsAreReported) {
  EXPECT_EQ(Run({u"IFILE=nothing.txt", u"LANGTO=de"}), 0);
  EXPECT_EQ(platform.stdOut, Report("File \"nothing.txt\" not found"));
  platform.stdOut.clear();
  platform.files[u"dir"].directory = true;
  EXPECT_EQ(Run({u"IFILE=dir", u"OFILE=out"}), 0);
  EXPECT_EQ(platform.stdOut, Report("File \"dir\" not found"));
  platform.stdOut.clear();
  platform.files[u"held.txt"].locked = true;
  EXPECT_EQ(Run({u"IFILE=held.txt", u"OFILE=out"}), 0);
  EXPECT_EQ(platform.stdOut,
            Report("Cannot open file \"/work/held.txt\". The process cannot access the file "
                   "because it is being used by another process"));
  // No output file came into being.
  EXPECT_EQ(platform.files.count(u"out"), 0u);
  // A file removed between the existence test and the open: the open's
  // error, with the system's reason, is what the user sees.
  platform.stdOut.clear();
  platform.files[u"gone.txt"].vanishes = true;
  EXPECT_EQ(Run({u"IFILE=gone.txt", u"OFILE=out"}), 0);
  EXPECT_EQ(platform.stdOut, Report("Cannot open file \"/work/gone.txt\". The system cannot find "
                                    "the file specified"));
  EXPECT_EQ(platform.files.count(u"out"), 0u);
}

TEST_F(FileModeTest, AFailedReadWritesNoOutput) {
  File(u"in") = std::string(200000, 'a');
  File(u"out") = "precious";
  platform.readChunk = 4096;
  platform.readFailsAfter = 100000;
  EXPECT_EQ(Run({u"IFILE=in", u"OFILE=out"}), 0);
  EXPECT_EQ(platform.stdOut, Report("Stream read error"));
  EXPECT_EQ(File(u"out"), "precious");
  EXPECT_EQ(TranslateCalls(), 0u);
}

TEST_F(FileModeTest, ReadsInAnyNumberOfPieces) {
  File(u"in") = std::string(100000, 'b') + "\r\nc";
  platform.readChunk = 777;
  EXPECT_EQ(Run({u"IFILE=in", u"OFILE=out", u"OCODING=ANSI", u"LANGINIT=x"}), 0);
  EXPECT_EQ(File(u"out"), "[en>en] " + std::string(100000, 'b') + "\r\n[en>en] c\r\n");
}

TEST_F(FileModeTest, LineBreaksSplitAcrossReadsCountOnce) {
  // One byte a read: a CR LF arrives in two reads, and so does each unit.
  File(u"in") = "a\r\nb\rc\n\r\xEF";
  platform.readChunk = 1;
  EXPECT_EQ(Run({u"IFILE=in", u"OFILE=out", u"OCODING=ANSI", u"ICODING=UTF8"}), 0);
  EXPECT_EQ(File(u"out"), "[en>en] a\r\n[en>en] b\r\n[en>en] c\r\n[en>en] \r\n[en>en] ?\r\n");
  File(u"in16") = "\xFF\xFE" + Utf16(u"x\r\ny");
  EXPECT_EQ(Run({u"IFILE=in16", u"OFILE=out", u"OCODING=ANSI", u"ICODING=UNICODE"}), 0);
  EXPECT_EQ(File(u"out"), "[en>en] x\r\n[en>en] y\r\n");
}

TEST_F(FileModeTest, AFailedWriteLeavesTheOldFileAsItWas) {
  File(u"in") = "a\r\nb";
  File(u"out") = "precious";
  platform.failFileWrites = true;
  EXPECT_EQ(Run({u"IFILE=in", u"OFILE=out"}), 0);
  EXPECT_EQ(platform.stdOut, Report("Stream write error"));
  EXPECT_EQ(File(u"out"), "precious");
  // In place, the input survives a failed write.
  EXPECT_EQ(Run({u"IFILE=in", u"OFILE=in"}), 0);
  EXPECT_EQ(File(u"in"), "a\r\nb");
}

TEST_F(FileModeTest, AnOutputThatCannotBeCreatedIsReportedWithItsFullPath) {
  File(u"in") = "a";
  EXPECT_EQ(Run({u"IFILE=in", u"OFILE=missing-folder/out"}), 0);
  EXPECT_EQ(platform.stdOut, Report("Cannot create file \"/work/missing-folder/out\". The system "
                                    "cannot find the path specified"));
}

TEST_F(FileModeTest, TheSameFileGivenTwiceIsTranslatedInPlace) {
  File(u"book.txt") = "one\ntwo\n";
  EXPECT_EQ(Run({u"IFILE=book.txt", u"OFILE=book.txt", u"OCODING=ANSI"}), 0);
  EXPECT_EQ(File(u"book.txt"), "[en>en] one\r\n[en>en] two\r\n");
}

TEST_F(FileModeTest, ADerivedOutputNameThatIsTheInputIsRefused) {
  // IFILE alone derives "a.txt.", which names a.txt where trailing dots drop.
  File(u"a.txt") = "keep me";
  EXPECT_EQ(Run({u"IFILE=a.txt"}), 0);
  EXPECT_EQ(platform.stdOut, Report("Output file \"/work/a.txt.\" is the input file; give OFILE"));
  EXPECT_EQ(File(u"a.txt"), "keep me");
  EXPECT_EQ(TranslateCalls(), 0u);
  platform.stdOut.clear();
  EXPECT_EQ(Run({u"DO=LIST", u"IFILE=a.txt"}), 0);
  EXPECT_EQ(platform.stdOut, Report("Output file \"/work/a.txt.\" is the input file; give OFILE"));
  EXPECT_EQ(File(u"a.txt"), "keep me");
}

TEST_F(FileModeTest, TheLanguageListGoesIntoTheFile) {
  EXPECT_EQ(Run({u"DO=LIST", u"OFILE=langs.txt", u"OCODING=UTF8"}), 0);
  EXPECT_EQ(File(u"langs.txt"),
            "\xEF\xBB\xBF"
            "en English\r\nde German\r\nfr French\r\n");
  EXPECT_EQ(platform.stdOut, "");
  // The input file plays no part, even when it does not exist.
  EXPECT_EQ(platform.files.count(u"langs.txt.en"), 0u);
}

TEST_F(FileModeTest, ProgressShowsOnlyOnATerminalAndIsClearedAtTheEnd) {
  {
    TProgress quiet(platform, 10000, std::chrono::milliseconds(0));
    for (std::size_t i = 1; i <= 10000; ++i) quiet.LineDone(i);
  }
  EXPECT_EQ(platform.stdErr, "");
  platform.stdErrIsTerminal = true;
  {
    TProgress shortFile(platform, TProgress::kMinimumLines - 1, std::chrono::milliseconds(0));
    for (std::size_t i = 1; i < TProgress::kMinimumLines; ++i) shortFile.LineDone(i);
  }
  EXPECT_EQ(platform.stdErr, "");
  {
    TProgress progress(platform, 1000, std::chrono::milliseconds(0));
    for (std::size_t i = 1; i <= 1000; ++i) progress.LineDone(i);
  }
  EXPECT_NE(platform.stdErr.find("\r64/1000 lines (6%), "), std::string::npos);
  EXPECT_NE(platform.stdErr.find("\r960/1000 lines (96%), "), std::string::npos);
  EXPECT_EQ(platform.stdErr.substr(platform.stdErr.size() - 74),
            "\r" + std::string(72, ' ') + "\r");
}

}  // namespace
}  // namespace xlate
