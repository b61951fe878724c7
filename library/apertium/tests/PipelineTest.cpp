// The process chain on its own, with stand-ins for Apertium: the poll loop,
// failures, and that nothing is left behind.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "TestSupport.h"
#include "local/Pipeline.h"

namespace zta {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

std::unique_ptr<ChildPipeline> start(const StageList& stages) {
  std::string error;
  auto pipeline = startChildPipeline(stages, -1, &error);
  EXPECT_TRUE(pipeline) << error;
  return pipeline;
}

TEST(ChildPipeline, AnswersRequestsInTurnThroughSeveralStages) {
  auto pipeline = start({{ZTA_FAKE_PIPELINE}, {"cat"}, {ZTA_FAKE_PIPELINE}});
  ASSERT_TRUE(pipeline);
  EXPECT_EQ(pipeline->stageProcessIds().size(), 3u);
  for (int i = 0; i < 50; ++i) {
    const std::string text = "request " + std::to_string(i);
    const ExchangeResult result = pipeline->exchange(text + '\0', 5s, 1000);
    ASSERT_EQ(result.status, ExchangeStatus::kAnswered) << result.detail;
    EXPECT_EQ(result.reply, text);
    EXPECT_TRUE(pipeline->readyForRequest());
  }
  // What the stages hold in memory, summed (the bound on more chains).
  const std::vector<int> stages = pipeline->stageProcessIds();
  EXPECT_GT(residentMemory(stages), residentMemory({stages[0]}));
  EXPECT_GT(residentMemory({stages[0]}), 0u);
}

TEST(ChildPipeline, WritesAndReadsAMegabyteAtOnceWithoutDeadlock) {
  // cat answers while it is still reading: a writer that reads only after
  // writing everything would stall once both pipe buffers are full.
  auto pipeline = start({{"cat"}});
  ASSERT_TRUE(pipeline);
  std::string request(1 << 20, 'a');
  for (std::size_t i = 0; i < request.size(); i += 1000) request[i] = 'b';
  const ExchangeResult result = pipeline->exchange(request + '\0', 20s, 2 << 20);
  ASSERT_EQ(result.status, ExchangeStatus::kAnswered) << result.detail;
  EXPECT_EQ(result.reply, request);
}

TEST(ChildPipeline, ReportsAStageThatDiesWithWhatItSaid) {
  auto pipeline = start({{"cat"}, {ZTA_FAKE_PIPELINE}});
  ASSERT_TRUE(pipeline);
  const ExchangeResult result = pipeline->exchange("please DIE\0"s, 5s, 1000);
  EXPECT_EQ(result.status, ExchangeStatus::kStopped);
  EXPECT_NE(result.detail.find("told to die"), std::string::npos) << result.detail;
  EXPECT_FALSE(pipeline->readyForRequest());
}

TEST(ChildPipeline, GivesUpOnAChainThatDoesNotAnswer) {
  auto pipeline = start({{ZTA_FAKE_PIPELINE}});
  ASSERT_TRUE(pipeline);
  const auto before = std::chrono::steady_clock::now();
  const ExchangeResult result = pipeline->exchange("HANG\0"s, 300ms, 1000);
  const auto took = std::chrono::steady_clock::now() - before;
  EXPECT_EQ(result.status, ExchangeStatus::kTimedOut);
  EXPECT_GE(took, 300ms);
  EXPECT_LT(took, 3s);
}

TEST(ChildPipeline, NoticesRepliesThatAreOutOfStep) {
  auto pipeline = start({{ZTA_FAKE_PIPELINE}});
  ASSERT_TRUE(pipeline);
  ExchangeResult result = pipeline->exchange("TWICE\0"s, 5s, 1000);
  // The second copy comes in the same read or later: either way the chain
  // is not taken as ready for another request.
  if (result.status == ExchangeStatus::kAnswered) {
    // A loaded machine may deliver the second copy late: give it time.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (pipeline->readyForRequest() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(20ms);
    }
    EXPECT_FALSE(pipeline->readyForRequest());
  } else {
    EXPECT_EQ(result.status, ExchangeStatus::kOutOfStep);
  }
  auto fresh = start({{"cat"}});
  ASSERT_TRUE(fresh);
  result = fresh->exchange(std::string(5000, 'x') + '\0', 5s, 1000);
  EXPECT_EQ(result.status, ExchangeStatus::kOutOfStep);  // larger than allowed
}

