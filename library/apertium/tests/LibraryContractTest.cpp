// The library's side of the contract, with a stand-in chain that echoes
// each text back: codes, buffers, error texts, the POST form, and how the
// library recovers from a chain that fails.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstring>
#include <thread>

#include "Library.h"
#include "TestSupport.h"
#include "contract/ZtaContract.h"
#include "engine/ZtaErrors.h"

namespace zta {
namespace {

using namespace std::chrono_literals;
using test::CallResult;

class LibraryContract : public ::testing::Test {
 protected:
  test::TempDirectory modes_;
  TranslationLibrary library_{test::fakeSettings(modes_, {"eng-spa", "spa-eng"}, 500ms)};

  PairTranslator* englishToSpanish() { return library_.translatorFor("eng-spa"); }

  std::string errorText(uint32_t code) {
    std::vector<char> buffer(4096);
    EXPECT_TRUE(library_.errorText(code, buffer.data(), static_cast<uint32_t>(buffer.size())));
    return buffer.data();
  }
};

TEST_F(LibraryContract, TranslatesWithTwoAndThreeLetterCodes) {
  for (const auto& [from, to] : {std::pair{"en", "es"}, {"eng", "spa"}, {"EN", "spa"}}) {
    const CallResult result = test::translate(library_, from, to, "A <b>tag</b> and $5.");
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.text, "A <b>tag</b> and $5.");
  }
  EXPECT_EQ(library_.lastErrorCode(), 0u);
  ASSERT_NE(englishToSpanish(), nullptr);
  EXPECT_EQ(englishToSpanish()->startCount(), 1u);  // one chain for the pair, kept warm
}

TEST_F(LibraryContract, GivesTheTextBackForTheSameLanguageWithoutAChain) {
  const CallResult result = test::translate(library_, "en", "eng", "Unchanged text.");
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.text, "Unchanged text.");
  EXPECT_EQ(englishToSpanish(), nullptr);
}

TEST_F(LibraryContract, AnswersBlankTextsWithoutARoundTrip) {
  for (const char* text : {"", "   ", " \t "}) {
    const CallResult result = test::translate(library_, "en", "es", text);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.text, text);
  }
  const PairTranslator* translator = englishToSpanish();
  EXPECT_TRUE(translator == nullptr || translator->exchangeCount() == 0);
}

TEST_F(LibraryContract, NamesTheInstalledPairsWhenAPairIsMissing) {
  const CallResult result = test::translate(library_, "en", "de", "Hello");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.code, static_cast<uint32_t>(ErrorCode::kPairNotInstalled));
  EXPECT_NE(result.message.find("en-es, es-en"), std::string::npos) << result.message;
  EXPECT_NE(result.message.find("de"), std::string::npos) << result.message;
}

TEST_F(LibraryContract, RejectsBadCodesTextsAndArguments) {
  CallResult result = test::translate(library_, "english", "es", "Hello");
  EXPECT_EQ(result.code, static_cast<uint32_t>(ErrorCode::kBadLanguageCode));
  EXPECT_NE(result.message.find("\"english\""), std::string::npos) << result.message;
  result = test::translate(library_, "", "es", "Hello");
  EXPECT_EQ(result.code, static_cast<uint32_t>(ErrorCode::kBadLanguageCode));
  result = test::translate(library_, "en", "es", "bad \xC3 byte");
  EXPECT_EQ(result.code, static_cast<uint32_t>(ErrorCode::kInvalidUtf8));
  char buffer[64];
  EXPECT_FALSE(library_.translate("en", "en", "es", nullptr, buffer, sizeof buffer));
  EXPECT_EQ(library_.lastErrorCode(), static_cast<uint32_t>(ErrorCode::kInvalidArgument));
  EXPECT_FALSE(library_.translate("en", nullptr, "es", "Hi", buffer, sizeof buffer));
  EXPECT_EQ(library_.lastErrorCode(), static_cast<uint32_t>(ErrorCode::kInvalidArgument));
  EXPECT_FALSE(library_.translate("en", "en", "es", "Hi", nullptr, 64));
  EXPECT_EQ(library_.lastErrorCode(), static_cast<uint32_t>(ErrorCode::kInvalidArgument));
}

TEST_F(LibraryContract, RefusesAFormatItDoesNotKnowAndNamesTheFormats) {
  LibrarySettings settings = test::fakeSettings(modes_, {"eng-spa"});
  settings.format = "xml";
  TranslationLibrary library(settings);
  const CallResult result = test::translate(library, "en", "es", "The house.");
  EXPECT_EQ(result.code, static_cast<uint32_t>(ErrorCode::kInvalidArgument));
  EXPECT_EQ(result.message,
            "ZTA_FORMAT=\"xml\" is no format of this library; give txt (plain text, the "
            "default), html or srt (subtitles)");
  const test::BatchResult batch = test::translateBatch(library, "en", "es", {"a", "b"});
  ASSERT_TRUE(batch.ok);
  EXPECT_EQ(batch.records[1], std::make_pair(result.code, result.message));
}

