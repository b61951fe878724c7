#pragma once

#include <chrono>
#include <cstddef>

#include "platform/Platform.h"

namespace xlate {

// One line on standard error, rewritten in place, while a long file is
// translated: lines done, total, percent, lines per second. Silent unless
// standard error is a terminal, so that scripts see nothing of it.
class TProgress {
 public:
  TProgress(Platform& aPlatform, std::size_t aTotal,
            std::chrono::milliseconds aInterval = std::chrono::milliseconds(200));
  ~TProgress();  // clears the line
  TProgress(const TProgress&) = delete;
  TProgress& operator=(const TProgress&) = delete;

  void LineDone(std::size_t aDone) {
    if (FEnabled && (aDone & 63) == 0) Show(aDone);
  }

  static constexpr std::size_t kMinimumLines = 500;

 private:
  void Show(std::size_t aDone);
  void Write(const std::string& aText);

  Platform& FPlatform;
  std::size_t FTotal;
  bool FEnabled;
  bool FShown = false;
  std::chrono::milliseconds FInterval;
  std::chrono::steady_clock::time_point FStart;
  std::chrono::steady_clock::time_point FLastShown;
};

}  // namespace xlate
