#pragma once

#include <cstddef>
#include <deque>
#include <vector>

#include "common/Types.h"

namespace xlate {

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
