// The command-line splitter: words are never empty and never hold a quote,
// and every unit of a word comes from the line.
#include <cstdint>

#include "common/CommandLine.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
  using namespace xlate;
  const Text line = Units(aData, aSize);
  std::size_t total = 0;
  for (const Text& word : SplitCommandLine(line)) {
    Check(!word.empty(), "a word is empty");
    Check(word.find(u'"') == Text::npos, "a word holds a quote");
    Check(word.find(u'\0') == Text::npos, "a word holds a NUL");
    total += word.size();
  }
  Check(total <= line.size(), "the words hold more than the line");
  return 0;
}