// The chain echoes each text, so what changes is the glossary's doing.
TEST_F(LibraryContract, PutsTheGlossarysTermsInPlaceOfTheirSourceAsWholeWordsLongestFirst) {
  modes_.writeFile("terms.tsv",
                   "# house style\n"
                   "Free Software Foundation\tFree Software Foundation\n"
                   "source code\tc\xC3\xB3"
                   "digo fuente\r\n"
                   "source\tfuente\n"
                   "\n"
                   "code\tc\xC3\xB3"
                   "digo\n"
                   "a term without its translation\n"
                   "program\tsource code\n");
  LibrarySettings settings = test::fakeSettings(modes_, {"eng-spa", "spa-por"});
  settings.glossaryPath = modes_.path() + "/terms.tsv";
  std::vector<std::string> notices;
  settings.notice = [&notices](const std::string& line) { notices.push_back(line); };
  struct Row {
    const char* format;
    const char* to;
    std::string line;
    std::string translation;
  };
  const Row rows[] = {
      {"txt", "es", "the Free Software Foundation's source code.",
       "the Free Software Foundation's c\xC3\xB3"
       "digo fuente."},
      // Whole words only, and the capital of a sentence's start.
      {"txt", "es", "Source code, sourced codecs, open-source code",
       "C\xC3\xB3"
       "digo fuente, sourced codecs, open-source c\xC3\xB3"
       "digo"},
      {"txt", "es", "code",
       "c\xC3\xB3"
       "digo"},
      {"txt", "es", "a < b & source", "a < b & fuente"},
      // A target is not looked up again, through a pivot either.
      {"txt", "pt", "the program", "the source code"},
      // Not in a tag's attributes; in the text between tags.
      {"html", "es", "<a href=\"source code.html\">the source <b>code</b></a>",
       "<a href=\"source code.html\">the fuente <b>c\xC3\xB3"
       "digo</b></a>"},
  };
  for (const Row& row : rows) {
    settings.format = row.format;
    TranslationLibrary library(settings);
    EXPECT_EQ(test::translate(library, "en", row.to, row.line).text, row.translation) << row.line;
    const test::BatchResult batch = test::translateBatch(library, "en", row.to, {"", row.line});
    ASSERT_EQ(batch.records.size(), 2u) << batch.message;
    EXPECT_EQ(batch.records[1], std::make_pair(0u, row.translation)) << row.line;
  }
  // Each library that read the file named its line once.
  const std::string leftOut = "ZTA_GLOSSARY " + settings.glossaryPath +
                              ", line 7: no tab between the term and its translation; the "
                              "line is left out";
  EXPECT_EQ(notices.size(), std::size(rows) + 1) << notices.back();  // the pivot's notice too
  EXPECT_EQ(notices.front(), leftOut);

  settings.glossaryPath = modes_.path() + "/missing.tsv";
  TranslationLibrary missing(settings);
  const CallResult failed = test::translate(missing, "en", "es", "The house.");
  EXPECT_EQ(failed.code, static_cast<uint32_t>(ErrorCode::kInvalidArgument));
  EXPECT_EQ(failed.message, "ZTA_GLOSSARY=\"" + settings.glossaryPath +
                                "\" cannot be read (No such file or directory); name a "
                                "tab-separated file of terms, or leave ZTA_GLOSSARY unset");
  const test::BatchResult batch = test::translateBatch(missing, "en", "es", {"a", "b"});
  ASSERT_TRUE(batch.ok);
  EXPECT_EQ(batch.records[1], std::make_pair(failed.code, failed.message));
}

