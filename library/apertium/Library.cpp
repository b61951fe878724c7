#include "Library.h"

#include <exception>
#include <new>
#include <utility>

#include "engine/KitNames.h"
#include "engine/ZtaErrors.h"
#include "library/kit/BatchRecords.h"
#include "library/kit/ResultBuffer.h"
#include "text/LanguageCodes.h"
#include "text/PostForm.h"

namespace zta {
namespace {

constexpr std::size_t kMaxErrorTextLength = 2000;

}  // namespace

TranslationLibrary::TranslationLibrary(LibrarySettings settings)
    : settings_(std::move(settings)),
      format_(settings_.format.empty() ? TextFormat::kText : textFormatNamed(settings_.format)) {
  settings_.serverLimits.UserAgent = "jxZTAccess (Apertium)";
  loadGlossary();  // before the engine: with terms, the engine gets placeholders
  // The one place that picks the engine.
  if (!settings_.serverUrl.empty()) {
    auto engine =
        std::make_unique<ServerEngine>(settings_, settings_.markUnknownWords, usesPlaceholders());
    server_ = engine.get();
    engine_ = std::move(engine);
  } else if (settings_.localPipelines) {
    auto engine = std::make_unique<LocalEngine>(settings_, usesPlaceholders());
    local_ = engine.get();
    engine_ = std::move(engine);
  }
}

TranslationLibrary::~TranslationLibrary() { stopAll(); }

void TranslationLibrary::stopAll() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (engine_) engine_->stop();
}

uint32_t TranslationLibrary::lastErrorCode() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return errors_.LastCode();
}

PairTranslator* TranslationLibrary::translatorFor(const std::string& modeName) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return local_ == nullptr ? nullptr : local_->translatorFor(modeName);
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
  if (engine_) return;
  throw ZtaError(ErrorCode::kEngineUnavailable,
                 "This library translates through an Apertium APY server only, and ZTA_SERVER "
                 "names none. Set the environment variable ZTA_SERVER to the server's address "
                 "before starting the program: \"set ZTA_SERVER=http://host:2737\" in a Command "
                 "Prompt, or \"setx ZTA_SERVER http://host:2737\" for the ones opened after it");
}

const ApyClient* TranslationLibrary::serverClient() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return server_ == nullptr ? nullptr : server_->pool().firstClient();
}

const ApyBatchClient* TranslationLibrary::serverBatchClient() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return server_ == nullptr ? nullptr : server_->pool().batchClient();
}

std::string TranslationLibrary::languageListText() {
  const std::vector<Language> languages = catalog(true).languages();
  if (languages.empty()) throw ZtaError(ErrorCode::kEngineUnavailable, engine_->noPairsText());
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
          dest, maxSize,
          [&] {
            requireServerOrLocalChains();
            return batchRecords(langFrom, langTo, count, texts, &done);
          },
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
