#include "common/CommandLine.h"

namespace xlate {

namespace {

inline bool IsSeparator(char16_t aUnit) { return aUnit >= 1 && aUnit <= 32; }

}  // namespace

std::vector<Text> SplitCommandLine(const Text& aCommandLine) {
  // Everything from the first unit 0 on is not part of the line.
  const Text line = aCommandLine.substr(0, aCommandLine.find(u'\0'));
  const std::size_t end = line.size();
  std::vector<Text> words;
  std::size_t i = 0;
  for (;;) {
    for (;;) {
      if (i < end && IsSeparator(line[i])) {
        ++i;
      } else if (i + 1 < end && line[i] == u'"' && line[i + 1] == u'"') {
        i += 2;
      } else {
        break;
      }
    }
    if (i >= end) break;
    Text word;
    while (i < end && !IsSeparator(line[i])) {
      if (line[i] == u'"') {
        ++i;
        while (i < end && line[i] != u'"') word += line[i++];
        if (i < end) ++i;  // the closing quote
      } else {
        word += line[i++];
      }
    }
    if (word.empty()) break;
    words.push_back(std::move(word));
  }
  return words;
}

}  // namespace xlate
