// The settings of the local engine (LocalEngine.h): where the mode files
// are, how a pair's chain is built and run. LibrarySettings.h says which
// environment variable sets which.
#ifndef XLATE_LIBRARY_APERTIUM_LOCAL_LOCAL_SETTINGS_H
#define XLATE_LIBRARY_APERTIUM_LOCAL_LOCAL_SETTINGS_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/PairCatalog.h"
#include "local/ModeScript.h"

namespace zta {

struct LocalSettings;

// Fills *stages with the process chain for pair, or returns false with a
// reason in *error.
using CommandBuilder = std::function<bool(const LanguagePair& pair, const LocalSettings& settings,
                                          StageList* stages, std::string* error)>;

struct LocalSettings {
  std::string modesDirectory = "/usr/share/apertium/modes";
  bool markUnknownWords = false;  // also the server engine's (ApyClient.h)
  // Each chain on a processor of its own; with chains 0, only beyond two
  // processors (up to two, the one chain is free to use both).
  bool pinChainToOneProcessor = true;
  // Chains per pair for batches; 0: one per processor beyond two, else one.
  unsigned chains = 0;
  // Bytes of memory the system can still give, 0 when unknown; empty:
  // memoryAvailable of Pipeline.h. Another chain is started only while this
  // is at least twice what the pair's first chain holds.
  std::function<std::uint64_t()> memoryAvailable;
  std::chrono::milliseconds baseTimeout{20000};
  std::chrono::milliseconds timeoutPerKilobyte{50};
  CommandBuilder commandBuilder;  // empty: apertiumNullFlushStages (ChainStages.h)
};

}  // namespace zta

#endif
