// Cutting a text into the pieces that are sent to a translation server one
// request each.
//
// APY cuts every text it gets into at most ten pieces of at most 4 KB (1000
// characters while more than two requests share its pipeline) and silently
// drops whatever is left, so a long line must reach it in pieces it will not
// cut short. A piece ends at a sentence end where one is near enough, else at
// a blank between words, and only a single word longer than a piece is cut
// inside, never within a UTF-8 sequence.
//
// The blanks between the pieces, and the blanks at the start and the end of
// the text, are kept here as blank segments and put back as they were:
// APY trims the blanks around a text, while the local pipeline keeps them.
#ifndef XLATE_LIBRARY_APERTIUM_TEXT_PIECES_H
#define XLATE_LIBRARY_APERTIUM_TEXT_PIECES_H

#include <cstddef>
#include <string_view>
#include <vector>

namespace zta {

// Pieces of at most this many bytes stay whole in APY even when it splits at
// 1000 characters: ten of its pieces hold at least 5000 characters.
constexpr std::size_t kServerPieceBytes = 3000;

struct TextSegment {
  std::string_view text;
  bool blank = false;  // blanks to keep as they are; otherwise a piece to translate
};

// The segments of text, in order; joined, they give text back. Pieces hold
// at most maxPieceBytes bytes (at least 4) and neither start nor end with a
// blank (space, tab, CR, LF). A text of blanks only is one blank segment; an
// empty text has no segment.
std::vector<TextSegment> splitIntoPieces(std::string_view text,
                                         std::size_t maxPieceBytes = kServerPieceBytes);

}  // namespace zta

#endif
