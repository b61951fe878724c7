// Escaping of texts into Apertium's stream format, and the framing of one
// null-flush request and its reply.
#include <gtest/gtest.h>

#include <string>

#include "text/ApertiumText.h"

namespace zta {
namespace {

using namespace std::string_literals;

TEST(EscapeForApertium, PutsABackslashBeforeEveryMarkupCharacter) {
  EXPECT_EQ(escapeForApertium("$/<>@[\\]^{}"), "\\$\\/\\<\\>\\@\\[\\\\\\]\\^\\{\\}");
  EXPECT_EQ(escapeForApertium("a <b>bold</b> c"), "a \\<b\\>bold\\<\\/b\\> c");
  EXPECT_EQ(escapeForApertium("plain words, and punctuation: .,;:!?'\"-()*#%&"),
            "plain words, and punctuation: .,;:!?'\"-()*#%&");
}

TEST(EscapeForApertium, KeepsBlanksOtherThanALoneSpaceInSuperblanks) {
  EXPECT_EQ(escapeForApertium("a b"), "a b");
  EXPECT_EQ(escapeForApertium("a  b"), "a[  ]b");
  EXPECT_EQ(escapeForApertium("a\tb"), "a[\t]b");
  EXPECT_EQ(escapeForApertium("a\r\nb"), "a[\r\n]b");
  EXPECT_EQ(escapeForApertium("Hi~there a ~ b"), "Hi[~]there a[ ~ ]b");
  EXPECT_EQ(escapeForApertium("  lead and trail \t"), "[  ]lead and trail[ \t]");
}

TEST(EscapeForApertium, DropsNulBytesAndLeavesUtf8Alone) {
  EXPECT_EQ(escapeForApertium("a\0b"s), "ab");
  EXPECT_EQ(escapeForApertium(" \0 "s), "[  ]");
  EXPECT_EQ(escapeForApertium("ni\xC3\xB1o \xE2\x82\xAC 5"), "ni\xC3\xB1o \xE2\x82\xAC 5");
}

TEST(UnescapeFromApertium, UndoesEscapesAndSuperblanks) {
  EXPECT_EQ(unescapeFromApertium("Hola \\[b\\]Mundo\\[\\/b\\]"), "Hola [b]Mundo[/b]");
  EXPECT_EQ(unescapeFromApertium("a[  ]b[\t]c[]d"), "a  b\tcd");
  EXPECT_EQ(unescapeFromApertium("x\\\\y"), "x\\y");
}

TEST(UnescapeFromApertium, GivesBackEveryTextThatWasEscaped) {
  const std::string samples[] = {
      "",
      "The house is big.",
      "$/<>@[\\]^{} all of them",
      "tabs\tand  runs   of spaces\r\n and ~tildes~",
      "\\[already\\] escaped-looking \\ text \\",
      "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80",
      "   ",
  };
  for (const std::string& text : samples) {
    EXPECT_EQ(unescapeFromApertium(escapeForApertium(text)), text) << text;
  }
}

TEST(FrameRequest, EndsTheEscapedLineWithPeriodBlankAndNul) {
  EXPECT_EQ(frameRequest("Hello <world>"), "Hello \\<world\\>.[]\0"s);
  EXPECT_EQ(frameRequest("Ends in a period."), "Ends in a period..[]\0"s);
  EXPECT_EQ(frameRequest(""), ".[]\0"s);
}

TEST(UnframeReply, RemovesTheAddedPeriodAndBlank) {
  EXPECT_EQ(unframeReply("Hola Mundo.[]"), "Hola Mundo");
  // The text's own period stays.
  EXPECT_EQ(unframeReply("La casa es grande..[]"), "La casa es grande.");
  // An abbreviation can swallow the added period ("Mr." into "Señor").
  EXPECT_EQ(unframeReply("Se\xC3\xB1or[]"), "Se\xC3\xB1or");
  EXPECT_EQ(unframeReply("Hola[  ]Mundo \\<b\\>.[]"), "Hola  Mundo <b>");
  EXPECT_EQ(unframeReply(".[]"), "");
}

TEST(UnframeReply, RejectsRepliesWithoutTheClosingBlank) {
  EXPECT_FALSE(unframeReply(""));
  EXPECT_FALSE(unframeReply("Hola Mundo."));
  EXPECT_FALSE(unframeReply("Hola Mundo.["));
  // An escaped bracket is text, not the closing blank.
  EXPECT_FALSE(unframeReply("Hola \\[]"));
  EXPECT_TRUE(unframeReply("Hola \\\\[]"));  // an escaped backslash, then the blank
}

TEST(IsBlankText, IsTrueOnlyForSpacesTabsAndLineBreaks) {
  EXPECT_TRUE(isBlankText(""));
  EXPECT_TRUE(isBlankText(" \t\r\n "));
  EXPECT_FALSE(isBlankText(" . "));
  EXPECT_FALSE(isBlankText("~"));
}

}  // namespace
}  // namespace zta
