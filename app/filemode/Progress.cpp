#include "app/filemode/Progress.h"

namespace xlate {

namespace {

// Bytes as megabytes with one decimal.
std::string Megabytes(std::uint64_t aBytes) {
  const std::uint64_t tenths = aBytes * 10 / 1048576;
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

}  // namespace

TProgress::TProgress(TPlatform& aPlatform, std::uint64_t aSize, std::chrono::milliseconds aInterval)
    : FPlatform(aPlatform),
      FSize(aSize),
      FEnabled(aPlatform.IsTerminal(TStdStream::ssError)),
      FInterval(aInterval),
      FStart(std::chrono::steady_clock::now()),
      FLastShown(FStart) {}

TProgress::~TProgress() {
  if (FShown) Write("\r" + std::string(72, ' ') + "\r");
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
  std::string line = "\r" + std::to_string(FDone) + " lines, " + Megabytes(bytes);
  if (FSize > 0) {
    // A file that grows while it is read can go past its size.
    const std::uint64_t percent = bytes < FSize ? bytes * 100 / FSize : 100;
    line += " of " + Megabytes(FSize) + " MB (" + std::to_string(percent) + "%)";
  } else {
    line += " MB";
  }
  line += ", " + std::to_string(perSecond) + " lines/s";
  Write(line + std::string(line.size() < 72 ? 72 - line.size() : 0, ' '));
  FShown = true;
}

void TProgress::Write(const std::string& aText) {
  FPlatform.WriteStd(TStdStream::ssError, aText.data(), aText.size());
}

}  // namespace xlate
