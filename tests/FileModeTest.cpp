#include <gtest/gtest.h>

#include <cstring>

#include "app/filemode/FileMode.h"
#include "app/filemode/InputFile.h"
#include "app/filemode/Progress.h"
#include "common/Exception.h"
#include "common/Utf8.h"
#include "testsupport/ProgramTest.h"
#include "testsupport/ReadLines.h"

namespace xlate {
namespace {

class FileModeTest : public TProgramTest {
 protected:
  void DecodeFileBytes(TCodingType aCoding, const std::string& aBytes, TStringList& vLines,
                       const TFileWindow& aWindow = {}) {
    xlate::DecodeFileBytes(FPlatform, aCoding, aBytes, vLines, aWindow);
  }
  // The message that decoding the bytes raises, or "" when it raises none.
  Text DecodingError(TCodingType aCoding, const std::string& aBytes,
                     const TFileWindow& aWindow = {}) {
    TStringList lines;
    try {
      DecodeFileBytes(aCoding, aBytes, lines, aWindow);
    } catch (const TException& e) {
      return e.Message();
    }
    return Text();
  }
};

std::string Utf16(const std::u16string& aText) { return Utf16Bytes(aText); }

Text NulInLine(const Text& aLine) {
  return u"File \"\" holds a NUL character in line " + aLine +
         u" followed by more text; is ICODING right?";
}

TEST_F(FileModeTest, TranslatesEveryLineOnItsOwnIntoUtf16WithItsMark) {
  TFakeCallGuard guard;
  FPlatform.CallGuardPart = &guard;
  File(u"notes.txt") = "\xEF\xBB\xBFGood morning\r\n\r\ngr\xC3\xBC\xC3\x9F";
  EXPECT_EQ(Run({u"IFILE=notes.txt", u"LANGTO=es", u"ICODING=UTF8", u"OCODING=UNICODE"}), 0);
  EXPECT_EQ(FPlatform.StdOut, "");
  EXPECT_EQ(File(u"notes.txt.es"),
            "\xFF\xFE" + Utf16(u"[en>es] Good morning\r\n[en>es] \r\n[en>es] gr\u00fc\u00df\r\n"));
  // Empty lines go to the library too.
  EXPECT_EQ(TranslateCalls(), 3u);
  // Every call went through the guard, inside a run of calls that keeps the
  // library's floating-point settings, and that run ended.
  EXPECT_EQ(guard.Installs, 1);
  EXPECT_GT(guard.CallsInRuns, 0u);
  EXPECT_EQ(guard.CallsOutsideRuns, 0u);
  EXPECT_EQ(guard.RunDepth, 0);
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
  // Seven bytes: three units, the mark dropped, and the odd byte, half a
  // unit, as U+FFFD.
  TStringList seven;
  DecodeFileBytes(ctUNICODE,
                  std::string("\xFF\xFE"
                              "a\0b\0X",
                              7),
                  seven);
  EXPECT_EQ(seven.Lines(), (std::vector<Text>{u"ab\uFFFD"}));
  TStringList one;
  DecodeFileBytes(ctUNICODE, "a", one);
  EXPECT_EQ(one.Lines(), (std::vector<Text>{u"\uFFFD"}));
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
  // The mark of the other byte order: the file is read in that order, also
  // when the first read ends inside the mark or a unit.
  for (std::size_t bytes : {2, 3, 5, 1024}) {
    TStringList highFirst;
    DecodeFileBytes(ctUNICODE, std::string("\xFE\xFF\0a\0b\0\n\x20\xAC", 10), highFirst,
                    TFileWindow{bytes, 16});
    EXPECT_EQ(highFirst.Lines(), (std::vector<Text>{u"ab", u"\u20AC"})) << bytes;
  }
}

TEST_F(FileModeTest, LineBreaksAndNulInFiles) {
  TStringList lines;
  // NULs to the end of the file are padding: the first ends the text.
  DecodeFileBytes(ctANSI, std::string("a\rb\n\rc\r\nd\0\0\0", 12), lines);
  EXPECT_EQ(lines.Lines(), (std::vector<Text>{u"a", u"b", u"", u"c", u"d"}));
  TStringList nul;
  DecodeFileBytes(ctOEM, std::string("\0", 1), nul);
  EXPECT_EQ(nul.Count(), 0u);
  TStringList units;
  DecodeFileBytes(ctUNICODE, Utf16(std::u16string(u"x\r\ny\0\0", 6)) + std::string(1, '\0'), units);
  EXPECT_EQ(units.Lines(), (std::vector<Text>{u"x", u"y"}));
  // Text after a NUL is an error that names the NUL's line, whether the
  // NUL stands inside a line or at its start, and so is a UTF-16 file read
  // as UTF-8.
  EXPECT_EQ(DecodingError(ctANSI, std::string("a\rb\0c", 5)), NulInLine(u"2"));
  EXPECT_EQ(DecodingError(ctANSI, std::string("a\r\n\0\0\0 ", 7)), NulInLine(u"2"));
  EXPECT_EQ(DecodingError(ctUNICODE, Utf16(std::u16string(u"x\r\ny\0z", 6))), NulInLine(u"2"));
  EXPECT_EQ(DecodingError(ctUNICODE, Utf16(std::u16string(u"x\0", 2)) + "z"), NulInLine(u"1"));
  EXPECT_EQ(DecodingError(ctUTF8, "\xFF\xFE" + Utf16(u"ab")), NulInLine(u"1"));
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
      "Can't get translation of text \"@fail 8 first\\nsecond\" because of \"first second\"\r\n"
      "[en>en] four\r\n");
  // The message is written in the output coding like any translation.
  File(u"in") = "gr\xC3\xBC\xC3\x9F\r\n@fail 7 broken";
  EXPECT_EQ(Run({u"IFILE=in", u"OFILE=out", u"ICODING=UTF8", u"OCODING=UNICODE"}), 0);
  EXPECT_EQ(File(u"out"),
            "\xFF\xFE" + Utf16(u"[en>en] gr\u00fc\u00df\r\n"
                               u"Can't get translation of text \"@fail 7 broken\" because of "
                               u"\"broken\"\r\n"));
  // A failing line of a UTF-16 file is named as it stands, an unpaired
  // surrogate included, also after lines of its block that had none.
  File(u"in") = "\xFF\xFE" + Utf16(u"x\r\n@fail 7 broken \xDC01\r\ny");
  EXPECT_EQ(Run({u"IFILE=in", u"OFILE=out", u"ICODING=UNICODE", u"OCODING=UNICODE"}), 0);
  EXPECT_EQ(File(u"out"),
            "\xFF\xFE" + Utf16(u"[en>en] x\r\n"
                               u"Can't get translation of text \"@fail 7 broken "
                               u"\xDC01\" because of \"broken \u00EF\u00BF\u00BD\"\r\n"
                               u"[en>en] y\r\n"));
  // A translation's line breaks become spaces also where the library's
  // bytes go to the output as they are, from a UTF-8 or an ANSI file.
  for (const char16_t* coding : {u"ICODING=UTF8", u"ICODING=ANSI"}) {
    File(u"in") = "@echo e\\r\\nf\\rg\r\nh";
    EXPECT_EQ(Run({u"IFILE=in", u"OFILE=out", coding, u"OCODING=UTF8"}), 0);
    EXPECT_EQ(File(u"out"),
              "\xEF\xBB\xBF"
              "e f g\r\n[en>en] h\r\n");
    EXPECT_EQ(Run({u"IFILE=in", u"OFILE=out", coding, u"OCODING=UNICODE"}), 0);
    EXPECT_EQ(File(u"out"), "\xFF\xFE" + Utf16(u"e f g\r\n[en>en] h\r\n"));
  }
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
  EXPECT_EQ(FPlatform.StdErr, "13 of 12000 lines failed; their messages stand in the output\r\n");
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

TEST_F(FileModeTest, AnUnknownInputCodingIsReportedAndWritesNothing) {
  File(u"in") = "text\r\n";
  EXPECT_EQ(Run({u"IFILE=in", u"OFILE=in", u"ICODING=X"}), 0);
  EXPECT_EQ(FPlatform.StdOut, Report("Unknown coding type"));
  EXPECT_EQ(File(u"in"), "text\r\n");
  EXPECT_EQ(TranslateCalls(), 0u);
}

TEST_F(FileModeTest, MissingUnopenableAndDirectoryInputsAreReported) {
  EXPECT_EQ(Run({u"IFILE=nothing.txt", u"LANGTO=de"}), 0);
  EXPECT_EQ(FPlatform.StdOut, Report("File \"nothing.txt\" not found"));
  FPlatform.StdOut.clear();
  FPlatform.Entries[u"dir"].Directory = true;
  EXPECT_EQ(Run({u"IFILE=dir", u"OFILE=out"}), 0);
  EXPECT_EQ(FPlatform.StdOut, Report("File \"dir\" not found; it is a folder, not a file"));
  FPlatform.StdOut.clear();
  FPlatform.Entries[u"held.txt"].Locked = true;
  EXPECT_EQ(Run({u"IFILE=held.txt", u"OFILE=out"}), 0);
  EXPECT_EQ(FPlatform.StdOut,
            Report("Cannot open file \"/work/held.txt\". The process cannot access the file "
                   "because it is being used by another process"));
  // No output file came into being.
  EXPECT_EQ(FPlatform.Entries.count(u"out"), 0u);
  // A file removed between the existence test and the open: the open's
  // error, with the system's reason, is what the user sees.
  FPlatform.StdOut.clear();
  FPlatform.Entries[u"gone.txt"].Vanishes = true;
  EXPECT_EQ(Run({u"IFILE=gone.txt", u"OFILE=out"}), 0);
  EXPECT_EQ(FPlatform.StdOut, Report("Cannot open file \"/work/gone.txt\". The system cannot find "
                                     "the file specified"));
  EXPECT_EQ(FPlatform.Entries.count(u"out"), 0u);
}

TEST_F(FileModeTest, AFailedReadWritesNoOutput) {
  // One long line, and short lines whose blocks before the failing read
  // are translated (the file is read ahead of them) before it is reported.
  struct Row {
    std::string input;
    std::size_t translated;
  };
  std::string shortLines;
  for (int i = 0; i < 100000; ++i) shortLines += "b\n";
  // Reads of 4096 bytes succeed until 100000 bytes are read: 25 of them,
  // 2048 lines each.
  const std::size_t readBefore = (100000 / 4096 + 1) * 4096;
  const Row rows[] = {{std::string(200000, 'a'), 0}, {shortLines, readBefore / 2}};
  for (const auto& row : rows) {
    File(u"in") = row.input;
    File(u"out") = "precious";
    FPlatform.StdOut.clear();
    zta_double::Reset();
    FPlatform.ReadChunk = 4096;
    FPlatform.ReadFailsAfter = 100000;
    EXPECT_EQ(Run({u"IFILE=in", u"OFILE=out"}), 0);
    EXPECT_EQ(FPlatform.StdOut, Report("Stream read error in file \"/work/in\". Data error "
                                       "(cyclic redundancy check)"));
    EXPECT_EQ(File(u"out"), "precious");
    EXPECT_EQ(TranslateCalls(), row.translated);
  }
}

TEST_F(FileModeTest, ReadsInAnyNumberOfPieces) {
  File(u"in") = std::string(100000, 'b') + "\r\nc";
  FPlatform.ReadChunk = 777;
  EXPECT_EQ(Run({u"IFILE=in", u"OFILE=out", u"OCODING=ANSI", u"LANGINIT=x"}), 0);
  EXPECT_EQ(File(u"out"), "[en>en] " + std::string(100000, 'b') + "\r\n[en>en] c\r\n");
}

TEST_F(FileModeTest, LineBreaksSplitAcrossReadsCountOnce) {
  // One byte a read: a CR LF arrives in two reads, and so does each unit.
  File(u"in") = "a\r\nb\rc\n\r\xEF";
  FPlatform.ReadChunk = 1;
  EXPECT_EQ(Run({u"IFILE=in", u"OFILE=out", u"OCODING=ANSI", u"ICODING=UTF8"}), 0);
  EXPECT_EQ(File(u"out"), "[en>en] a\r\n[en>en] b\r\n[en>en] c\r\n[en>en] \r\n[en>en] ?\r\n");
  File(u"in16") = "\xFF\xFE" + Utf16(u"x\r\ny");
  EXPECT_EQ(Run({u"IFILE=in16", u"OFILE=out", u"OCODING=ANSI", u"ICODING=UNICODE"}), 0);
  EXPECT_EQ(File(u"out"), "[en>en] x\r\n[en>en] y\r\n");
}

TEST_F(FileModeTest, AWindowOfTheFileMayEndAnywhere) {
  // The file is held a window of bytes at a time and translated a block of
  // lines at a time. Windows of 1 to 24 bytes end inside lines, CR LF pairs,
  // UTF-8 sequences and UTF-16 units and pairs, and most are shorter than
  // some line; blocks of 1 or 2 lines end before the window does.
  const std::u16string text =
      u"ab\r\ngr\u00fc\u00df \u20ac \U0001F600\r\rlong line\n@fail 7 no\r\n";
  const std::string utf8 =
      "\xEF\xBB\xBF"
      "ab\r\ngr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80\r\rlong line\n@fail 7 no\r\n";
  const std::string utf16 = "\xFF\xFE" + Utf16(text);
  const std::vector<Text> lines = {u"ab", u"gr\u00fc\u00df \u20ac \U0001F600", u"", u"long line",
                                   u"@fail 7 no"};
  const std::string translated =
      "\xEF\xBB\xBF[en>en] ab\r\n[en>en] gr\xC3\xBC\xC3\x9F \xE2\x82\xAC "
      "\xF0\x9F\x98\x80\r\n[en>en] \r\n[en>en] long line\r\nCan't get "
      "translation of text \"@fail 7 no\" because of \"no\"\r\n";
  TdllZTA service(FPlatform, {u"en", u"en", u"en"});
  TFileTask settings;
  settings.OutFile = u"out";
  settings.OutCoding = ctUTF8;
  for (std::size_t bytes = 1; bytes <= 24; ++bytes) {
    for (std::size_t blockLines : {1, 2}) {
      const TFileWindow window{bytes, blockLines};
      for (TCodingType coding : {ctUTF8, ctUNICODE}) {
        const std::string& in = coding == ctUTF8 ? utf8 : utf16;
        TStringList decoded;
        DecodeFileBytes(coding, in, decoded, window);
        EXPECT_EQ(decoded.Lines(), lines) << bytes << " " << coding;
        // NULs to the end are padding, in any window; text after a NUL is
        // an error, found whatever windows it comes in.
        DecodeFileBytes(coding, in + std::string(coding == ctUTF8 ? 3 : 5, '\0'), decoded, window);
        EXPECT_EQ(decoded.Lines(), lines) << bytes << " " << coding;
        EXPECT_EQ(DecodingError(coding, in + std::string(30, '\0') + in, window), NulInLine(u"6"))
            << bytes << " " << coding;

        File(u"in") = in;
        settings.InFile = u"in";
        settings.InCoding = coding;
        TranslateFile(FPlatform, settings, service, window);
        EXPECT_EQ(File(u"out"), translated) << bytes << " " << coding;
      }
    }
  }
}

TEST_F(FileModeTest, AFailedWriteLeavesTheOldFileAsItWas) {
  File(u"in") = "a\r\nb";
  File(u"out") = "precious";
  FPlatform.FailFileWrites = true;
  EXPECT_EQ(Run({u"IFILE=in", u"OFILE=out"}), 0);
  EXPECT_EQ(
      FPlatform.StdOut,
      Report("Stream write error in file \"/work/out\". There is not enough space on the disk"));
  EXPECT_EQ(File(u"out"), "precious");
  // In place, the input survives a failed write.
  EXPECT_EQ(Run({u"IFILE=in", u"OFILE=in"}), 0);
  EXPECT_EQ(File(u"in"), "a\r\nb");
}

TEST_F(FileModeTest, AnOutputThatCannotBeCreatedIsReportedWithItsFullPath) {
  File(u"in") = "a";
  EXPECT_EQ(Run({u"IFILE=in", u"OFILE=missing-folder/out"}), 0);
  EXPECT_EQ(FPlatform.StdOut, Report("Cannot create file \"/work/missing-folder/out\". The system "
                                     "cannot find the path specified"));
  // A folder is refused before anything is translated.
  FPlatform.Entries[u"dir"].Directory = true;
  for (const char16_t* folder : {u"dir", u"dir/", u"/"}) {
    FPlatform.StdOut.clear();
    EXPECT_EQ(Run({u"IFILE=in", Text(u"OFILE=") + folder}), 0);
    EXPECT_EQ(FPlatform.StdOut, Report("Cannot create file \"" + U8(FPlatform.FullPath(folder)) +
                                       "\". It is a folder, not a file"));
  }
  EXPECT_EQ(TranslateCalls(), 0u);
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
  EXPECT_EQ(FPlatform.StdOut, Report("Output file \"/work/a.txt.\" is the input file; give OFILE"));
  EXPECT_EQ(File(u"a.txt"), "keep me");
  EXPECT_EQ(TranslateCalls(), 0u);
  FPlatform.StdOut.clear();
  EXPECT_EQ(Run({u"DO=LIST", u"IFILE=a.txt"}), 0);
  EXPECT_EQ(FPlatform.StdOut, Report("Output file \"/work/a.txt.\" is the input file; give OFILE"));
  EXPECT_EQ(File(u"a.txt"), "keep me");
}

TEST_F(FileModeTest, TheLanguageListGoesIntoTheFile) {
  EXPECT_EQ(Run({u"DO=LIST", u"OFILE=langs.txt", u"OCODING=UTF8"}), 0);
  EXPECT_EQ(File(u"langs.txt"),
            "\xEF\xBB\xBF"
            "en English\r\nde German\r\nfr French\r\n");
  EXPECT_EQ(FPlatform.StdOut, "");
  // The input file plays no part, even when it does not exist.
  EXPECT_EQ(FPlatform.Entries.count(u"langs.txt.en"), 0u);
}

TEST_F(FileModeTest, ProgressShowsOnlyOnATerminalAndIsClearedAtTheEnd) {
  // 1000 lines of a 2 MB file, in two blocks of 1 MB.
  auto translate = [](TProgress& aProgress) {
    for (std::uint64_t end : {1u << 20, 2u << 20}) {
      aProgress.BlockStarted(500, end);
      for (int i = 0; i < 500; ++i) aProgress.LineDone();
    }
  };
  {
    TProgress quiet(FPlatform, 2u << 20, true, std::chrono::milliseconds(0));
    translate(quiet);
  }
  EXPECT_EQ(FPlatform.StdErr, "");
  FPlatform.StdErrIsTerminal = true;
  {
    // A run shorter than the interval shows nothing.
    TProgress shortRun(FPlatform, 2u << 20, true, std::chrono::hours(1));
    translate(shortRun);
  }
  EXPECT_EQ(FPlatform.StdErr, "");
  {
    TProgress progress(FPlatform, 2u << 20, true, std::chrono::milliseconds(0));
    translate(progress);
  }
  // Lines done, and how far into the file they reach.
  EXPECT_NE(FPlatform.StdErr.find("\r64 lines, 131 KB of 2.0 MB (6%), "), std::string::npos);
  EXPECT_NE(FPlatform.StdErr.find("\r960 lines, 1.9 MB of 2.0 MB (95%), "), std::string::npos);
  EXPECT_EQ(FPlatform.StdErr.substr(FPlatform.StdErr.size() - 74),
            "\r" + std::string(72, ' ') + "\r");
  // An input without a size, such as a pipe: only what is done.
  FPlatform.StdErr.clear();
  {
    TProgress pipe(FPlatform, 0, true, std::chrono::milliseconds(0));
    translate(pipe);
  }
  EXPECT_NE(FPlatform.StdErr.find("\r960 lines, 1.9 MB, "), std::string::npos);
  EXPECT_EQ(FPlatform.StdErr.find(" left"), std::string::npos);
  // A file below 1 MB in KB, and the time left once the estimate is due
  // (at once here).
  FPlatform.StdErr.clear();
  {
    TProgress small(FPlatform, 4u << 10, true, std::chrono::milliseconds(0),
                    std::chrono::milliseconds(0));
    small.BlockStarted(500, 4u << 10);
    for (int i = 0; i < 500; ++i) small.LineDone();
  }
  EXPECT_NE(FPlatform.StdErr.find("\r64 lines, 524 B of 4.0 KB (12%), "), std::string::npos);
  EXPECT_NE(FPlatform.StdErr.find(" lines/s, 0:0"), std::string::npos);
  EXPECT_NE(FPlatform.StdErr.find(" left"), std::string::npos);
  // Standard output as the output: nothing on the terminal beside it.
  FPlatform.StdErr.clear();
  {
    TProgress beside(FPlatform, 2u << 20, false, std::chrono::milliseconds(0));
    translate(beside);
  }
  EXPECT_EQ(FPlatform.StdErr, "");
  // Nor beside an output that is a terminal by name (/dev/tty), while a
  // file shows it.
  std::string lines;
  for (int i = 0; i < 200; ++i) lines += "x\n";
  File(u"in") = lines;
  FPlatform.Entries[u"tty"].Terminal = true;
  TdllZTA service(FPlatform, {u"en", u"en", u"en"});
  TFileTask task;
  task.InFile = u"in";
  task.InCoding = task.OutCoding = ctANSI;
  TFileWindow window;
  window.ProgressEvery = std::chrono::milliseconds(0);
  for (const char16_t* output : {u"tty", u"out"}) {
    FPlatform.StdErr.clear();
    task.OutFile = output;
    TranslateFile(FPlatform, task, service, window);
    EXPECT_EQ(FPlatform.StdErr.find("\r200 lines, ") != std::string::npos, task.OutFile == u"out")
        << FPlatform.StdErr;
  }
}

}  // namespace
}  // namespace xlate
