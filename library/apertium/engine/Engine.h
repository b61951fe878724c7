// The engine interface: one way of translating with Apertium's language
// pairs. The facade (Library.h) routes every text through one engine, the
// local one (local/LocalEngine.h: Apertium's chains on this machine) or the
// server one (server/ServerEngine.h: APY servers). What sits above engines
// is written once in the facade: the contract's codes and kept results,
// routes through a pivot, the text formats (markup taken out before the
// engine and put back after), blank lines and subtitle frames that never
// reach an engine. A third engine is one more class of this interface and
// one more case where the facade picks its engine (Library.cpp).
//
// An engine throws ZtaError (engine/ZtaErrors.h) for every failure.
#ifndef XLATE_LIBRARY_APERTIUM_ENGINE_ENGINE_H
#define XLATE_LIBRARY_APERTIUM_ENGINE_ENGINE_H

#include <string>
#include <string_view>
#include <vector>

#include "engine/PairCatalog.h"
#include "text/LanguageCodes.h"

namespace zta {

class TranslationEngine {
 public:
  virtual ~TranslationEngine() = default;

  // The pairs the engine translates with: those read before, or read again
  // when rescan is set or none were read yet.
  virtual const PairCatalog& pairs(bool rescan) = 0;

  // The translation of one UTF-8 text by pair. The text is plain, or holds
  // placeholders of markup (text/MarkupText.h) when the engine was made for
  // a format with markup.
  virtual std::string translate(const LanguagePair& pair, std::string_view text) = 0;

  // The translations of texts by pair, in order, each the same as translate
  // gives it. A failure part way is thrown as a PartialBatchError that holds
  // the translations of the texts before the first one not translated.
  virtual std::vector<std::string> translateMany(const LanguagePair& pair,
                                                 const std::vector<std::string_view>& texts) = 0;

  // For the text of an unknown language code: "installed pairs: en-es, ..."
  // or "the server's pairs: ..."; empty when the pairs cannot be read.
  virtual std::string pairsNote() = 0;

  // The text of the failure when no route goes from source into target;
  // languages says which ("English into Esperanto", with the pivot asked for).
  virtual std::string noPairText(const Language& source, const Language& target,
                                 const std::string& languages) = 0;

  // The text of the failure when the engine has no pairs at all.
  virtual std::string noPairsText() = 0;

  // Ends whatever runs for the engine (it starts again when needed).
  virtual void stop() = 0;
};

}  // namespace zta

#endif
