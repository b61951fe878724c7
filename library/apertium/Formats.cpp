// The text formats of ZTA_FORMAT and the glossary of ZTA_GLOSSARY: the
// markup and the terms of a line taken out before the engine translates it
// and put back after (text/MarkupText.h), once for the whole route, so
// that a text through a pivot keeps both, and the glossary is the one for
// the languages the caller asked for. Written once above the engines.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <utility>

#include "Library.h"
#include "engine/KitNames.h"
#include "engine/ZtaErrors.h"
#include "text/ApertiumText.h"

namespace zta {
namespace {

// English keeps the capital of the pronoun "I" at a line's start.
bool writesCapitalI(const Language& language) { return displayCode(language) == "en"; }

}  // namespace

TextFormat TranslationLibrary::textFormat() const {
  if (format_) return *format_;
  throw ZtaError(ErrorCode::kInvalidArgument,
                 "ZTA_FORMAT=\"" + asciiForMessage(settings_.format, 40) +
                     "\" is no format of this library; give txt (plain text, the default), html "
                     "or srt (subtitles)");
}

void TranslationLibrary::loadGlossary() {
  if (settings_.glossaryPath.empty()) return;
  std::ifstream file(settings_.glossaryPath, std::ios::binary);
  std::ostringstream content;
  if (file) content << file.rdbuf();
  if (!file || file.bad()) {
    const int error = errno;
    glossaryFailure_ = "ZTA_GLOSSARY=\"" + asciiForMessage(settings_.glossaryPath, 200) +
                       "\" cannot be read" +
                       (error != 0 ? std::string(" (") + std::strerror(error) + ")" : "") +
                       "; name a tab-separated file of terms, or leave ZTA_GLOSSARY unset";
    return;
  }
  std::vector<std::string> problems;
  glossary_ = Glossary::fromText(content.str(), &problems);
  // Said once, when the library starts; the lines left out do not stop it.
  for (const std::string& problem : problems) {
    const std::string line = "ZTA_GLOSSARY " + settings_.glossaryPath + ", " + problem;
    notify(line);
  }
}

const Glossary* TranslationLibrary::glossary() const {
  if (!glossaryFailure_.empty()) throw ZtaError(ErrorCode::kInvalidArgument, glossaryFailure_);
  return glossary_ && !glossary_->empty() ? &*glossary_ : nullptr;
}

bool TranslationLibrary::usesPlaceholders() const {
  return formatRules(format_.value_or(TextFormat::kText)).markup ||
         (glossary_ && !glossary_->empty());
}

MarkedLine TranslationLibrary::markedLine(std::string_view text, MarkupState& state) const {
  return MarkedLine(text, textFormat(), state, glossary());
}

std::string TranslationLibrary::plainTranslation(const Route& route, std::string_view text) {
  std::string translation = engine_->translate(route.first, text);
  if (!route.second) return translation;
  translation = keepLowerStart(text, std::move(translation), writesCapitalI(route.first.target));
  // A translation into the pivot that came out blank is its own translation.
  return isBlankText(translation) ? translation : engine_->translate(*route.second, translation);
}

std::string TranslationLibrary::lineBack(const Route& route, const MarkedLine& line,
                                         const std::optional<std::string>& carried) {
  const bool capitalI = writesCapitalI(route.second ? route.second->target : route.first.target);
  // The values of alt and title, each a line of HTML of its own.
  std::vector<std::string> values;
  for (const std::string& value : line.values()) {
    values.push_back(
        isBlankText(value)
            ? value
            : lineTranslation(route, MarkedLine(value, TextFormat::kHtml, glossary())));
  }
  if (carried) {
    if (std::optional<std::string> restored = line.restore(*carried, values, capitalI)) {
      return *restored;
    }
  }
  // The engine lost or moved a placeholder: each stretch of text between the
  // markup is translated alone, so that the markup stays whole and in order.
  std::vector<std::string> stretches;
  for (const std::string& stretch : line.stretches()) {
    stretches.push_back(isBlankText(stretch) ? stretch : plainTranslation(route, stretch));
  }
  return line.join(stretches, values, capitalI);
}

std::string TranslationLibrary::lineTranslation(const Route& route, const MarkedLine& line) {
  // A line of markup, terms and blanks only needs no engine for its carrier.
  if (!line.stretchesHaveText()) return lineBack(route, line, line.carrier());
  std::optional<std::string> carried = engine_->translate(route.first, line.carrier());
  if (route.second) {
    carried = line.carried(*carried, writesCapitalI(route.first.target));
    if (carried && !isBlankText(*carried)) carried = engine_->translate(*route.second, *carried);
  }
  return lineBack(route, line, carried);
}

std::string TranslationLibrary::engineTranslation(const Route& route, std::string_view text) {
  MarkupState start;
  return lineTranslation(route, markedLine(text, start));
}

std::vector<std::string> TranslationLibrary::engineTranslations(
    const Route& route, const std::vector<std::string_view>& texts,
    const std::vector<MarkupState>& starts) {
  std::vector<MarkedLine> lines;
  lines.reserve(texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    MarkupState start = i < starts.size() ? starts[i] : MarkupState();
    lines.push_back(markedLine(texts[i], start));
  }
  // Each line's carrier through the route; nothing where a placeholder was
  // lost on the way into the pivot.
  std::vector<std::optional<std::string>> carried(lines.size());
  std::optional<ZtaError> failure;  // the first, the one reported
  std::size_t done = lines.size();  // the lines before the first one without its translation
  // The lines of indices through pair, as a batch of their own; a failure
  // part way leaves those after the last one translated without theirs.
  const auto through = [&](const LanguagePair& pair, const std::vector<std::size_t>& indices) {
    std::vector<std::string_view> batch;
    batch.reserve(indices.size());
    for (std::size_t i : indices) batch.emplace_back(*carried[i]);
    std::vector<std::string> translations;
    try {
      translations = engine_->translateMany(pair, batch);
    } catch (const ZtaError& error) {
      if (!failure) failure.emplace(error);
      if (const auto* partial = dynamic_cast<const PartialBatchError*>(&error)) {
        translations = partial->done();
      }
    }
    for (std::size_t k = 0; k < translations.size() && k < indices.size(); ++k) {
      carried[indices[k]] = std::move(translations[k]);
    }
    if (translations.size() < indices.size()) done = std::min(done, indices[translations.size()]);
  };
  std::vector<std::size_t> sent;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    carried[i] = lines[i].carrier();
    if (lines[i].stretchesHaveText()) sent.push_back(i);
  }
  through(route.first, sent);
  if (route.second) {
    // What reached the pivot goes on, those translated before a failure too,
    // so that the caller keeps them.
    std::vector<std::size_t> onward;
    for (std::size_t i : sent) {
      if (i >= done) break;
      carried[i] = lines[i].carried(*carried[i], writesCapitalI(route.first.target));
      if (carried[i] && !isBlankText(*carried[i])) onward.push_back(i);
    }
    through(*route.second, onward);
  }
  // Each translation gets its markup back; those translated before a
  // failure part way are handed over with theirs.
  std::vector<std::string> restored;
  for (std::size_t i = 0; i < done; ++i) {
    try {
      restored.push_back(lineBack(route, lines[i], carried[i]));
    } catch (const ZtaError& error) {
      throw PartialBatchError(failure ? *failure : error, std::move(restored));
    }
  }
  if (failure) throw PartialBatchError(*failure, std::move(restored));
  return restored;
}

}  // namespace zta
