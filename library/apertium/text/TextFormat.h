// The formats of ZTA_FORMAT and what each asks of the library. formatRules
// is the one switch over the formats: a new format is an enumerator here,
// its case in formatRules (the compiler names the switch when it is
// missing), and its name in textFormatNamed.
#ifndef XLATE_LIBRARY_APERTIUM_TEXT_TEXT_FORMAT_H
#define XLATE_LIBRARY_APERTIUM_TEXT_TEXT_FORMAT_H

#include <optional>
#include <string_view>

namespace zta {

enum class TextFormat {
  kText,      // txt: plain text, every character is text
  kHtml,      // html: tags, comments and entities are markup
  kSubtitles  // srt: html, plus cue numbers and timing lines kept whole
};

struct FormatRules {
  // Tags, comments and entities are markup, taken out before the engine
  // translates a line (MarkupText.h); the engine gets placeholders.
  bool markup = false;
  // Cue numbers, timing lines and WebVTT's blocks are kept whole; override
  // codes ("{\an8}") and WebVTT's timestamp tags are markup too.
  bool subtitleFrames = false;
};

FormatRules formatRules(TextFormat format);

// The format named by ZTA_FORMAT ("txt", "html", "srt", or "vtt" for the
// same as "srt"; upper case too), or nothing for any other value.
std::optional<TextFormat> textFormatNamed(std::string_view name);

}  // namespace zta

#endif
