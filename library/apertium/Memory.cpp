// The translation memory between the requests and the engine: a text's
// translation is looked up before the engine is asked and kept after it
// answered (memory/MemoryStore.h). Only what the engine gave is kept, so
// a text that failed is asked again on the next run. A failure of the
// memory never fails a translation: it is said once on standard error and
// the engine goes on alone.
#include <cstdlib>
#include <utility>

#include "Library.h"
#include "engine/ZtaErrors.h"
#include "memory/MemoryKey.h"
#include "memory/MemoryStore.h"

namespace zta {
namespace {

// The state of markup a text starts in, as the key needs it: a line of
// html or subtitles is cut up by it, so its translation depends on it.
std::string startKey(const MarkupState& start) {
  return std::to_string(static_cast<int>(start.inside)) + "," + std::string(1, start.quote) + "," +
         start.element + "," + (start.blockStart ? "1" : "0");
}

}  // namespace

void TranslationLibrary::memoryWarning(const std::string& why) {
  if (memoryWarned_) return;
  memoryWarned_ = true;
  const std::string line =
      "ZTA_MEMORY=" + settings_.memoryPath + ": " + why + "; translating without the memory";
  notify(line);
}

MemoryStore* TranslationLibrary::memory() {
  if (settings_.memoryPath.empty()) return nullptr;
  if (!memoryOpened_) {
    memoryOpened_ = true;
    try {
      memory_ = std::make_unique<MemoryStore>(settings_.memoryPath);
    } catch (const MemoryError& error) {
      memoryWarning(error.what());
    }
  }
  return memory_.get();
}

const TranslationLibrary::RouteMade& TranslationLibrary::routeMade(const Route& route) {
  auto known = routeMade_.find(route.key());
  if (known != routeMade_.end()) return known->second;
  RouteMade made;
  made.fingerprint = "route " + route.key() + "\nformat " + settings_.format + "\nmark " +
                     (settings_.markUnknownWords ? "1" : "0") + "\n";
  if (const char* glossary = std::getenv("ZTA_GLOSSARY"); glossary != nullptr && *glossary) {
    bool found = false;
    const std::string bytes = fileBytes(glossary, &found);
    made.fingerprint +=
        "glossary " + (found ? hashBytes(bytes) : "missing " + std::string(glossary)) + "\n";
  }
  if (server_ != nullptr) {
    // What the server translates with cannot be seen from here; its
    // addresses stand for it.
    made.fingerprint += "server " + settings_.serverUrl + "\n";
    made.madeBy = "server " + settings_.serverUrl + " " + route.key();
  } else {
    // The mode files of the route and the data files they name.
    for (const LanguagePair* pair : {&route.first, route.second ? &*route.second : nullptr}) {
      if (pair == nullptr) continue;
      bool found = false;
      const std::string mode = fileBytes(pair->modePath, &found);
      made.fingerprint += "mode " + pair->modePath + " " + hashBytes(mode) + "\n";
      made.files += fileStamp(pair->modePath) + "\n";
      for (const std::string& path : pathsNamedIn(mode)) made.files += fileStamp(path) + "\n";
    }
    made.fingerprint += made.files;
    made.madeBy = "local " + route.key();
  }
  return routeMade_.emplace(route.key(), std::move(made)).first->second;
}

MemoryContext TranslationLibrary::memoryContext(const Route& route, const MarkupState* start) {
  const RouteMade& made = routeMade(route);
  const Language& target = route.second ? route.second->target : route.first.target;
  std::string fingerprint = made.fingerprint;
  if (start != nullptr && usesPlaceholders()) fingerprint += "start " + startKey(*start) + "\n";
  return MemoryContext{route.first.source.code + "-" + target.code, hashBytes(fingerprint),
                       made.madeBy, made.files};
}

void TranslationLibrary::remember(
    const MemoryContext& context,
    const std::vector<std::pair<std::string_view, std::string_view>>& entries) {
  if (!memoryWritable_ || memory() == nullptr) return;
  try {
    memory_->store(context, entries);
  } catch (const MemoryError& error) {
    // A read-only or full memory still answers what it holds.
    memoryWritable_ = false;
    memoryWarning(error.what());
  }
}

std::string TranslationLibrary::rememberedTranslation(const Route& route, std::string_view text) {
  if (memory() == nullptr) return engineTranslation(route, text);
  const MarkupState fresh;
  const MemoryContext context = memoryContext(route, &fresh);
  try {
    if (auto found = memory_->find(context, {text}); found[0]) return *found[0];
  } catch (const MemoryError& error) {
    memory_.reset();
    memoryWarning(error.what());
    return engineTranslation(route, text);
  }
  std::string translation = engineTranslation(route, text);
  remember(context, {{text, translation}});
  return translation;
}

std::vector<std::string> TranslationLibrary::rememberedTranslations(
    const Route& route, const std::vector<std::string_view>& texts,
    const std::vector<MarkupState>& starts) {
  if (memory() == nullptr) return engineTranslations(route, texts, starts);
  // The texts by their context (one, unless markup starts differently).
  std::vector<MemoryContext> contexts;
  std::vector<std::size_t> contextOf(texts.size());
  std::map<std::string, std::size_t> byFingerprint;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    MemoryContext context = memoryContext(route, i < starts.size() ? &starts[i] : nullptr);
    auto [at, added] = byFingerprint.try_emplace(context.fingerprint, contexts.size());
    if (added) contexts.push_back(std::move(context));
    contextOf[i] = at->second;
  }
  std::vector<std::optional<std::string>> found(texts.size());
  try {
    for (std::size_t c = 0; c < contexts.size(); ++c) {
      std::vector<std::string_view> asked;
      std::vector<std::size_t> index;
      for (std::size_t i = 0; i < texts.size(); ++i) {
        if (contextOf[i] != c) continue;
        asked.push_back(texts[i]);
        index.push_back(i);
      }
      std::vector<std::optional<std::string>> answers = memory_->find(contexts[c], asked);
      for (std::size_t k = 0; k < index.size(); ++k) found[index[k]] = std::move(answers[k]);
    }
  } catch (const MemoryError& error) {
    memory_.reset();
    memoryWarning(error.what());
    return engineTranslations(route, texts, starts);
  }
  // The rest go to the engine together, in their order.
  std::vector<std::string_view> missing;
  std::vector<MarkupState> missingStarts;
  std::vector<std::size_t> index;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (found[i]) continue;
    missing.push_back(texts[i]);
    if (i < starts.size()) missingStarts.push_back(starts[i]);
    index.push_back(i);
  }
  // Keeps the engine's translations of the first count missing texts and
  // gives the texts' translations up to the first one still unknown.
  const auto merge = [&](std::vector<std::string> translated) {
    std::vector<std::vector<std::pair<std::string_view, std::string_view>>> kept(contexts.size());
    for (std::size_t k = 0; k < translated.size(); ++k) {
      found[index[k]] = std::move(translated[k]);
      if (found[index[k]]->find('\0') != std::string::npos) continue;
      kept[contextOf[index[k]]].emplace_back(texts[index[k]], *found[index[k]]);
    }
    for (std::size_t c = 0; c < contexts.size(); ++c) remember(contexts[c], kept[c]);
    std::vector<std::string> done;
    for (std::optional<std::string>& text : found) {
      if (!text) break;
      done.push_back(std::move(*text));
    }
    return done;
  };
  if (missing.empty()) return merge({});
  try {
    return merge(engineTranslations(route, missing, missingStarts));
  } catch (const PartialBatchError& partial) {
    throw PartialBatchError(partial, merge(partial.done()));
  } catch (const ZtaError& error) {
    // The texts the memory gave before the first one the engine failed
    // are handed over all the same.
    throw PartialBatchError(error, merge({}));
  }
}

}  // namespace zta