TEST_F(LibraryContract, KeepsSubtitleFramesFromTheChainAndMarkupWholeWhenTheChainLosesIt) {
  LibrarySettings settings = test::fakeSettings(modes_, {"eng-spa"});
  settings.format = "srt";
  TranslationLibrary library(settings);
  // Kept as they are without a chain: cue numbers, timing lines, and
  // lines of markup only.
  for (const char* frame : {"17", " 3 ", "01:02:03,004 --> 01:02:05,000", "WEBVTT - a film",
                            "02:03.004 --> 02:05.000 line:0 position:20%", "</i>",
                            " <br/> {\\an8}<00:00:05.000> &nbsp;"}) {
    const CallResult result = test::translate(library, "en", "es", frame);
    EXPECT_EQ(result.text, frame);
  }
  EXPECT_EQ(library.translatorFor("eng-spa"), nullptr);
  // Only look like them: translated (here echoed by the chain).
  for (const char* text : {"1 2", "00:00:02,830 -> 00:00:05,560", "00:00:02 --> 00:00:05",
                           "WEBVTTX", "10:00:02,830 --> now"}) {
    EXPECT_EQ(test::translate(library, "en", "es", text).text, text);
  }
  EXPECT_EQ(library.translatorFor("eng-spa")->exchangeCount(), 5u);
  // The chain gives back "UPPER" in capitals, placeholders too: each
  // stretch between the markup is then translated alone.
  const std::string line = "x <b>UPPER y</b> &amp; z";
  const CallResult lost = test::translate(library, "en", "es", line);
  EXPECT_EQ(lost.text, "x <b>UPPER Y</b> &amp; z");
  const test::BatchResult batch = test::translateBatch(library, "en", "es", {"a <i>b</i>", line});
  ASSERT_TRUE(batch.ok) << batch.message;
  EXPECT_EQ(batch.records[0], std::make_pair(0u, std::string("a <i>b</i>")));
  EXPECT_EQ(batch.records[1], std::make_pair(0u, lost.text));
}

TEST_F(LibraryContract, ReportsCodeOneAndAnswersTheRetryWithoutTranslatingAgain) {
  // Code 1 and the retry are checked for every library in
  // tests/ContractLibrariesTest.cpp; here, that the retry is answered from
  // the kept result, without a second exchange with the chain.
  const std::string text = "Exactly twenty bytes";
  const CallResult result = test::translate(library_, "en", "es", text, 20);
  EXPECT_EQ(result.code, ZTA_CODE_BUFFER_TOO_SMALL);
  std::vector<char> buffer(21, 'x');
  ASSERT_TRUE(library_.translate("en", "en", "es", text.c_str(), buffer.data(), 21));
  EXPECT_EQ(std::string(buffer.data()), text);
  EXPECT_EQ(englishToSpanish()->exchangeCount(), 1u);
  // Another text is translated again.
  ASSERT_TRUE(test::translate(library_, "en", "es", "Other").ok);
  EXPECT_EQ(englishToSpanish()->exchangeCount(), 2u);
}

TEST_F(LibraryContract, ListsTheLanguagesOfThePairsOnePerLine) {
  char buffer[256];
  ASSERT_TRUE(library_.languageList("en", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "en English\r\nes Spanish");
  EXPECT_FALSE(library_.languageList("en", buffer, 5));
  EXPECT_EQ(library_.lastErrorCode(), ZTA_CODE_BUFFER_TOO_SMALL);
}

TEST_F(LibraryContract, FailsTheLanguageListWhenNoPairIsInstalled) {
  test::TempDirectory empty;
  TranslationLibrary library(test::fakeSettings(empty, {}));
  char buffer[256];
  EXPECT_FALSE(library.languageList("en", buffer, sizeof buffer));
  EXPECT_EQ(library.lastErrorCode(), static_cast<uint32_t>(ErrorCode::kEngineUnavailable));
}

TEST_F(LibraryContract, GivesErrorTextsInAsciiAndKeepsTheLastErrorCode) {
  const CallResult failed = test::translate(library_, "\xC3\xB1x", "es", "Hello");
  ASSERT_EQ(failed.code, static_cast<uint32_t>(ErrorCode::kBadLanguageCode));
  for (unsigned char c : failed.message) EXPECT_LT(c, 0x80);
  // The text stays the code's until its next failure.
  EXPECT_EQ(errorText(3), failed.message);
  // A code without a failure yet has its general text.
  EXPECT_EQ(errorText(8), genericErrorText(8));
  EXPECT_EQ(errorText(0), "No error");
}

TEST_F(LibraryContract, FailsTheErrorTextOfAnUnknownCodeWithACodeOfItsOwn) {
  char buffer[256];
  EXPECT_FALSE(library_.errorText(4242, buffer, sizeof buffer));
  EXPECT_NE(errorText(static_cast<uint32_t>(ErrorCode::kUnknownErrorCode)).find("4242"),
            std::string::npos);
}

TEST_F(LibraryContract, RoundTripsThePostForm) {
  const std::string text =
      "La ni\xC3\xB1"
      "a & el perro = 100% \"bien\"";
  char post[256];
  ASSERT_TRUE(library_.toPostText(text.c_str(), post, sizeof post));
  EXPECT_STREQ(post, "La+ni%C3%B1a+%26+el+perro+%3D+100%25+%22bien%22");
  char back[256];
  ASSERT_TRUE(library_.fromPostText(post, back, sizeof back));
  EXPECT_EQ(std::string(back), text);
  EXPECT_FALSE(library_.fromPostText("50%", back, sizeof back));
  EXPECT_EQ(library_.lastErrorCode(), static_cast<uint32_t>(ErrorCode::kBadPostText));
  EXPECT_FALSE(library_.fromPostText("a%00b", back, sizeof back));
  EXPECT_EQ(library_.lastErrorCode(), static_cast<uint32_t>(ErrorCode::kBadPostText));
  EXPECT_FALSE(library_.fromPostText("%C3", back, sizeof back));
  EXPECT_EQ(library_.lastErrorCode(), static_cast<uint32_t>(ErrorCode::kInvalidUtf8));
  EXPECT_FALSE(library_.toPostText(text.c_str(), post, 10));
  EXPECT_EQ(library_.lastErrorCode(), ZTA_CODE_BUFFER_TOO_SMALL);
}

TEST_F(LibraryContract, FailsTheCallWhoseChainDiesAndWorksOnTheNext) {
  ASSERT_TRUE(test::translate(library_, "en", "es", "first").ok);
  const CallResult failed = test::translate(library_, "en", "es", "now DIE");
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.code, static_cast<uint32_t>(ErrorCode::kEngineStopped));
  EXPECT_NE(failed.message.find("stopped"), std::string::npos) << failed.message;
  EXPECT_NE(failed.message.find("told to die"), std::string::npos) << failed.message;
  const CallResult next = test::translate(library_, "en", "es", "second");
  ASSERT_TRUE(next.ok) << next.message;
  EXPECT_EQ(next.text, "second");
  EXPECT_EQ(englishToSpanish()->startCount(), 2u);
}

