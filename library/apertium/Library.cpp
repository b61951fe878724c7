#include "Library.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include "engine/ZtaErrors.h"
#include "library/kit/BatchRecords.h"
#include "library/kit/ResultBuffer.h"
#include "library/kit/Utf8Check.h"
#include "local/Pipeline.h"
#include "text/ApertiumText.h"
#include "text/LanguageCodes.h"
#include "text/MarkupText.h"
#include "text/PostForm.h"

namespace zta {
namespace {

constexpr std::size_t kMaxErrorTextLength = 2000;

void requireText(const char* text, const char* what) {
  if (text == nullptr) {
    throw ZtaError(ErrorCode::kInvalidArgument,
                   std::string("No ") + what + " given (null pointer)");
  }
}

Language requireLanguage(const char* code, const char* side,
                         const std::function<std::string()>& pairsNote) {
  requireText(code, side);
  std::optional<Language> language = parseLanguageCode(code);
  if (!language) {
    const std::string note = pairsNote();
    throw ZtaError(ErrorCode::kBadLanguageCode, std::string("Unknown language code \"") +
                                                    asciiForMessage(code, 40) + "\" (" + side +
                                                    ")" + (note.empty() ? "" : "; " + note));
  }
  return *language;
}

}  // namespace

TranslationLibrary::TranslationLibrary(LibrarySettings settings)
    : settings_(std::move(settings)),
      format_(settings_.format.empty() ? TextFormat::kText : textFormatNamed(settings_.format)) {
  if (!settings_.commandBuilder) settings_.commandBuilder = apertiumNullFlushStages;
  settings_.serverLimits.UserAgent = "jxZTAccess (Apertium)";
}

TextFormat TranslationLibrary::textFormat() const {
  if (format_) return *format_;
  throw ZtaError(ErrorCode::kInvalidArgument,
                 "ZTA_FORMAT=\"" + asciiForMessage(settings_.format, 40) +
                     "\" is no format of this library; give txt (plain text, the default), html "
                     "or srt (subtitles)");
}

bool TranslationLibrary::usesPlaceholders() const {
  return format_.value_or(TextFormat::kText) != TextFormat::kText;
}

TranslationLibrary::~TranslationLibrary() { stopAll(); }

void TranslationLibrary::stopAll() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  translators_.clear();
}

uint32_t TranslationLibrary::lastErrorCode() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return errors_.LastCode();
}

PairTranslator* TranslationLibrary::translatorFor(const std::string& modeName) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const auto found = translators_.find(modeName);
  return found == translators_.end() ? nullptr : found->second.get();
}

void TranslationLibrary::fail(uint32_t code, const std::string& text) {
  errors_.Fail(code, asciiForMessage(text, kMaxErrorTextLength));
}

bool TranslationLibrary::run(char* dest, uint32_t maxSize,
                             const std::function<std::string()>& produce, bool withNul) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  try {
    if (dest == nullptr && maxSize > 0) {
      throw ZtaError(ErrorCode::kInvalidArgument, "No destination given (null pointer)");
    }
    const std::string result = produce();
    if (!zta_kit::CopyResult(result, dest, maxSize, withNul)) {
      throw ZtaError(ErrorCode::kBufferTooSmall,
                     zta_kit::TooSmallText(zta_kit::BytesNeeded(result, withNul), maxSize));
    }
    errors_.SetLastCode(0);
    return true;
  } catch (const ZtaError& error) {
    fail(static_cast<uint32_t>(error.code()), error.what());
  } catch (const std::bad_alloc&) {
    fail(static_cast<uint32_t>(ErrorCode::kInternal), "Out of memory");
  } catch (const std::exception& error) {
    fail(static_cast<uint32_t>(ErrorCode::kInternal),
         std::string("Internal failure: ") + error.what());
  } catch (...) {
    fail(static_cast<uint32_t>(ErrorCode::kInternal), "Internal failure");
  }
  return false;
}

void TranslationLibrary::requireServerOrLocalChains() const {
  if (usesServer() || settings_.localPipelines) return;
  throw ZtaError(ErrorCode::kEngineUnavailable,
                 "This library translates through an Apertium APY server only, and ZTA_SERVER "
                 "names none. Set the environment variable ZTA_SERVER to the server's address "
                 "before starting the program: \"set ZTA_SERVER=http://host:2737\" in a Command "
                 "Prompt, or \"setx ZTA_SERVER http://host:2737\" for the ones opened after it");
}

