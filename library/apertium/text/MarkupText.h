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
// source starts in lower case keeps a lower-case start.
#ifndef XLATE_LIBRARY_APERTIUM_MARKUP_TEXT_H
#define XLATE_LIBRARY_APERTIUM_MARKUP_TEXT_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zta {

enum class TextFormat {
  kText,      // txt: plain text, every character is text
  kHtml,      // html: tags, comments and entities are markup
  kSubtitles  // srt: html, plus cue numbers and timing lines kept whole
};

// The format named by ZTA_FORMAT ("txt", "html", "srt", or "vtt" for the
// same as "srt"; upper case too), or nothing for any other value.
std::optional<TextFormat> textFormatNamed(std::string_view name);

// True when a line of a subtitle file is kept as it is, without reaching
// the engine: a cue number (digits only), a timing line
// ("00:00:02,830 --> 00:00:05,560", perhaps with position settings after
// it; WebVTT's "00:02.830 --> 00:05.560" too) or WebVTT's "WEBVTT" header.
// Blanks around it are allowed.
bool isSubtitleFrame(std::string_view line);

// A line with its markup taken out.
class MarkedLine {
 public:
  MarkedLine(std::string_view line, TextFormat format);

  // True when some stretch holds more than blanks; a line of markup and
  // blanks only is its own translation.
  bool hasText() const;
  // The line with each piece of markup replaced by its placeholder.
  const std::string& carrier() const { return carrier_; }
  // The stretches of text between the pieces of markup (one more than the
  // pieces), as texts of their own.
  const std::vector<std::string>& stretches() const { return stretches_; }

  // The line again from the carrier's translation: each placeholder
  // replaced by its markup, and each stretch whose source starts in lower
  // case starting in lower case. Nothing when the translation does not hold
  // every placeholder exactly once and in order.
  std::optional<std::string> restore(std::string_view translation) const;
  // The line again from the translations of its stretches, joined by the
  // markup.
  std::string join(const std::vector<std::string>& translations) const;

 private:
  std::string carrier_;
  std::vector<std::string> markup_;
  std::vector<std::string> stretches_;
};

// translation with its first letter that has a case in lower case, when
// source's first such letter is in lower case.
std::string keepLowerStart(std::string_view source, std::string translation);

}  // namespace zta

#endif
