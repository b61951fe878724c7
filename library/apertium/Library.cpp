#include "Library.h"

#include <cstring>
#include <new>

#include "ApertiumText.h"
#include "LanguageCodes.h"
#include "Pipeline.h"
#include "PostForm.h"
#include "Utf8Text.h"
#include "ZtaErrors.h"

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

TranslationLibrary::TranslationLibrary(LibrarySettings settings) : settings_(std::move(settings)) {
  if (!settings_.commandBuilder) settings_.commandBuilder = apertiumNullFlushStages;
}

TranslationLibrary::~TranslationLibrary() { stopAll(); }

void TranslationLibrary::stopAll() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  translators_.clear();
}

uint32_t TranslationLibrary::lastErrorCode() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return lastError_;
}

PairTranslator* TranslationLibrary::translatorFor(const std::string& modeName) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const auto found = translators_.find(modeName);
  return found == translators_.end() ? nullptr : found->second.get();
}

void TranslationLibrary::fail(uint32_t code, const std::string& text) {
  lastError_ = code;
  errorTexts_[code] = asciiForMessage(text, kMaxErrorTextLength);
}

bool TranslationLibrary::run(char* dest, uint32_t maxSize,
                             const std::function<std::string()>& produce) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  try {
    if (dest == nullptr && maxSize > 0) {
      throw ZtaError(ErrorCode::kInvalidArgument, "No destination given (null pointer)");
    }
    const std::string result = produce();
    if (result.size() >= maxSize) {
      throw ZtaError(ErrorCode::kBufferTooSmall,
                     "The result needs " + std::to_string(result.size() + 1) +
                         " bytes and the buffer holds " + std::to_string(maxSize));
    }
    std::memcpy(dest, result.data(), result.size());
    dest[result.size()] = '\0';
    lastError_ = 0;
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

const ApyClient* TranslationLibrary::serverClient() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return server_.get();
}

ApyClient& TranslationLibrary::server() {
  if (server_) return *server_;
  const std::string url = normalisedServerUrl(settings_.serverUrl);
  if (url.empty()) {
    throw ZtaError(ErrorCode::kServerUnreachable,
                   "ZTA_SERVER=\"" + asciiForMessage(settings_.serverUrl, 80) +
                       "\" is not the http:// or https:// address of a translation server");
  }
  std::string error;
  std::unique_ptr<HttpTransport> transport =
      settings_.transportFactory ? settings_.transportFactory(settings_.serverLimits, &error)
                                 : makeCurlTransport(settings_.serverLimits, &error);
  if (!transport) {
    throw ZtaError(ErrorCode::kEngineUnavailable,
                   "Cannot talk to the translation server " + url + ": " + error);
  }
  server_ = std::make_unique<ApyClient>(url, std::move(transport), settings_.markUnknownWords,
                                        settings_.serverLimits);
  return *server_;
}

const PairCatalog& TranslationLibrary::catalog(bool rescan) {
  if (!catalog_ || rescan) {
    catalog_ = usesServer() ? PairCatalog::fromModeNames(server().pairNames())
                            : PairCatalog::fromModesDirectory(settings_.modesDirectory);
  }
  return *catalog_;
}

std::string TranslationLibrary::pairsNote() {
  if (!usesServer()) return "installed pairs: " + catalog(false).installedPairsText();
  try {
    return "the server's pairs: " + catalog(false).installedPairsText();
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
  const int cpu = settings_.pinChainToOneProcessor
                      ? processorForChain(static_cast<unsigned>(translators_.size()))
                      : -1;
  auto translator =
      std::make_unique<PairTranslator>(pair.displayName(), std::move(stages), cpu,
                                       settings_.baseTimeout, settings_.timeoutPerKilobyte);
  PairTranslator& result = *translator;
  translators_.emplace(pair.modeName, std::move(translator));
  return result;
}

std::string TranslationLibrary::translateText(const char* langFrom, const char* langTo,
                                              const char* text) {
  requireText(text, "text");
  requireText(langFrom, "source language");
  requireText(langTo, "target language");
  if (lastTranslation_ && lastTranslation_->langFrom == langFrom &&
      lastTranslation_->langTo == langTo && lastTranslation_->text == text) {
    return lastTranslation_->result;
  }
  const auto note = [this] { return pairsNote(); };
  const Language source = requireLanguage(langFrom, "source language", note);
  const Language target = requireLanguage(langTo, "target language", note);
  const std::string_view input(text);
  if (!isValidUtf8(input)) throw ZtaError(ErrorCode::kInvalidUtf8, "The text is not valid UTF-8");
  std::string result;
  if (source == target) {
    result = input;
  } else {
    const LanguagePair* pair = catalog(false).find(source, target);
    if (pair == nullptr) pair = catalog(true).find(source, target);  // installed meanwhile?
    if (pair == nullptr) {
      const std::string languages = displayCode(source) + " into " + displayCode(target);
      if (usesServer()) {
        throw ZtaError(ErrorCode::kPairNotInstalled,
                       "The translation server " + server().url() + " has no pair from " +
                           languages + "; its pairs: " + catalog(false).installedPairsText());
      }
      throw ZtaError(ErrorCode::kPairNotInstalled,
                     "Apertium has no pair from " + languages +
                         "; installed pairs: " + catalog(false).installedPairsText() +
                         " (modes in " + settings_.modesDirectory + ")");
    }
    // A blank text is its own translation: no chain or request is needed.
    if (isBlankText(input)) {
      result = input;
    } else if (usesServer()) {
      try {
        result = server().translate(pair->modeName, input);
      } catch (const ZtaError& error) {
        // A server that refuses a pair it listed may have changed: read its
        // pairs again on the next call.
        if (error.code() == ErrorCode::kServerRefused) catalog_.reset();
        throw;
      }
    } else {
      result = translatorForPair(*pair).translate(input);
    }
  }
  lastTranslation_ = Translation{langFrom, langTo, text, result};
  return result;
}

std::string TranslationLibrary::languageListText() {
  const std::vector<Language> languages = catalog(true).languages();
  if (languages.empty() && usesServer()) {
    throw ZtaError(ErrorCode::kEngineUnavailable,
                   "The translation server " + server().url() + " has no language pairs");
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
  return run(dest, maxSize, [&] { return translateText(langFrom, langTo, text); });
}

bool TranslationLibrary::languageList(const char* /*langInit*/, char* dest, uint32_t maxSize) {
  return run(dest, maxSize, [&] { return languageListText(); });
}

bool TranslationLibrary::toPostText(const char* text, char* dest, uint32_t maxSize) {
  return run(dest, maxSize, [&] {
    requireText(text, "text");
    if (!isValidUtf8(text)) throw ZtaError(ErrorCode::kInvalidUtf8, "The text is not valid UTF-8");
    return zta::toPostText(text);
  });
}

bool TranslationLibrary::fromPostText(const char* text, char* dest, uint32_t maxSize) {
  return run(dest, maxSize, [&] {
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
  const uint32_t before = lastError_;
  const bool ok = run(buffer, maxSize, [&] {
    const auto kept = errorTexts_.find(code);
    if (kept != errorTexts_.end()) return kept->second;
    const char* generic = genericErrorText(code);
    if (generic == nullptr) {
      throw ZtaError(ErrorCode::kUnknownErrorCode, "Unknown error code " + std::to_string(code) +
                                                       " (not a code of this library)");
    }
    return std::string(generic);
  });
  if (ok) lastError_ = before;
  return ok;
}

TranslationLibrary& sharedLibrary() {
  static TranslationLibrary library(LibrarySettings::fromEnvironment());
  return library;
}

}  // namespace zta
