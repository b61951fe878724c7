// Lines of markup (ZTA_FORMAT=html) and of subtitle files (ZTA_FORMAT=srt):
// the markup is taken out of a line before it is translated and put back,
// byte for byte and in its order, afterwards.
//
// Each piece of markup (a tag with its attributes, a comment, an entity
// such as "&amp;", a "<" or ">" that starts no tag, and in subtitles an
// override such as "{\an8}") is replaced by a placeholder "<zN>" (N counts
// from 1). The engine sees the placeholders as blanks that it copies
// through: the local chain gets each one, with the blanks beside it, as a
// superblank (ApertiumText.h), and an APY server gets the line as HTML
// (format=html), whose deformatter makes the same superblanks of them. So
// the words around markup are translated as one sentence, and only the text
// between markup changes.
//
// Apertium treats each text it gets as the start of a sentence and gives its
// first word a capital; a line, or a stretch of text between markup, whose
// source starts in lower case keeps a lower-case start (keepLowerStart).
//
// The values of the attributes alt and title are text a reader sees (a
// screen reader reads them): they are translated as texts of their own,
// each taken as a line of HTML, and put back in the tag; the rest of the
// tag stays byte for byte.
//
// With a glossary (Glossary.h), each term found in the text is taken out as
// markup is, and its target put back in its place; the engine copies the
// placeholder through. Plain text then reaches the engine with
// placeholders too; a "<zN>" of its own makes restore find one placeholder
// too many, and its stretches are then translated alone.
//
// Markup that is not text comes out byte for byte as a whole: a comment, a
// CDATA section, and the contents of <script>, <style>, <pre> and <code>
// (code, which a translation would break) are one piece of markup with
// their tags. <title> and <textarea> hold prose and are translated. In
// WebVTT, the header and the blocks that are not cues (NOTE, STYLE,
// REGION) are kept whole.
//
// A tag, comment or such element that does not end on its line goes on
// into the next lines (MarkupState). A line's translation depends only on
// the line and the state it starts in, so the same line in the same state
// gets the same translation.
#ifndef XLATE_LIBRARY_APERTIUM_MARKUP_TEXT_H
#define XLATE_LIBRARY_APERTIUM_MARKUP_TEXT_H

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/Glossary.h"
#include "text/TextFormat.h"

namespace zta {

// True when a line of a subtitle file is kept as it is, without reaching
// the engine: a cue number (digits only), a timing line
// ("00:00:02,830 --> 00:00:05,560", perhaps with position settings after
// it; WebVTT's "00:02.830 --> 00:05.560" too) or WebVTT's "WEBVTT" header.
// Blanks around it are allowed.
bool isSubtitleFrame(std::string_view line);

// Where a line starts in the markup of the lines before it. The library
// sees lines one at a time: a batch (ztaTranslateBatch) carries the state
// from each of its texts to the next, in their order, starting from the
// state of a file's start; a single text (ztaTranslate) has no neighbours
// and starts from that state too. So a batch that begins inside a tag
// opened in an earlier batch reads its first lines as text, up to the ">".
// xlate's file mode hands a file over in blocks of lines (what one read of
// about 256 KB holds), and a block boundary may fall inside such markup; it
// does nothing about that, nor about a line a failed batch left to be
// translated alone.
struct MarkupState {
  enum class Inside : unsigned char {
    kText,     // between markup
    kTag,      // in a tag, before its ">"
    kComment,  // in "<!--", before "-->"
    kCdata,    // in "<![CDATA[", before "]]>"
    kRawText,  // in the contents of element (script, style, pre, code)
    kCueBlock  // subtitles: in WebVTT's header or a NOTE, STYLE or REGION block
  };
  Inside inside = Inside::kText;
  char quote = '\0';       // in a tag: the quote of the attribute value open
  std::string element;     // in a tag or raw text: the element's name in lower
                           // case, with a "/" first for an end tag
  bool blockStart = true;  // subtitles: the next line starts a block (the
                           // file's start, or after a blank line)
  bool textValue = false;  // in a tag: the value open is one of alt or title
};

// A line with its markup (and the terms of a glossary, when one is given)
// taken out.
class MarkedLine {
 public:
  // The line as it reads at a file's start.
  MarkedLine(std::string_view line, TextFormat format, const Glossary* glossary = nullptr);
  // The line as it reads in state, which is moved past the line.
  MarkedLine(std::string_view line, TextFormat format, MarkupState& state,
             const Glossary* glossary = nullptr);

  // True when something is to be translated: a stretch that holds more
  // than blanks, a term of the glossary, or the value of an alt or title.
  // A line of markup and blanks only is its own translation.
  bool hasText() const;
  // True when some stretch holds more than blanks: the carrier needs the engine.
  bool stretchesHaveText() const;
  // The line with each piece of markup replaced by its placeholder (the
  // line itself for plain text without a glossary).
  const std::string& carrier() const { return carrier_; }
  // The stretches of text between the pieces of markup (one more than the
  // pieces), as texts of their own.
  const std::vector<std::string>& stretches() const { return stretches_; }
  // The values of the alt and title attributes, in order, as HTML.
  std::vector<std::string> values() const;

  // The line again from the carrier's translation: each placeholder
  // replaced by its markup (with the values of alt and title replaced by
  // valueTranslations, in order; a quote in one becomes its entity), and
  // each stretch whose source starts in lower case starting in lower case
  // (keepLowerStart, with capitalI). Nothing when the translation does not
  // hold every placeholder exactly once and in order.
  std::optional<std::string> restore(std::string_view translation,
                                     const std::vector<std::string>& valueTranslations = {},
                                     bool capitalI = false) const;
  // The carrier's translation with its placeholders checked as restore
  // checks them and the stretches' lower-case starts kept, placeholders
  // left in: what goes on from a pivot language into the next pair.
  std::optional<std::string> carried(std::string_view translation, bool capitalI = false) const;
  // The line again from the translations of its stretches, joined by the
  // markup.
  std::string join(const std::vector<std::string>& translations,
                   const std::vector<std::string>& valueTranslations = {},
                   bool capitalI = false) const;

 private:
  struct Value {
    std::size_t piece;   // the piece of markup that holds it
    std::size_t offset;  // where in the piece it starts
    std::size_t length;
    char quote;  // the quote around it
  };
  std::string markupWith(std::size_t index,
                         const std::vector<std::string>& valueTranslations) const;
  std::optional<std::string> rebuild(std::string_view translation,
                                     const std::function<std::string(std::size_t)>& pieceOf,
                                     bool capitalI) const;

  std::string carrier_;
  std::vector<std::string> markup_;
  std::vector<std::string> stretches_;
  std::vector<Value> values_;
  std::size_t terms_ = 0;
  bool placeholders_ = false;  // markup or terms are replaced by placeholders
};

// translation with its first letter that has a case in lower case, when
// source's first such letter is in lower case. A first word written all in
// capitals is left as it is when it has two letters or more (a name such as
// "GNU"), or, with capitalI (a translation into English), when it is the
// pronoun "I".
std::string keepLowerStart(std::string_view source, std::string translation, bool capitalI = false);

}  // namespace zta

#endif
