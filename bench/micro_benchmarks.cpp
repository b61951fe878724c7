// Micro-benchmarks of the conversions every line goes through, the string
// list, and one library call through the service (with the echo library
// linked in, so only the protocol and the guard are measured).
#include <benchmark/benchmark.h>

#include <random>

#include "common/CodePages.h"
#include "common/StringList.h"
#include "common/Utf8.h"
#include "platform/LibraryCallGuard.h"
#include "service/jxDLLInterface.h"
#include "testsupport/FakePlatform.h"

namespace xlate {
namespace {

// About 64 KB of text: mostly ASCII words, some accented letters, lines of
// varied length.
std::string SampleUtf8() {
  static const char* kWords[] = {"the",
                                 "house",
                                 "is",
                                 "big",
                                 "and",
                                 "my",
                                 "friend",
                                 "reads",
                                 "caf\xC3\xA9",
                                 "na\xC3\xAFve",
                                 "\xC3\xBC"
                                 "ber",
                                 "stra\xC3\x9F"
                                 "e"};
  std::mt19937 random(7);
  std::string text;
  while (text.size() < 65536) {
    int words = static_cast<int>(random() % 16);
    for (int i = 0; i < words; ++i) {
      text += kWords[random() % 12];
      text += ' ';
    }
    text += "\r\n";
  }
  return text;
}

void SetBytes(benchmark::State& aState, std::size_t aBytes) {
  aState.SetBytesProcessed(static_cast<std::int64_t>(aState.iterations() * aBytes));
}

void Utf8ToUtf16(benchmark::State& aState) {
  const std::string bytes = SampleUtf8();
  for (auto _ : aState) benchmark::DoNotOptimize(DecodeUtf8(bytes));
  SetBytes(aState, bytes.size());
}
BENCHMARK(Utf8ToUtf16);

void Utf16ToUtf8(benchmark::State& aState) {
  const Text text = DecodeUtf8(SampleUtf8());
  for (auto _ : aState) benchmark::DoNotOptimize(EncodeUtf8(text));
  SetBytes(aState, text.size() * 2);
}
BENCHMARK(Utf16ToUtf8);

void SingleByteToUtf16(benchmark::State& aState) {
  const Text text = DecodeUtf8(SampleUtf8());
  const std::string bytes = TextToCodePage(1252, text.data(), text.size());
  for (auto _ : aState) benchmark::DoNotOptimize(CodePageToText(1252, bytes.data(), bytes.size()));
  SetBytes(aState, bytes.size());
}
BENCHMARK(SingleByteToUtf16);

void Utf16ToSingleByte(benchmark::State& aState) {
  const Text text = DecodeUtf8(SampleUtf8());
  for (auto _ : aState) benchmark::DoNotOptimize(TextToCodePage(1252, text.data(), text.size()));
  SetBytes(aState, text.size() * 2);
}
BENCHMARK(Utf16ToSingleByte);

void StringListSetText(benchmark::State& aState) {
  const Text text = DecodeUtf8(SampleUtf8());
  for (auto _ : aState) {
    TStringList list;
    list.SetText(text);
    benchmark::DoNotOptimize(list.Count());
  }
  SetBytes(aState, text.size() * 2);
}
BENCHMARK(StringListSetText);

void StringListGetText(benchmark::State& aState) {
  TStringList list;
  list.SetText(DecodeUtf8(SampleUtf8()));
  const std::size_t size = list.GetText().size() * 2;
  for (auto _ : aState) benchmark::DoNotOptimize(list.GetText());
  SetBytes(aState, size);
}
BENCHMARK(StringListGetText);

// An empty call through the fault guard: its cost per library call.
void GuardedEmptyCall(benchmark::State& aState) {
  TLibraryCallGuard& guard = ProcessCallGuard();
  guard.Install();
  int calls = 0;
  auto call = [&calls] { benchmark::DoNotOptimize(++calls); };
  TFaultInfo fault;
  for (auto _ : aState) guard.CallGuarded(call, fault);
}
BENCHMARK(GuardedEmptyCall);

// One translation of a short line with a library that returns its input:
// the growing-buffer protocol, the guard and the conversions of one call.
void TranslateShortLine(benchmark::State& aState) {
  TFakePlatform platform;
  platform.Symbols = TestDoubleSymbols();
  TdllZTA service(platform, {u"en", u"en", u"es"});
  const Text line = u"The house is big and my friend reads a book.";
  for (auto _ : aState) benchmark::DoNotOptimize(service.Translate(line));
  aState.SetItemsProcessed(aState.iterations());
}
BENCHMARK(TranslateShortLine);

}  // namespace
}  // namespace xlate

BENCHMARK_MAIN();
