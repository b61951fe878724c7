// The library in server mode against a real apertium-apy on a loopback
// port, started for each test and stopped after it. Compared with the local
// pipeline where that is installed. Skipped, with the reason, where APY or
// the English-Spanish pairs are missing.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "Library.h"
#include "LoopbackServers.h"
#include "Prose.h"
#include "TestSupport.h"
#include "engine/ZtaErrors.h"
#include "text/TextPieces.h"

namespace zta {
namespace {

using test::ApyServer;
using test::CallResult;

LibrarySettings settingsFor(const std::string& url) {
  LibrarySettings settings = test::apertiumSettings();
  settings.serverUrl = url;
  return settings;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

class RealApy : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_APY();
    server_ = std::make_unique<ApyServer>();
    ASSERT_TRUE(server_->running()) << server_->failure();
    library_ = std::make_unique<TranslationLibrary>(settingsFor(server_->url()));
  }

  std::string translated(const std::string& from, const std::string& to, const std::string& text) {
    const CallResult result = test::translate(*library_, from, to, text);
    EXPECT_TRUE(result.ok) << text << ": " << result.message;
    return result.text;
  }

  // The library goes first: it may still hold a connection to the server.
  void TearDown() override {
    library_.reset();
    server_.reset();
  }

  std::unique_ptr<ApyServer> server_;
  std::unique_ptr<TranslationLibrary> library_;
};

TEST_F(RealApy, TranslatesTheSampleSentenceOverOneKeptConnection) {
  EXPECT_EQ(translated("en", "es", "The house is big and my friend reads a book."),
            "La casa es grande y mi amigo lee un libro.");
  EXPECT_EQ(translated("eng", "spa", "The house is big and my friend reads a book."),
            "La casa es grande y mi amigo lee un libro.");
  EXPECT_EQ(translated("es", "en", "El ni\xC3\xB1o come una manzana."), "The boy eats an apple.");
  EXPECT_EQ(translated("spa", "en_US", "El ni\xC3\xB1o come una manzana."),
            "The boy eats an apple.");
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(translated("en", "es", "My friend reads a book " + std::to_string(i) + "."),
              "Mi amigo lee un libro " + std::to_string(i) + ".");
  }
  ASSERT_NE(library_->serverClient(), nullptr);
  EXPECT_EQ(library_->serverClient()->translateRequests(), 24u);
  EXPECT_EQ(library_->serverClient()->transport().ConnectionsOpened(), 1u);
}

TEST_F(RealApy, GivesEveryTextOfABatchWhatItGivesAloneWithRequestsInFlight) {
  std::vector<std::string> texts = test::proseLines(20);
  for (const std::string& line : test::awkwardLines()) texts.push_back(line);
  texts.push_back(test::longEnglishLine(7000));  // three pieces
  texts.push_back("");
  const test::BatchResult batch = test::translateBatch(*library_, "en", "es", texts);
  ASSERT_TRUE(batch.ok) << batch.message;
  ASSERT_EQ(batch.records.size(), texts.size());
  ASSERT_NE(library_->serverBatchClient(), nullptr);
  // Packed requests, two in flight on the one server; the lines with "&" or
  // "<" and the long one (three pieces) go alone.
  EXPECT_EQ(library_->serverBatchClient()->clientCount(), 2u);
  EXPECT_LE(library_->serverBatchClient()->translateRequests(), 10u);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(batch.records[i], test::aloneRecord(*library_, "en", "es", texts[i])) << texts[i];
  }
}

TEST_F(RealApy, ListsTheSameLanguagesAsTheLocalPipeline) {
  char fromServer[4096];
  ASSERT_TRUE(library_->languageList("en", fromServer, sizeof fromServer));
  EXPECT_NE(std::string(fromServer).find("en English\r\n"), std::string::npos) << fromServer;
  EXPECT_NE(std::string(fromServer).find("es Spanish"), std::string::npos) << fromServer;
  SKIP_WITHOUT_APERTIUM();
  TranslationLibrary local(test::apertiumSettings());
  char fromModes[4096];
  ASSERT_TRUE(local.languageList("en", fromModes, sizeof fromModes));
  EXPECT_STREQ(fromServer, fromModes);
}

