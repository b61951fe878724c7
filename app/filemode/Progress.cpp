#include "app/filemode/Progress.h"

namespace xlate {

namespace {

// Bytes in the largest unit (B, KB, MB, GB) that leaves at least 1 of
// them: with one decimal below 100 of it, whole from there (whole bytes
// always). Whole numbers only: lines are counted between library calls,
// where floating-point traps are on.
std::string Size(std::uint64_t aBytes) {
  static const char* const kUnits[] = {"B", "KB", "MB", "GB"};
  std::size_t unit = 0;
  std::uint64_t size = 1;
  while (unit < 3 && aBytes >= size * 1024) {
    size *= 1024;
    ++unit;
  }
  const std::uint64_t whole = aBytes / size;
  if (unit == 0 || whole >= 100) return std::to_string(whole) + " " + kUnits[unit];
  const std::uint64_t tenths = aBytes * 10 / size;
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " + kUnits[unit];
}

// Seconds as "m:ss" or "h:mm:ss".
std::string Duration(std::uint64_t aSeconds) {
  auto twoDigits = [](std::uint64_t aValue) {
    return (aValue < 10 ? "0" : "") + std::to_string(aValue);
  };
  const std::uint64_t hours = aSeconds / 3600;
  const std::uint64_t minutes = aSeconds / 60 % 60;
  const std::string seconds = twoDigits(aSeconds % 60);
  if (hours > 0) return std::to_string(hours) + ":" + twoDigits(minutes) + ":" + seconds;
  return std::to_string(minutes) + ":" + seconds;
}

}  // namespace

TProgress::TProgress(TStandardStreams& aStreams, std::uint64_t aSize, bool aShow,
                     std::chrono::milliseconds aInterval, std::chrono::milliseconds aEstimateAfter)
    : FStreams(aStreams),
      FSize(aSize),
      FEnabled(aShow && aStreams.IsTerminal(TStdStream::ssError)),
      FInterval(aInterval),
      FEstimateAfter(aEstimateAfter),
      FStart(std::chrono::steady_clock::now()),
      FLastShown(FStart) {}

TProgress::~TProgress() {
  if (FShown) Write("\r" + std::string(FWidth, ' ') + "\r");
}

void TProgress::BlockStarted(std::size_t aLines, std::uint64_t aEnd) {
  FBlockStart = FBlockEnd;
  FBlockEnd = aEnd;
  FBlockLines = aLines;
  FDoneInBlock = 0;
}

void TProgress::Show() {
  auto now = std::chrono::steady_clock::now();
  if (now - FLastShown < FInterval) return;
  FLastShown = now;
  // Whole numbers only: lines are counted between library calls, where
  // floating-point traps are on.
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - FStart).count();
  const std::uint64_t perSecond =
      elapsed > 0 ? FDone * 1000 / static_cast<std::uint64_t>(elapsed) : 0;
  std::uint64_t bytes = FBlockStart;
  if (FBlockLines > 0) bytes += (FBlockEnd - FBlockStart) * FDoneInBlock / FBlockLines;
  std::string line = std::to_string(FDone) + " lines, " + Size(bytes);
  if (FSize > 0) {
    // A file that grows while it is read can go past its size.
    const std::uint64_t percent = bytes < FSize ? bytes * 100 / FSize : 100;
    line += " of " + Size(FSize) + " (" + std::to_string(percent) + "%)";
  }
  line += ", " + std::to_string(perSecond) + " lines/s";
  // The time left, in proportion to the bytes done so far, once enough time
  // has passed for the rate to mean something.
  if (FSize > 0 && bytes > 0 && bytes < FSize && elapsed >= FEstimateAfter.count()) {
    const std::uint64_t left =
        static_cast<std::uint64_t>(elapsed) / 1000 * (FSize - bytes) / bytes +
        static_cast<std::uint64_t>(elapsed) % 1000 * (FSize - bytes) / bytes / 1000;
    line += ", " + Duration(left) + " left";
  }
  if (line.size() > FWidth) FWidth = line.size();
  Write("\r" + line + std::string(FWidth - line.size(), ' '));
  FShown = true;
}

void TProgress::Write(const std::string& aText) {
  FStreams.WriteStd(TStdStream::ssError, aText.data(), aText.size());
}

}  // namespace xlate
