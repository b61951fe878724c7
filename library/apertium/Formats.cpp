// The text formats of ZTA_FORMAT: the markup of a line taken out before the
// engine translates it and put back after (text/MarkupText.h). Written once
// above the engines.
#include <optional>
#include <utility>

#include "Library.h"
#include "engine/KitNames.h"
#include "engine/ZtaErrors.h"
#include "text/ApertiumText.h"

namespace zta {

TextFormat TranslationLibrary::textFormat() const {
  if (format_) return *format_;
  throw ZtaError(ErrorCode::kInvalidArgument,
                 "ZTA_FORMAT=\"" + asciiForMessage(settings_.format, 40) +
                     "\" is no format of this library; give txt (plain text, the default), html "
                     "or srt (subtitles)");
}

bool TranslationLibrary::usesPlaceholders() const {
  return formatRules(format_.value_or(TextFormat::kText)).markup;
}

std::string TranslationLibrary::markupBack(const LanguagePair& pair, const MarkedLine& line,
                                           const std::string& translation) {
  if (std::optional<std::string> restored = line.restore(translation)) return *restored;
  // The engine lost or moved a placeholder: each stretch of text between the
  // markup is translated alone, so that the markup stays whole and in order.
  std::vector<std::string> stretches;
  for (const std::string& stretch : line.stretches()) {
    stretches.push_back(isBlankText(stretch) ? stretch : engine_->translate(pair, stretch));
  }
  return line.join(stretches);
}

std::string TranslationLibrary::pairTranslation(const LanguagePair& pair, std::string_view text) {
  const TextFormat format = textFormat();
  if (!formatRules(format).markup) return engine_->translate(pair, text);
  const MarkedLine line(text, format);
  return markupBack(pair, line, engine_->translate(pair, line.carrier()));
}

std::vector<std::string> TranslationLibrary::pairTranslations(
    const LanguagePair& pair, const std::vector<std::string_view>& texts,
    const std::vector<MarkupState>& starts) {
  const TextFormat format = textFormat();
  if (!formatRules(format).markup) return engine_->translateMany(pair, texts);
  std::vector<MarkedLine> lines;
  std::vector<std::string_view> carriers;
  lines.reserve(texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    MarkupState start = i < starts.size() ? starts[i] : MarkupState();
    lines.emplace_back(texts[i], format, start);
    carriers.emplace_back(lines.back().carrier());
  }
  // Each translation gets its markup back; those translated before a
  // failure part way are handed over with theirs.
  const auto restoreAll = [&](const std::vector<std::string>& translations) {
    std::vector<std::string> restored;
    for (std::size_t i = 0; i < translations.size(); ++i) {
      try {
        restored.push_back(markupBack(pair, lines[i], translations[i]));
      } catch (const ZtaError& error) {
        throw PartialBatchError(error, std::move(restored));
      }
    }
    return restored;
  };
  std::vector<std::string> translations;
  try {
    translations = engine_->translateMany(pair, carriers);
  } catch (const PartialBatchError& partial) {
    std::vector<std::string> done;
    try {
      done = restoreAll(partial.done());
    } catch (const PartialBatchError& later) {
      done = later.done();
    }
    throw PartialBatchError(partial, std::move(done));
  }
  return restoreAll(translations);
}

}  // namespace zta
