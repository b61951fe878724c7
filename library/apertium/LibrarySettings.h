// What the library reads from its environment, and how it turns an installed
// pair into the stages of its process chain.
//
// Every number is brought into its range: a larger one gives the range's
// top; zero, a negative number or anything that is no number gives the
// default. The tops keep every deadline far from the limits of its type.
//
//   ZTA_APERTIUM_MODES  directory of Apertium's mode files
//                       (default /usr/share/apertium/modes)
//   ZTA_MARK_UNKNOWN    1, yes or true: mark unknown words with "*" as
//                       Apertium does (default: clean text, no marks)
//   ZTA_TIMEOUT_MS      how long a request may take before the chain is
//                       killed, on top of an allowance per kilobyte of text
//                       (default 20000, 1 to 3600000)
//   ZTA_PIN_CHAIN       0, no or false: let the stages of a chain run on any
//                       processor (default: all stages of a chain on one)
//   ZTA_CHAINS          how many chains of a pair a batch (ztaTranslateBatch)
//                       may share its texts among (default and most: as many
//                       as there are processors to run on); another chain
//                       is started only while the memory available holds
//                       twice what the pair's first chain holds
//   ZTA_PIVOT           when no pair goes from one language straight into
//                       the other: 0, no or false: fail as without pivots;
//                       a language code (es): translate through it only
//                       (default: through English, Spanish or Catalan, or
//                       another language that links the two, see
//                       PairCatalog::findPivot)
//   ZTA_FORMAT          what a text is: txt, plain text (the default); html,
//                       a line of markup, whose tags, comments and entities
//                       are kept as they are and only the text between them
//                       is translated; srt (or vtt), a line of a subtitle
//                       file: cue numbers, timing lines and the WEBVTT
//                       header are kept, any other line is taken as html
//                       (MarkupText.h). Any other value fails every
//                       translation with a text that names the formats.
//
// Translation through Apertium APY servers instead of local chains (the
// only way on Windows, whose build has no local chains):
//
//   ZTA_SERVER          the server's address, e.g. http://translate.example:2737,
//                       or several separated by spaces or commas; each text
//                       goes to a server with its pair, and once more to
//                       another after a failure of the first server
//                       (default: none, translate with local chains)
//   ZTA_SERVER_CONNECT_TIMEOUT_MS
//                       how long connecting to the server may take
//                       (default 5000, 1 to 3600000)
//   ZTA_SERVER_TIMEOUT_MS
//                       how long one request may take, connecting included
//                       (default 60000, 1 to 3600000); a long text is sent
//                       in pieces of about 3 KB, each one request
//   ZTA_SERVER_PAUSE_MS after 3 requests in a row that did not reach the
//                       server or were not answered in time, how long
//                       requests fail at once before the server is tried
//                       again (default 30000, 1 to 86400000)
//   ZTA_SERVER_REQUESTS how many requests a batch (ztaTranslateBatch) keeps
//                       in flight, each on a connection of its own
//                       (default 4, 1 to 64)
#ifndef XLATE_LIBRARY_APERTIUM_LIBRARY_SETTINGS_H
#define XLATE_LIBRARY_APERTIUM_LIBRARY_SETTINGS_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/KitNames.h"
#include "engine/PairCatalog.h"
#include "local/ModeScript.h"
#include "local/Pipeline.h"

namespace zta {

struct LibrarySettings;

// Makes the transport for server mode, or returns nothing with a reason in
// *error.
using TransportFactory =
    std::function<std::unique_ptr<HttpTransport>(const HttpLimits& limits, std::string* error)>;

// Fills *stages with the process chain for pair, or returns false with a
// reason in *error.
using CommandBuilder = std::function<bool(const LanguagePair& pair, const LibrarySettings& settings,
                                          StageList* stages, std::string* error)>;

// The tops of the numbers read from the environment.
constexpr std::chrono::milliseconds kMaxTimeout{3600000};  // an hour
constexpr std::chrono::milliseconds kMaxPause{86400000};   // a day
constexpr unsigned kMaxServerRequests = 64;

struct LibrarySettings {
  std::string modesDirectory = "/usr/share/apertium/modes";
  bool markUnknownWords = false;
  bool pinChainToOneProcessor = true;
  unsigned chains = 0;  // chains per pair for batches; 0: one per processor
  // Bytes of memory the system can still give, 0 when unknown; empty:
  // memoryAvailable of Pipeline.h. Another chain is started only while this
  // is at least twice what the pair's first chain holds.
  std::function<std::uint64_t()> memoryAvailable;
  std::chrono::milliseconds baseTimeout{20000};
  std::chrono::milliseconds timeoutPerKilobyte{50};
  CommandBuilder commandBuilder;  // empty: apertiumNullFlushStages
  // ZTA_PIVOT as given: empty to choose the pivot, "0" (or no, false) for
  // none, or a language code.
  std::string pivot;
  // Says once per direction that a run goes through a pivot; empty: writes
  // the line to standard error.
  std::function<void(const std::string& line)> notice;
  // ZTA_FORMAT as given; empty: txt.
  std::string format;

  std::string serverUrl;  // ZTA_SERVER as it is (ApyClient.h splits it); empty: local chains
  HttpLimits serverLimits;
  unsigned serverRequests = 4;        // requests in flight for a batch
  TransportFactory transportFactory;  // empty: makeHttpTransport
  // False in a build without local chains (Windows): then every call needs
  // ZTA_SERVER, and fails with a text that says how to set it.
  bool localPipelines = localPipelinesAvailable();

  static LibrarySettings fromEnvironment();
};

// The null-flush chain of an Apertium mode: the mode's pipeline as
// apertium-wblank-mode -z writes it, with the generator's option as $1 (-n for
// clean text, -g to mark unknown words) and no tagger option as $2. The
// stages that attach and detach word-bound blanks are left out: requests hold
// no word-bound blanks ("[[...]]"), since every "[" of a text is escaped. A
// pipeline that needs a shell runs as one stage, sh -c.
bool apertiumNullFlushStages(const LanguagePair& pair, const LibrarySettings& settings,
                             StageList* stages, std::string* error);

// The same stages from the text of a null-flush mode pipeline.
bool nullFlushStagesFromScript(const std::string& script, bool markUnknownWords, StageList* stages);

}  // namespace zta

#endif