TEST_F(LibraryContract, KillsAChainThatHangsOrAnswersGarbageAndRestartsIt) {
  const struct {
    const char* text;
    ErrorCode code;
    const char* says;
  } cases[] = {{"HANG here", ErrorCode::kEngineTimedOut, "in time"},
               {"GARBAGE here", ErrorCode::kEngineOutOfStep, "out of step"}};
  for (const auto& failure : cases) {
    ASSERT_TRUE(test::translate(library_, "en", "es", "before").ok);
    const int group = englishToSpanish()->processId();
    const CallResult failed = test::translate(library_, "en", "es", failure.text);
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.code, static_cast<uint32_t>(failure.code));
    EXPECT_NE(failed.message.find(failure.says), std::string::npos) << failed.message;
    EXPECT_TRUE(test::waitForGroupToVanish(group, 5s)) << failure.text;  // killed, not left hanging
    EXPECT_EQ(englishToSpanish()->processId(), 0);
    const CallResult next = test::translate(library_, "en", "es", "after");
    ASSERT_TRUE(next.ok) << next.message;
    EXPECT_EQ(next.text, "after");
  }
}

TEST_F(LibraryContract, ReplacesAChainThatDiedBetweenCallsWithoutFailing) {
  ASSERT_TRUE(test::translate(library_, "en", "es", "one").ok);
  const int group = englishToSpanish()->processId();
  ASSERT_TRUE(test::killAndWaitForEnd(group, englishToSpanish()->stageProcessIds()));
  const CallResult result = test::translate(library_, "en", "es", "two");
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_EQ(result.text, "two");
  EXPECT_EQ(englishToSpanish()->startCount(), 2u);
  EXPECT_NE(englishToSpanish()->processId(), group);
}

TEST_F(LibraryContract, KeepsOneChainPerPairAndEndsThemAll) {
  ASSERT_TRUE(test::translate(library_, "en", "es", "one").ok);
  ASSERT_TRUE(test::translate(library_, "es", "en", "uno").ok);
  const int english = englishToSpanish()->processId();
  const int spanish = library_.translatorFor("spa-eng")->processId();
  EXPECT_NE(english, spanish);
  library_.stopAll();
  EXPECT_TRUE(test::waitForGroupToVanish(english, 5s));
  EXPECT_TRUE(test::waitForGroupToVanish(spanish, 5s));
  EXPECT_FALSE(test::isUnreapedChild(english));
}

