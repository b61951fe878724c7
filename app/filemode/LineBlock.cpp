#include "app/filemode/LineBlock.h"

#include "common/Utf8.h"
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

void TLineBlock::AddEmptyUtf8Lines(std::size_t aCount) {
  FInUtf8 = true;
  std::size_t end = FUtf8.size();
  FUtf8.append(aCount, '\0');
  const std::size_t first = FUtf8Starts.size();
  FUtf8Starts.resize(first + aCount);
  std::size_t* starts = FUtf8Starts.data() + first;
  for (std::size_t i = 0; i < aCount; ++i) starts[i] = ++end;
  FCount += aCount;
}

void TLineBlock::Complete() {
  FUtf8Lines.clear();
  if (!FInUtf8) return;
  FUtf8Lines.resize(FUtf8Starts.size());
  const char* const bytes = FUtf8.data();
  for (std::size_t i = 0; i < FUtf8Starts.size(); ++i) FUtf8Lines[i] = bytes + FUtf8Starts[i];
}

void TLineBlock::MakeTexts() {
  if (!FInUtf8) return;
  Lines();
  for (std::size_t i = 0; i < FCount; ++i) {
    AssignUtf8(FUtf8.data() + FUtf8Starts[i], FUtf8Starts[i + 1] - FUtf8Starts[i] - 1, FLines[i]);
  }
  FUtf8.clear();
  FUtf8Starts.resize(1);
  FInUtf8 = false;
}

TUtf8Result* TLineBlock::Utf8Results() {
  if (FResults.size() < FCount) FResults.resize(FCount);
  return FResults.data();
}

void TLineBlock::LetGo(std::size_t aIndex) {
  if (FLines[aIndex].capacity() > kKeptCapacity) Text().swap(FLines[aIndex]);
}

void TLineBlock::Clear() {
  // Lines read as texts may be long ones; the results of lines read as
  // UTF-8 are let go by whoever writes them (LetGo).
  if (!FInUtf8) {
    for (std::size_t i = 0; i < FCount; ++i) {
      if (FLines[i].capacity() > kKeptCapacity) Text().swap(FLines[i]);
    }
  }
  // The bytes of a block of usual lines are kept; those of a long line
  // are let go.
  if (FUtf8.capacity() > kKeptBlockBytes) ByteString().swap(FUtf8);
  FUtf8.clear();
  FUtf8Starts.resize(1);
  FUtf8Lines.clear();
  FCount = 0;
  FFailed = 0;
  FInUtf8 = false;
}

std::size_t TranslateBlockPart(TdllZTA& aService, TLineBlock& vBlock, std::size_t aFirst,
                               TProgress& vProgress, bool aUtf8Results,
                               std::vector<TLineFailure>* vFailures) {
  // The library's floating-point settings are set once for the part, not
  // around each of its calls; nothing here between the calls computes in
  // floating point.
  TLibraryCallRun run(aService.CallGuard());
  std::size_t failed = 0;
  TLinePart part(vBlock.Lines() + aFirst, vBlock.Count() - aFirst);
  if (vBlock.InUtf8()) part.Utf8 = vBlock.Utf8Lines().From(aFirst);
  if (aUtf8Results) part.Utf8Results = vBlock.Utf8Results() + aFirst;
  part.Failures = vFailures;
  part.FailureBase = aFirst;
  const std::size_t done = aService.TranslateLines(
      part, failed, [&vProgress](std::size_t aCount) { vProgress.LinesDone(aCount); });
  vBlock.AddFailures(failed);
  return aFirst + done;
}

}  // namespace xlate
