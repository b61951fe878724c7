#include "app/filemode/LineBlock.h"

#include "common/Exception.h"
#include "platform/FloatingPointControl.h"

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

void TLineBlock::SetFailure(std::size_t aIndex, const Text& aMessage) {
  FLines[aIndex] = aMessage;
  ++FFailed;
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

void TranslateBlock(const TLanguages& aLanguages, TdllZTA& aService, TLineBlock& vBlock,
                    TProgress& vProgress) {
  // The library's floating-point settings are set once for the block, not
  // around each of its calls; nothing here between the calls computes in
  // floating point.
  TLibraryCallRun run;
  const std::size_t count = vBlock.Count();
  if (aService.HasBatchEntryPoint()) {
    // The whole block in one call, with the same results as line by line.
    vBlock.AddFailures(aService.TranslateLines(aLanguages.Init, aLanguages.From, aLanguages.To,
                                               vBlock.Lines(), count,
                                               vBlock.InUtf8() ? vBlock.Utf8Lines() : nullptr));
    for (std::size_t i = 0; i < count; ++i) vProgress.LineDone();
    return;
  }
  for (std::size_t i = 0; i < count; ++i) {
    Text& line = vBlock[i];
    try {
      if (vBlock.InUtf8()) {
        aService.TranslateUtf8(aLanguages.Init, aLanguages.From, aLanguages.To, vBlock.Utf8(i),
                               line);
      } else {
        aService.TranslateInPlace(aLanguages.Init, aLanguages.From, aLanguages.To, line);
      }
    } catch (const TException& e) {
      vBlock.SetFailure(i, e.Message());
    }
    vProgress.LineDone();
  }
}

}  // namespace xlate
