#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/Types.h"

namespace xlate {

// A line's result as the UTF-8 bytes the library gave (Data, Size), held
// in the service's buffer until its next call into the library; Data is
// null when the result is the line's text instead. Sent: the bytes are
// the very ones sent for the line.
struct TUtf8Result {
  const char* Data = nullptr;
  std::uint32_t Size = 0;  // a batch's whole answer is smaller
  bool Sent = false;
};

// Lines given as the UTF-8 bytes the library takes, each followed by a
// NUL and the next line right after it: a line starts at Starts[i], and
// ends one byte before Starts[i + 1]. The starts are what a batch call
// takes as its texts.
struct TUtf8Lines {
  const char* const* Starts = nullptr;

  const char* Line(std::size_t aIndex) const { return Starts[aIndex]; }
  std::size_t Size(std::size_t aIndex) const {
    return static_cast<std::size_t>(Starts[aIndex + 1] - Starts[aIndex]) - 1;
  }
  // The lines from aIndex on.
  TUtf8Lines From(std::size_t aIndex) const { return {Starts + aIndex}; }
};

// A line that failed: its place among the lines handed over (counted from
// the first of them), its text as it was before the message took its
// place, and that message.
struct TLineFailure {
  std::size_t Index = 0;
  Text Line;
  Text Message;
};

// Lines to translate in place, and how the caller has them and wants their
// results. Each of Lines' first Count texts becomes its translation, or the
// message of its failure. Two choices, each its own field:
//  - Utf8: the same lines as the UTF-8 bytes the library takes, when the
//    caller has them (Utf8Given); the texts are then not read, and a line's
//    text is set only where its result is a text.
//  - Utf8Results: where each line's result from a batch may stay the UTF-8
//    bytes the library gave (Utf8ResultsWanted), which spares decoding them
//    where they are wanted as UTF-8; the line's text is then not set. A
//    line translated alone gets a null Data there, and its text.
struct TLinePart {
  TLinePart() = default;
  // aCount texts at aLines, whose results are texts.
  TLinePart(Text* aLines, std::size_t aCount) : Lines(aLines), Count(aCount) {}

  Text* Lines = nullptr;
  std::size_t Count = 0;
  TUtf8Lines Utf8;
  TUtf8Result* Utf8Results = nullptr;
  std::vector<TLineFailure>* Failures = nullptr;
  std::size_t FailureBase = 0;  // what Index adds: the lines before Lines

  bool Utf8Given() const { return Utf8.Starts != nullptr; }
  bool Utf8ResultsWanted() const { return Utf8Results != nullptr; }
  // The lines from aIndex on (of Count).
  TLinePart From(std::size_t aIndex) const {
    TLinePart rest = *this;
    rest.Lines += aIndex;
    rest.Count -= aIndex;
    if (Utf8Given()) rest.Utf8 = Utf8.From(aIndex);
    if (Utf8ResultsWanted()) rest.Utf8Results += aIndex;
    rest.FailureBase += aIndex;
    return rest;
  }
};

// The first result buffer the service offers: results of up to 1023 bytes
// take one call.
constexpr std::uint32_t kFirstResultBuffer = 1024;

// The largest result buffer the service offers: aMaxSize is a 32-bit
// Cardinal, and doubling past 2^31 would wrap around.
constexpr std::uint64_t kMaxResultBuffer = std::uint64_t{1} << 31;

// The most bytes of results gathered before the lines so far are handed
// back: the largest buffer a batch gets, and the texts of lines translated
// alone. Only a single line's result, translated alone, may be larger.
constexpr std::size_t kPartResultBytes = std::size_t{4} << 20;

// What a failed translation of a line says, with the line and the
// library's error text.
constexpr char16_t kTranslateFailure[] = u"Can't get translation of text \"%s\" because of \"%s\"";

// Records the failure of line aIndex of aPart, when its caller asked for
// them.
inline void NoteFailure(const TLinePart& aPart, std::size_t aIndex, const Text& aLine,
                        const Text& aMessage) {
  if (aPart.Failures != nullptr) {
    aPart.Failures->push_back({aPart.FailureBase + aIndex, aLine, aMessage});
  }
}

}  // namespace xlate
