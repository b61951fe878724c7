#include <gtest/gtest.h>

#include <filesystem>

#include "tests/EndToEnd.h"

namespace xlate {
namespace {

namespace fs = std::filesystem;

std::string Utf16(const std::u16string& aText) {
  std::string bytes;
  for (char16_t unit : aText) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

class FileModeEndToEnd : public ::testing::Test {
 protected:
  ProcessResult Run(const std::vector<std::string>& aArguments, ProcessOptions aOptions = {}) {
    return folder.Run(aArguments, "de_DE.CP1252", aOptions);
  }
  std::string Path(const std::string& aName) { return folder.File(aName); }
  std::string Read(const std::string& aName) { return ReadFileBytes(Path(aName)); }
  void Write(const std::string& aName, const std::string& aBytes) {
    WriteFileBytes(Path(aName), aBytes);
  }
  // No temporary files are left beside the outputs.
  std::vector<std::string> Leftovers() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.Path())) {
      std::string name = entry.path().filename().string();
      if (name.find(".xlate-") != std::string::npos) names.push_back(name);
    }
    return names;
  }
  ProgramFolder folder;
};

TEST_F(FileModeEndToEnd, Utf8WithMarkIntoUtf16WithMark) {
  Write("notes.txt", "\xEF\xBB\xBFGood morning\r\nSee you \xE2\x82\xAC");
  ProcessResult r =
      Run({"IFILE=notes.txt", "LANGFROM=en", "LANGTO=es", "ICODING=UTF8", "OCODING=UNICODE"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Read("notes.txt.es"),
            "\xFF\xFE" + Utf16(u"[en>es] Good morning\r\n[en>es] See you \u20ac\r\n"));
}

TEST_F(FileModeEndToEnd, EveryCodingInAndOut) {
  // "grüße €" in each coding of a German Windows (1252 and 850); 850 has no
  // euro sign.
  struct Coding {
    const char* word;
    std::string bytes;  // without a mark
    std::string mark;
  };
  const Coding codings[] = {
      {"ANSI",
       "gr\xFC\xDF"
       "e \x80",
       ""},
      {"OEM",
       "gr\x81\xE1"
       "e ?",
       ""},
      {"UTF8",
       "gr\xC3\xBC\xC3\x9F"
       "e \xE2\x82\xAC",
       "\xEF\xBB\xBF"},
      {"UNICODE", Utf16(u"gr\u00fc\u00dfe \u20ac"), "\xFF\xFE"},
  };
  const std::string prefix = "[en>en] ";
  for (const Coding& in : codings) {
    for (const Coding& out : codings) {
      Write("in.txt",
            in.mark + in.bytes + (in.word == std::string("UNICODE") ? Utf16(u"\r\n") : "\r\n"));
      ProcessResult r = Run({"IFILE=in.txt", "OFILE=out.txt", std::string("ICODING=") + in.word,
                             std::string("OCODING=") + out.word});
      ASSERT_EQ(r.out, "") << in.word << " to " << out.word;
      // What OEM input lost, the euro sign, stays lost.
      std::string expected = out.bytes;
      if (in.word == std::string("OEM")) {
        const Coding& lossy = out;
        if (lossy.word == std::string("ANSI"))
          expected =
              "gr\xFC\xDF"
              "e ?";
        if (lossy.word == std::string("UTF8"))
          expected =
              "gr\xC3\xBC\xC3\x9F"
              "e ?";
        if (lossy.word == std::string("UNICODE")) expected = Utf16(u"gr\u00fc\u00dfe ?");
      }
      std::string line = out.word == std::string("UNICODE")
                             ? Utf16(u"[en>en] ") + expected + Utf16(u"\r\n")
                             : prefix + expected + "\r\n";
      EXPECT_EQ(Read("out.txt"), out.mark + line) << in.word << " to " << out.word;
    }
  }
}

TEST_F(FileModeEndToEnd, Utf8WithoutAMarkLosesNothing) {
  Write("plain.txt", "abc\ndef");
  Run({"IFILE=plain.txt", "OFILE=out.txt", "ICODING=UTF8"});
  EXPECT_EQ(Read("out.txt"), "\xEF\xBB\xBF[en>en] abc\r\n[en>en] def\r\n");
}

TEST_F(FileModeEndToEnd, FailingLinesCarryTheirMessage) {
  Write("in.txt", "one\n@fail 7 bad line\n@fail 8 two\\nlines\nfour");
  ProcessResult r = Run({"IFILE=in.txt", "OFILE=out.txt", "OCODING=ANSI"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Read("out.txt"),
            "[en>en] one\r\n"
            "Can't get translation of text \"@fail 7 bad line\" because of \"bad line\"\r\n"
            "Can't get translation of text \"@fail 8 two\\nlines\" because of \"two\nlines\"\r\n"
            "[en>en] four\r\n");
}

TEST_F(FileModeEndToEnd, MissingDirectoryAndUnreadableInputs) {
  EXPECT_EQ(Run({"IFILE=nothing.txt"}).out, ReportFor("File \"nothing.txt\" not found"));
  fs::create_directory(Path("dir"));
  EXPECT_EQ(Run({"IFILE=dir", "OFILE=out.txt"}).out, ReportFor("File \"dir\" not found"));
  Write("secret.txt", "x");
  fs::permissions(Path("secret.txt"), fs::perms::none);
  ProcessOptions unprivileged;
  unprivileged.unprivileged = true;
  EXPECT_EQ(Run({"IFILE=secret.txt", "OFILE=/dev/null"}, unprivileged).out,
            ReportFor("Cannot open file \"" + Path("secret.txt") + "\". Permission denied"));
  EXPECT_FALSE(fs::exists(Path("out.txt")));
}

TEST_F(FileModeEndToEnd, AnInputLockedByAnotherRunCannotBeOpened) {
  Write("held.txt", "x");
  HeldFileLock lock(Path("held.txt"));
  EXPECT_EQ(
      Run({"IFILE=held.txt", "OFILE=out.txt"}).out,
      ReportFor("Cannot open file \"" + Path("held.txt") + "\". Resource temporarily unavailable"));
  EXPECT_FALSE(fs::exists(Path("out.txt")));
}

TEST_F(FileModeEndToEnd, OutputsThatCannotBeCreated) {
  Write("in.txt", "x");
  EXPECT_EQ(Run({"IFILE=in.txt", "OFILE=no/such/folder/out.txt"}).out,
            ReportFor("Cannot create file \"" + Path("no/such/folder/out.txt") +
                      "\". No such file or directory"));
  // A folder the user may not write into.
  fs::create_directory(Path("readonly"));
  Write("readonly/old.txt", "old");
  fs::permissions(Path("readonly"), fs::perms::owner_read | fs::perms::owner_exec |
                                        fs::perms::group_read | fs::perms::group_exec |
                                        fs::perms::others_read | fs::perms::others_exec);
  ProcessOptions unprivileged;
  unprivileged.unprivileged = true;
  EXPECT_EQ(
      Run({"IFILE=in.txt", "OFILE=readonly/new.txt"}, unprivileged).out,
      ReportFor("Cannot create file \"" + Path("readonly/new.txt") + "\". Permission denied"));
  EXPECT_EQ(
      Run({"IFILE=in.txt", "OFILE=readonly/old.txt"}, unprivileged).out,
      ReportFor("Cannot create file \"" + Path("readonly/old.txt") + "\". Permission denied"));
  EXPECT_EQ(Read("readonly/old.txt"), "old");
  // A directory as the output.
  fs::create_directory(Path("outdir"));
  EXPECT_EQ(Run({"IFILE=in.txt", "OFILE=outdir"}).out,
            ReportFor("Cannot create file \"" + Path("outdir") + "\". Is a directory"));
}

TEST_F(FileModeEndToEnd, InPlaceTranslationReplacesTheFileKeepingItsPermissions) {
  Write("book.txt", "one\r\ntwo");
  fs::permissions(Path("book.txt"),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Run({"IFILE=book.txt", "OFILE=book.txt", "OCODING=ANSI"}).out, "");
  EXPECT_EQ(Read("book.txt"), "[en>en] one\r\n[en>en] two\r\n");
  EXPECT_EQ(fs::status(Path("book.txt")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(FileModeEndToEnd, ASymbolicLinkedOutputReplacesItsTarget) {
  Write("in.txt", "a");
  Write("target.txt", "old");
  fs::create_symlink("target.txt", Path("link.txt"));
  Run({"IFILE=in.txt", "OFILE=link.txt", "OCODING=ANSI"});
  EXPECT_TRUE(fs::is_symlink(Path("link.txt")));
  EXPECT_EQ(Read("target.txt"), "[en>en] a\r\n");
}

TEST_F(FileModeEndToEnd, AFullDeviceLosesNothing) {
  Write("in.txt", "keep\r\nme");
  ProcessResult r = Run({"IFILE=in.txt", "OFILE=/dev/full"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, ReportFor("Stream write error"));
  EXPECT_EQ(Read("in.txt"), "keep\r\nme");
}

TEST_F(FileModeEndToEnd, StandardInputToStandardOutput) {
  ProcessOptions piped;
  piped.input = "first\nsecond\n";
  ProcessResult r = Run({"IFILE=/dev/stdin", "OFILE=/dev/stdout", "OCODING=ANSI"}, piped);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "[en>en] first\r\n[en>en] second\r\n");
  // A pipe larger than any first guess is read whole.
  std::string big;
  for (int i = 0; i < 20000; ++i) big += "line " + std::to_string(i) + "\n";
  piped.input = big;
  r = Run({"IFILE=/dev/stdin", "OFILE=/dev/stdout", "OCODING=ANSI"}, piped);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 20000);
  EXPECT_EQ(r.out.substr(r.out.size() - 20), "[en>en] line 19999\r\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(FileModeEndToEnd, ANamedPipeIsWrittenDirectlyAndNotReplaced) {
  NamedPipe pipe(Path("fifo"));
  Write("in.txt", "x\ny");
  EXPECT_EQ(Run({"IFILE=in.txt", "OFILE=fifo", "OCODING=ANSI"}).out, "");
  EXPECT_EQ(pipe.ReadAvailable(), "[en>en] x\r\n[en>en] y\r\n");
  EXPECT_EQ(fs::status(Path("fifo")).type(), fs::file_type::fifo);
}

TEST_F(FileModeEndToEnd, TheLanguageListIntoAFile) {
  ProcessResult r = Run({"DO=LIST", "OFILE=langs.txt", "OCODING=UTF8"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Read("langs.txt"),
            "\xEF\xBB\xBF"
            "en English\r\nde German\r\nfr French\r\n");
}

TEST_F(FileModeEndToEnd, ADerivedOutputThatIsTheInputItselfIsRefused) {
  // On Linux "a.txt." is a name of its own; make it the same file.
  Write("a.txt", "keep me");
  fs::create_hard_link(Path("a.txt"), Path("a.txt."));
  EXPECT_EQ(Run({"IFILE=a.txt"}).out,
            ReportFor("Output file \"" + Path("a.txt.") + "\" is the input file; give OFILE"));
  EXPECT_EQ(Read("a.txt"), "keep me");
  // Without the link it is an ordinary new file.
  fs::remove(Path("a.txt."));
  EXPECT_EQ(Run({"IFILE=a.txt", "OCODING=ANSI"}).out, "");
  EXPECT_EQ(Read("a.txt."), "[en>en] keep me\r\n");
}

TEST_F(FileModeEndToEnd, NoProgressWhenStandardErrorIsNotATerminal) {
  std::string many;
  for (int i = 0; i < 3000; ++i) many += "x\n";
  Write("many.txt", many);
  ProcessResult r = Run({"IFILE=many.txt", "OFILE=out.txt"});
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Read("out.txt").size(), 3000u * 11);
}

}  // namespace
}  // namespace xlate
