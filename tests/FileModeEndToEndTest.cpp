// File-mode cases whose expectations differ between the platforms by
// nature: system messages, file sharing and locks, permissions and
// attributes, devices, links and path syntax. The codings and the byte
// layout of files are in the shared cases of EndToEndCases.cpp.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/filemode/LineBlock.h"
#include "testsupport/EndToEnd.h"

namespace xlate {
namespace {

namespace fs = std::filesystem;

class FileModeEndToEnd : public ::testing::Test {
 protected:
  TProcessResult Run(const std::vector<std::string>& aArguments, TProcessOptions aOptions = {}) {
    return folder.Run(aArguments, "en_US.CP1252", aOptions);
  }
  std::string Path(const std::string& aName) { return folder.File(aName); }
  std::string Read(const std::string& aName) { return ReadFileBytes(Path(aName)); }
#if !defined(_WIN32)
  // Gives a file or link to user and group 65534 (nobody); false without
  // the privilege to.
  bool GiveToNobody(const std::string& aName) {
    try {
      SetOwnership(Path(aName), {65534, 65534});
      return true;
    } catch (const std::runtime_error&) {
      return false;
    }
  }
#endif
  void Write(const std::string& aName, const std::string& aBytes) {
    WriteFileBytes(Path(aName), aBytes);
  }
  // The names in the folder; outputs leave no temporary file beside them.
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.Path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  TProgramFolder folder;
};

// The words for the failures these tests cause: the system's, and the
// program's own for a folder as the output.
const std::string kFolderAsFile = "It is a folder, not a file";
#if defined(_WIN32)
const std::string kHeldByAnother = SystemMessage(32);  // ERROR_SHARING_VIOLATION
const std::string kNoSuchFolder = SystemMessage(3);    // ERROR_PATH_NOT_FOUND
const std::string kNotWritable = SystemMessage(5);     // ERROR_ACCESS_DENIED
const char kNullDevice[] = "NUL";
#else
const std::string kHeldByAnother =
    "The file is in use by another process, which holds a lock on it";
const std::string kNoSuchFolder = "No such file or directory";
const std::string kNotWritable = "Permission denied";
const char kNullDevice[] = "/dev/null";
#endif

// A library with the batch entry point gets a whole block in one call, and
// the file comes out byte for byte as from one without it: failing lines
// with their messages, results that need a larger buffer, a batch that
// fails as a whole, and answers that do not keep the batch contract, whose
// lines are then translated one by one; a partial answer keeps the lines
// it gives, and only the others are translated alone. (A batch that faults
// is among the fault cases.)
TEST_F(FileModeEndToEnd, ABatchLibraryGivesTheBytesOfLineByLine) {
  std::string fullBlock;  // a block's most lines: what follows is the next block
  for (std::size_t i = 0; i < xlate::TFileWindow().Lines; ++i) fullBlock += "x\n";
  const struct {
    std::string input;
    std::size_t alone;  // lines translated alone (ztaTranslate calls)
  } rows[] = {
      {"one\n@fail 7 short message\n@size 3000\n@busy 3\n\ntw\xC3\xB6\n", 0},
      {"a\n@batchbusy 4\nb\n", 0},
      {"a\n@batchfail 9 not now\nb\n", 3},
      // True with fewer records than lines: the buffer, reused from the
      // block before, still holds that block's records after them.
      {fullBlock + "a\n@batchfewer\nb\n", 3},
      // True with the buffer untouched; a NUL inside a record's text.
      {"@batchfewer\nb\n", 2},
      {"a\n@batchnul\nb\nc\n", 4},
      // Failed after the records of the lines before the failing one.
      {"a\nb\n@batchpartial 9 gone\nc\n", 2},
  };
  TProgramFolder withoutBatch(XLATE_TEST_DOUBLE_WITHOUT_BATCH);
  for (const auto& row : rows) {
    const std::string& input = row.input;
    const std::string shown = input.substr(input.size() > 40 ? input.size() - 40 : 0);
    for (const char* coding : {"ICODING=UTF8", "ICODING=ANSI"}) {
      Write("in.txt", input);
      WriteFileBytes(withoutBatch.File("in.txt"), input);
      TProcessOptions logged;
      logged.Environment["ZTA_DOUBLE_LOG"] = Path("calls.log");
      const std::vector<std::string> arguments = {"IFILE=in.txt", "OFILE=out.txt", coding,
                                                  "OCODING=UTF8"};
      const TProcessResult batched = Run(arguments, logged);
      const TProcessResult alone = withoutBatch.Run(arguments);
      EXPECT_EQ(batched.Out, "");
      EXPECT_EQ(alone.Out, "");
      // The same lines failed: the same summary on standard error.
      EXPECT_EQ(batched.Err, alone.Err) << shown;
      EXPECT_EQ(Read("out.txt"), ReadFileBytes(withoutBatch.File("out.txt"))) << shown << coding;
      const std::string log = Read("calls.log");
      EXPECT_NE(log.find("ztaTranslateBatch"), std::string::npos) << shown;
      std::size_t calls = 0;
      for (std::size_t at = log.find("ztaTranslate "); at != std::string::npos;
           at = log.find("ztaTranslate ", at + 1)) {
        ++calls;
      }
      EXPECT_EQ(calls, row.alone) << shown << coding;
      fs::remove(Path("calls.log"));
    }
  }
}

// Through a library that gives every line back unchanged, a UTF-16 file of
// many blocks comes out as it went in, in UTF-16 and in UTF-8, surrogate
// pairs included; an unpaired surrogate reached the library as U+FFFD, and
// comes back as that.
TEST_F(FileModeEndToEnd, AUtf16FileComesBackWholeThroughALibraryThatChangesNothing) {
  std::u16string text;  // the file
  std::u16string back;  // what comes back in UTF-16, and in UTF-8
  std::string utf8 = "\xEF\xBB\xBF";
  const auto add = [&](const std::u16string& aIn, const std::u16string& aBack,
                       const std::string& aUtf8) {
    text += aIn;
    back += aBack;
    utf8 += aUtf8;
  };
  for (int i = 0; i < 40000; ++i) {
    add(u"line ", u"line ", "line ");
    for (int k = 0; k < i % 70; ++k) add(u"\u00e9", u"\u00e9", "\xC3\xA9");
    if (i % 10007 == 5) add(u"\xD800 lone", u"\uFFFD lone", "\xEF\xBF\xBD lone");
    if (i % 9001 == 7) add(u"pair \U0001F600", u"pair \U0001F600", "pair \xF0\x9F\x98\x80");
    add(u"\r\n", u"\r\n", "\r\n");
  }
  Write("in.txt", "\xFF\xFE" + Utf16Bytes(text));
  TProcessOptions echo;
  echo.Environment["ZTA_DOUBLE_MODE"] = "echo";
  const TProcessResult toUtf16 =
      Run({"IFILE=in.txt", "OFILE=out.txt", "ICODING=UNICODE", "OCODING=UNICODE"}, echo);
  EXPECT_EQ(toUtf16.Err, "");
  EXPECT_TRUE(Read("out.txt") == "\xFF\xFE" + Utf16Bytes(back));
  const TProcessResult toUtf8 =
      Run({"IFILE=in.txt", "OFILE=out.txt", "ICODING=UNICODE", "OCODING=UTF8"}, echo);
  EXPECT_EQ(toUtf8.Err, "");
  EXPECT_TRUE(Read("out.txt") == utf8);
}

TEST_F(FileModeEndToEnd, AnInputHeldByAnotherProcessCannotBeOpened) {
  Write("held.txt", "x");
  THeldFileLock lock(Path("held.txt"));
  EXPECT_EQ(Run({"IFILE=held.txt", "OFILE=out.txt"}).Out,
            ReportFor("Cannot open file \"" + Path("held.txt") + "\". " + kHeldByAnother));
  EXPECT_FALSE(fs::exists(Path("out.txt")));
}

TEST_F(FileModeEndToEnd, AnOutputHeldByAnotherProcessIsNotTouched) {
  Write("in.txt", "x");
  Write("out.txt", "old");
  {
    THeldFileLock lock(Path("out.txt"));
    EXPECT_EQ(Run({"IFILE=in.txt", "OFILE=out.txt"}).Out,
              ReportFor("Cannot create file \"" + Path("out.txt") + "\". " + kHeldByAnother));
  }
  EXPECT_EQ(Read("out.txt"), "old");
  EXPECT_EQ(Names(), (std::vector<std::string>{"in.txt", kLibraryName, "out.txt", kProgramName}));
}

TEST_F(FileModeEndToEnd, OutputsThatCannotBeCreated) {
  Write("in.txt", "x");
  EXPECT_EQ(
      Run({"IFILE=in.txt", "OFILE=no/such/folder/out.txt"}).Out,
      ReportFor("Cannot create file \"" + Path("no/such/folder/out.txt") + "\". " + kNoSuchFolder));
  // A folder, with or without its separator, is refused before anything is
  // written into it.
  fs::create_directory(Path("outdir"));
  for (const char* name : {"outdir", "outdir/"}) {
    EXPECT_EQ(Run({"IFILE=in.txt", std::string("OFILE=") + name}).Out,
              ReportFor("Cannot create file \"" + Path("outdir") + "\". " + kFolderAsFile));
  }
  EXPECT_TRUE(fs::is_empty(Path("outdir")));
#if !defined(_WIN32)
  EXPECT_EQ(Run({"IFILE=in.txt", "OFILE=/"}).Out,
            ReportFor("Cannot create file \"/\". " + kFolderAsFile));
#endif
}

TEST_F(FileModeEndToEnd, AReadOnlyOutputIsNotReplaced) {
  Write("in.txt", "x");
  Write("old.txt", "old");
  // On POSIX a file without write permission, for a user who is not root;
  // on Windows a file with the read-only attribute.
  fs::permissions(Path("old.txt"),
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  TProcessOptions options;
#if defined(_WIN32)
  if (std::ofstream(Path("old.txt"), std::ios::app)) {
    // Wine run by root leaves the read-only attribute to the Unix
    // permissions, which do not hold for root.
    GTEST_SKIP() << "the system lets this user write read-only files";
  }
#else
  options.Unprivileged = true;
#endif
  EXPECT_EQ(Run({"IFILE=in.txt", "OFILE=old.txt"}, options).Out,
            ReportFor("Cannot create file \"" + Path("old.txt") + "\". " + kNotWritable));
  EXPECT_EQ(Read("old.txt"), "old");
}

TEST_F(FileModeEndToEnd, TheNullDeviceIsWrittenDirectly) {
  Write("in.txt", "x\ny");
  std::vector<std::string> before = Names();
  EXPECT_EQ(Run({"IFILE=in.txt", std::string("OFILE=") + kNullDevice}).Out, "");
#if defined(_WIN32)
  EXPECT_EQ(Run({"IFILE=in.txt", "OFILE=\\\\.\\NUL"}).Out, "");
#endif
  EXPECT_EQ(Names(), before);
}

// "-" is standard input as IFILE and standard output as OFILE, read and
// written in their codings like any file; standard input without OFILE
// goes to standard output. An input that is not a regular file gives no
// output name, and nothing is written.
TEST_F(FileModeEndToEnd, ADashIsStandardInputOrOutput) {
  struct Row {
    std::vector<std::string> arguments;
    std::string input;  // standard input
    std::string out;
    std::string written;  // what out.txt holds afterwards, if anything
  };
  const std::string list = "en English\r\nde German\r\nfr French\r\n";
  const std::vector<Row> rows = {
    {{"IFILE=-", "LANGTO=es"}, "one\r\ntwo", "[en>es] one\r\n[en>es] two\r\n", ""},
    {{"IFILE=-", "OFILE=out.txt", "ICODING=UNICODE"},
     "\xFF\xFE" + Utf16Bytes(u"a\r\n"),
     "",
     "\xFF\xFE" + Utf16Bytes(u"[en>en] a\r\n")},
    {{"IFILE=in.txt", "OFILE=-", "OCODING=UTF8"}, "", "\xEF\xBB\xBF[en>en] a\r\n[en>en] b\r\n", ""},
    {{"DO=LIST", "OFILE=-", "OCODING=UTF8"}, "", "\xEF\xBB\xBF" + list, ""},
#if defined(_WIN32)
    // The console's names are refused, and "-" named instead.
    {{"IFILE=CON", "OFILE=out.txt"},
     "",
     ReportFor("Cannot open file \"\\\\.\\CON\". The console is not opened by name: IFILE=- "
               "reads standard input and OFILE=- writes standard output"),
     ""},
#else
    {{"IFILE=/dev/stdin", "LANGTO=es"},
     "x",
     ReportFor("Input file \"/dev/stdin\" is not a regular file, and no output file name is made "
               "from it; give OFILE (OFILE=- for standard output)"),
     ""},
#endif
  };
  Write("in.txt", "a\nb");
  for (const Row& row : rows) {
    TProcessOptions options;
    options.Input = row.input;
    const TProcessResult r = Run(row.arguments, options);
    EXPECT_EQ(r.Out, row.out) << row.arguments[0];
    EXPECT_EQ(r.Err, "") << row.arguments[0];
    if (!row.written.empty()) {
      EXPECT_EQ(Read("out.txt"), row.written);
    }
  }
  EXPECT_EQ(Names(), (std::vector<std::string>{"in.txt", kLibraryName, "out.txt", kProgramName}));
  EXPECT_FALSE(fs::exists("/dev/stdin.es"));
}

TEST_F(FileModeEndToEnd, ADerivedOutputThatIsTheInputItselfIsRefused) {
  Write("a.txt", "keep me");
#if defined(_WIN32)
  // Windows drops the trailing dot of the derived name "a.txt.": it names
  // the input itself, and its full path is a.txt's.
  const std::string shown = Path("a.txt");
#else
  // On POSIX "a.txt." is a name of its own; make it the same file.
  fs::create_hard_link(Path("a.txt"), Path("a.txt."));
  const std::string shown = Path("a.txt.");
#endif
  EXPECT_EQ(Run({"IFILE=a.txt"}).Out,
            ReportFor("Output file \"" + shown + "\" is the input file; give OFILE"));
  EXPECT_EQ(Read("a.txt"), "keep me");
#if !defined(_WIN32)
  // Without the link it is an ordinary new file.
  fs::remove(Path("a.txt."));
  EXPECT_EQ(Run({"IFILE=a.txt", "OCODING=ANSI"}).Out, "");
  EXPECT_EQ(Read("a.txt."), "[en>en] keep me\r\n");
#endif
}

TEST_F(FileModeEndToEnd, NoProgressWhenStandardErrorIsNotATerminal) {
  std::string many;
  for (int i = 0; i < 3000; ++i) many += "x\n";
  Write("many.txt", many);
  TProcessResult r = Run({"IFILE=many.txt", "OFILE=out.txt"});
  EXPECT_EQ(r.Err, "");
  EXPECT_EQ(Read("out.txt").size(), 3000u * 11);
}

// A library that changes the current folder during the run changes nothing
// for the files: the output's folder is held from the start.
TEST_F(FileModeEndToEnd, ALibraryThatChangesTheCurrentFolderChangesNoFile) {
  const std::string input = "a\n@chdir /\nb";
  const std::string translated = "[en>en] a\r\n[en>en] @chdir /\r\n[en>en] b\r\n";
  Write("in.txt", input);
  Write("book.txt", input);
  EXPECT_EQ(Run({"IFILE=in.txt", "OFILE=out.txt", "OCODING=ANSI"}).Out, "");
  EXPECT_EQ(Read("out.txt"), translated);
  EXPECT_EQ(Run({"IFILE=book.txt", "OFILE=book.txt", "OCODING=ANSI"}).Out, "");
  EXPECT_EQ(Read("book.txt"), translated);
  EXPECT_EQ(Names(), (std::vector<std::string>{"book.txt", "in.txt", kLibraryName, "out.txt",
                                               kProgramName}));
}

#if defined(_WIN32)
TEST_F(FileModeEndToEnd, AReplacedFileKeepsItsAttributes) {
  Write("book.txt", "one");
  SetFileAttributeBits(Path("book.txt"), kHiddenAttribute);
  EXPECT_EQ(Run({"IFILE=book.txt", "OFILE=book.txt", "OCODING=ANSI"}).Out, "");
  EXPECT_EQ(Read("book.txt"), "[en>en] one\r\n");
  EXPECT_NE(FileAttributeBits(Path("book.txt")) & kHiddenAttribute, 0u);
  EXPECT_EQ(Names(), (std::vector<std::string>{"book.txt", kLibraryName, kProgramName}));
}

// On Windows a backslash and a colon separate paths too (a colon would
// name a stream of the file "a.txt.").
TEST_F(FileModeEndToEnd, ALanguageCodeWithABackslashOrAColonMakesNoOutputName) {
  Write("a.txt", "x");
  for (const std::string code : {"x\\..\\y", ":stream"}) {
    EXPECT_EQ(Run({"IFILE=a.txt", "LANGTO=" + code}).Out,
              ReportFor("LANGTO \"" + code +
                        "\" holds a path separator and cannot be part of the output file name; "
                        "give OFILE"));
  }
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", kLibraryName, kProgramName}));
}

TEST_F(FileModeEndToEnd, NamesWithBackslashesAndDrives) {
  Write("in.txt", "x");
  fs::create_directory(Path("sub"));
  EXPECT_EQ(Run({"IFILE=.\\in.txt", "OFILE=sub\\..\\sub\\out.txt", "OCODING=ANSI"}).Out, "");
  EXPECT_EQ(Read("sub/out.txt"), "[en>en] x\r\n");
  // A full path with its drive letter, given in the quotes it needs when it
  // holds blanks.
  Write("my notes.txt", "y");
  TProcessOptions options;
  options.RawCommandLine = "\"" + folder.Program() + "\" \"IFILE=" + Path("my notes.txt") +
                           "\" OFILE=\"" + Path("sub\\out 2.txt") + "\" OCODING=ANSI";
  EXPECT_EQ(folder.Run({}, "en_US.CP1252", options).Out, "");
  EXPECT_EQ(Read("sub/out 2.txt"), "[en>en] y\r\n");
}
#else
TEST_F(FileModeEndToEnd, AnUnreadableInputIsReported) {
  Write("secret.txt", "x");
  fs::permissions(Path("secret.txt"), fs::perms::none);
  TProcessOptions unprivileged;
  unprivileged.Unprivileged = true;
  EXPECT_EQ(Run({"IFILE=secret.txt", "OFILE=/dev/null"}, unprivileged).Out,
            ReportFor("Cannot open file \"" + Path("secret.txt") + "\". Permission denied"));
}

// A folder without write permission stops new files on POSIX; the
// read-only attribute of a Windows folder does not.
TEST_F(FileModeEndToEnd, AFolderWithoutWritePermission) {
  Write("in.txt", "x");
  fs::create_directory(Path("readonly"));
  Write("readonly/old.txt", "old");
  Write("readonly/open.txt", "old");
  fs::permissions(Path("readonly/open.txt"), fs::perms::all);
  fs::permissions(Path("readonly"), fs::perms::owner_read | fs::perms::owner_exec |
                                        fs::perms::group_read | fs::perms::group_exec |
                                        fs::perms::others_read | fs::perms::others_exec);
  TProcessOptions unprivileged;
  unprivileged.Unprivileged = true;
  // A new name, or a file that may be written, in a folder where no new file
  // may be made: the folder is at fault, and the message says so.
  for (const std::string name : {"new.txt", "open.txt"}) {
    EXPECT_EQ(Run({"IFILE=in.txt", "OFILE=readonly/" + name}, unprivileged).Out,
              ReportFor("Cannot create file \"" + Path("readonly/" + name) + "\" in folder \"" +
                        Path("readonly") + "\". Permission denied"));
  }
  EXPECT_EQ(Read("readonly/open.txt"), "old");
  // A file that may not be written is at fault itself.
  EXPECT_EQ(
      Run({"IFILE=in.txt", "OFILE=readonly/old.txt"}, unprivileged).Out,
      ReportFor("Cannot create file \"" + Path("readonly/old.txt") + "\". Permission denied"));
  EXPECT_EQ(Read("readonly/old.txt"), "old");
}

TEST_F(FileModeEndToEnd, InPlaceTranslationReplacesTheFileKeepingItsPermissions) {
  Write("book.txt", "one\r\ntwo");
  fs::permissions(Path("book.txt"),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Run({"IFILE=book.txt", "OFILE=book.txt", "OCODING=ANSI"}).Out, "");
  EXPECT_EQ(Read("book.txt"), "[en>en] one\r\n[en>en] two\r\n");
  EXPECT_EQ(fs::status(Path("book.txt")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Names(), (std::vector<std::string>{"book.txt", kLibraryName, kProgramName}));
}

// Symbolic links need privileges on Windows; the POSIX build replaces the
// file a link points to, and creates it for a link that points nowhere.
TEST_F(FileModeEndToEnd, ASymbolicLinkedOutputReplacesItsTarget) {
  Write("in.txt", "a");
  Write("target.txt", "old");
  fs::create_symlink("target.txt", Path("link.txt"));
  Run({"IFILE=in.txt", "OFILE=link.txt", "OCODING=ANSI"});
  EXPECT_TRUE(fs::is_symlink(Path("link.txt")));
  EXPECT_EQ(Read("target.txt"), "[en>en] a\r\n");
  fs::create_directory(Path("sub"));
  fs::create_symlink("../new.txt", Path("sub/dangling.txt"));
  EXPECT_EQ(Run({"IFILE=in.txt", "OFILE=sub/dangling.txt", "OCODING=ANSI"}).Out, "");
  EXPECT_TRUE(fs::is_symlink(Path("sub/dangling.txt")));
  EXPECT_EQ(Read("new.txt"), "[en>en] a\r\n");
}

// In a sticky folder that everybody may write to, such as /tmp, a link that
// another user owns is not followed (the kernel's protected_symlinks rule,
// kept whether or not the kernel has it on): it could lead to any file of
// the user who runs the program.
TEST_F(FileModeEndToEnd, ALinkOfAnotherUserInAStickyFolderIsNotFollowed) {
  Write("in.txt", "a");
  Write("victim.txt", "keep me");
  fs::create_directory(Path("tmp"));
  fs::permissions(Path("tmp"), fs::perms::all | fs::perms::sticky_bit);
  fs::create_symlink("../victim.txt", Path("tmp/theirs.txt"));
  if (!GiveToNobody("tmp/theirs.txt")) GTEST_SKIP() << "making another user's link needs root";
  EXPECT_EQ(Run({"IFILE=in.txt", "OFILE=tmp/theirs.txt"}).Out,
            ReportFor("Cannot create file \"" + Path("victim.txt") + "\". Permission denied"));
  EXPECT_EQ(Read("victim.txt"), "keep me");
  // The user's own link there is followed.
  fs::create_symlink("../victim.txt", Path("tmp/mine.txt"));
  EXPECT_EQ(Run({"IFILE=in.txt", "OFILE=tmp/mine.txt", "OCODING=ANSI"}).Out, "");
  EXPECT_EQ(Read("victim.txt"), "[en>en] a\r\n");
}

// Replacing a file gives the new one the old one's owner, group, mode and
// extended attributes where the process may set them; set-user-ID and
// set-group-ID bits never go onto a file whose owner is not kept.
TEST_F(FileModeEndToEnd, AReplacedFileKeepsItsOwnerAndSetIdBitsOnlyWithIt) {
  Write("in.txt", "a");
  Write("theirs", "old");
  if (!GiveToNobody("theirs")) GTEST_SKIP() << "making another user's file needs root";
  fs::permissions(Path("theirs"), static_cast<fs::perms>(06755));
  const bool attributes = SetExtendedAttribute(Path("theirs"), "user.note", "kept");
  EXPECT_EQ(Run({"IFILE=in.txt", "OFILE=theirs", "OCODING=ANSI"}).Out, "");
  EXPECT_EQ(Read("theirs"), "[en>en] a\r\n");
  EXPECT_EQ(OwnershipOf(Path("theirs")).Uid, 65534u);
  EXPECT_EQ(OwnershipOf(Path("theirs")).Gid, 65534u);
  EXPECT_EQ(fs::status(Path("theirs")).permissions(), static_cast<fs::perms>(06755));
  if (attributes) {
    EXPECT_EQ(ExtendedAttribute(Path("theirs"), "user.note"), "kept");
  }
  // A user who may write root's set-user-ID file, but not give it to root.
  fs::create_directory(Path("shared"));
  fs::permissions(Path("shared"), fs::perms::all);
  Write("shared/roots", "old");
  fs::permissions(Path("shared/roots"), static_cast<fs::perms>(06777));
  TProcessOptions unprivileged;
  unprivileged.Unprivileged = true;
  EXPECT_EQ(Run({"IFILE=in.txt", "OFILE=shared/roots", "OCODING=ANSI"}, unprivileged).Out, "");
  EXPECT_EQ(Read("shared/roots"), "[en>en] a\r\n");
  EXPECT_EQ(OwnershipOf(Path("shared/roots")).Uid, 65534u);
  EXPECT_EQ(fs::status(Path("shared/roots")).permissions(), fs::perms::all);
}

// Whatever ends the program while it replaces a file leaves the old file
// whole and no new file behind: a signal from outside (any whose default
// action ends a process, not only the common ones), and a library that
// calls abort() or exit(); a signal ends it as it would have. The new file
// has no name until it takes the old one's place. Where the system cannot
// make such a file (here: without /proc, through which it gets its name) it
// has one, and the way out removes it; the signal then comes while that
// name exists.
TEST_F(FileModeEndToEnd, WhateverEndsAReplaceLeavesNoFileBehind) {
  Write("noproc.sh", "mount -t tmpfs none /proc || exit 77\nexec \"$@\"\n");
  const std::string withoutProc = "/usr/bin/unshare -m /bin/sh " + Path("noproc.sh");
  TProcessOptions probe;
  probe.Arguments = {"-m", "/bin/sh", Path("noproc.sh"), "/bin/true"};
  const bool canHideProc = RunProcess("/usr/bin/unshare", probe).ExitCode == 0;
  Write("in.txt", "a\nb");
  Write("out.txt", "old");
  const std::vector<std::string> names = Names();
  struct TLibraryEnding {
    const char* line;
    int signal;
    int exitCode;
  };
  const TLibraryEnding libraryEndings[] = {{"@abort", SIGABRT, -1}, {"@exit 3", 0, 3}};
  for (const bool named : {false, true}) {
    if (named && !canHideProc) GTEST_SKIP() << "hiding /proc needs unshare and root";
#if defined(__SANITIZE_ADDRESS__)
    // The leak check at exit reads /proc, and fails the run without it.
    if (named) GTEST_SKIP() << "AddressSanitizer needs /proc";
#endif
    if (named && std::getenv("XLATE_TEST_WRAPPER") != nullptr) {
      GTEST_SKIP() << "the checker of XLATE_TEST_WRAPPER takes the place of unshare";
    }
    TProcessOptions options;
    if (named) options.Wrapper = withoutProc;
    options.Environment["ZTA_DOUBLE_LOG"] = Path("calls.log");
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPROF, SIGPWR, SIGRTMIN + 2}) {
      TProcessResult r;
      {
        TSignalAtOpen gate(folder.Path().string(), named ? ".xlate-" : "calls.log", signal);
        if (!gate.Unavailable().empty()) GTEST_SKIP() << gate.Unavailable();
        r = Run({"IFILE=in.txt", "OFILE=out.txt"}, options);
        EXPECT_TRUE(gate.Sent()) << signal;
      }
      EXPECT_EQ(r.Signal, signal) << named;
      EXPECT_EQ(r.ExitCode, -1);
      EXPECT_EQ(Read("out.txt"), "old");
      fs::remove(Path("calls.log"));
      EXPECT_EQ(Names(), names) << signal << " " << named;
    }
    for (const TLibraryEnding& ending : libraryEndings) {
      Write("in.txt", std::string("a\n") + ending.line + "\nb");
      const TProcessResult r = Run({"IFILE=in.txt", "OFILE=out.txt"}, options);
      EXPECT_EQ(r.Signal, ending.signal) << ending.line;
      EXPECT_EQ(r.ExitCode, ending.exitCode) << ending.line << " " << named << ": " << r.Err;
      EXPECT_EQ(Read("out.txt"), "old");
      fs::remove(Path("calls.log"));
      EXPECT_EQ(Names(), names) << ending.line << " " << named;
    }
    Write("in.txt", "a\nb");
  }
}

// The standard streams are written through the descriptors the program was
// given: an output appended to a log keeps the log.
TEST_F(FileModeEndToEnd, StandardStreamsAsOutputAppendToWhatTheyAre) {
  Write("in.txt", "a");
  Write("log", "earlier\n");
  TProcessOptions options;
  const std::string run = "./xlate IFILE=in.txt OCODING=ANSI OFILE=";
  options.Arguments = {"-c", run + "/dev/stdout >> log && " + run + "/dev/stderr 2>> log && " +
                                 run + "/dev/fd/5 5>> log && " + run + "/proc/self/fd/1 >> log"};
  options.WorkingDirectory = folder.Path().string();
  const TProcessResult r = RunProcess("/bin/sh", options);
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  std::string expected = "earlier\n";
  for (int i = 0; i < 4; ++i) expected += "[en>en] a\r\n";
  EXPECT_EQ(Read("log"), expected);
}

// File names are bytes on POSIX: a name that is not valid in the locale's
// coding reaches the file system as it was given, and never names another
// file, also as the program's own folder.
TEST_F(FileModeEndToEnd, NamesNotValidInTheLocaleKeepEveryByte) {
  Write("in\xFF.txt", "a");
  Write("out\xEF\xBF\xBD.txt", "another file");
  TProcessResult r = folder.Run({"IFILE=in\xFF.txt", "OFILE=out\xFF.txt"}, "C.UTF-8");
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(Read("out\xFF.txt"), "[en>en] a\r\n");
  EXPECT_EQ(Read("out\xEF\xBF\xBD.txt"), "another file");
  // A derived name keeps the bytes of both parts; the language code is
  // text for the library, as before.
  r = folder.Run({"IFILE=in\xFF.txt", "LANGTO=d\xFE"}, "C.UTF-8");
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(Read("in\xFF.txt.d\xFE"), "[en>d\xEF\xBF\xBD] a\r\n");
  // The library beside the program is found in a folder of such a name, and
  // not the one in the folder whose name the locale's coding would make.
  fs::create_directory(Path("p\xFF"));
  fs::create_directory(Path("p\xEF\xBF\xBD"));
  fs::copy_file(XLATE_PROGRAM, Path("p\xFF/xlate"));
  fs::copy_file(XLATE_TEST_DOUBLE, Path("p\xFF/") + kLibraryName);
  fs::copy_file(XLATE_TEST_DOUBLE_WITHOUT_FROMPOST, Path("p\xEF\xBF\xBD/") + kLibraryName);
  TProcessOptions options;
  options.Arguments = {"TEXT=hi"};
  options.Environment["LC_ALL"] = "C.UTF-8";
  r = RunProcess(Path("p\xFF/xlate"), options);
  EXPECT_EQ(r.Out, "[en>en] hi\r\n");
}

// Whether a name is a device is told by the file, never by its spelling: a
// regular file reached through /proc (or on /dev/shm) is replaced like any
// other, so a run that fails leaves it whole.
TEST_F(FileModeEndToEnd, ARegularFileUnderProcIsReplacedLikeAnyOther) {
  Write("keep.txt", "old");
  Write("in.txt", std::string("a\0b", 3));
  EXPECT_EQ(Run({"IFILE=in.txt", "OFILE=/proc/self/cwd/keep.txt"}).Out,
            ReportFor("File \"in.txt\" holds a NUL character in line 1 followed by more text; "
                      "is ICODING right?"));
  EXPECT_EQ(Read("keep.txt"), "old");
  Write("in.txt", "a");
  EXPECT_EQ(Run({"IFILE=in.txt", "OFILE=/proc/self/cwd/keep.txt", "OCODING=ANSI"}).Out, "");
  EXPECT_EQ(Read("keep.txt"), "[en>en] a\r\n");
  EXPECT_EQ(Names(), (std::vector<std::string>{"in.txt", "keep.txt", kLibraryName, kProgramName}));
}

// A stream that is the input file itself would have the program read back
// its own lines without end. Whatever its name, it is refused before
// anything is written. (ulimit bounds the file should it grow.)
TEST_F(FileModeEndToEnd, AnOutputStreamThatIsTheInputIsRefused) {
  Write("a.txt", "one\n");
  const std::string message =
      "\" is the input file \"" + Path("a.txt") +
      "\" itself, which would read back what is written; give another OFILE";
  TProcessOptions options;
  options.Arguments = {"-c", "ulimit -f 100; ./xlate IFILE=a.txt OFILE=/dev/stdout >> a.txt"};
  options.WorkingDirectory = folder.Path().string();
  EXPECT_EQ(RunProcess("/bin/sh", options).ExitCode, 0);
  EXPECT_EQ(Read("a.txt"), "one\n" + ReportFor("Output file \"/dev/stdout" + message));
  Write("a.txt", "one\n");
  options.Arguments = {"-c", "ulimit -f 100; ./xlate IFILE=a.txt OFILE=/dev/fd/5 5>> a.txt"};
  EXPECT_EQ(RunProcess("/bin/sh", options).Out, ReportFor("Output file \"/dev/fd/5" + message));
  EXPECT_EQ(Read("a.txt"), "one\n");
}

// Runs that only read a file share it: two translations of one book at
// once both work. A translation in place keeps every other run out, and
// is kept out by them.
TEST_F(FileModeEndToEnd, ReadersShareTheInputAndInPlaceKeepsThemOut) {
  if (!fs::exists("/usr/bin/flock")) GTEST_SKIP() << "needs flock (util-linux)";
  Write("book.txt", "a");
  TProcessOptions options;
  options.WorkingDirectory = folder.Path().string();
  options.Arguments = {"-s",           "book.txt",  "./xlate",     "IFILE=book.txt",
                       "OFILE=es.txt", "LANGTO=es", "OCODING=ANSI"};
  EXPECT_EQ(RunProcess("/usr/bin/flock", options).Out, "");
  EXPECT_EQ(Read("es.txt"), "[en>es] a\r\n");
  options.Arguments = {"-s", "book.txt", "./xlate", "IFILE=book.txt", "OFILE=book.txt"};
  EXPECT_EQ(RunProcess("/usr/bin/flock", options).Out,
            ReportFor("Cannot open file \"" + Path("book.txt") + "\". " + kHeldByAnother));
  EXPECT_EQ(Read("book.txt"), "a");
}

// A read that fails names the file and the system's reason after the
// usual words; a name too long for the system is not a missing file.
TEST_F(FileModeEndToEnd, AFailedReadAndALongNameSayWhatHappened) {
  const std::string out = Run({"IFILE=/proc/self/mem", "OFILE=out.txt"}).Out;
  EXPECT_NE(out.find("Stream read error in file \"/proc/"), std::string::npos) << out;
  EXPECT_NE(out.find("/mem\". Input/output error"), std::string::npos) << out;
  const std::string longName(300, 'x');
  EXPECT_EQ(Run({"IFILE=" + longName, "OFILE=out.txt"}).Out,
            ReportFor("Cannot open file \"" + Path(longName) + "\". File name too long"));
  EXPECT_FALSE(fs::exists(Path("out.txt")));
  // An output name too long is told before anything is translated.
  Write("in.txt", "a");
  EXPECT_EQ(Run({"IFILE=in.txt", "OFILE=" + longName}).Out,
            ReportFor("Cannot create file \"" + Path(longName) + "\". File name too long"));
}

// /dev/full, /dev/stdin and named pipes written like files are POSIX's.
TEST_F(FileModeEndToEnd, AFullDeviceLosesNothing) {
  Write("in.txt", "keep\r\nme");
  TProcessResult r = Run({"IFILE=in.txt", "OFILE=/dev/full"});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Out, ReportFor("Stream write error in file \"/dev/full\". No space left on device"));
  EXPECT_EQ(Read("in.txt"), "keep\r\nme");
}

TEST_F(FileModeEndToEnd, StandardInputToStandardOutput) {
  TProcessOptions piped;
  piped.Input = "first\nsecond\n";
  TProcessResult r = Run({"IFILE=/dev/stdin", "OFILE=/dev/stdout", "OCODING=ANSI"}, piped);
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Out, "[en>en] first\r\n[en>en] second\r\n");
  // A pipe larger than any first guess is read whole.
  std::string big;
  for (int i = 0; i < 20000; ++i) big += "line " + std::to_string(i) + "\n";
  piped.Input = big;
  r = Run({"IFILE=/dev/stdin", "OFILE=/dev/stdout", "OCODING=ANSI"}, piped);
  EXPECT_EQ(std::count(r.Out.begin(), r.Out.end(), '\n'), 20000);
  EXPECT_EQ(r.Out.substr(r.Out.size() - 20), "[en>en] line 19999\r\n");
  EXPECT_EQ(r.Err, "");
}