const ApyClient* TranslationLibrary::serverClient() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return servers_.empty() ? nullptr : servers_.front().get();
}

std::vector<std::unique_ptr<ApyClient>>& TranslationLibrary::servers() {
  if (!servers_.empty()) return servers_;
  std::vector<std::string> addresses = splitServerList(settings_.serverUrl);
  if (addresses.empty()) addresses.push_back(settings_.serverUrl);  // refused below
  // Every address is checked before any connection is made.
  std::vector<std::string> urls;
  for (const std::string& address : addresses) {
    std::string problem;
    urls.push_back(normalisedServerUrl(address, &problem));
    if (urls.back().empty()) {
      throw ZtaError(
          ErrorCode::kServerUnreachable,
          "ZTA_SERVER=\"" + asciiForMessage(addressForMessages(address), 80) + "\" " + problem);
    }
  }
  std::vector<std::unique_ptr<ApyClient>> made;
  std::vector<std::shared_ptr<ServerBreaker>> breakers;
  for (const std::string& url : urls) {
    std::string error;
    std::unique_ptr<HttpTransport> transport =
        settings_.transportFactory ? settings_.transportFactory(settings_.serverLimits, &error)
                                   : makeHttpTransport(settings_.serverLimits, &error);
    if (!transport) {
      throw ZtaError(ErrorCode::kEngineUnavailable, "Cannot talk to the translation server " +
                                                        addressForMessages(url) + ": " + error);
    }
    breakers.push_back(std::make_shared<ServerBreaker>());
    made.push_back(std::make_unique<ApyClient>(url, std::move(transport),
                                               settings_.markUnknownWords, settings_.serverLimits,
                                               breakers.back(), usesPlaceholders()));
  }
  breakers_ = std::move(breakers);
  servers_ = std::move(made);
  return servers_;
}

std::vector<std::size_t> TranslationLibrary::serversWithPair(const std::string& modeName) {
  std::vector<std::size_t> found;
  std::vector<std::size_t> all;
  for (std::size_t server = 0; server < servers().size(); ++server) {
    all.push_back(server);
    if (server < serverPairs_.size() && serverPairs_[server].count(modeName) != 0) {
      found.push_back(server);
    }
  }
  return found.empty() ? all : found;
}

std::string TranslationLibrary::serversHave() {
  if (servers().size() == 1) return "The translation server " + servers_.front()->url() + " has";
  std::string text = "The translation servers ";
  for (std::size_t server = 0; server < servers_.size(); ++server) {
    text += (server == 0 ? "" : ", ") + servers_[server]->url();
  }
  return text + " have";
}

std::string TranslationLibrary::serverTranslation(const LanguagePair& pair, std::string_view text) {
  const std::vector<std::size_t> candidates = serversWithPair(pair.modeName);
  const std::vector<std::size_t> idle(servers().size(), 0);  // one request at a time
  const std::size_t start = nextServer_++;
  std::size_t failed = kNoServer;
  for (;;) {
    const std::size_t server = pickServer(candidates, idle, breakers_, start, failed);
    try {
      return servers_[server]->translate(pair.modeName, text);
    } catch (const ServerFailure&) {
      if (failed != kNoServer || candidates.size() < 2) throw;
      failed = server;
    }
  }
}

const ApyBatchClient* TranslationLibrary::serverBatchClient() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return serverBatch_.get();
}

std::unique_ptr<ApyClient> TranslationLibrary::makeServerClient(std::size_t server) {
  const ApyClient& first = *servers().at(server);
  std::string error;
  std::unique_ptr<HttpTransport> transport =
      settings_.transportFactory ? settings_.transportFactory(settings_.serverLimits, &error)
                                 : makeHttpTransport(settings_.serverLimits, &error);
  if (!transport) {
    throw ZtaError(ErrorCode::kEngineUnavailable,
                   "Cannot talk to the translation server " + first.url() + ": " + error);
  }
  return std::make_unique<ApyClient>(first.requestUrl(), std::move(transport),
                                     settings_.markUnknownWords, settings_.serverLimits,
                                     breakers_.at(server), usesPlaceholders());
}