TEST_F(RealApy, NamesTheServersPairsForAPairItLacks) {
  const CallResult result = test::translate(*library_, "en", "de", "The house is big.");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.code, static_cast<uint32_t>(ErrorCode::kPairNotInstalled));
  // The server has every pair installed here; the test made sure of en-es and es-en.
  const std::string named =
      "The translation server " + server_->url() + " has no pair from en into de; its pairs: ";
  ASSERT_EQ(result.message.substr(0, named.size()), named);
  const std::string pairs = ", " + result.message.substr(named.size()) + ",";
  EXPECT_NE(pairs.find(", en-es,"), std::string::npos) << pairs;
  EXPECT_NE(pairs.find(", es-en,"), std::string::npos) << pairs;
}

TEST_F(RealApy, ReportsTheRefusalOfAServerThatLostAPairAndThenNamesItsPairs) {
  ASSERT_EQ(translated("en", "es", "The house is big."), "La casa es grande.");
  // The same address now serves Spanish to English only.
  test::TempDirectory modes;
  std::filesystem::copy_file("/usr/share/apertium/modes/spa-eng.mode",
                             std::filesystem::path(modes.path()) / "spa-eng.mode");
  const int port = server_->port();
  server_->stop();
  ApyServer smaller(modes.path(), port);
  ASSERT_TRUE(smaller.running()) << smaller.failure();

  CallResult result = test::translate(*library_, "en", "es", "The house is small.");
  EXPECT_EQ(result.code, static_cast<uint32_t>(ErrorCode::kServerRefused)) << result.message;
  EXPECT_EQ(result.message, "The translation server " + smaller.url() +
                                " answered POST /translate for eng|spa with HTTP 400 (Bad "
                                "Request: That pair is not installed)");
  result = test::translate(*library_, "en", "es", "The house is small.");
  EXPECT_EQ(result.code, static_cast<uint32_t>(ErrorCode::kPairNotInstalled)) << result.message;
  EXPECT_NE(result.message.find("its pairs: es-en"), std::string::npos) << result.message;
  EXPECT_EQ(translated("es", "en", "La casa es grande."), "The house is big.");
}

std::atomic<int> gSignals{0};
void noteSignal(int) { ++gSignals; }

TEST_F(RealApy, FailsEachCallWhileTheServerIsDownAndUsesItAgainWhenBack) {
  struct sigaction mine {};
  mine.sa_handler = noteSignal;
  sigemptyset(&mine.sa_mask);
  struct sigaction before {};
  ASSERT_EQ(sigaction(SIGPIPE, &mine, &before), 0);

  // No text waits for the server to come back: each call fails on its own.
  LibrarySettings settings = settingsFor(server_->url());
  settings.serverLimits.WaitForPausedServer = std::chrono::milliseconds(0);
  library_ = std::make_unique<TranslationLibrary>(settings);
  ASSERT_EQ(translated("en", "es", "The house is big."), "La casa es grande.");
  const int port = server_->port();
  const int group = server_->processGroup();
  server_->stop();
  EXPECT_NE(kill(-group, 0), 0) << "processes of the server are left";
  for (int i = 0; i < 2; ++i) {
    const CallResult down = test::translate(*library_, "en", "es", "The dog is small.");
    EXPECT_FALSE(down.ok);
    EXPECT_EQ(down.code, static_cast<uint32_t>(ErrorCode::kServerUnreachable)) << down.message;
    EXPECT_NE(down.message.find("Cannot reach the translation server http://127.0.0.1:" +
                                std::to_string(port)),
              std::string::npos)
        << down.message;
  }
  ApyServer back("/usr/share/apertium/modes", port);
  ASSERT_TRUE(back.running()) << back.failure();
  EXPECT_EQ(translated("en", "es", "The dog is small."), "El perro es pequeño.");
  EXPECT_EQ(library_->serverClient()->transport().ConnectionsOpened(), 2u);

  struct sigaction now {};
  ASSERT_EQ(sigaction(SIGPIPE, &before, &now), 0);
  EXPECT_EQ(now.sa_handler, &noteSignal);
  EXPECT_EQ(gSignals, 0);
}

