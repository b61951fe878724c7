// Reading a mode's pipeline into stages, and the null-flush stages built
// from it.
#include <gtest/gtest.h>

#include "local/ChainStages.h"
#include "local/ModeScript.h"

namespace zta {
namespace {

TEST(ParseModeScript, SplitsStagesAndWordsAndExpandsParameters) {
  const auto stages = parseModeScript(
      "lt-proc -z '/usr/share/a b/x.bin' | apertium-tagger -z -g $2 'p.prob' | lt-proc $1 \"g $1\"",
      {"-n", ""});
  ASSERT_TRUE(stages);
  const StageList expected = {{"lt-proc", "-z", "/usr/share/a b/x.bin"},
                              {"apertium-tagger", "-z", "-g", "p.prob"},
                              {"lt-proc", "-n", "g -n"}};
  EXPECT_EQ(*stages, expected);
}

TEST(ParseModeScript, KeepsQuotedEmptyWordsAndEscapes) {
  const auto stages = parseModeScript("prog '' \"\" a\\ b \"q\\\"x\" --opt=1", {});
  ASSERT_TRUE(stages);
  EXPECT_EQ(*stages, (StageList{{"prog", "", "", "a b", "q\"x", "--opt=1"}}));
}

TEST(ParseModeScript, RefusesShellSyntaxItDoesNotFollow) {
  for (const char* script : {"a > out", "a; b", "a && b", "a $(b)", "a `b`", "a $HOME", "a | | b",
                             "| a", "a |", "VAR=1 a", "a 'open", "a *.bin", "a ~/x"}) {
    EXPECT_FALSE(parseModeScript(script, {"-n"})) << script;
  }
}

TEST(NullFlushStages, LeavesOutTheWordBlankStagesAndPassesTheGeneratorOption) {
  const std::string script =
      "lt-proc -z 'm.bin' | apertium-wblank-attach | apertium-tagger -z -g $2 'p' | "
      "apertium-wblank-detach | lt-proc -z $1 'g.bin'";
  StageList stages;
  ASSERT_TRUE(nullFlushStagesFromScript(script, false, &stages));
  EXPECT_EQ(stages, (StageList{{"lt-proc", "-z", "m.bin"},
                               {"apertium-tagger", "-z", "-g", "p"},
                               {"lt-proc", "-z", "-n", "g.bin"}}));
  ASSERT_TRUE(nullFlushStagesFromScript(script, true, &stages));
  EXPECT_EQ(stages.back(), (std::vector<std::string>{"lt-proc", "-z", "-g", "g.bin"}));
}

TEST(NullFlushStages, GivesAScriptItCannotReadToSh) {
  StageList stages;
  ASSERT_TRUE(nullFlushStagesFromScript("a 2>/dev/null | b $1", false, &stages));
  EXPECT_EQ(stages, (StageList{{"/bin/sh", "-c", "a 2>/dev/null | b $1", "sh", "-n", ""}}));
}

}  // namespace
}  // namespace zta
