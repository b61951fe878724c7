// Cutting long texts into the pieces sent to a translation server.
#include <gtest/gtest.h>

#include <random>

#include "TestSupport.h"
#include "engine/KitNames.h"
#include "text/TextPieces.h"

namespace zta {
namespace {

std::string joined(const std::vector<TextSegment>& segments) {
  std::string text;
  for (const TextSegment& segment : segments) text += segment.text;
  return text;
}

bool isBlankByte(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// What every cut must keep, whatever the text: nothing lost or reordered,
// pieces within the size, trimmed, valid UTF-8, and blank segments blank.
void expectSoundCut(const std::string& text, std::size_t maxBytes) {
  const std::vector<TextSegment> segments = splitIntoPieces(text, maxBytes);
  EXPECT_EQ(joined(segments), text);
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const TextSegment& segment = segments[i];
    ASSERT_FALSE(segment.text.empty()) << "segment " << i;
    if (segment.blank) {
      for (char c : segment.text) EXPECT_TRUE(isBlankByte(c)) << "segment " << i;
      if (i > 0) {
        EXPECT_FALSE(segments[i - 1].blank) << "two blank segments in a row at " << i;
      }
    } else {
      EXPECT_LE(segment.text.size(), maxBytes) << "segment " << i;
      EXPECT_FALSE(isBlankByte(segment.text.front())) << "segment " << i;
      EXPECT_FALSE(isBlankByte(segment.text.back())) << "segment " << i;
      EXPECT_TRUE(isValidUtf8(segment.text)) << "segment " << i << " cuts a character";
    }
  }
}

std::vector<std::string> piecesOf(const std::vector<TextSegment>& segments) {
  std::vector<std::string> pieces;
  for (const TextSegment& segment : segments) {
    if (!segment.blank) pieces.emplace_back(segment.text);
  }
  return pieces;
}

TEST(TextPieces, LeavesAShortTextWholeAndKeepsItsOuterBlanksAside) {
  std::vector<TextSegment> segments = splitIntoPieces("The house is big.");
  ASSERT_EQ(segments.size(), 1u);
  EXPECT_EQ(segments[0].text, "The house is big.");
  EXPECT_FALSE(segments[0].blank);

  segments = splitIntoPieces("  Two leading spaces and a tab\t");
  ASSERT_EQ(segments.size(), 3u);
  EXPECT_TRUE(segments[0].blank);
  EXPECT_EQ(segments[0].text, "  ");
  EXPECT_EQ(segments[1].text, "Two leading spaces and a tab");
  EXPECT_TRUE(segments[2].blank);
  EXPECT_EQ(segments[2].text, "\t");

  EXPECT_TRUE(splitIntoPieces("").empty());
  segments = splitIntoPieces(" \t ");
  ASSERT_EQ(segments.size(), 1u);
  EXPECT_TRUE(segments[0].blank);
}

TEST(TextPieces, CutsAtSentenceEndsWhenThereAreSome) {
  std::size_t sentences = 0;
  const std::string text = test::longEnglishLine(70 * 1024, &sentences);
  expectSoundCut(text, kServerPieceBytes);
  const std::vector<std::string> pieces = piecesOf(splitIntoPieces(text));
  EXPECT_GE(pieces.size(), text.size() / kServerPieceBytes);
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    EXPECT_EQ(pieces[i].back(), '.') << pieces[i].substr(pieces[i].size() - 40);
    // Not cut into needless crumbs (the last piece is what is left).
    if (i + 1 < pieces.size()) {
      EXPECT_GT(pieces[i].size(), kServerPieceBytes / 2);
    }
  }
  // Closing quotes and brackets after the stop, "!", "?" and an ellipsis
  // end sentences too.
  const std::string quoted =
      "He said \"yes.\" She asked (why?) \xE2\x80\x9CNo!\xE2\x80\x9D Then\xE2\x80\xA6 ";
  std::string many;
  while (many.size() < 400) many += quoted;
  for (const std::string& piece : piecesOf(splitIntoPieces(many, 100))) {
    const bool endsSentence = piece.back() == '"' || piece.back() == ')' ||
                              piece.substr(piece.size() - 3) == "\xE2\x80\x9D" ||
                              piece.substr(piece.size() - 3) == "\xE2\x80\xA6";
    EXPECT_TRUE(endsSentence) << piece;
  }
}

TEST(TextPieces, CutsALongSentenceBetweenWords) {
  std::string text;
  for (int i = 0; text.size() < 10000; ++i) text += "word" + std::to_string(i) + " ";
  text.pop_back();
  expectSoundCut(text, 1000);
  const std::vector<TextSegment> segments = splitIntoPieces(text, 1000);
  std::size_t offset = 0;
  for (const TextSegment& segment : segments) {
    offset += segment.text.size();
    if (!segment.blank && offset < text.size()) {
      EXPECT_EQ(text[offset], ' ') << offset;
    }
  }
  // A stop early in the window does not win over a word end near its end:
  // the piece would be needlessly short.
  const std::string early = "Ok. " + std::string(900, 'a') + " " + std::string(200, 'b');
  EXPECT_EQ(piecesOf(splitIntoPieces(early, 1000)).front().size(), 4u + 900u);
}

TEST(TextPieces, CutsAWordLongerThanAPieceOnlyBetweenCharacters) {
  std::string text;
  while (text.size() < 5000) text += "\xC3\xB1\xE2\x82\xAC\xF0\x9F\x98\x80";  // ñ € 😀
  expectSoundCut(text, 1000);
  EXPECT_GE(piecesOf(splitIntoPieces(text, 1000)).size(), 5u);
  expectSoundCut(std::string(3001, 'x'), 3000);
  EXPECT_EQ(piecesOf(splitIntoPieces(std::string(3001, 'x'), 3000)).size(), 2u);
}

TEST(TextPieces, KeepsTheBlanksBetweenPiecesExactly) {
  const std::string text =
      std::string(50, 'a') + ".\t \n" + std::string(50, 'b') + ".  " + std::string(50, 'c') + ".";
  const std::vector<TextSegment> segments = splitIntoPieces(text, 60);
  ASSERT_EQ(segments.size(), 5u);
  EXPECT_EQ(segments[1].text, "\t \n");
  EXPECT_TRUE(segments[1].blank);
  EXPECT_EQ(segments[3].text, "  ");
  expectSoundCut(text, 60);
}

TEST(TextPieces, HoldsForRandomTexts) {
  std::mt19937 random(20240601);
  const char* const parts[] = {"word",
                               " ",
                               "  ",
                               ".",
                               "!",
                               "?",
                               "\t",
                               "\"",
                               ")",
                               "\xC3\xA9",
                               "\xE2\x80\xA6",
                               "\xF0\x9F\x98\x80",
                               "Sentence",
                               "x",
                               "\n"};
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const std::size_t length = random() % 3000;
    while (text.size() < length) text += parts[random() % (sizeof parts / sizeof parts[0])];
    const std::size_t maxBytes = 4 + random() % 400;
    expectSoundCut(text, maxBytes);
    if (HasFailure()) {
      ADD_FAILURE() << "round " << round << ", pieces of " << maxBytes;
      return;
    }
  }
}

}  // namespace
}  // namespace zta
