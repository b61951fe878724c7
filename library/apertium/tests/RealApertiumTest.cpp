// Translation with the installed Apertium English-Spanish pairs. Skipped, with
// the reason, where Apertium or the pairs are missing.
#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "Library.h"
#include "Prose.h"
#include "TestSupport.h"
#include "engine/KitNames.h"
#include "engine/ZtaErrors.h"
#include "local/Pipeline.h"

namespace zta {
namespace {

using namespace std::chrono_literals;
using test::CallResult;

class RealApertium : public ::testing::Test {
 protected:
  void SetUp() override { SKIP_WITHOUT_APERTIUM(); }

  std::string translated(const std::string& from, const std::string& to, const std::string& text) {
    const CallResult result = test::translate(library_, from, to, text);
    EXPECT_TRUE(result.ok) << text << ": " << result.message;
    return result.text;
  }

  PairTranslator* englishToSpanish() { return library_.translatorFor("eng-spa"); }

  TranslationLibrary library_{test::apertiumSettings()};
};

TEST_F(RealApertium, TranslatesTheSampleSentence) {
  EXPECT_EQ(translated("en", "es", "The house is big and my friend reads a book."),
            "La casa es grande y mi amigo lee un libro.");
  EXPECT_EQ(translated("eng", "spa", "The house is big and my friend reads a book."),
            "La casa es grande y mi amigo lee un libro.");
  EXPECT_EQ(translated("es", "en", "El niño come una manzana."), "The boy eats an apple.");
}

TEST_F(RealApertium, UsesAVariantPairWhenOneIsAskedFor) {
  EXPECT_EQ(translated("es", "en_US", "El niño come una manzana."), "The boy eats an apple.");
  EXPECT_NE(library_.translatorFor("spa-eng_US"), nullptr);
  EXPECT_EQ(library_.translatorFor("spa-eng"), nullptr);
}

TEST_F(RealApertium, KeepsTheLinesOwnEndAndAddsNone) {
  EXPECT_EQ(translated("en", "es", "Hello world"), "Hola Mundo");
  EXPECT_EQ(translated("en", "es", "Hello world."), "Hola Mundo.");
  EXPECT_EQ(translated("en", "es", "Where is the house?"), "Dónde es la casa?");
  // "Mr" takes the period of the request into the abbreviation.
  EXPECT_EQ(translated("en", "es", "Mr"), "Señor");
}

TEST_F(RealApertium, PassesMarkupCharactersAndBlanksThroughAndStaysInStep) {
  const std::string out =
      translated("en", "es", "Use <b>bold</b> and [brackets] {braces} $5 @home a/b x\\y ^z.");
  for (const char* piece : {"<b>", "</b>", "[", "]", "{", "}", "$5", "@", "/", "\\", "^"}) {
    EXPECT_NE(out.find(piece), std::string::npos) << piece << " missing in " << out;
  }
  const std::string blanks = translated("en", "es", "Tabs\tand  two spaces ~ tilde.");
  EXPECT_NE(blanks.find('\t'), std::string::npos) << blanks;
  EXPECT_NE(blanks.find("  "), std::string::npos) << blanks;
  EXPECT_NE(blanks.find(" ~ "), std::string::npos) << blanks;
  EXPECT_EQ(translated("en", "es", "The house is big."), "La casa es grande.");
}

// What "apertium -u PAIR" makes of text given as a file of one line.
std::string bulkApertium(const std::string& pair, const std::string& text) {
  std::string output;
  std::string error;
  EXPECT_TRUE(runForOutput({"sh", "-c", "printf '%s\\n' \"$1\" | apertium -u $2", "sh", text, pair},
                           std::chrono::seconds(30), &output, &error))
      << error;
  if (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

TEST_F(RealApertium, HandlesNonAsciiTextBothWays) {
  const std::string spanish = translated("en", "es", "I like the piñata and the café.");
  EXPECT_TRUE(isValidUtf8(spanish));
  EXPECT_NE(spanish.find("piñata"), std::string::npos) << spanish;
  const std::string english = translated("es", "en", "¿Dónde está la estación? Mañana.");
  EXPECT_EQ(english, bulkApertium("spa-eng", "¿Dónde está la estación? Mañana."));
}

TEST_F(RealApertium, MatchesApertiumOnItsOwnLineByLine) {
  const char* const lines[] = {
      "The children were playing in the garden when it started to rain.",
      "Could you tell me where the nearest train station is?",
      "Yesterday, his mother described the kitchen window behind the school",
      "I don't know why the door is open; nobody does.",
      "Prices rose by 5% in 2023 (see table 3).",
      "She said: \"We will visit our grandparents next summer!\"",
      "My e-mail is someone@example.com and the page is www.example.com/a/b.",
      "  Two leading spaces and a trailing tab\t",
      "The café in São Paulo serves crème brûlée.",
  };
  for (const char* line : lines) {
    EXPECT_EQ(translated("en", "es", line), bulkApertium("eng-spa", line)) << line;
  }
}

TEST_F(RealApertium, GivesEveryTextOfABatchWhatItGivesAlone) {
  // Enough lines to share among two chains, and the awkward ones.
  std::vector<std::string> texts = test::proseLines(60);
  for (const std::string& line : test::awkwardLines()) texts.push_back(line);
  texts.push_back("");
  texts.push_back("Zorblax \xC3 here.");
  LibrarySettings settings = test::apertiumSettings();
  settings.chains = 2;
  TranslationLibrary batchLibrary(settings);
  const test::BatchResult batch = test::translateBatch(batchLibrary, "en", "es", texts);
  ASSERT_TRUE(batch.ok) << batch.message;
  ASSERT_EQ(batch.records.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(batch.records[i], test::aloneRecord(library_, "en", "es", texts[i])) << texts[i];
  }
  EXPECT_EQ(batchLibrary.translatorFor("eng-spa")->runningChains(), 2u);
}

TEST_F(RealApertium, LeavesUnknownWordsUnmarkedUnlessAsked) {
  EXPECT_EQ(translated("en", "es", "Zorblax is here."), "Zorblax Es aquí.");
  TranslationLibrary marking(test::apertiumSettings(true));
  const CallResult marked = test::translate(marking, "en", "es", "Zorblax is here.");
  ASSERT_TRUE(marked.ok) << marked.message;
  EXPECT_EQ(marked.text, "*Zorblax Es aquí.");
}

TEST_F(RealApertium, AnswersAThousandCallsInOrderOnOneChain) {
  const std::vector<std::string> sentences = {
      "The house is big and my friend reads a book.",
      "We walked along the river until the sun went down.",
      "She has lived in this city for ten years.",
      "Could you tell me where the nearest train station is?",
      "The children were playing in the garden when it started to rain.",
      "My brother works at a small company that makes furniture.",
      "We will visit our grandparents next summer.",
      "He bought three apples, two oranges and a loaf of bread.",
      "The museum opens at nine o'clock in the morning.",
      "The old man sat on the bench and fed the birds.",
  };
  std::vector<std::string> first;
  for (const std::string& sentence : sentences) first.push_back(translated("en", "es", sentence));
  for (int round = 1; round < 100; ++round) {
    for (std::size_t i = 0; i < sentences.size(); ++i) {
      // A reply one request late would show up as the previous sentence's.
      ASSERT_EQ(translated("en", "es", sentences[i]), first[i]) << "round " << round;
    }
  }
  EXPECT_EQ(englishToSpanish()->exchangeCount(), 1000u);
  EXPECT_EQ(englishToSpanish()->startCount(), 1u);
}

TEST_F(RealApertium, TranslatesAFiftyKilobyteLine) {
  std::size_t sentences = 0;
  const std::string line = test::longEnglishLine(50 * 1024, &sentences);
  const std::string out = translated("en", "es", line);
  std::size_t found = 0;
  for (std::size_t at = out.find("La casa es grande y mi amigo lee un libro.");
       at != std::string::npos; at = out.find("La casa es grande", at + 1)) {
    ++found;
  }
  EXPECT_EQ(found, (sentences + 3) / 4);  // every fourth sentence is the sample one
  EXPECT_EQ(translated("en", "es", "The house is big."), "La casa es grande.");
}

TEST_F(RealApertium, GivesEmptyAndBlankLinesBackUntouched) {
  EXPECT_EQ(translated("en", "es", ""), "");
  EXPECT_EQ(translated("en", "es", " \t  "), " \t  ");
  EXPECT_EQ(englishToSpanish(), nullptr);  // no chain was needed
}

TEST_F(RealApertium, GoesFromEnglishToPortugueseThroughSpanishUnlessTurnedOff) {
  LibrarySettings settings = test::apertiumSettings();
  if (!PairCatalog::fromModesDirectory(settings.modesDirectory).find({"spa", ""}, {"por", ""})) {
    GTEST_SKIP() << "the Spanish-Portuguese pair (apertium-es-pt) is not installed";
  }
  std::vector<std::string> notices;
  settings.notice = [&notices](const std::string& line) { notices.push_back(line); };
  TranslationLibrary pivoting(settings);
  const std::vector<std::string> lines = {"The house is big and my friend reads a book.", "",
                                          "The boy eats an apple."};
  const test::BatchResult batch = test::translateBatch(pivoting, "en", "pt", lines);
  ASSERT_TRUE(batch.ok) << batch.message;
  ASSERT_EQ(batch.records.size(), lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    // Each line as the two pairs give it, one after the other.
    const std::string throughSpanish = translated("es", "pt", translated("en", "es", lines[i]));
    EXPECT_EQ(batch.records[i], std::make_pair(0u, throughSpanish));
    EXPECT_EQ(test::translate(pivoting, "en", "pt", lines[i]).text, throughSpanish);
  }
  EXPECT_EQ(batch.records[0].second, "A casa é grande e meu amigo lê um livro.");
  EXPECT_EQ(notices, std::vector<std::string>{"en\xE2\x86\x92pt goes through es"});

  settings.pivot = "0";
  TranslationLibrary direct(settings);
  const CallResult off = test::translate(direct, "en", "pt", "The house is big.");
  EXPECT_EQ(off.code, static_cast<uint32_t>(ErrorCode::kPairNotInstalled));
  EXPECT_EQ(off.message.rfind("Apertium has no pair from en into pt; installed pairs: ", 0), 0u)
      << off.message;
  EXPECT_NE(off.message.find("; to add it, install an apertium package for en-pt"),
            std::string::npos)
      << off.message;
}

TEST_F(RealApertium, KeepsALowerCaseStartInPlainText) {
  test::expectFormatCases(library_, test::textCases());
}

TEST_F(RealApertium, KeepsMarkupAsItIsInHtml) {
  LibrarySettings settings = test::apertiumSettings();
  settings.format = "html";
  TranslationLibrary html(settings);
  test::expectFormatCases(html, test::htmlCases());
}

TEST_F(RealApertium, KeepsCueNumbersTimingLinesAndTagsInSubtitles) {
  LibrarySettings settings = test::apertiumSettings();
  settings.format = "srt";
  TranslationLibrary subtitles(settings);
  test::expectFormatCases(subtitles, test::subtitleCases());
}

TEST_F(RealApertium, RestartsAChainKilledBetweenCalls) {
  ASSERT_EQ(translated("en", "es", "The house is big."), "La casa es grande.");
  const int group = englishToSpanish()->processId();
  ASSERT_TRUE(test::killAndWaitForEnd(group, englishToSpanish()->stageProcessIds()));
  EXPECT_EQ(translated("en", "es", "My friend reads a book."), "Mi amigo lee un libro.");
  EXPECT_EQ(englishToSpanish()->startCount(), 2u);
  EXPECT_TRUE(test::waitForGroupToVanish(group, 5s));
}

TEST_F(RealApertium, FailsTheCallWhoseChainIsKilledMidwayAndWorksOnTheNext) {
  ASSERT_EQ(translated("en", "es", "The house is big."), "La casa es grande.");
  const int group = englishToSpanish()->processId();
  // Some seconds of work for the chain; it is killed well before the end.
  const std::string line = test::longEnglishLine(200 * 1024);
  std::thread killer([group] {
    std::this_thread::sleep_for(200ms);
    kill(-group, SIGKILL);
  });
  const CallResult failed = test::translate(library_, "en", "es", line);
  killer.join();
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.code, static_cast<uint32_t>(ErrorCode::kEngineStopped)) << failed.message;
  EXPECT_NE(failed.message.find("restarted"), std::string::npos) << failed.message;
  EXPECT_EQ(translated("en", "es", "The house is big."), "La casa es grande.");
}

TEST_F(RealApertium, LeavesNoProcessBehindWhenDestroyed) {
  std::vector<int> stages;
  int group = 0;
  {
    TranslationLibrary library(test::apertiumSettings());
    ASSERT_TRUE(test::translate(library, "en", "es", "The house is big.").ok);
    ASSERT_TRUE(test::translate(library, "es", "en", "La casa es grande.").ok);
    stages = library.translatorFor("eng-spa")->stageProcessIds();
    group = library.translatorFor("eng-spa")->processId();
    EXPECT_GE(stages.size(), 10u);
  }
  EXPECT_TRUE(test::waitForGroupToVanish(group, 5s));
  for (int pid : stages) EXPECT_FALSE(test::isUnreapedChild(pid)) << pid;
}

}  // namespace
}  // namespace zta
