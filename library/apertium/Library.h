// The state behind the six exported functions: the installed pairs, one warm
// translator per pair, the glossary, the last result, and the last failure.
//
// Every method returns what the exported function of the same name returns:
// true with a NUL-terminated result in the destination, or false with the
// failure's code in lastErrorCode(). A result that does not fit fails with
// code 1; the same request with a larger buffer is then answered from the
// kept result, without translating again.
//
// Every text goes through one engine (engine/Engine.h): with server
// addresses in the settings the Apertium APY servers (server/ServerEngine.h),
// else the local chains (local/LocalEngine.h). The rest (codes, texts, the
// kept result, error texts, pivots, formats, the glossary) is the same for both. The
// class is written in four files by what each part does: Library.cpp (the
// contract's calls), Requests.cpp, Routes.cpp and Formats.cpp.
//
// aLangInit (the caller's interface language) is accepted and not used: the
// language names are English.
#ifndef XLATE_LIBRARY_APERTIUM_LIBRARY_H
#define XLATE_LIBRARY_APERTIUM_LIBRARY_H

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "LibrarySettings.h"
#include "engine/Engine.h"
#include "engine/PairCatalog.h"
#include "engine/ZtaErrors.h"
#include "library/kit/ErrorState.h"
#include "library/kit/KeptResult.h"
#include "local/LocalEngine.h"
#include "local/PairTranslator.h"
#include "memory/MemoryStore.h"
#include "server/ApyBatch.h"
#include "server/ApyClient.h"
#include "server/ServerEngine.h"
#include "text/Glossary.h"
#include "text/MarkupText.h"

namespace zta {

class TranslationLibrary {
 public:
  explicit TranslationLibrary(LibrarySettings settings);
  ~TranslationLibrary();
  TranslationLibrary(const TranslationLibrary&) = delete;
  TranslationLibrary& operator=(const TranslationLibrary&) = delete;

  bool translate(const char* langInit, const char* langFrom, const char* langTo, const char* text,
                 char* dest, uint32_t maxSize);
  // ztaTranslateBatch: the records of count texts (contract/BatchContract.md),
  // each as translate gives it alone; the texts that need a chain are
  // streamed through the pair's chains together. The last batch's records
  // are kept, so that a retry with a larger buffer translates nothing. A
  // batch that fails part way (a chain dies, the server stops answering)
  // hands over the records of the texts done before it, with the end mark.
  bool translateBatch(const char* langInit, const char* langFrom, const char* langTo,
                      uint32_t count, const char* const* texts, char* dest, uint32_t maxSize);
  bool languageList(const char* langInit, char* dest, uint32_t maxSize);
  // ztaPairList: the directions it translates, pivots included (PairList.cpp).
  bool pairList(const char* langInit, char* dest, uint32_t maxSize);
  bool toPostText(const char* text, char* dest, uint32_t maxSize);
  bool fromPostText(const char* text, char* dest, uint32_t maxSize);
  bool errorText(uint32_t code, char* buffer, uint32_t maxSize);
  uint32_t lastErrorCode() const;

  // The translator of a pair by its mode name ("eng-spa"), if one was made.
  PairTranslator* translatorFor(const std::string& modeName);

  // Ends every running chain (they start again when needed).
  void stopAll();

  // The client of the first server, once a call has needed it (server mode
  // only).
  const ApyClient* serverClient() const;
  // The clients of batches through the server, once a batch has needed them.
  const ApyBatchClient* serverBatchClient() const;

 private:
  // How a text goes from its language into the other: through one pair, or
  // through two with a pivot language between them (first, then second).
  struct Route {
    LanguagePair first;
    std::optional<LanguagePair> second;
    std::string key() const;  // "eng-spa" or "eng-spa+spa-por"
  };

  // The contract's calls (Library.cpp).
  // Runs produce under the lock, copies its result (and a NUL, unless
  // withNul is false) into dest, and records success or the failure.
  bool run(char* dest, uint32_t maxSize, const std::function<std::string()>& produce,
           bool withNul = true);
  void fail(uint32_t code, const std::string& text);
  // Throws, saying how to set ZTA_SERVER, when there is no engine (the
  // Windows build without ZTA_SERVER).
  void requireServerOrLocalChains() const;
  std::string languageListText();
  std::string pairListText();

  // Requests (Requests.cpp): a text or a batch from the caller's
  // arguments to the engine and back.
  static void requireText(const char* text, const char* what);
  Language requireLanguage(const char* code, const char* side);
  std::string translateText(const char* langFrom, const char* langTo, const char* text);
  // Everything translateText does before it needs the engine: the result
  // when it needs none, or nothing with the route in *route. Throws the
  // failures translateText throws, in the same order. markup, when given,
  // is the state of markup the text starts in, and is moved past it (a
  // batch's texts, in their order); else the text starts as a file does.
  std::optional<std::string> resolveText(const char* langFrom, const char* langTo, const char* text,
                                         std::optional<Route>* route,
                                         MarkupState* markup = nullptr);
  // The records of a batch; when the engine fails part way, the records of
  // the texts before the first one without its outcome go to *done before
  // the failure is thrown.
  std::string batchRecords(const char* langFrom, const char* langTo, uint32_t count,
                           const char* const* texts, std::string* done);

