// What the library reads from its environment (LibrarySettings::fromEnvironment):
// the settings of the local engine (local/LocalSettings.h), of the server
// engine (server/ServerSettings.h) and of the facade (below).
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
//                       processor (default: all stages of a chain on one,
//                       but for the one chain of the default on up to two)
//   ZTA_CHAINS          how many chains of a pair a batch (ztaTranslateBatch)
//                       may share its texts among (most: as many as there
//                       are processors to run on; default: as many beyond
//                       two processors, else one, LocalEngine.cpp); another chain
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
//   ZTA_MEMORY          an SQLite database of translations (made when
//                       missing): a text's translation is taken from it
//                       when the same route, format, glossary and engine
//                       data made it before, or a person's translation
//                       imported with xlate-memory; the engine's are kept
//                       in it (default: none)
//   ZTA_GLOSSARY        a tab-separated file of "term<TAB>translation"
//                       lines for the languages translated
//                       (text/Glossary.h): each term found is put into the
//                       translation as the file gives it. A line it cannot
//                       read is named on standard error once, and left
//                       out; a file that cannot be read fails every
//                       translation with a text that names it.
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
//                       server or were not answered in time, how long no
//                       request is sent to it (default 30000, 1 to 86400000)
//   ZTA_SERVER_WAIT_MS  how long after a server's first failure in a row a
//                       text with no other server left waits for its pause
//                       to end and tries it again; after that, or when the
//                       pause would end later, it fails at once ("Not
//                       sent") (default 120000, 1 to 86400000)
//   ZTA_SERVER_REQUESTS how many requests a batch (ztaTranslateBatch) keeps
//                       in flight, each on a connection of its own
//                       (default 4, 1 to 64)
#ifndef XLATE_LIBRARY_APERTIUM_LIBRARY_SETTINGS_H
#define XLATE_LIBRARY_APERTIUM_LIBRARY_SETTINGS_H

#include <chrono>
#include <functional>
#include <string>

#include "local/LocalSettings.h"
#include "local/Pipeline.h"
#include "server/ServerSettings.h"

namespace zta {

// The tops of the numbers read from the environment.
constexpr std::chrono::milliseconds kMaxTimeout{3600000};  // an hour
constexpr std::chrono::milliseconds kMaxPause{86400000};   // a day
constexpr unsigned kMaxServerRequests = 64;

// Each engine reads its own part; what sits above the engines (pivots, the
// format, the notice) is the facade's.
struct LibrarySettings : LocalSettings, ServerSettings {
  // ZTA_PIVOT as given: empty to choose the pivot, "0" (or no, false) for
  // none, or a language code.
  std::string pivot;
  // Says once per direction that a run goes through a pivot, and names the
  // lines of the glossary left out; empty: writes
  // the line to standard error.
  std::function<void(const std::string& line)> notice;
  // ZTA_FORMAT as given; empty: txt.
  std::string format;
  // ZTA_MEMORY as given; empty: no translation memory.
  std::string memoryPath;
  // ZTA_GLOSSARY as given; empty: no glossary.
  std::string glossaryPath;
  // False in a build without local chains (Windows): then every call needs
  // ZTA_SERVER, and fails with a text that says how to set it.
  bool localPipelines = localPipelinesAvailable();

  static LibrarySettings fromEnvironment();
};

}  // namespace zta

#endif
