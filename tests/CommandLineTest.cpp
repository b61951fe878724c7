#include <gtest/gtest.h>

#include "common/CommandLine.h"

namespace xlate {
namespace {

std::vector<Text> Split(const Text& aLine) { return SplitCommandLine(aLine); }

TEST(SplitCommandLine, SeparatesWordsByBlanksTabsAndControlCharacters) {
  EXPECT_EQ(Split(u"xlate.exe  DO=LIST\tLANGINIT=de\x01X=1\x1F"
                  u"Y=2"),
            (std::vector<Text>{u"xlate.exe", u"DO=LIST", u"LANGINIT=de", u"X=1", u"Y=2"}));
  // Non-ASCII units belong to words, including U+00A0 and U+3000.
  EXPECT_EQ(Split(u"p TEXT=\u00e4\u00a0\u3000b"),
            (std::vector<Text>{u"p", u"TEXT=\u00e4\u00a0\u3000b"}));
  EXPECT_EQ(Split(u"   "), std::vector<Text>{});
  EXPECT_EQ(Split(u""), std::vector<Text>{});
}

TEST(SplitCommandLine, UnitZeroEndsTheLine) {
  EXPECT_EQ(Split(Text(u"p A=1\0B=2", 9)), (std::vector<Text>{u"p", u"A=1"}));
}

TEST(SplitCommandLine, QuotedStretchesKeepBlanksAndJoinWithTheirWord) {
  EXPECT_EQ(Split(u"p \"TEXT=Good morning\""), (std::vector<Text>{u"p", u"TEXT=Good morning"}));
  EXPECT_EQ(Split(u"p TEXT=\"Good morning\""), (std::vector<Text>{u"p", u"TEXT=Good morning"}));
  // TEXT= followed by "a b" and then c gives the text a bc.
  EXPECT_EQ(Split(u"p TEXT=\"a b\"c"), (std::vector<Text>{u"p", u"TEXT=a bc"}));
  EXPECT_EQ(Split(u"p T\"EX\"T=x\"\"y"), (std::vector<Text>{u"p", u"TEXT=xy"}));
  // An unclosed stretch runs to the end of the line.
  EXPECT_EQ(Split(u"p \"TEXT=a b"), (std::vector<Text>{u"p", u"TEXT=a b"}));
}

TEST(SplitCommandLine, BackslashIsOrdinaryAndDoesNotEscapeAQuote) {
  EXPECT_EQ(Split(u"p IFILE=C:\\dir\\a.txt"), (std::vector<Text>{u"p", u"IFILE=C:\\dir\\a.txt"}));
  // The quote after the backslash still opens a stretch.
  EXPECT_EQ(Split(u"p TEXT=a\\\"b c\" d"), (std::vector<Text>{u"p", u"TEXT=a\\b c", u"d"}));
}

TEST(SplitCommandLine, PairsOfQuotesBetweenWordsMakeNoEmptyParameter) {
  EXPECT_EQ(Split(u"p \"\" A=1 \"\"\"\"  \"\" B=2 \"\""),
            (std::vector<Text>{u"p", u"A=1", u"B=2"}));
  // A pair directly before a word is skipped too.
  EXPECT_EQ(Split(u"p \"\"A=1"), (std::vector<Text>{u"p", u"A=1"}));
  // Three quotes: a pair, then a stretch.
  EXPECT_EQ(Split(u"p \"\"\"A B\""), (std::vector<Text>{u"p", u"A B"}));
}

TEST(SplitCommandLine, ALoneQuoteAtTheEndIsAnEmptyWordThatEndsTheParameters) {
  EXPECT_EQ(Split(u"p A=1 \""), (std::vector<Text>{u"p", u"A=1"}));
  // Blanks after it are inside the stretch, so the word is not empty.
  EXPECT_EQ(Split(u"p A=1 \"  "), (std::vector<Text>{u"p", u"A=1", u"  "}));
}

TEST(SplitCommandLine, ProgramNameFollowsTheSameRules) {
  EXPECT_EQ(Split(u"\"C:\\Program Files\\xl.exe\" DO=LIST"),
            (std::vector<Text>{u"C:\\Program Files\\xl.exe", u"DO=LIST"}));
}

}  // namespace
}  // namespace xlate