TEST_F(LibraryContract, GivesEachTextOfABatchItsOwnRecordAndKeepsThemForARetry) {
  const std::vector<std::string> texts = {"One <b>x</b>.", "bad \xC3 byte", "", "two", " \t "};
  // Too small: code 1, after the chain translated the batch once.
  const test::BatchResult small = test::translateBatch(library_, "en", "es", texts, 20);
  EXPECT_FALSE(small.ok);
  EXPECT_EQ(small.code, ZTA_CODE_BUFFER_TOO_SMALL);
  ASSERT_NE(englishToSpanish(), nullptr);
  EXPECT_EQ(englishToSpanish()->exchangeCount(), 2u);
  // The retry is answered from the kept records.
  const test::BatchResult batch = test::translateBatch(library_, "en", "es", texts);
  ASSERT_TRUE(batch.ok) << batch.message;
  EXPECT_EQ(englishToSpanish()->exchangeCount(), 2u);
  ASSERT_EQ(batch.records.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(batch.records[i], test::aloneRecord(library_, "en", "es", texts[i])) << texts[i];
  }
  EXPECT_EQ(batch.records[1].first, static_cast<uint32_t>(ErrorCode::kInvalidUtf8));
  // Failures of the whole request are every text's record; none is no record.
  const test::BatchResult missing = test::translateBatch(library_, "en", "de", {"a", "b"});
  ASSERT_TRUE(missing.ok);
  EXPECT_EQ(missing.records[1], test::aloneRecord(library_, "en", "de", "b"));
  EXPECT_EQ(missing.records[1].first, static_cast<uint32_t>(ErrorCode::kPairNotInstalled));
  // A null language is each text's failure, as for a text alone.
  const char* const two[] = {"a", "b"};
  std::vector<char> records(256);
  ASSERT_TRUE(library_.translateBatch("en", nullptr, "es", 2, two, records.data(), 256));
  EXPECT_EQ(std::string(records.data(), 4),
            std::string({static_cast<char>(ErrorCode::kInvalidArgument), 0, 0, 0}));
}

TEST_F(LibraryContract, SharesABatchAmongChainsAndKeepsWhatWasDoneWhenAChainFails) {
  // The limit is long enough that a loaded machine starting two chains does
  // not look like a hung one; only the HANG text waits it out.
  LibrarySettings settings = test::fakeSettings(modes_, {"eng-spa"}, 2000ms);
  settings.chains = 2;
  TranslationLibrary library(settings);
  std::vector<std::string> texts;
  for (int i = 0; i < 100; ++i) texts.push_back("line " + std::to_string(i));
  const test::BatchResult batch = test::translateBatch(library, "en", "es", texts);
  ASSERT_TRUE(batch.ok) << batch.message;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    ASSERT_EQ(batch.records[i], std::make_pair(0u, texts[i]));
  }
  PairTranslator* translator = library.translatorFor("eng-spa");
  EXPECT_EQ(translator->runningChains(), 2u);
  EXPECT_EQ(translator->exchangeCount(), 100u);
  // A chain that dies, hangs or answers garbage fails the batch, so that
  // the caller translates the rest alone; the other chain stays. The texts
  // before the failed one keep their translations when the chain died; a
  // chain that hung or answered out of step may have shifted its replies,
  // so none of them is kept (at most the other chain's first text).
  const struct {
    const char* text;
    ErrorCode code;
    std::size_t kept;
  } failures[] = {{"now DIE", ErrorCode::kEngineStopped, 50},
                  {"HANG here", ErrorCode::kEngineTimedOut, 1},
                  {"GARBAGE here", ErrorCode::kEngineOutOfStep, 1}};
  for (const auto& failure : failures) {
    std::vector<std::string> failing = texts;
    failing[50] = failure.text;
    const test::BatchResult failed = test::translateBatch(library, "en", "es", failing);
    EXPECT_FALSE(failed.ok) << failure.text;
    EXPECT_EQ(failed.code, static_cast<uint32_t>(failure.code)) << failed.message;
    EXPECT_LE(failed.records.size(), failure.kept) << failure.text;
    if (failure.kept == 50) {
      EXPECT_EQ(failed.records.size(), 50u);
    }
    for (std::size_t i = 0; i < failed.records.size(); ++i) {
      EXPECT_EQ(failed.records[i], std::make_pair(0u, texts[i])) << failure.text;
    }
    EXPECT_EQ(translator->runningChains(), 1u) << failure.text;
    ASSERT_TRUE(test::translateBatch(library, "en", "es", texts).ok);
    EXPECT_EQ(translator->runningChains(), 2u);
  }
  // Without memory for a second chain the first takes the whole batch.
  settings.memoryAvailable = [] { return std::uint64_t{1}; };
  TranslationLibrary tight(settings);
  ASSERT_TRUE(test::translateBatch(tight, "en", "es", texts).ok);
  EXPECT_EQ(tight.translatorFor("eng-spa")->runningChains(), 1u);
}

}  // namespace
}  // namespace zta
