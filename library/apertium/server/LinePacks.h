// Many lines in one request to an Apertium APY server, each still a text of
// its own.
//
// APY starts a deformatter and a reformatter for every request, which costs
// more than translating a line; so the lines of a batch go together, as
// HTML (format=html), each in a block of its own that carries its number,
// and each followed by a block that holds only a full stop:
//
//   <p id="line0">First line</p>
//   <p>.</p>
//   <p id="line1">second line</p>
//   <p>.</p>
//
// The deformatter ends a sentence at each block, and the full stop of its
// own ends it even after a line whose last word takes the deformatter's
// sentence end for its abbreviation point ("gives no" would otherwise run
// on as "no." into the next line, and words would move between the lines).
// So each line is translated as the sentence it is when it goes alone. The
// answer is taken apart by the numbers; anything else in it but the full
// stops' blocks and blanks means that it cannot be, and the caller then
// sends those lines one by one.
#ifndef XLATE_LIBRARY_APERTIUM_SERVER_LINE_PACKS_H
#define XLATE_LIBRARY_APERTIUM_SERVER_LINE_PACKS_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zta {

// At most this many bytes of packed text go in one request: APY cuts a text
// longer than its pipe buffer (4096 bytes) into pieces of its own choosing,
// and one of its pieces may end inside a line. Two requests in flight on a
// server keep it at that size; more make it cut at 1000 characters (the
// caller keeps to two per server).
constexpr std::size_t kPackBytes = 4000;

// Whether a piece (TextPieces.h: no blanks at its ends) can go in a packed
// request: it has no line break or NUL. Plain text goes with its "<", ">"
// and "&" written as entities, which the deformatter reads as the
// characters a line alone has. With placeholders (MarkupText.h) the text is
// HTML already: its "<" and ">" must be those of the placeholders ("<z1>")
// alone, which the deformatter keeps as blanks as it does when the line
// goes alone, and it has no "&".
bool canPack(std::string_view piece, bool placeholders);

// The bytes a piece takes in a packed request.
std::size_t packedSize(std::string_view piece, std::size_t number, bool placeholders);

// The packed request's text for pieces, in order.
std::string packLines(const std::vector<std::string_view>& pieces, bool placeholders);

// The translations of count packed lines from the server's answer, in
// order; nothing when the answer does not hold every line once, in order,
// between the full stops' blocks, or when a translation holds markup that
// its line did not have (with placeholders: anything but "<zN>"; without,
// anything but the entities of "<", ">" and "&", which are read back).
std::optional<std::vector<std::string>> unpackLines(std::string_view answer, std::size_t count,
                                                    bool placeholders);

}  // namespace zta

#endif
