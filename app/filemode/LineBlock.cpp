#include "app/filemode/LineBlock.h"

#include "platform/LibraryCallGuard.h"

namespace xlate {

namespace {
// A line whose storage is larger than this is let go after its block.
constexpr std::size_t kKeptCapacity = 4096;
// The UTF-8 bytes of a block are let go past this.
constexpr std::size_t kKeptBlockBytes = std::size_t{1} << 20;
}  // namespace

Text& TLineBlock::Add() {
  if (FCount == FLines.size()) FLines.emplace_back();
  Text& line = FLines[FCount++];
  line.clear();
  return line;
}

void TLineBlock::EndUtf8Line() {
  FInUtf8 = true;
  FUtf8.push_back('\0');
  FUtf8Starts.push_back(FUtf8.size());
  // The line's text takes its result only where that is a text, which is
  // then set whole: it is not emptied here.
  if (FCount == FLines.size()) FLines.emplace_back();
  ++FCount;
}

TUtf8Result* TLineBlock::Utf8Results() {
  if (FResults.size() < FCount) FResults.resize(FCount);
  return FResults.data();
}

void TLineBlock::LetGo(std::size_t aIndex) {
  if (FLines[aIndex].capacity() > kKeptCapacity) Text().swap(FLines[aIndex]);
}

void TLineBlock::Clear() {
  for (std::size_t i = 0; i < FCount; ++i) {
    if (FLines[i].capacity() > kKeptCapacity) Text().swap(FLines[i]);
  }
  // The bytes of a block of usual lines are kept; those of a long line
  // are let go.
  if (FUtf8.capacity() > kKeptBlockBytes) ByteString().swap(FUtf8);
  FUtf8.clear();
  FUtf8Starts.resize(1);
  FCount = 0;
  FFailed = 0;
  FInUtf8 = false;
}

std::size_t TranslateBlockPart(TdllZTA& aService, TLineBlock& vBlock, std::size_t aFirst,
                               TProgress& vProgress, bool aUtf8Results) {
  // The library's floating-point settings are set once for the part, not
  // around each of its calls; nothing here between the calls computes in
  // floating point.
  TLibraryCallRun run(aService.CallGuard());
  std::size_t failed = 0;
  const TUtf8Lines lines = vBlock.Utf8Lines().From(aFirst);
  TUtf8Result* const results = aUtf8Results ? vBlock.Utf8Results() + aFirst : nullptr;
  const std::size_t done = aService.TranslateLines(
      vBlock.Lines() + aFirst, vBlock.Count() - aFirst, vBlock.InUtf8() ? &lines : nullptr, failed,
      [&vProgress](std::size_t aCount) { vProgress.LinesDone(aCount); }, results);
  vBlock.AddFailures(failed);
  return aFirst + done;
}

}  // namespace xlate
