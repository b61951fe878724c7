// The platform the program runs on, against the real file system: what
// the file mode and the parameters rely on. Where the platforms differ by
// nature (error codes, path syntax, trailing dots, code pages) the test
// says so.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/Platform.h"
#if !defined(_WIN32)
#include "platform/posix/PosixFile.h"
#endif

namespace xlate {
namespace {

namespace fs = std::filesystem;

#if defined(_WIN32)
constexpr std::uint32_t kHeldByAnother = 32;  // ERROR_SHARING_VIOLATION
const char kNullDevice[] = "NUL";
const char kOwnFileName[] = "xlate_unit_tests.exe";
#else
constexpr std::uint32_t kHeldByAnother = kLockedByAnother;  // the lock is taken
const char kNullDevice[] = "/dev/null";
const char kOwnFileName[] = "xlate_unit_tests";
#endif

class RealPlatform : public ::testing::Test {
 protected:
  RealPlatform() : platform(TPlatform::Create(0, nullptr)) {
    std::random_device random;
    folder = fs::temp_directory_path() / ("xlate-platform-" + std::to_string(random()));
    fs::create_directories(folder);
  }
  ~RealPlatform() override {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  Text Name(const std::string& aLeaf) { return (folder / aLeaf).u16string(); }
  void Write(const std::string& aLeaf, const std::string& aBytes) {
    std::ofstream(folder / aLeaf, std::ios::binary) << aBytes;
  }
  std::string Read(const std::string& aLeaf) {
    std::ifstream in(folder / aLeaf, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  std::size_t Entries() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
  }
  static bool WriteAll(TPlatformFile& aFile, const std::string& aBytes) {
    std::size_t written = 0;
    return aFile.Write(aBytes.data(), aBytes.size(), written) == kSuccess &&
           written == aBytes.size();
  }
  // The platform's calls, with the failure's code kept in lastError.
  std::unique_ptr<TPlatformFile> OpenForReading(const Text& aName,
                                                TReadShare aShare = TReadShare::rsShared) {
    std::unique_ptr<TPlatformFile> file;
    lastError = platform->Files().OpenForReading(aName, aShare, file);
    return file;
  }
  std::unique_ptr<TPlatformFile> CreateForWriting(const Text& aName) {
    std::unique_ptr<TPlatformFile> file;
    lastError = platform->Files().CreateForWriting(aName, file);
    return file;
  }
  LibraryHandle LoadLibrary(const Text& aName) {
    LibraryHandle library = 0;
    lastError = platform->Libraries().LoadLibrary(aName, library);
    return library;
  }

  std::unique_ptr<TPlatform> platform;
  TErrorCode lastError = kSuccess;
  fs::path folder;
};

TEST_F(RealPlatform, AnOutputReplacesItsTargetOnlyOnCommitAndHoldsItMeanwhile) {
  Write("out.txt", "old");
  std::unique_ptr<TPlatformFile> out = CreateForWriting(Name("out.txt"));
  ASSERT_TRUE(out);
  ASSERT_TRUE(WriteAll(*out, "new content"));
  // Nobody else gets the file while it is being replaced.
  EXPECT_FALSE(OpenForReading(Name("out.txt")));
  EXPECT_EQ(lastError, kHeldByAnother);
  EXPECT_FALSE(CreateForWriting(Name("out.txt")));
  EXPECT_EQ(lastError, kHeldByAnother);
#if defined(_WIN32)
  // Held open and shared with nobody: even a reader that shares everything
  // is kept out.
  EXPECT_FALSE(std::ifstream(folder / "out.txt").is_open());
#else
  // The lock keeps other runs out, not a plain reader, which sees the old
  // content.
  EXPECT_EQ(Read("out.txt"), "old");
#endif
  ASSERT_EQ(out->Commit(), kSuccess);
  EXPECT_EQ(Read("out.txt"), "new content");
  EXPECT_EQ(Entries(), 1u);  // the file written beside it is gone
  out.reset();
  EXPECT_EQ(Read("out.txt"), "new content");
}

TEST_F(RealPlatform, AnOutputDestroyedWithoutCommitLeavesTheOldFile) {
  Write("out.txt", "old");
  {
    std::unique_ptr<TPlatformFile> out = CreateForWriting(Name("out.txt"));
    ASSERT_TRUE(out);
    ASSERT_TRUE(WriteAll(*out, "half"));
  }
  EXPECT_EQ(Read("out.txt"), "old");
  EXPECT_EQ(Entries(), 1u);
  EXPECT_TRUE(OpenForReading(Name("out.txt")));
}

TEST_F(RealPlatform, ANewNameAppearsOnlyOnCommit) {
  std::unique_ptr<TPlatformFile> out = CreateForWriting(Name("new.txt"));
  ASSERT_TRUE(out);
  ASSERT_TRUE(WriteAll(*out, "x"));
  EXPECT_FALSE(fs::exists(folder / "new.txt"));
  // Held as an existing name is: a second writer would lose its file to the
  // first one's at the end.
  EXPECT_FALSE(CreateForWriting(Name("new.txt")));
  EXPECT_EQ(lastError, kHeldByAnother);
  ASSERT_EQ(out->Commit(), kSuccess);
  EXPECT_EQ(Read("new.txt"), "x");
  EXPECT_EQ(Entries(), 1u);
  EXPECT_TRUE(CreateForWriting(Name("new.txt")));
}

TEST_F(RealPlatform, TheNullDeviceIsWrittenDirectly) {
  std::unique_ptr<TPlatformFile> out = CreateForWriting(
      Text(kNullDevice, kNullDevice + std::char_traits<char>::length(kNullDevice)));
  ASSERT_TRUE(out);
  EXPECT_TRUE(WriteAll(*out, std::string(100000, 'x')));
  EXPECT_EQ(out->Commit(), kSuccess);
  EXPECT_EQ(Entries(), 0u);
}

// An input read shared keeps out only those who would replace it; one read
// exclusively (to be translated in place) keeps out every other run.
TEST_F(RealPlatform, AnInputIsReadWholeAndHeld) {
  std::string bytes;
  for (int i = 0; i < 100000; ++i) bytes += static_cast<char>(i * 7);
  Write("in.bin", bytes);
  std::unique_ptr<TPlatformFile> in = OpenForReading(Name("in.bin"));
  ASSERT_TRUE(in);
  EXPECT_TRUE(OpenForReading(Name("in.bin")));
  EXPECT_FALSE(OpenForReading(Name("in.bin"), TReadShare::rsExclusive));
  EXPECT_EQ(lastError, kHeldByAnother);
  EXPECT_FALSE(CreateForWriting(Name("in.bin")));
  EXPECT_EQ(lastError, kHeldByAnother);
  in.reset();
  in = OpenForReading(Name("in.bin"), TReadShare::rsExclusive);
  ASSERT_TRUE(in);
  EXPECT_FALSE(OpenForReading(Name("in.bin")));
  EXPECT_EQ(lastError, kHeldByAnother);
#if defined(_WIN32)
  EXPECT_FALSE(std::ifstream(folder / "in.bin").is_open());
#endif
  std::uint64_t size = 0;
  ASSERT_EQ(in->Size(size), kSuccess);
  EXPECT_EQ(size, bytes.size());
  std::string got;
  char buffer[4096];
  std::size_t read = 0;
  while (in->Read(buffer, sizeof buffer, read) == kSuccess && read > 0) got.append(buffer, read);
  EXPECT_EQ(read, 0u);
  EXPECT_EQ(got, bytes);
  EXPECT_EQ(in->Close(), kSuccess);
  EXPECT_TRUE(OpenForReading(Name("in.bin")));
}

TEST_F(RealPlatform, OnlyExistingNamesThatAreNoFoldersExist) {
  Write("a.txt", "a");
  fs::create_directory(folder / "dir");
  EXPECT_TRUE(platform->Files().FileExists(Name("a.txt")));
  EXPECT_FALSE(platform->Files().FileExists(Name("dir")));
  EXPECT_FALSE(platform->Files().FileExists(Name("missing.txt")));
  EXPECT_FALSE(platform->Files().FileExists(Name("missing/a.txt")));
  EXPECT_FALSE(OpenForReading(Name("missing.txt")));
#if defined(_WIN32)
  EXPECT_EQ(lastError, 2u);  // ERROR_FILE_NOT_FOUND
  // A pattern is not a name of a file.
  EXPECT_FALSE(platform->Files().FileExists(Name("*.txt")));
#else
  EXPECT_EQ(lastError, static_cast<std::uint32_t>(ENOENT));
#endif
}

TEST_F(RealPlatform, SameFileTellsNamesOfOneFileFromNamesOfTwo) {
  Write("a.txt", "a");
  Write("b.txt", "b");
  fs::create_directory(folder / "dir");
  EXPECT_TRUE(platform->Files().SameFile(Name("a.txt"), Name("a.txt")));
  EXPECT_TRUE(platform->Files().SameFile(Name("a.txt"), Name("dir/../a.txt")));
  EXPECT_FALSE(platform->Files().SameFile(Name("a.txt"), Name("b.txt")));
  EXPECT_FALSE(platform->Files().SameFile(Name("missing"), Name("missing")));
  fs::create_hard_link(folder / "a.txt", folder / "link.txt");
  EXPECT_TRUE(platform->Files().SameFile(Name("a.txt"), Name("link.txt")));
#if defined(_WIN32)
  // Windows drops trailing dots and ignores case in names.
  EXPECT_TRUE(platform->Files().SameFile(Name("a.txt"), Name("a.txt.")));
  EXPECT_TRUE(platform->Files().SameFile(Name("a.txt."), Name("a.txt")));
  EXPECT_TRUE(platform->Files().SameFile(Name("A.TXT"), Name("a.txt")));
#else
  EXPECT_FALSE(platform->Files().SameFile(Name("a.txt"), Name("a.txt.")));
#endif
}

TEST_F(RealPlatform, FullPathsAreAbsolute) {
  fs::path relative = "some-name.txt";
  EXPECT_EQ(platform->Files().FullPath(relative.u16string()),
            (fs::current_path() / relative).u16string());
  EXPECT_EQ(platform->Files().FullPath(Name("sub/../x.txt")), Name("x.txt"));
}

TEST_F(RealPlatform, NamesCompareIgnoringCase) {
  EXPECT_TRUE(platform->Process().EqualIgnoreCase(u"ICODING", u"icoding"));
  EXPECT_TRUE(platform->Process().EqualIgnoreCase(u"\u0416\u00c4", u"\u0436\u00e4"));
  EXPECT_FALSE(platform->Process().EqualIgnoreCase(u"DO", u"DA"));
  EXPECT_FALSE(platform->Process().EqualIgnoreCase(u"DO", u"DOO"));
}

TEST_F(RealPlatform, ACodeWithoutMessageGivesNone) {
  EXPECT_EQ(platform->SystemText().SystemErrorMessage(0x1234567u), u"");
  EXPECT_NE(platform->SystemText().SystemErrorMessage(2), u"");
}

TEST_F(RealPlatform, TheProgramPathIsTheRunningFile) {
  const Text path = platform->Process().ProgramPath();
  const std::string name = kOwnFileName;
  ASSERT_GT(path.size(), name.size());
  EXPECT_EQ(path.substr(path.size() - name.size()), Text(name.begin(), name.end()));
  EXPECT_TRUE(platform->Files().FileExists(path));
}

#if defined(_WIN32)
// The Windows tests run with LC_ALL=en_US.CP1252, which Wine turns into the
// code pages of a US system.
TEST_F(RealPlatform, WindowsConvertsWithTheSystemsCodePages) {
  EXPECT_EQ(platform->SystemText().AnsiCodePage(), 1252u);
  EXPECT_EQ(platform->SystemText().OemCodePage(), 437u);
  EXPECT_EQ(platform->SystemText().CharToOem("gr\xFC\xDF\x80"), "gr\x81\xE1?");
  EXPECT_EQ(platform->SystemText().OemToChar("gr\x81\xE1"), "gr\xFC\xDF");
  EXPECT_EQ(platform->SystemText().MultiByteToText(1252, "\x80\xFC", 2), u"\u20ac\u00fc");
  EXPECT_EQ(platform->SystemText().MultiByteToText(65001, "a\xC3", 2), u"a\uFFFD");
  ByteString out = "x";
  const Text text = u"a\u0416\U0001F600";
  platform->SystemText().AppendTextAsMultiByte(1252, text.data(), text.size(), out);
  EXPECT_EQ(out, "xa???");
  out.clear();
  platform->SystemText().AppendTextAsMultiByte(65001, text.data(), text.size(), out);
  EXPECT_EQ(out, "a\xD0\x96\xF0\x9F\x98\x80");
  EXPECT_EQ(platform->SystemText().MultiByteToText(1252, "", 0), u"");
}

TEST_F(RealPlatform, WindowsNamesItsLibraryAndPaths) {
  EXPECT_EQ(platform->Libraries().LibraryFileName(), u"jxZTAccess.dll");
  EXPECT_EQ(platform->Files().PathSeparators(), u"\\:");
  EXPECT_EQ(LoadLibrary(u"no-such-library.dll"), 0u);
  EXPECT_EQ(lastError, 126u);  // ERROR_MOD_NOT_FOUND
}
#endif

}  // namespace
}  // namespace xlate
