#include "LibrarySettings.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "local/Pipeline.h"

namespace zta {
namespace {

bool isYes(const char* value) {
  if (value == nullptr) return false;
  const std::string_view text(value);
  return text == "1" || text == "yes" || text == "true" || text == "YES" || text == "TRUE";
}

bool isNo(const char* value) {
  if (value == nullptr) return false;
  const std::string_view text(value);
  return text == "0" || text == "no" || text == "false" || text == "NO" || text == "FALSE";
}

// A whole number from the environment, or nothing when the variable is unset
// or holds anything else. A number beyond what long long holds gives its
// limit, which every caller then brings into its own range.
std::optional<long long> numberFrom(const char* name) {
  const char* text = std::getenv(name);
  if (text == nullptr) return std::nullopt;
  char* end = nullptr;
  const long long value = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0') return std::nullopt;
  return value;
}

// Milliseconds from 1 to most from the environment: a larger number gives
// most; zero, a negative number or no number gives fallback.
std::chrono::milliseconds millisecondsFrom(const char* name, std::chrono::milliseconds fallback,
                                           std::chrono::milliseconds most) {
  const std::optional<long long> value = numberFrom(name);
  if (!value || *value <= 0) return fallback;
  return std::chrono::milliseconds(std::min<long long>(*value, most.count()));
}

// A count from 1 to most from the environment, as millisecondsFrom reads it.
unsigned countFrom(const char* name, unsigned fallback, unsigned most) {
  const std::optional<long long> value = numberFrom(name);
  if (!value || *value <= 0) return fallback;
  return static_cast<unsigned>(std::min<long long>(*value, most));
}

}  // namespace

LibrarySettings LibrarySettings::fromEnvironment() {
  LibrarySettings settings;
  if (const char* modes = std::getenv("ZTA_APERTIUM_MODES"); modes != nullptr && *modes != '\0') {
    settings.modesDirectory = modes;
  }
  settings.markUnknownWords = isYes(std::getenv("ZTA_MARK_UNKNOWN"));
  settings.pinChainToOneProcessor = !isNo(std::getenv("ZTA_PIN_CHAIN"));
  settings.baseTimeout = millisecondsFrom("ZTA_TIMEOUT_MS", settings.baseTimeout, kMaxTimeout);
  // More chains than processors translate no faster, and each holds the
  // pair's dictionaries in memory.
  settings.chains = countFrom("ZTA_CHAINS", settings.chains, processorsAvailable());
  settings.serverRequests =
      countFrom("ZTA_SERVER_REQUESTS", settings.serverRequests, kMaxServerRequests);
  if (const char* pivot = std::getenv("ZTA_PIVOT"); pivot != nullptr) {
    settings.pivot = isNo(pivot) ? "0" : pivot;
  }
  if (const char* format = std::getenv("ZTA_FORMAT"); format != nullptr) settings.format = format;
  if (const char* memory = std::getenv("ZTA_MEMORY"); memory != nullptr) {
    settings.memoryPath = memory;
  }
  if (const char* glossary = std::getenv("ZTA_GLOSSARY"); glossary != nullptr) {
    settings.glossaryPath = glossary;
  }
  if (const char* server = std::getenv("ZTA_SERVER"); server != nullptr)
    settings.serverUrl = server;
  settings.serverLimits.ConnectTimeout = millisecondsFrom(
      "ZTA_SERVER_CONNECT_TIMEOUT_MS", settings.serverLimits.ConnectTimeout, kMaxTimeout);
  settings.serverLimits.TotalTimeout =
      millisecondsFrom("ZTA_SERVER_TIMEOUT_MS", settings.serverLimits.TotalTimeout, kMaxTimeout);
  settings.serverLimits.PauseAfterFailures =
      millisecondsFrom("ZTA_SERVER_PAUSE_MS", settings.serverLimits.PauseAfterFailures, kMaxPause);
  settings.serverLimits.WaitForPausedServer =
      millisecondsFrom("ZTA_SERVER_WAIT_MS", settings.serverLimits.WaitForPausedServer, kMaxPause);
  return settings;
}

}  // namespace zta