ApyBatchClient& TranslationLibrary::serverBatch() {
  if (!serverBatch_) {
    servers();
    serverBatch_ = std::make_unique<ApyBatchClient>(
        settings_.serverRequests, breakers_,
        [this](std::size_t server) { return makeServerClient(server); });
  }
  return *serverBatch_;
}

const PairCatalog& TranslationLibrary::catalog(bool rescan) {
  if (catalog_ && !rescan) return *catalog_;
  if (!usesServer()) {
    catalog_ = PairCatalog::fromModesDirectory(settings_.modesDirectory);
    return *catalog_;
  }
  // The pairs of every server that answers; a server that does not keeps
  // the pairs it had (none, the first time), so that its lines come back to
  // it once it answers again. Only when none answers is that a failure (the
  // first server's).
  std::vector<std::set<std::string>> pairs(servers().size());
  std::set<std::string> all;
  std::exception_ptr firstFailure;
  bool anyAnswered = false;
  for (std::size_t server = 0; server < servers_.size(); ++server) {
    try {
      for (std::string& name : servers_[server]->pairNames()) {
        all.insert(name);
        pairs[server].insert(std::move(name));
      }
      anyAnswered = true;
    } catch (const ZtaError&) {
      if (!firstFailure) firstFailure = std::current_exception();
      if (server < serverPairs_.size()) {
        pairs[server] = serverPairs_[server];
        all.insert(pairs[server].begin(), pairs[server].end());
      }
    }
  }
  if (!anyAnswered && firstFailure) std::rethrow_exception(firstFailure);
  serverPairs_ = std::move(pairs);
  catalog_ = PairCatalog::fromModeNames(std::vector<std::string>(all.begin(), all.end()));
  return *catalog_;
}

std::string TranslationLibrary::pairsNote() {
  if (!usesServer()) return "installed pairs: " + catalog(false).installedPairsText();
  try {
    const PairCatalog& pairs = catalog(false);
    return std::string(servers().size() == 1 ? "the server's" : "the servers'") +
           " pairs: " + pairs.installedPairsText();
  } catch (const ZtaError&) {
    return std::string();  // the failure to translate says more than this one
  }
}

PairTranslator& TranslationLibrary::translatorForPair(const LanguagePair& pair) {
  auto found = translators_.find(pair.modeName);
  if (found != translators_.end()) return *found->second;
  StageList stages;
  std::string error;
  if (!settings_.commandBuilder(pair, settings_, &stages, &error)) {
    throw ZtaError(ErrorCode::kEngineUnavailable,
                   "Apertium cannot translate " + pair.displayName() + ": " + error);
  }
  const unsigned chains = settings_.chains > 0 ? settings_.chains : processorsAvailable();
  std::vector<int> cpus;
  for (unsigned chain = 0; chain < chains; ++chain) {
    cpus.push_back(settings_.pinChainToOneProcessor
                       ? processorForChain(static_cast<unsigned>(translators_.size()) + chain)
                       : -1);
  }
  auto translator = std::make_unique<PairTranslator>(
      pair.displayName(), std::move(stages), std::move(cpus), settings_.baseTimeout,
      settings_.timeoutPerKilobyte, settings_.memoryAvailable, usesPlaceholders());
  PairTranslator& result = *translator;
  translators_.emplace(pair.modeName, std::move(translator));
  return result;
}

std::optional<std::string> TranslationLibrary::resolveText(const char* langFrom, const char* langTo,
                                                           const char* text,
                                                           std::optional<Route>* route) {
  requireText(text, "text");
  requireText(langFrom, "source language");
  requireText(langTo, "target language");
  const TextFormat format = textFormat();
  const auto note = [this] { return pairsNote(); };
  const Language source = requireLanguage(langFrom, "source language", note);
  const Language target = requireLanguage(langTo, "target language", note);
  const std::string_view input(text);
  if (!isValidUtf8(input)) throw ZtaError(ErrorCode::kInvalidUtf8, "The text is not valid UTF-8");
  if (source == target) return std::string(input);
  const Route chosen = routeFor(source, target);
  announce(chosen);
  // A blank text is its own translation: no chain or request is needed.
  if (isBlankText(input)) return std::string(input);
  // So are a subtitle's cue numbers and timing lines. A line of digits only
  // is taken for a cue number wherever it stands: as a line of text it
  // would be its own translation too.
  if (format == TextFormat::kSubtitles && isSubtitleFrame(input)) return std::string(input);
  // And a line of markup and blanks only.
  if (format != TextFormat::kText && !MarkedLine(input, format).hasText()) {
    return std::string(input);
  }
  *route = chosen;
  return std::nullopt;
}

