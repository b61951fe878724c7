#pragma once

#include <cstddef>
#include <deque>
#include <vector>

#include "common/Types.h"

namespace xlate {

// Calls aLine(first, last) with the index range of each line of a text of
// aCount units, where aUnitAt(i) gives unit i: CR LF, a lone CR and a lone
// LF each end a line, a final line break adds no empty line, and the first
// unit 0 ends the text.
template <typename UnitAt, typename OnLine>
void ForEachLineAt(std::size_t aCount, const UnitAt& aUnitAt, const OnLine& aLine) {
  std::size_t i = 0;
  while (i < aCount && aUnitAt(i) != 0) {
    std::size_t start = i;
    for (;;) {
      if (i == aCount) break;
      auto unit = aUnitAt(i);
      if (unit == '\r' || unit == '\n' || unit == 0) break;
      ++i;
    }
    aLine(start, i);
    if (i < aCount && aUnitAt(i) == '\r') {
      ++i;
      if (i < aCount && aUnitAt(i) == '\n') ++i;
    } else if (i < aCount && aUnitAt(i) == '\n') {
      ++i;
    }
  }
}

// The same over a plain array, calling aLine(start, end) with pointers.
template <typename Unit, typename OnLine>
void ForEachLine(const Unit* aText, std::size_t aCount, const OnLine& aLine) {
  ForEachLineAt(
      aCount, [aText](std::size_t aAt) { return aText[aAt]; },
      [&](std::size_t aFirst, std::size_t aLast) { aLine(aText + aFirst, aText + aLast); });
}

// An ordered list of text lines, duplicates allowed.
class TStringList {
 public:
  // Replaces the lines with those of aText. CR LF, a lone CR and a lone LF
  // each end a line; a final line break adds no empty line; the first
  // U+0000 ends the text.
  void SetText(const char16_t* aText, std::size_t aCount);
  void SetText(const Text& aText) { SetText(aText.data(), aText.size()); }
  // Every line followed by CR LF, the last one included.
  Text GetText() const;

  void Add(Text aLine) { FLines.push_back(std::move(aLine)); }
  void Clear() { FLines.clear(); }
  std::size_t Count() const { return FLines.size(); }
  const Text& operator[](std::size_t aIndex) const { return FLines[aIndex]; }
  Text& operator[](std::size_t aIndex) { return FLines[aIndex]; }
  std::deque<Text>::const_iterator begin() const { return FLines.begin(); }
  std::deque<Text>::const_iterator end() const { return FLines.end(); }
  // A copy of the lines, for comparing small lists.
  std::vector<Text> Lines() const { return std::vector<Text>(FLines.begin(), FLines.end()); }

 private:
  // A deque grows in blocks: a file of millions of lines never needs a
  // second, larger copy of the whole index the way a vector would.
  std::deque<Text> FLines;
};

}  // namespace xlate