  // Routes and pivots (Routes.cpp).
  // The route between two languages: their pair, or two pairs through a
  // pivot (ZTA_PIVOT) when they have none; or the missing pair's failure.
  Route routeFor(const Language& source, const Language& target);
  // Says once per direction, through settings_.notice, that it goes through a pivot.
  void announce(const Route& route);
  // One line for the user: to settings_.notice, or else to standard error.
  void notify(const std::string& line);

  // Formats and the glossary (Formats.cpp).
  // ZTA_FORMAT; throws, naming the formats, when it names none.
  TextFormat textFormat() const;
  // Reads ZTA_GLOSSARY's file once, saying which of its lines it leaves out.
  void loadGlossary();
  // The glossary, or null when none is named or it has no terms; throws
  // when its file could not be read.
  const Glossary* glossary() const;
  // True when the engine gets placeholders of markup (html, srt) or of terms.
  bool usesPlaceholders() const;
  // text with its markup and terms taken out, read in state (moved past it).
  MarkedLine markedLine(std::string_view text, MarkupState& state) const;
  // A text's translation through the route in the format of ZTA_FORMAT,
  // with the glossary: the markup and terms taken out before the first
  // pair and put back after the last.
  std::string engineTranslation(const Route& route, std::string_view text);
  // starts: the state of markup each text starts in (empty: as a file does).
  std::vector<std::string> engineTranslations(const Route& route,
                                              const std::vector<std::string_view>& texts,
                                              const std::vector<MarkupState>& starts);
  std::string lineTranslation(const Route& route, const MarkedLine& line);
  // The line again from its carrier's translation (MarkedLine::restore),
  // with its alt and title translated; when a placeholder went missing
  // (carried is nothing, or lacks one), from its stretches translated alone.
  std::string lineBack(const Route& route, const MarkedLine& line,
                       const std::optional<std::string>& carried);
  // A text without placeholders through the route.
  std::string plainTranslation(const Route& route, std::string_view text);

  // The translation memory (Memory.cpp), when ZTA_MEMORY names one: the
  // engine's translation of a route, looked up first and kept after.
  std::string rememberedTranslation(const Route& route, std::string_view text);
  std::vector<std::string> rememberedTranslations(const Route& route,
                                                  const std::vector<std::string_view>& texts,
                                                  const std::vector<MarkupState>& starts);
  // The memory, opened on first use; none when off or when it failed.
  MemoryStore* memory();
  // What made a route's translations: its fingerprint's lines without the
  // start of markup, the data files' stamps, and who made them.
  struct RouteMade {
    std::string fingerprint;
    std::string files;
    std::string madeBy;
  };
  const RouteMade& routeMade(const Route& route);
  // start: the state of markup the text starts in, for html and srt.
  MemoryContext memoryContext(const Route& route, const MarkupState* start);
  void remember(const MemoryContext& context,
                const std::vector<std::pair<std::string_view, std::string_view>>& entries);
  // Says once, on standard error (settings_.notice), why the memory is off.
  void memoryWarning(const std::string& why);

  const PairCatalog& catalog(bool rescan) { return engine_->pairs(rescan); }

  mutable std::recursive_mutex mutex_;
  LibrarySettings settings_;
  std::optional<TextFormat> format_;  // nothing when ZTA_FORMAT names no format
  std::optional<Glossary> glossary_;  // ZTA_GLOSSARY's terms, once read
  std::string glossaryFailure_;       // why ZTA_GLOSSARY's file could not be read
  // The engine every text goes through; none in a build without local
  // chains when ZTA_SERVER names no server. local_ or server_ is the same
  // engine by its own type, for the accessors above.
  std::unique_ptr<TranslationEngine> engine_;
  LocalEngine* local_ = nullptr;
  ServerEngine* server_ = nullptr;
  zta_kit::TKeptResult lastTranslation_;  // for the retry after code 1
  zta_kit::TKeptResult lastBatch_;
  std::unique_ptr<MemoryStore> memory_;
  bool memoryOpened_ = false;
  bool memoryWritable_ = true;
  bool memoryWarned_ = false;
  std::map<std::string, RouteMade> routeMade_;     // by route key
  std::set<std::string> announced_;                // the routes through a pivot already announced
  zta_kit::TErrorState errors_{genericErrorText};  // the last code, the latest text of each
};

// The one library state that the exported functions use; made on first use
// from the environment and ended (with all its chains) when the library is
// unloaded or the process exits.
TranslationLibrary& sharedLibrary();

}  // namespace zta

#endif