std::string TranslationLibrary::Route::key() const {
  return second ? first.modeName + "+" + second->modeName : first.modeName;
}

TranslationLibrary::Route TranslationLibrary::routeFor(const Language& source,
                                                       const Language& target) {
  const std::string languages = displayCode(source) + " into " + displayCode(target);
  const bool pivotsOff = settings_.pivot == "0";
  std::optional<Language> pivot;
  // The pairs known are tried first; they are read again only when they
  // have no route, in case the pair was installed meanwhile.
  for (bool rescan : {false, true}) {
    const PairCatalog& pairs = catalog(rescan);
    if (const LanguagePair* found = pairs.find(source, target)) return Route{*found, std::nullopt};
    if (pivotsOff) continue;
    if (!settings_.pivot.empty()) {
      pivot = parseLanguageCode(settings_.pivot);
      if (!pivot) {
        throw ZtaError(ErrorCode::kBadLanguageCode,
                       "No pair goes from " + languages + ", and ZTA_PIVOT=\"" +
                           asciiForMessage(settings_.pivot, 40) +
                           "\" is no language code to translate through (0 for none)");
      }
    }
    if (auto two = pairs.findPivot(source, target, pivot)) {
      return Route{std::move(two->first), std::move(two->second)};
    }
  }
  // Said when some pair through the asked pivot is missing: the other
  // pivots were not tried.
  const std::string through =
      pivot ? " (nor through " + displayCode(*pivot) + ", as ZTA_PIVOT asks)" : std::string();
  if (usesServer()) {
    throw ZtaError(ErrorCode::kPairNotInstalled,
                   serversHave() + " no pair from " + languages + through +
                       (servers().size() == 1 ? "; its pairs: " : "; their pairs: ") +
                       catalog(false).installedPairsText());
  }
  const std::string package = debianPairPackage(source, target);
  throw ZtaError(ErrorCode::kPairNotInstalled,
                 "Apertium has no pair from " + languages + through +
                     "; installed pairs: " + catalog(false).installedPairsText() + " (modes in " +
                     settings_.modesDirectory + "); to add it, install " +
                     (package.empty() ? "an apertium package for " + displayCode(source) + "-" +
                                            displayCode(target)
                                      : "the package " + package));
}

void TranslationLibrary::announce(const Route& route) {
  if (!route.second || !announced_.insert(route.key()).second) return;
  const std::string line = displayCode(route.first.source) + "\xE2\x86\x92" +
                           displayCode(route.second->target) + " goes through " +
                           displayCode(route.first.target);
  if (settings_.notice) {
    settings_.notice(line);
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
  }
}

namespace {

// Asks the server; a server that refuses a pair it listed may have changed,
// so its pairs are read again on the next call.
template <typename Ask>
auto askServer(std::optional<PairCatalog>& catalog, Ask ask) -> decltype(ask()) {
  try {
    return ask();
  } catch (const ZtaError& error) {
    if (error.code() == ErrorCode::kServerRefused) catalog.reset();
    throw;
  }
}

}  // namespace

std::string TranslationLibrary::plainPairTranslation(const LanguagePair& pair,
                                                     std::string_view text) {
  if (!usesServer()) return translatorForPair(pair).translate(text);
  return askServer(catalog_, [&] { return serverTranslation(pair, text); });
}

std::vector<std::string> TranslationLibrary::plainPairTranslations(
    const LanguagePair& pair, const std::vector<std::string_view>& texts) {
  if (!usesServer()) return translatorForPair(pair).translateMany(texts);
  return askServer(catalog_, [&] {
    return serverBatch().translate(pair.modeName, texts, serversWithPair(pair.modeName));
  });
}