TEST_F(RealApy, LosesNothingOfASeventyKilobyteLine) {
  std::size_t sentences = 0;
  const std::string line = test::longEnglishLine(70 * 1024, &sentences);
  const std::string out = translated("en", "es", line);
  // Every fourth sentence is the sample one; APY alone keeps about half.
  EXPECT_EQ(occurrences(out, "La casa es grande y mi amigo lee un libro."), (sentences + 3) / 4);
  EXPECT_EQ(occurrences(out, ". ") + 1, sentences);
  EXPECT_GE(library_->serverClient()->translateRequests(), line.size() / kServerPieceBytes);

  SKIP_WITHOUT_APERTIUM();
  TranslationLibrary local(test::apertiumSettings());
  std::string pieceByPiece;
  for (const TextSegment& segment : splitIntoPieces(line)) {
    if (segment.blank) {
      pieceByPiece += segment.text;
    } else {
      const CallResult piece = test::translate(local, "en", "es", std::string(segment.text));
      ASSERT_TRUE(piece.ok) << piece.message;
      pieceByPiece += piece.text;
    }
  }
  EXPECT_EQ(out, pieceByPiece);
}

TEST_F(RealApy, KeepsALowerCaseStartInPlainText) {
  test::expectFormatCases(*library_, test::textCases());
}

TEST_F(RealApy, PutsTheGlossarysTermsInTheTranslationAsTheLocalPipelineDoes) {
  test::TempDirectory directory;
  directory.writeFile("terms.tsv",
                      "Free Software Foundation\tFree Software Foundation\n"
                      "source code\tc\xC3\xB3"
                      "digo fuente\n");
  LibrarySettings settings = settingsFor(server_->url());
  settings.glossaryPath = directory.path() + "/terms.tsv";
  TranslationLibrary withTerms(settings);
  const std::vector<std::string> lines = {
      "software for all its users.  We, the Free Software Foundation, use the",
      "Source code & the <i>source code</i> of 3 < 4 &amp; &lt;b&gt; if a <b the house is big.",
      "source code"};
  const test::BatchResult batch = test::translateBatch(withTerms, "en", "es", lines);
  ASSERT_TRUE(batch.ok) << batch.message;
  ASSERT_EQ(batch.records.size(), lines.size());
  EXPECT_EQ(batch.records[0].second,
            "software para todos sus usuarios.  Nosotros, el Free Software Foundation, uso el");
  EXPECT_EQ(batch.records[1].second,
            "C\xC3\xB3"
            "digo fuente & el <i>c\xC3\xB3"
            "digo fuente</i> de 3 < 4 &amp; &lt;b&gt; si un <b la casa es grande.");
  EXPECT_EQ(batch.records[2].second,
            "c\xC3\xB3"
            "digo fuente");
  SKIP_WITHOUT_APERTIUM();
  settings.serverUrl.clear();
  TranslationLibrary local(settings);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(batch.records[i], test::aloneRecord(local, "en", "es", lines[i])) << lines[i];
  }
}

TEST_F(RealApy, KeepsMarkupAsItIsInHtml) {
  LibrarySettings settings = settingsFor(server_->url());
  settings.format = "html";
  TranslationLibrary html(settings);
  test::expectFormatCases(html, test::htmlCases());
}

TEST_F(RealApy, KeepsCueNumbersTimingLinesAndTagsInSubtitles) {
  LibrarySettings settings = settingsFor(server_->url());
  settings.format = "srt";
  TranslationLibrary subtitles(settings);
  test::expectFormatCases(subtitles, test::subtitleCases());
}

TEST_F(RealApy, GivesTheLocalPipelinesOutputForThreeHundredLines) {
  SKIP_WITHOUT_APERTIUM();
  TranslationLibrary local(test::apertiumSettings());
  std::vector<std::string> lines = test::proseLines(300);
  for (const std::string& line : test::awkwardLines()) lines.push_back(line);
  for (const std::string& line : lines) {
    const CallResult byLocal = test::translate(local, "en", "es", line);
    ASSERT_TRUE(byLocal.ok) << byLocal.message;
    EXPECT_EQ(translated("en", "es", line), byLocal.text) << line;
  }
  EXPECT_EQ(library_->serverClient()->translateRequests(), lines.size());
  // The one known difference: APY takes the "*" of unknown-word marks out
  // of its answer with a pattern, which also takes a "*" at the start of a
  // word of the text itself.
  const CallResult byLocal = test::translate(local, "en", "es", "An *important* word.");
  ASSERT_TRUE(byLocal.ok);
  EXPECT_EQ(byLocal.text, "Una *palabra* importante.");
  EXPECT_EQ(translated("en", "es", "An *important* word."), "Una palabra* importante.");
}

}  // namespace
}  // namespace zta
