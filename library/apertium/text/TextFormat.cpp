#include "text/TextFormat.h"

#include <cctype>
#include <string>

namespace zta {

FormatRules formatRules(TextFormat format) {
  switch (format) {
    case TextFormat::kText:
      return FormatRules{false, false};
    case TextFormat::kHtml:
      return FormatRules{true, false};
    case TextFormat::kSubtitles:
      return FormatRules{true, true};
  }
  return FormatRules{};
}

std::optional<TextFormat> textFormatNamed(std::string_view name) {
  std::string lower;
  for (char c : name)
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  if (lower == "txt") return TextFormat::kText;
  if (lower == "html") return TextFormat::kHtml;
  if (lower == "srt" || lower == "vtt") return TextFormat::kSubtitles;
  return std::nullopt;
}

}  // namespace zta