std::string TranslationLibrary::markupBack(const LanguagePair& pair, const MarkedLine& line,
                                           const std::string& translation) {
  if (std::optional<std::string> restored = line.restore(translation)) return *restored;
  // The engine lost or moved a placeholder: each stretch of text between the
  // markup is translated alone, so that the markup stays whole and in order.
  std::vector<std::string> stretches;
  for (const std::string& stretch : line.stretches()) {
    stretches.push_back(isBlankText(stretch) ? stretch : plainPairTranslation(pair, stretch));
  }
  return line.join(stretches);
}

std::string TranslationLibrary::pairTranslation(const LanguagePair& pair, std::string_view text) {
  const TextFormat format = textFormat();
  if (format == TextFormat::kText) return plainPairTranslation(pair, text);
  const MarkedLine line(text, format);
  return markupBack(pair, line, plainPairTranslation(pair, line.carrier()));
}

std::vector<std::string> TranslationLibrary::pairTranslations(
    const LanguagePair& pair, const std::vector<std::string_view>& texts) {
  const TextFormat format = textFormat();
  if (format == TextFormat::kText) return plainPairTranslations(pair, texts);
  std::vector<MarkedLine> lines;
  std::vector<std::string_view> carriers;
  lines.reserve(texts.size());
  for (std::string_view text : texts) {
    lines.emplace_back(text, format);
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
    translations = plainPairTranslations(pair, carriers);
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

std::string TranslationLibrary::engineTranslation(const Route& route, std::string_view text) {
  std::string middle = pairTranslation(route.first, text);
  // A translation into the pivot that came out blank is its own translation.
  if (!route.second || isBlankText(middle)) return middle;
  return pairTranslation(*route.second, middle);
}

std::vector<std::string> TranslationLibrary::engineTranslations(
    const Route& route, const std::vector<std::string_view>& texts) {
  if (!route.second) return pairTranslations(route.first, texts);
  // The texts translated into the pivot go on, as a batch of their own;
  // those that came out blank stay as they are.
  const auto onward = [&](std::vector<std::string> middles) {
    std::vector<std::string_view> sent;
    std::vector<std::size_t> index;
    for (std::size_t i = 0; i < middles.size(); ++i) {
      if (isBlankText(middles[i])) continue;
      sent.push_back(middles[i]);
      index.push_back(i);
    }
    std::vector<std::string> finals = middles;
    std::vector<std::string> translated;
    try {
      translated = pairTranslations(*route.second, sent);
    } catch (const PartialBatchError& partial) {
      // Only the texts before the first one without its translation are done.
      const std::size_t done =
          partial.done().size() < index.size() ? index[partial.done().size()] : middles.size();
      for (std::size_t k = 0; k < partial.done().size(); ++k) finals[index[k]] = partial.done()[k];
      finals.resize(done);
      throw PartialBatchError(partial, std::move(finals));
    }
    for (std::size_t k = 0; k < translated.size(); ++k) finals[index[k]] = std::move(translated[k]);
    return finals;
  };
  std::vector<std::string> middles;
  try {
    middles = pairTranslations(route.first, texts);
  } catch (const PartialBatchError& partial) {
    // The texts that reached the pivot before the failure still go on, so
    // that the caller keeps them; the first failure is the one reported.
    std::vector<std::string> done;
    try {
      done = onward(partial.done());
    } catch (const PartialBatchError& later) {
      done = later.done();
    } catch (const ZtaError&) {
      done.clear();  // none of them got through the second pair
    }
    throw PartialBatchError(partial, std::move(done));
  }
  return onward(std::move(middles));
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
  if (!result) result = engineTranslation(*route, text);
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
  };
  std::vector<Outcome> outcomes(count);
  std::map<std::string, Group> groups;
  for (uint32_t i = 0; i < count; ++i) {
    try {
      std::optional<Route> route;
      std::optional<std::string> result = resolveText(langFrom, langTo, texts[i], &route);
      if (result) {
        outcomes[i].text = std::move(*result);
        continue;
      }
      Group& group = groups.try_emplace(route->key(), Group{*route, {}, {}}).first->second;
      group.texts.push_back(texts[i]);
      group.index.push_back(i);
      outcomes[i].known = false;
    } catch (const ZtaError& error) {
      fail(static_cast<uint32_t>(error.code()), error.what());
      outcomes[i] = {errors_.LastCode(), errors_.Text(errors_.LastCode())};
    }
  }
  for (auto& [name, group] : groups) {
    std::vector<std::string> translations;
    try {
      translations = engineTranslations(group.route, group.texts);
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

std::string TranslationLibrary::languageListText() {
  const std::vector<Language> languages = catalog(true).languages();
  if (languages.empty() && usesServer()) {
    throw ZtaError(ErrorCode::kEngineUnavailable, serversHave() + " no language pairs");
  }
  if (languages.empty()) {
    throw ZtaError(ErrorCode::kEngineUnavailable,
                   "No Apertium language pairs are installed (no mode files in " +
                       settings_.modesDirectory + ")");
  }
  std::string list;
  for (const Language& language : languages) {
    if (!list.empty()) list += "\r\n";
    list += displayCode(language);
    const std::string name = languageName(language);
    if (!name.empty()) list += " " + name;
  }
  return list;
}

bool TranslationLibrary::translate(const char* /*langInit*/, const char* langFrom,
                                   const char* langTo, const char* text, char* dest,
                                   uint32_t maxSize) {
  return run(dest, maxSize, [&] {
    requireServerOrLocalChains();
    return translateText(langFrom, langTo, text);
  });
}

bool TranslationLibrary::translateBatch(const char* /*langInit*/, const char* langFrom,
                                        const char* langTo, uint32_t count,
                                        const char* const* texts, char* dest, uint32_t maxSize) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::string done;  // the records of the first texts, when the batch fails part way
  if (run(
          dest, maxSize, [&] { return batchRecords(langFrom, langTo, count, texts, &done); },
          false)) {
    return true;
  }
  zta_kit::WritePartialAnswer(done, dest, maxSize);
  return false;
}

bool TranslationLibrary::languageList(const char* /*langInit*/, char* dest, uint32_t maxSize) {
  return run(dest, maxSize, [&] {
    requireServerOrLocalChains();
    return languageListText();
  });
}

bool TranslationLibrary::toPostText(const char* text, char* dest, uint32_t maxSize) {
  return run(dest, maxSize, [&] {
    requireServerOrLocalChains();
    requireText(text, "text");
    if (!isValidUtf8(text)) throw ZtaError(ErrorCode::kInvalidUtf8, "The text is not valid UTF-8");
    return zta::toPostText(text);
  });
}

bool TranslationLibrary::fromPostText(const char* text, char* dest, uint32_t maxSize) {
  return run(dest, maxSize, [&] {
    requireServerOrLocalChains();
    requireText(text, "POST text");
    std::optional<std::string> decoded = zta::fromPostText(text);
    if (!decoded) {
      throw ZtaError(ErrorCode::kBadPostText, "The POST text \"" + asciiForMessage(text, 80) +
                                                  "\" has a % not followed by two hex digits");
    }
    if (decoded->find('\0') != std::string::npos) {
      throw ZtaError(ErrorCode::kBadPostText, "The POST text stands for a NUL byte (%00)");
    }
    if (!isValidUtf8(*decoded)) {
      throw ZtaError(ErrorCode::kInvalidUtf8, "The POST text does not stand for UTF-8 text");
    }
    return *decoded;
  });
}

bool TranslationLibrary::errorText(uint32_t code, char* buffer, uint32_t maxSize) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  // Looking up a text is not a new success: the last error stays as it was,
  // so that a retry with a larger buffer finds the same text.
  const uint32_t before = errors_.LastCode();
  const bool ok = run(buffer, maxSize, [&] {
    const char* text = errors_.Text(code);
    if (text == nullptr) {
      throw ZtaError(ErrorCode::kUnknownErrorCode, "Unknown error code " + std::to_string(code) +
                                                       " (not a code of this library)");
    }
    return std::string(text);
  });
  if (ok) errors_.SetLastCode(before);
  return ok;
}

TranslationLibrary& sharedLibrary() {
  static TranslationLibrary library(LibrarySettings::fromEnvironment());
  return library;
}

}  // namespace zta
