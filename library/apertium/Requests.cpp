// A text or a batch of texts from the caller's arguments to the engine and
// back: the checks of the arguments, the texts that are their own
// translation, the kept result for the retry, and a batch's records.
#include <map>
#include <utility>

#include "Library.h"
#include "engine/KitNames.h"
#include "engine/ZtaErrors.h"
#include "library/kit/BatchRecords.h"
#include "library/kit/ResultBuffer.h"
#include "text/ApertiumText.h"
#include "text/LanguageCodes.h"

namespace zta {

void TranslationLibrary::requireText(const char* text, const char* what) {
  if (text == nullptr) {
    throw ZtaError(ErrorCode::kInvalidArgument,
                   std::string("No ") + what + " given (null pointer)");
  }
}

Language TranslationLibrary::requireLanguage(const char* code, const char* side) {
  requireText(code, side);
  std::optional<Language> language = parseLanguageCode(code);
  if (!language) {
    const std::string note = engine_->pairsNote();
    throw ZtaError(ErrorCode::kBadLanguageCode, std::string("Unknown language code \"") +
                                                    asciiForMessage(code, 40) + "\" (" + side +
                                                    ")" + (note.empty() ? "" : "; " + note));
  }
  return *language;
}

std::optional<std::string> TranslationLibrary::resolveText(const char* langFrom, const char* langTo,
                                                           const char* text,
                                                           std::optional<Route>* route,
                                                           MarkupState* markup) {
  requireText(text, "text");
  requireText(langFrom, "source language");
  requireText(langTo, "target language");
  const TextFormat format = textFormat();
  const Glossary* terms = glossary();
  // The state of markup goes past every text, whatever becomes of it.
  std::optional<MarkedLine> marked;
  if (formatRules(format).markup || terms != nullptr) {
    MarkupState fresh;
    marked.emplace(text, format, markup != nullptr ? *markup : fresh, terms);
  }
  const Language source = requireLanguage(langFrom, "source language");
  const Language target = requireLanguage(langTo, "target language");
  const std::string_view input(text);
  if (!isValidUtf8(input)) throw ZtaError(ErrorCode::kInvalidUtf8, "The text is not valid UTF-8");
  if (source == target) return std::string(input);
  const Route chosen = routeFor(source, target);
  announce(chosen);
  // A blank text is its own translation: no chain or request is needed.
  if (isBlankText(input)) return std::string(input);
  // So are a subtitle's cue numbers and timing lines (a line of digits only
  // is taken for a cue number wherever it stands: as a line of text it
  // would be its own translation too), and a line of markup and blanks
  // only, without a term of the glossary or an alt or title (MarkedLine
  // keeps those frames whole).
  if (marked && !marked->hasText()) return std::string(input);
  *route = chosen;
  return std::nullopt;
}

std::string TranslationLibrary::translateText(const char* langFrom, const char* langTo,
                                              const char* text) {
  requireText(text, "text");
  requireText(langFrom, "source language");
  requireText(langTo, "target language");
  const auto arguments = zta_kit::ArgumentsOf({langFrom, langTo, text});
  if (const std::string* kept = lastTranslation_.Find(arguments)) return *kept;
  std::optional<Route> route;
  std::optional<std::string> result = resolveText(langFrom, langTo, text, &route);
  if (!result) result = rememberedTranslation(*route, text);
  lastTranslation_.Keep(arguments, *result);
  return *result;
}

std::string TranslationLibrary::batchRecords(const char* langFrom, const char* langTo,
                                             uint32_t count, const char* const* texts,
                                             std::string* done) {
  if (count > 0 && texts == nullptr) {
    throw ZtaError(ErrorCode::kInvalidArgument, "No texts given (null pointer)");
  }
  const auto arguments = zta_kit::ArgumentsOf({langFrom, langTo}, count, texts);
  if (const std::string* kept = lastBatch_.Find(arguments)) return *kept;
  lastBatch_.Forget();

  // Each text's outcome as translating it alone gives it, except those
  // that need a chain or the server: they are translated together below,
  // grouped by route (one, unless the catalog changes meanwhile).
  struct Outcome {
    uint32_t code = 0;
    std::string text;
    bool known = true;  // false until a chain or the server has given it
  };
  struct Group {
    Route route;
    std::vector<std::string_view> texts;
    std::vector<uint32_t> index;
    std::vector<MarkupState> starts;
  };
  std::vector<Outcome> outcomes(count);
  std::map<std::string, Group> groups;
  // The texts are a file's lines in order: a tag or comment left open at
  // the end of one goes on into the next. The first starts as a file does.
  MarkupState markup;
  for (uint32_t i = 0; i < count; ++i) {
    try {
      std::optional<Route> route;
      const MarkupState start = markup;
      std::optional<std::string> result = resolveText(langFrom, langTo, texts[i], &route, &markup);
      if (result) {
        outcomes[i].text = std::move(*result);
        continue;
      }
      Group& group = groups.try_emplace(route->key(), Group{*route, {}, {}, {}}).first->second;
      group.texts.push_back(texts[i]);
      group.index.push_back(i);
      group.starts.push_back(start);
      outcomes[i].known = false;
    } catch (const ZtaError& error) {
      fail(static_cast<uint32_t>(error.code()), error.what());
      outcomes[i] = {errors_.LastCode(), errors_.Text(errors_.LastCode())};
    }
  }
  for (auto& [name, group] : groups) {
    std::vector<std::string> translations;
    try {
      translations = rememberedTranslations(group.route, group.texts, group.starts);
    } catch (const ZtaError& error) {
      // Failed part way: the texts before the first one without its
      // outcome are handed over (a translation holding a NUL cannot be a
      // record's text), and the caller translates only the rest.
      if (const auto* partial = dynamic_cast<const PartialBatchError*>(&error)) {
        for (std::size_t k = 0; k < partial->done().size(); ++k) {
          outcomes[group.index[k]].text = partial->done()[k];
          outcomes[group.index[k]].known = true;
        }
      }
      done->clear();
      for (const Outcome& outcome : outcomes) {
        if (!outcome.known || outcome.text.find('\0') != std::string::npos) break;
        zta_kit::AppendRecord(outcome.code, outcome.text, *done);
      }
      throw;
    }
    for (std::size_t k = 0; k < translations.size(); ++k) {
      outcomes[group.index[k]].text = std::move(translations[k]);
      outcomes[group.index[k]].known = true;
    }
  }
  std::string records;
  for (const Outcome& outcome : outcomes) {
    zta_kit::AppendRecord(outcome.code, outcome.text, records);
  }
  lastBatch_.Keep(arguments, records);
  return records;
}

}  // namespace zta
