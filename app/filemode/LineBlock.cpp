#include "app/filemode/LineBlock.h"

#include "platform/LibraryCallGuard.h"

namespace xlate {

namespace {
// A line whose storage is larger than this is let go after its block.
constexpr std::size_t kKeptCapacity = 4096;
}  // namespace

Text& TLineBlock::Add() {
  if (FCount == FLines.size()) FLines.emplace_back();
  Text& line = FLines[FCount++];
  line.clear();
  return line;
}

ByteString& TLineBlock::AddUtf8() {
  FInUtf8 = true;
  Add();
  if (FUtf8.size() < FCount) FUtf8.resize(FCount);
  ByteString& bytes = FUtf8[FCount - 1];
  bytes.clear();
  return bytes;
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
    if (FInUtf8 && FUtf8[i].capacity() > kKeptCapacity) ByteString().swap(FUtf8[i]);
  }
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
  TUtf8Result* const results = aUtf8Results ? vBlock.Utf8Results() + aFirst : nullptr;
  const std::size_t done = aService.TranslateLines(
      vBlock.Lines() + aFirst, vBlock.Count() - aFirst,
      vBlock.InUtf8() ? vBlock.Utf8Lines() + aFirst : nullptr, failed,
      [&vProgress] { vProgress.LineDone(); }, results);
  vBlock.AddFailures(failed);
  return aFirst + done;
}

}  // namespace xlate
