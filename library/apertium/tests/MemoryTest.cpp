// The translation memory (ZTA_MEMORY): hits and misses in single calls and
// batches, entries left unused when the engine's data changes, failures
// not kept, a person's translations first, many processes on one memory, a
// memory that cannot be used, and TMX in and out.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Library.h"
#include "TestSupport.h"
#include "memory/MemoryStore.h"
#include "memory/Tmx.h"

namespace zta::test {
namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A pair whose mode file names a data file, as Apertium's do.
struct MemoryFixture {
  TempDirectory directory;
  std::string memory = directory.path() + "/memory.db";
  std::string data = directory.path() + "/eng-spa.bin";
  std::vector<std::string> notices;

  MemoryFixture() {
    directory.writeFile("eng-spa.bin", "dictionary");
    directory.writeFile("eng-spa.mode", "lt-proc -z '" + data + "' $1 | cat\n");
  }
  // Chains that give back their input.
  LibrarySettings echo() {
    LibrarySettings settings = fakeSettings(directory, {});
    settings.memoryPath = memory;
    settings.notice = [this](const std::string& line) { notices.push_back(line); };
    return settings;
  }
  // Chains that cannot start: only the memory can answer.
  LibrarySettings broken() {
    LibrarySettings settings = echo();
    settings.commandBuilder = [](const LanguagePair&, const LocalSettings&, StageList*,
                                 std::string* error) {
      *error = "no chain in this test";
      return false;
    };
    return settings;
  }
};

TEST(MemoryTest, AnswersWhatTheSameDataMadeAndAsksTheEngineForTheRest) {
  MemoryFixture fixture;
  {
    TranslationLibrary library(fixture.echo());
    EXPECT_EQ(translate(library, "en", "es", "Good morning").text, "Good morning");
    const BatchResult batch =
        translateBatch(library, "en", "es", {"Good night", "DIE here", "Good day"});
    EXPECT_FALSE(batch.ok);  // the chain died on the second line
  }
  TranslationLibrary library(fixture.broken());
  EXPECT_EQ(translate(library, "en", "es", "Good morning").text, "Good morning");
  EXPECT_FALSE(translate(library, "en", "es", "Good evening").ok);
  // The line that failed was not kept: the engine is asked for it again.
  EXPECT_FALSE(translate(library, "en", "es", "DIE here").ok);
  const BatchResult batch =
      translateBatch(library, "en", "es", {"Good night", "Good morning", "Good evening"});
  EXPECT_FALSE(batch.ok);
  const std::vector<std::pair<uint32_t, std::string>> hits = {{0, "Good night"},
                                                              {0, "Good morning"}};
  EXPECT_EQ(batch.records, hits);
  EXPECT_TRUE(fixture.notices.empty());

  // New data: what the old data made is no longer used.
  fixture.directory.writeFile("eng-spa.bin", "dictionary, revised");
  TranslationLibrary revised(fixture.broken());
  EXPECT_FALSE(translate(revised, "en", "es", "Good morning").ok);
}

TEST(MemoryTest, PersonsTranslationComesFirstWhateverTheData) {
  MemoryFixture fixture;
  {
    TranslationLibrary library(fixture.echo());
    EXPECT_EQ(translate(library, "en", "es", "Good morning").text, "Good morning");
  }
  MemoryStore(fixture.memory).storeHuman({{"eng-spa", "Good morning", "Buenos días", true}});
  {
    TranslationLibrary library(fixture.broken());
    EXPECT_EQ(translate(library, "en", "es", "Good morning").text, "Buenos días");
  }
  fixture.directory.writeFile("eng-spa.bin", "other data");
  TranslationLibrary library(fixture.broken());
  EXPECT_EQ(translate(library, "en", "es", "Good morning").text, "Buenos días");
  const BatchResult batch = translateBatch(library, "en", "es", {"Good morning"});
  ASSERT_TRUE(batch.ok) << batch.message;
  EXPECT_EQ(batch.records[0].second, "Buenos días");
}

TEST(MemoryTest, EightProcessesShareOneMemory) {
  MemoryFixture fixture;
  std::vector<std::string> texts;
  texts.reserve(300);
  for (int i = 0; i < 300; ++i) texts.push_back("Line number " + std::to_string(i));
  std::vector<pid_t> children;
  for (int child = 0; child < 8; ++child) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 0;
      {
        TranslationLibrary library(fixture.echo());
        // Each takes the lines from its own start, so that they overlap.
        std::vector<std::string> mine(texts.begin() + std::ptrdiff_t{20} * child, texts.end());
        const BatchResult batch = translateBatch(library, "en", "es", mine);
        if (!batch.ok || batch.records.size() != mine.size() || !fixture.notices.empty()) {
          status = 1;
        }
        for (std::size_t i = 0; status == 0 && i < mine.size(); ++i) {
          if (batch.records[i].second != mine[i]) status = 2;
        }
      }
      ::_exit(status);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  std::uint64_t entries = 0;
  for (const MemoryCount& count : MemoryStore(fixture.memory).counts()) entries += count.entries;
  EXPECT_EQ(entries, texts.size());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(fixture.memory.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* check = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
  sqlite3_finalize(check);
  sqlite3_close(db);
}

// A memory that cannot be used: the engine translates, one warning says
// why, and the file is left as it was.
TEST(MemoryTest, CorruptOrReadOnlyMemoryLeavesTranslationAndFileAlone) {
  MemoryFixture fixture;
  const std::string corrupt(8192, '\x5a');
  fixture.directory.writeFile("memory.db", corrupt);
  {
    TranslationLibrary library(fixture.echo());
    EXPECT_EQ(translate(library, "en", "es", "Good morning").text, "Good morning");
    EXPECT_TRUE(translateBatch(library, "en", "es", {"Good night", "Good day"}).ok);
  }
  EXPECT_EQ(readAll(fixture.memory), corrupt);
  ASSERT_EQ(fixture.notices.size(), 1U);
  EXPECT_NE(fixture.notices[0].find("ZTA_MEMORY=" + fixture.memory), std::string::npos);

  std::filesystem::remove(fixture.memory);
  {
    TranslationLibrary library(fixture.echo());
    EXPECT_EQ(translate(library, "en", "es", "Good morning").text, "Good morning");
  }
  const std::string kept = readAll(fixture.memory);
  // Root writes to any file but an immutable one.
  const std::string chattr = "chattr +i '" + fixture.memory + "' 2>/dev/null";
  if (::geteuid() == 0
          ? std::system(chattr.c_str()) != 0
          : (std::filesystem::permissions(fixture.memory, std::filesystem::perms::owner_read),
             false)) {
    GTEST_SKIP() << "cannot make the memory read-only here";
  }
  fixture.notices.clear();
  {
    TranslationLibrary library(fixture.echo());
    EXPECT_EQ(translate(library, "en", "es", "Good morning").text, "Good morning");
    EXPECT_EQ(translate(library, "en", "es", "Good evening").text, "Good evening");
  }
  if (::geteuid() == 0) {
    EXPECT_EQ(std::system(("chattr -i '" + fixture.memory + "'").c_str()), 0);
  }
  EXPECT_EQ(readAll(fixture.memory), kept);
  EXPECT_LE(fixture.notices.size(), 1U);
}

TEST(MemoryTest, TmxRoundTripAndBadInputNamedByFileAndLine) {
  TempDirectory directory;
  const std::string tmx = directory.path() + "/out.tmx";
  const std::vector<MemoryEntry> entries = {
      {"eng-spa", "Tom & \"Jerry\" <b>", "Tom y «Jerry» <b>", true},
      {"eng-spa", "Good morning", "Buenos días", true},
      {"spa-eng", "Hola", "Hello", true},
      {"eng-spa", "Made by a machine", "Hecho por una máquina", false},
  };
  writeTmx(tmx, entries);
  const std::vector<MemoryEntry> back = readTmx(tmx);
  ASSERT_EQ(back.size(), 3U);  // a machine's unit is not a person's translation
  for (std::size_t i = 0; i < back.size(); ++i) {
    EXPECT_EQ(back[i].pair, entries[i].pair);
    EXPECT_EQ(back[i].source, entries[i].source);
    EXPECT_EQ(back[i].target, entries[i].target);
    EXPECT_TRUE(back[i].human);
  }

  directory.writeFile("broken.tmx",
                      "<tmx version=\"1.4\"><header srclang=\"en\"/>\n<body>\n<tu>\n");
  directory.writeFile("tag.tmx",
                      "<tmx version=\"1.4\"><header srclang=\"en\"/><body>\n<tu>\n"
                      "<tuv xml:lang=\"en\"><seg>a</seg></tuv>\n"
                      "<tuv xml:lang=\"qq-ZZ\"><seg>b</seg></tuv></tu></body></tmx>\n");
  directory.writeFile("three.txt", "a\nb\nc\n");
  directory.writeFile("two.txt", "A\nB\n");
  const struct {
    std::function<void()> read;
    std::string named;
  } bad[] = {
      {[&] { readTmx(directory.path() + "/broken.tmx"); }, "/broken.tmx:4: not well-formed XML"},
      {[&] { readTmx(directory.path() + "/tag.tmx"); },
       "/tag.tmx:4: unknown language tag \"qq-ZZ\""},
      {[&] {
         readLinePair(directory.path() + "/three.txt", directory.path() + "/two.txt", "en", "es");
       },
       "/two.txt:3: ends here"},
      {[&] {
         readLinePair(directory.path() + "/three.txt", directory.path() + "/three.txt", "en", "xx");
       },
       "unknown language tag \"xx\""},
  };
  for (const auto& row : bad) {
    try {
      row.read();
      ADD_FAILURE() << "no failure for " << row.named;
    } catch (const MemoryError& error) {
      EXPECT_NE(std::string(error.what()).find(row.named), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace zta::test
