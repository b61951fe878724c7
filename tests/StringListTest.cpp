#include <gtest/gtest.h>

#include "common/StringList.h"

namespace xlate {
namespace {

std::vector<Text> Lines(const Text& aText) {
  TStringList list;
  list.SetText(aText);
  return list.Lines();
}

TEST(StringList, EachKindOfLineBreakEndsALine) {
  EXPECT_EQ(Lines(u"a\r\nb\rc\nd"), (std::vector<Text>{u"a", u"b", u"c", u"d"}));
  // LF then CR: a line, then an empty line.
  EXPECT_EQ(Lines(u"a\n\rb"), (std::vector<Text>{u"a", u"", u"b"}));
  EXPECT_EQ(Lines(u"\r\n\r\n"), (std::vector<Text>{u"", u""}));
  EXPECT_EQ(Lines(u"a\r\r\nb"), (std::vector<Text>{u"a", u"", u"b"}));
}

TEST(StringList, AFinalLineBreakAddsNoEmptyLine) {
  EXPECT_EQ(Lines(u"a\r\n"), (std::vector<Text>{u"a"}));
  EXPECT_EQ(Lines(u"a\n"), (std::vector<Text>{u"a"}));
  EXPECT_EQ(Lines(u"a\r"), (std::vector<Text>{u"a"}));
  EXPECT_EQ(Lines(u""), std::vector<Text>{});
}

TEST(StringList, TheFirstNulEndsTheText) {
  EXPECT_EQ(Lines(Text(u"a\r\nb\0c\r\nd", 9)), (std::vector<Text>{u"a", u"b"}));
  EXPECT_EQ(Lines(Text(u"\0abc", 4)), std::vector<Text>{});
}

TEST(StringList, GetTextEndsEveryLineWithCrLf) {
  TStringList list;
  EXPECT_EQ(list.GetText(), u"");
  list.SetText(u"a\nb\rc");
  EXPECT_EQ(list.GetText(), u"a\r\nb\r\nc\r\n");
  list.Add(u"");
  EXPECT_EQ(list.GetText(), u"a\r\nb\r\nc\r\n\r\n");
  // Setting a text replaces the lines.
  list.SetText(u"x");
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.GetText(), u"x\r\n");
}

TEST(StringList, KeepsDuplicatesInOrder) {
  EXPECT_EQ(Lines(u"b\na\nb\na"), (std::vector<Text>{u"b", u"a", u"b", u"a"}));
}

}  // namespace
}  // namespace xlate
