#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "LoopbackServers.h"
#include "Prose.h"
#include "testsupport/EndToEnd.h"

namespace xlate {
namespace {

using zta::test::ApyServer;

// The program with the Apertium-backed library and ZTA_SERVER naming an
// apertium-apy started for each test on a loopback port.
class ApyEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = zta::test::apyMissingReason();
    if (!why.empty()) GTEST_SKIP() << "Apertium APY cannot run: " << why;
    server = std::make_unique<ApyServer>();
    ASSERT_TRUE(server->running()) << server->failure();
  }

  TProcessResult Run(const std::vector<std::string>& aArguments, const std::string& aServer) {
    TProcessOptions options;
    options.Environment["ZTA_SERVER"] = aServer;
    return folder.Run(aArguments, "C.UTF-8", options);
  }
  TProcessResult Run(const std::vector<std::string>& aArguments) {
    return Run(aArguments, server->url());
  }

  TProgramFolder folder{XLATE_APERTIUM_LIBRARY};
  std::unique_ptr<ApyServer> server;
};

std::string LinesOf(const std::vector<std::string>& aLines) {
  std::string text;
  for (const std::string& line : aLines) text += line + "\n";
  return text;
}

TEST_F(ApyEndToEnd, TranslatesAndListsLanguagesThroughTheServer) {
  TProcessResult r = Run({"TEXT=The house is big and my friend reads a book.", "LANGFROM=en",
                          "LANGTO=es", "OCODING=UTF8"});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Out, "La casa es grande y mi amigo lee un libro.\r\n");
  EXPECT_EQ(r.Err, "");
  r = Run({"TEXT=my friend", "LANGFROM=eng", "LANGTO=spa"});
  EXPECT_EQ(r.Out, "mi amigo\r\n");  // a lower-case start kept
  r = Run({"DO=LIST"});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_NE(r.Out.find("en English\r\n"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("es Spanish\r\n"), std::string::npos) << r.Out;
  EXPECT_EQ(r.Err, "");
}

TEST_F(ApyEndToEnd, NamesTheServersPairsWhenAPairIsMissing) {
  const TProcessResult r = Run({"TEXT=house", "LANGFROM=en", "LANGTO=de"});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Out.substr(0, 8), "Error:\r\n");
  // The server has every pair installed here; the test made sure of en-es and es-en.
  const std::string named =
      "The translation server " + server->url() + " has no pair from en into de; its pairs: ";
  const std::string pairs = PairsNamedAfter(r.Out, named);
  ASSERT_FALSE(pairs.empty()) << r.Out;
  EXPECT_NE(pairs.find(", en-es,"), std::string::npos) << pairs;
  EXPECT_NE(pairs.find(", es-en,"), std::string::npos) << pairs;
}

TEST_F(ApyEndToEnd, TranslatesAFileAsTheLocalPipelineDoes) {
  std::vector<std::string> lines = zta::test::proseLines(200);
  lines.push_back("");
  lines.push_back("  Blanks around a line stay.\t");
  WriteFileBytes(folder.File("book.txt"), LinesOf(lines));
  TProcessResult r =
      Run({"IFILE=book.txt", "OFILE=server.txt", "LANGFROM=en", "LANGTO=es", "ICODING=UTF8"});
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(r.Err, "");
  r = Run({"IFILE=book.txt", "OFILE=local.txt", "LANGFROM=en", "LANGTO=es", "ICODING=UTF8"}, "");
  EXPECT_EQ(r.Out, "");
  const std::string viaServer = ReadFileBytes(folder.File("server.txt"));
  EXPECT_EQ(std::count(viaServer.begin(), viaServer.end(), '\n'), static_cast<long>(lines.size()));
  EXPECT_EQ(viaServer, ReadFileBytes(folder.File("local.txt")));
  // APY trims the blanks around a text; the library puts them back.
  EXPECT_NE(viaServer.find("\r\n  Espacios alrededor"), std::string::npos) << viaServer;
  EXPECT_NE(viaServer.find(".\t\r\n"), std::string::npos) << viaServer;
}

