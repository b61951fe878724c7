#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/StandardStreams.h"

namespace xlate {

// One line on standard error, rewritten in place, while a file is
// translated: lines done, how far into the input that is (against its size
// when it has one, each size in B, KB, MB or GB as it calls for), lines per
// second, and, once a few seconds have passed on an input with a size, the
// time left. The line count is not known before the end, as the file is
// read as it is translated. Silent unless standard error is a terminal, so
// that scripts see nothing of it, and silent during the first interval, so
// that short runs show nothing.
class TProgress {
 public:
  // aSize is the input's size in bytes, 0 for one without a size (a pipe).
  // aShow false keeps it silent (the output goes to standard output, or to
  // a terminal).
  TProgress(TStandardStreams& aStreams, std::uint64_t aSize, bool aShow = true,
            std::chrono::milliseconds aInterval = std::chrono::milliseconds(200),
            std::chrono::milliseconds aEstimateAfter = std::chrono::seconds(3));
  ~TProgress();  // clears the line
  TProgress(const TProgress&) = delete;
  TProgress& operator=(const TProgress&) = delete;

  // The next aLines lines end aEnd bytes into the input.
  void BlockStarted(std::size_t aLines, std::uint64_t aEnd);
  void LineDone() { LinesDone(1); }
  // aCount lines are done at once, as a batch gives them.
  void LinesDone(std::size_t aCount) {
    const std::uint64_t before = FDone;
    FDone += aCount;
    FDoneInBlock += aCount;
    if (FEnabled && before >> 6 != FDone >> 6) Show();
  }

 private:
  void Show();
  void Write(const std::string& aText);

  TStandardStreams& FStreams;
  std::uint64_t FSize;
  bool FEnabled;
  bool FShown = false;
  std::chrono::milliseconds FInterval;
  std::chrono::milliseconds FEstimateAfter;
  std::size_t FWidth = 72;  // of the longest line shown, which clearing covers
  std::chrono::steady_clock::time_point FStart;
  std::chrono::steady_clock::time_point FLastShown;
  std::uint64_t FDone = 0;  // lines
  // The block being translated: where it starts and ends in the input, and
  // its lines, done and all; the bytes done are counted in proportion.
  std::uint64_t FBlockStart = 0;
  std::uint64_t FBlockEnd = 0;
  std::size_t FBlockLines = 0;
  std::size_t FDoneInBlock = 0;
};

}  // namespace xlate