TEST(ChildPipeline, SurvivesWritingToAKilledChainWithoutSigpipe) {
  struct sigaction before {};
  ASSERT_EQ(sigaction(SIGPIPE, nullptr, &before), 0);
  auto pipeline = start({{ZTA_FAKE_PIPELINE}});
  ASSERT_TRUE(pipeline);
  ASSERT_TRUE(test::killAndWaitForEnd(pipeline->processId(), pipeline->stageProcessIds()));
  EXPECT_FALSE(pipeline->readyForRequest());
  // Large enough that the write meets the closed socket.
  const ExchangeResult result = pipeline->exchange(std::string(1 << 20, 'x') + '\0', 5s, 1000);
  EXPECT_EQ(result.status, ExchangeStatus::kStopped);
  struct sigaction after {};
  ASSERT_EQ(sigaction(SIGPIPE, nullptr, &after), 0);
  EXPECT_EQ(after.sa_handler, before.sa_handler);  // the host's disposition is untouched
}

TEST(ChildPipeline, LeavesNoProcessBehind) {
  for (bool graceful : {true, false}) {
    auto pipeline = start({{ZTA_FAKE_PIPELINE}, {"cat"}, {"cat"}});
    ASSERT_TRUE(pipeline);
    const std::vector<int> pids = pipeline->stageProcessIds();
    const int group = pipeline->processId();
    ASSERT_EQ(pipeline->exchange("x\0"s, 5s, 100).status, ExchangeStatus::kAnswered);
    pipeline->terminate(graceful);
    EXPECT_TRUE(test::waitForGroupToVanish(group, 5s)) << "graceful " << graceful;
    for (int pid : pids) EXPECT_FALSE(test::isUnreapedChild(pid)) << pid;
  }
  // A chain that hangs is killed on the way out as well.
  auto pipeline = start({{ZTA_FAKE_PIPELINE}});
  ASSERT_TRUE(pipeline);
  const int group = pipeline->processId();
  EXPECT_EQ(pipeline->exchange("HANG\0"s, 100ms, 100).status, ExchangeStatus::kTimedOut);
  pipeline.reset();
  EXPECT_TRUE(test::waitForGroupToVanish(group, 5s));

  // A host killed outright (SIGKILL) takes its chains with it, even a stage
  // that would never notice its input closed.
  int report[2];
  ASSERT_EQ(::pipe(report), 0);
  const pid_t host = ::fork();
  ASSERT_GE(host, 0);
  if (host == 0) {
    std::string error;
    auto sleeper = startChildPipeline({{"sleep", "30"}}, -1, &error);
    const int leader = sleeper ? sleeper->processId() : -1;
    if (::write(report[1], &leader, sizeof leader) != sizeof leader) ::_exit(1);
    ::pause();
    ::_exit(0);
  }
  ::close(report[1]);
  int leader = -1;
  const bool told = ::read(report[0], &leader, sizeof leader) == sizeof leader;
  ::close(report[0]);
  ::kill(host, SIGKILL);
  int status = 0;
  ::waitpid(host, &status, 0);
  ASSERT_TRUE(told && leader > 0);
  // Gone, or a zombie left for init to reap.
  const auto running = [leader] {
    std::ifstream stat("/proc/" + std::to_string(leader) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
  };
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(10ms);
  EXPECT_FALSE(running());
  ::kill(-leader, SIGKILL);  // not to leave it behind when it was
}

TEST(ChildPipeline, GivesEveryRequestATaggerThatNoRequestBeforeItChanged) {
  // The stand-in tagger marks the answers that a tagger changed by a class
  // its model lacks gives otherwise than a fresh one.
  test::TempDirectory folder;
  const std::string tagger = folder.path() + "/apertium-tagger";
  std::filesystem::create_symlink(ZTA_FAKE_PIPELINE, tagger);
  auto pipeline = start({{"cat"}, {tagger, "-z", "-g", "model.prob"}, {"cat"}});
  ASSERT_TRUE(pipeline);
  std::vector<std::string> texts;
  for (int i = 0; i < 40; ++i) {
    texts.push_back(std::string(i % 7 == 3    ? "NEWCLASS "
                                : i % 11 == 5 ? "OTHERCLASS "
                                              : "") +
                    "text " + std::to_string(i) + (i % 3 == 1 ? " ^word/*word$" : "") + '\0');
  }
  // Streams the texts through the chain; each comes back as it went (the
  // stages copy it), whatever tagger took it.
  const auto streamAndCheck = [&pipeline](const std::vector<std::string>& sent) {
    std::vector<StreamRequest> requests(sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
      requests[i].bytes = sent[i];
      requests[i].limit = 5s;
      requests[i].maxReplySize = 1000;
    }
    streamRequests({pipeline.get()}, requests, 64 * 1024);
    for (std::size_t i = 0; i < sent.size(); ++i) {
      ASSERT_EQ(requests[i].result.status, ExchangeStatus::kAnswered) << requests[i].result.detail;
      EXPECT_EQ(requests[i].result.reply + '\0', sent[i]);
    }
  };
  streamAndCheck(texts);
  // A changed tagger is kept for the texts it tags as a fresh one would.
  EXPECT_GT(pipeline->stageRestarts(), 0u);
  EXPECT_LT(pipeline->stageRestarts(), 10u);
  // One request at a time as well, and the chain stays whole.
  for (const char* text : {"NEWCLASS once", "after it", "OTHERCLASS now", "^a/*a$"}) {
    const ExchangeResult result = pipeline->exchange(text + "\0"s, 5s, 1000);
    EXPECT_EQ(result.reply, text) << result.detail;
  }
  EXPECT_EQ(pipeline->stageProcessIds().size(), 3u);
  EXPECT_TRUE(pipeline->readyForRequest());
  // A changed tagger takes one text at a time however long no note comes;
  // a fresh one that tagged many texts quietly takes many again, and a note
  // among them leaves the texts behind its text to a fresh tagger.
  texts = {"NEWCLASS first"s + '\0'};
  for (int i = 0; i < 80; ++i) {
    texts.push_back(std::string(i == 60 ? "OTHERCLASS " : "") + "quiet " + std::to_string(i) +
                    (i >= 40 ? " ^w/*w$" : "") + '\0');
  }
  streamAndCheck(texts);
}

TEST(ChildPipeline, RunsUnderCUtf8AndEndsAFailureWithWhatTheStageSaid) {
  // A code-page locale that is not installed is the host's business only.
  std::unique_ptr<ChildPipeline> pipeline;
  std::unique_ptr<ChildPipeline> failing;
  {
    test::ScopedEnvironment locale("LC_ALL", "de_DE.CP1252");
    pipeline =
        start({{"sh", "-c",
                "head -c 2 >/dev/null; printf '%s %s\\0' \"$LC_ALL\" \"${LANG:-none}\"; cat"}});
    failing = start({{"sh", "-c",
                      "head -c 2 >/dev/null; echo 'first line' >&2; echo 'last words' >&2; "
                      "exec sleep 30"}});
  }
  ASSERT_TRUE(pipeline && failing);
  const ExchangeResult result = pipeline->exchange("x\0"s, 5s, 1000);
  EXPECT_EQ(result.reply, "C.UTF-8 none") << result.detail;
  const ExchangeResult failure = failing->exchange("x\0"s, 300ms, 1000);
  EXPECT_EQ(failure.status, ExchangeStatus::kTimedOut);
  EXPECT_NE(failure.detail.find("it said: first line"), std::string::npos) << failure.detail;
  EXPECT_NE(failure.detail.find("last words"), std::string::npos) << failure.detail;
}

TEST(ChildPipeline, ExplainsAProgramThatCannotStart) {
  std::string error;
  EXPECT_FALSE(startChildPipeline({{"cat"}, {"no-such-program-zta"}}, -1, &error));
  EXPECT_NE(error.find("no-such-program-zta"), std::string::npos) << error;
}

TEST(RunForOutput, ReturnsTheOutputOrWhyItFailed) {
  std::string output;
  std::string error;
  ASSERT_TRUE(runForOutput({"sh", "-c", "echo hello; echo noise >&2"}, 5s, &output, &error));
  EXPECT_EQ(output, "hello\n");
  output.clear();
  EXPECT_FALSE(runForOutput({"sh", "-c", "echo broken >&2; exit 4"}, 5s, &output, &error));
  EXPECT_NE(error.find("exit code 4"), std::string::npos) << error;
  EXPECT_NE(error.find("broken"), std::string::npos) << error;
  EXPECT_FALSE(runForOutput({"sleep", "5"}, 200ms, &output, &error));
  EXPECT_NE(error.find("did not finish"), std::string::npos) << error;
}

TEST(MemoryAvailable, IsKnownAndNoMoreThanTheMachineHas) {
  const std::uint64_t available = memoryAvailable();
  EXPECT_GT(available, 0u);
  EXPECT_LE(available, static_cast<std::uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                           static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)));
}

TEST(ProcessorForChain, PicksAProcessorThisProcessMayUse) {
  const int cpu = processorForChain(0);
  cpu_set_t allowed;
  ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
  if (CPU_COUNT(&allowed) < 2) {
    EXPECT_EQ(cpu, -1);
  } else {
    ASSERT_GE(cpu, 0);
    EXPECT_TRUE(CPU_ISSET(cpu, &allowed));
    EXPECT_NE(processorForChain(1), cpu);
  }
}

}  // namespace
}  // namespace zta