// Lines whose translations are far longer than they are: a block of 400
// short lines gives 40 MB, yet the run stays within 50 MB of address space,
// as each part of a block is written before the next is translated.
TEST_F(FileModeEndToEnd, LongTranslationsDoNotPileUpInMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit";
#endif
  std::string input;
  for (int i = 0; i < 400; ++i) input += "@size 100000\n";
  Write("in.txt", input);
  TProcessOptions options;
  options.Arguments = {"-c", "ulimit -v 51200 && ./xlate IFILE=in.txt OFILE=out.txt ICODING=UTF8"};
  options.WorkingDirectory = folder.Path().string();
  const TProcessResult r = RunProcess("/bin/sh", options);
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  ASSERT_EQ(r.Out, "");
  const std::string out = Read("out.txt");
  EXPECT_EQ(out.size(), 3 + 400u * 100002);  // the byte-order mark, then the lines
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 400);
  EXPECT_EQ(out.substr(out.size() - 6), "abcd\r\n");
}

// Lines far longer than the window are held one at a time, though the file
// is read ahead: six lines of 8 MB go through within 100 MB of address
// space (reading three of them ahead took more).
TEST_F(FileModeEndToEnd, LongLinesDoNotPileUpInMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit";
#endif
  TProgramFolder echo(XLATE_ECHO_LIBRARY);
  const std::string line = std::string(8000000, 'y') + "\n";
  std::string input;
  for (int i = 0; i < 6; ++i) input += line;
  WriteFileBytes(echo.File("in.txt"), input);
  TProcessOptions options;
  options.Arguments = {"-c", "ulimit -v 100000 && ./xlate IFILE=in.txt OFILE=out.txt ICODING=UTF8"};
  options.WorkingDirectory = echo.Path().string();
  const TProcessResult r = RunProcess("/bin/sh", options);
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(ReadFileBytes(echo.File("out.txt")).size(), 3 + 6 * 8000002u);
}

TEST_F(FileModeEndToEnd, ANamedPipeIsWrittenDirectlyAndNotReplaced) {
  TNamedPipe pipe(Path("fifo"));
  Write("in.txt", "x\ny");
  EXPECT_EQ(Run({"IFILE=in.txt", "OFILE=fifo", "OCODING=ANSI"}).Out, "");
  EXPECT_EQ(pipe.ReadAvailable(), "[en>en] x\r\n[en>en] y\r\n");
  EXPECT_EQ(fs::status(Path("fifo")).type(), fs::file_type::fifo);
}
#endif

}  // namespace
}  // namespace xlate