TEST_F(ApyEndToEnd, AStoppedServerFailsEveryLineAndTheRunEndsNormally) {
  const std::string url = server->url();
  server->stop();
  WriteFileBytes(folder.File("book.txt"),
                 "The house is big.\nMy friend reads a book.\nWhere is the station?\n");
  // Named with a user name and password, which no failed line shows.
  const std::string withUser = "http://user:secret@" + url.substr(std::string("http://").size());
  const TProcessResult r =
      Run({"IFILE=book.txt", "LANGFROM=en", "LANGTO=es", "ICODING=UTF8"}, withUser);
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(r.Err, "3 of 3 lines failed; their messages stand in the output\r\n");
  const std::string out = ReadFileBytes(folder.File("book.txt.es"));
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 3);
  std::size_t failures = 0;
  const std::string says = "Cannot reach the translation server " + url;
  for (std::size_t at = out.find(says); at != std::string::npos; at = out.find(says, at + 1)) {
    ++failures;
  }
  EXPECT_EQ(failures, 3u) << out;
  EXPECT_NE(out.find("My friend reads a book."), std::string::npos) << out;  // each line named
  EXPECT_EQ(out.find("secret"), std::string::npos) << out;
}

// Two servers in ZTA_SERVER; the first is killed (SIGKILL, its pipelines
// with it) while the file is translated: the lines it had, and those after, go to
// the second, and the output is that of a run with both servers up.
TEST_F(ApyEndToEnd, ASecondServerTakesTheLinesOfOneKilledMidFile) {
  ApyServer second;
  ASSERT_TRUE(second.running()) << second.failure();
  WriteFileBytes(folder.File("book.txt"), LinesOf(zta::test::proseLines(1500)));
  const std::string both = server->url() + ", " + second.url();
  const TProcessResult calm =
      Run({"IFILE=book.txt", "OFILE=calm.txt", "LANGFROM=en", "LANGTO=es", "ICODING=UTF8"}, both);
  EXPECT_EQ(calm.Out, "");
  EXPECT_EQ(calm.Err, "");
  TProcessOptions options;
  options.Arguments = {"-c",
                       "./xlate IFILE=book.txt OFILE=killed.txt LANGFROM=en LANGTO=es "
                       "ICODING=UTF8 > said.txt 2>&1 & sleep 0.3; kill -0 $! || echo done before; "
                       "kill -s KILL -- -" +
                           std::to_string(server->processGroup()) + " || echo not killed; wait"};
  options.Environment["ZTA_SERVER"] = both;
  options.Environment["LC_ALL"] = "C.UTF-8";
  options.WorkingDirectory = folder.Path().string();
  const TProcessResult r = RunProcess("/bin/sh", options);
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "");  // the server was killed, and the run had not ended
  server->stop();
  EXPECT_EQ(ReadFileBytes(folder.File("said.txt")), "");
  const std::string killed = ReadFileBytes(folder.File("killed.txt"));
  EXPECT_EQ(std::count(killed.begin(), killed.end(), '\n'), 1500);
  EXPECT_TRUE(killed == ReadFileBytes(folder.File("calm.txt")));  // too long to print
}

// A server that takes every request and never answers costs the time
// limit three times in a row; the lines after that fail at once.
TEST(ApyEndToEndSilentServer, CostsTheTimeLimitThreeTimesThenFailsLinesAtOnce) {
  zta::test::CannedServer silent(zta::test::CannedBehaviour::kSilent);
  TProgramFolder folder{XLATE_APERTIUM_LIBRARY};
  WriteFileBytes(folder.File("book.txt"), "one\ntwo\nthree\nfour\nfive\nsix\n");
  TProcessOptions options;
  options.Environment = {{"ZTA_SERVER", silent.url()}, {"ZTA_SERVER_TIMEOUT_MS", "300"}};
  const TProcessResult r =
      folder.Run({"IFILE=book.txt", "OFILE=out.txt", "LANGFROM=en", "LANGTO=es", "ICODING=UTF8"},
                 "C.UTF-8", options);
  EXPECT_EQ(r.Out, "");
  const std::string out = ReadFileBytes(folder.File("out.txt"));
  std::vector<std::string> lines;
  for (std::size_t at = 3, end; (end = out.find("\r\n", at)) != std::string::npos; at = end + 2) {
    lines.push_back(out.substr(at, end - at));
  }
  ASSERT_EQ(lines.size(), 6u) << out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const bool sent = lines[i].find("Not sent: the translation server " + silent.url() +
                                    " failed 3 requests in a row") == std::string::npos;
    EXPECT_EQ(sent, i < 3) << lines[i];
    EXPECT_NE(lines[i].find("did not answer GET /listPairs within 300 ms"), std::string::npos)
        << lines[i];
  }
}

