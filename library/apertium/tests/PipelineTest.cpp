// The process chain on its own, with stand-ins for Apertium: the poll loop,
// failures, and that nothing is left behind.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "Pipeline.h"
#include "TestSupport.h"

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
    std::this_thread::sleep_for(100ms);
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
