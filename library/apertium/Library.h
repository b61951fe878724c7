// The state behind the six exported functions: the installed pairs, one warm
// translator per pair, the last result, and the last failure.
//
// Every method returns what the exported function of the same name returns:
// true with a NUL-terminated result in the destination, or false with the
// failure's code in lastErrorCode(). A result that does not fit fails with
// code 1; the same request with a larger buffer is then answered from the
// kept result, without translating again.
//
// With server addresses in the settings, the pairs and the translations come
// from those Apertium APY servers (ApyClient.h) instead of local chains: the
// pairs are those of all servers, and each text goes to a server that has
// its pair (ApyBatch.h); the rest (codes, texts, the kept result, error
// texts) is the same in both modes.
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
#include "engine/PairCatalog.h"
#include "engine/ZtaErrors.h"
#include "library/kit/ErrorState.h"
#include "library/kit/KeptResult.h"
#include "local/PairTranslator.h"
#include "server/ApyBatch.h"
#include "server/ApyClient.h"
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

  // Runs produce under the lock, copies its result (and a NUL, unless
  // withNul is false) into dest, and records success or the failure.
  bool run(char* dest, uint32_t maxSize, const std::function<std::string()>& produce,
           bool withNul = true);
  void fail(uint32_t code, const std::string& text);

  std::string translateText(const char* langFrom, const char* langTo, const char* text);
  // Everything translateText does before it needs a chain or the server:
  // the result when it needs neither, or nothing with the route in *route.
  // Throws the failures translateText throws, in the same order.
  std::optional<std::string> resolveText(const char* langFrom, const char* langTo, const char* text,
                                         std::optional<Route>* route);
  // The route between two languages: their pair, or two pairs through a
  // pivot (ZTA_PIVOT) when they have none; or the missing pair's failure.
  Route routeFor(const Language& source, const Language& target);
  // Says once per direction, through settings_.notice, that it goes through a pivot.
  void announce(const Route& route);
  std::string engineTranslation(const Route& route, std::string_view text);
  std::vector<std::string> engineTranslations(const Route& route,
                                              const std::vector<std::string_view>& texts);
  // A text's translation by one pair in the format of ZTA_FORMAT: the
  // markup of html and srt taken out before and put back after.
  std::string pairTranslation(const LanguagePair& pair, std::string_view text);
  std::vector<std::string> pairTranslations(const LanguagePair& pair,
                                            const std::vector<std::string_view>& texts);
  // The same for texts as the engine gets them (plain text, or the
  // carriers of MarkedLine).
  std::string plainPairTranslation(const LanguagePair& pair, std::string_view text);
  std::vector<std::string> plainPairTranslations(const LanguagePair& pair,
                                                 const std::vector<std::string_view>& texts);
  // The line again from its carrier's translation (MarkedLine::restore);
  // when a placeholder went missing, from its stretches translated alone.
  std::string markupBack(const LanguagePair& pair, const MarkedLine& line,
                         const std::string& translation);
  // ZTA_FORMAT; throws, naming the formats, when it names none.
  TextFormat textFormat() const;
  // True when the engine gets placeholders of markup (html, srt).
  bool usesPlaceholders() const;
  // The records of a batch; when a chain or the server fails part way, the
  // records of the texts before the first one without its outcome go to
  // *done before the failure is thrown.
  std::string batchRecords(const char* langFrom, const char* langTo, uint32_t count,
                           const char* const* texts, std::string* done);
  std::string languageListText();
  const PairCatalog& catalog(bool rescan);
  bool usesServer() const { return !settings_.serverUrl.empty(); }
  // Throws, saying how to set ZTA_SERVER, when there is neither a server nor
  // local chains (the Windows build without ZTA_SERVER).
  void requireServerOrLocalChains() const;
  // One client per address of ZTA_SERVER, in its order; throws when an
  // address is no server's address.
  std::vector<std::unique_ptr<ApyClient>>& servers();
  // The servers (indexes) that listed the pair; all of them when none did.
  std::vector<std::size_t> serversWithPair(const std::string& modeName);
  // "the translation server http://a:2737 has" or "the translation servers
  // http://a:2737, http://b:2737 have", for error texts.
  std::string serversHave();
  // The translation of one text: on the server picked, and once more on
  // another with the pair when the first fails for a reason of its own.
  std::string serverTranslation(const LanguagePair& pair, std::string_view text);
  // The clients that send a batch's texts with several requests in flight.
  ApyBatchClient& serverBatch();
  std::unique_ptr<ApyClient> makeServerClient(std::size_t server);
  // "installed pairs: en-es, ..." or "the server's pairs: ...", for error
  // texts; empty when the server's pairs cannot be read.
  std::string pairsNote();
  PairTranslator& translatorForPair(const LanguagePair& pair);

  mutable std::recursive_mutex mutex_;
  LibrarySettings settings_;
  std::optional<TextFormat> format_;  // nothing when ZTA_FORMAT names no format
  std::optional<PairCatalog> catalog_;
  std::map<std::string, std::unique_ptr<PairTranslator>> translators_;  // by mode name
  std::vector<std::unique_ptr<ApyClient>> servers_;
  std::vector<std::shared_ptr<ServerBreaker>> breakers_;  // one per server
  std::vector<std::set<std::string>> serverPairs_;        // mode names, per server
  std::size_t nextServer_ = 0;                            // where the pick starts
  std::unique_ptr<ApyBatchClient> serverBatch_;
  zta_kit::TKeptResult lastTranslation_;  // for the retry after code 1
  zta_kit::TKeptResult lastBatch_;
  std::set<std::string> announced_;                // the routes through a pivot already announced
  zta_kit::TErrorState errors_{genericErrorText};  // the last code, the latest text of each
};

// The one library state that the exported functions use; made on first use
// from the environment and ended (with all its chains) when the library is
// unloaded or the process exits.
TranslationLibrary& sharedLibrary();

}  // namespace zta

#endif