// A server that answers the first five lines of a batch sent one by one,
// then sends half an answer and falls silent: those five keep their translations, only the
// later lines carry failure messages, and no half answer is taken for one.
TEST(ApyEndToEndSilentServer, KeepsTheLinesTranslatedBeforeTheServerFellSilent) {
  int posts = 0;
  zta::test::CannedServer server([&posts](const std::string& aRequest) {
    using zta::test::CannedServer;
    if (aRequest.rfind("GET", 0) == 0) {
      // Closed after the pairs, so that the batch's own connection is served.
      const std::string pairs = R"({"responseData": [{"sourceLanguage": "eng", )"
                                R"("targetLanguage": "spa"}], "responseStatus": 200})";
      return "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: application/json\r\n"
             "Content-Length: " +
             std::to_string(pairs.size()) + "\r\n\r\n" + pairs;
    }
    // A packed request gets no packed answer: its lines go one by one.
    if (aRequest.find("format=html") != std::string::npos) {
      return CannedServer::answer(
          "200 OK", "application/json",
          R"({"responseData": {"translatedText": "no lines"}, "responseStatus": 200})");
    }
    if (++posts > 5) {
      return std::string(
          "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
          "Content-Length: 200\r\n\r\n{\"responseData\": {\"translatedText\": \"HALF");
    }
    const std::size_t q = aRequest.find("\r\n\r\nq=") + 6;
    const std::string word = aRequest.substr(q, aRequest.find('&', q) - q);
    return CannedServer::answer(
        "200 OK", "application/json",
        R"({"responseData": {"translatedText": "es-)" + word + R"("}, "responseStatus": 200})");
  });
  TProgramFolder folder{XLATE_APERTIUM_LIBRARY};
  WriteFileBytes(folder.File("book.txt"), "one\ntwo\nthree\nfour\nfive\nsix\nseven\neight\n");
  TProcessOptions options;
  // One request at a time: the server serves one connection at a time.
  // The lines do not wait for the paused server to answer again.
  options.Environment = {{"ZTA_SERVER", server.url()},
                         {"ZTA_SERVER_TIMEOUT_MS", "300"},
                         {"ZTA_SERVER_REQUESTS", "1"},
                         {"ZTA_SERVER_WAIT_MS", "1"}};
  const TProcessResult r =
      folder.Run({"IFILE=book.txt", "OFILE=out.txt", "LANGFROM=en", "LANGTO=es", "ICODING=UTF8"},
                 "C.UTF-8", options);
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Err, "3 of 8 lines failed; their messages stand in the output\r\n");
  const std::string out = ReadFileBytes(folder.File("out.txt"));
  const std::string kept =
      "\xEF\xBB\xBF"
      "es-one\r\nes-two\r\nes-three\r\nes-four\r\nes-five\r\n";
  EXPECT_EQ(out.substr(0, kept.size()), kept) << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 8);
  EXPECT_EQ(out.find("es-six"), std::string::npos) << out;
  EXPECT_EQ(out.find("HALF"), std::string::npos) << out;
}

TEST_F(ApyEndToEnd, SeveralProgramsShareOneServer) {
  // Three runs at once, started by one shell; each has a copy of the book,
  // since a run locks its input file.
  for (int i = 0; i < 3; ++i) {
    WriteFileBytes(folder.File("book" + std::to_string(i) + ".txt"),
                   LinesOf(zta::test::proseLines(150)));
  }
  TProcessOptions options;
  options.Arguments = {"-c",
                       "for i in 0 1 2; do ./xlate IFILE=book$i.txt OFILE=out$i.txt LANGFROM=en "
                       "LANGTO=es ICODING=UTF8 > said$i.txt & done; wait"};
  options.Environment["ZTA_SERVER"] = server->url();
  options.Environment["LC_ALL"] = "C.UTF-8";
  options.WorkingDirectory = folder.Path().string();
  const TProcessResult r = RunProcess("/bin/sh", options);
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  const std::string first = ReadFileBytes(folder.File("out0.txt"));
  EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 150);
  EXPECT_EQ(first.find("translation server"), std::string::npos) << first.substr(0, 400);
  EXPECT_NE(first.find("\r\nMi amigo"), std::string::npos) << first.substr(0, 400);
  for (int i = 0; i < 3; ++i) {
    const std::string n = std::to_string(i);
    EXPECT_EQ(ReadFileBytes(folder.File("said" + n + ".txt")), "") << i;
    EXPECT_EQ(ReadFileBytes(folder.File("out" + n + ".txt")), first) << i;
  }
}

}  // namespace
}  // namespace xlate
