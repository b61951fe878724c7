// The plain-text stream format that Apertium's pipeline stages read and write.
//
// The stages see text the way Apertium's text deformatter leaves it: markup
// characters are escaped with a backslash, and blanks that are not a single
// space are kept aside in "superblanks" [...] that the stages copy through
// untouched. This file does that escaping here (so no deformatter process is
// needed) and undoes it on the reply, the way the reformatter would.
//
// One request in null-flush mode is one escaped line followed by ".[]" and a
// NUL byte. The blank "[]" before the NUL makes every stage flush that line
// at once (without it, the reply comes one request late), and the period
// closes the sentence as the deformatter does at the end of a document.
#ifndef XLATE_LIBRARY_APERTIUM_APERTIUM_TEXT_H
#define XLATE_LIBRARY_APERTIUM_APERTIUM_TEXT_H

#include <optional>
#include <string>
#include <string_view>

namespace zta {

// Escapes text as the deformatter does: a backslash before each of
// $ / < > @ [ \ ] ^ { }, runs of blanks (space, tab, CR, LF, ~) other than a
// lone space wrapped in [...], NUL bytes dropped. With placeholders, each
// placeholder of markup ("<z1>", MarkupText.h) goes into a superblank
// together with the blanks and placeholders beside it, as the HTML
// deformatter puts a tag: "a <z1>b" gives "a[ <z1>]b".
std::string escapeForApertium(std::string_view text, bool placeholders = false);

// Undoes the escaping: removes the backslash of each escape and the brackets
// of superblanks, keeping what they hold.
std::string unescapeFromApertium(std::string_view stream);

// The bytes of one null-flush request for text, NUL included.
std::string frameRequest(std::string_view text, bool placeholders = false);

// The text of one reply (without its NUL), or nothing when the reply does not
// end in the request's closing blank "[]", which means the pipeline is out of
// step. The period added by frameRequest is removed when it is still there
// (an abbreviation such as "Mr" may have taken it into its own translation).
std::optional<std::string> unframeReply(std::string_view reply);

// True when text holds nothing but blanks (or nothing at all): such a text is
// its own translation and needs no round trip.
bool isBlankText(std::string_view text);

}  // namespace zta

#endif
