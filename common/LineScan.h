#pragma once

#include <cstddef>

namespace xlate {

// The line rules of every text the program reads, a file, a translation or
// a text given whole: CR LF, a lone CR and a lone LF each end a line, and a
// NUL is no line break but ends the text where the reader says so. This is
// the one scan that finds them; the string list, the file reader and the
// writer's flattening of breaks inside a translation are built on it.

// The first CR, LF or NUL in [aFrom, aEnd), or aEnd. Sixteen bytes or eight
// units at a time where the processor can, since every byte of a file and
// every translated line goes through it.
const char* FindBreak(const char* aFrom, const char* aEnd);
const char16_t* FindBreak(const char16_t* aFrom, const char16_t* aEnd);

// What ends a line.
enum class TLineEndKind : unsigned char {
  leOpen,   // nothing before aEnd: the line may go on in more units to come
  leBreak,  // CR LF, a lone CR or a lone LF
  leNul,    // a NUL
};

// Where the line that starts at aFrom ends, and how.
template <typename Unit>
struct TLineEnd {
  const Unit* End;    // after its last unit: at its break, its NUL, or aEnd
  const Unit* Next;   // where the next line starts: after the break; End otherwise
  TLineEndKind Kind;  // what ends it
  // A CR as the last unit before aEnd: an LF in the units to come belongs
  // to this break.
  bool CrAtEnd;
};

// Whether a unit is CR, LF or NUL.
template <typename Unit>
inline bool IsBreakOrNul(Unit aUnit) {
  return aUnit == '\r' || aUnit == '\n' || aUnit == 0;
}

template <typename Unit>
TLineEnd<Unit> FindLineEnd(const Unit* aFrom, const Unit* aEnd) {
  // An empty line, as in a file of many short ones, is told without the
  // search.
  const Unit* at = aFrom != aEnd && IsBreakOrNul(*aFrom) ? aFrom : FindBreak(aFrom, aEnd);
  if (at == aEnd) return {at, at, TLineEndKind::leOpen, false};
  if (*at == 0) return {at, at, TLineEndKind::leNul, false};
  const Unit* next = at + 1;
  if (*at == '\r') {
    if (next == aEnd) return {at, next, TLineEndKind::leBreak, true};
    if (*next == '\n') ++next;
  }
  return {at, next, TLineEndKind::leBreak, false};
}

// Calls aLine(first, last) for each line of a whole text of aCount units:
// a final line break adds no empty line, and the first NUL ends the text
// (what stands before it on its line is a line).
template <typename Unit, typename OnLine>
void ForEachLine(const Unit* aText, std::size_t aCount, const OnLine& aLine) {
  const Unit* const end = aText + aCount;
  for (const Unit* at = aText; at != end;) {
    const TLineEnd<Unit> line = FindLineEnd(at, end);
    if (line.Kind == TLineEndKind::leNul && line.End == at) return;
    aLine(at, line.End);
    if (line.Kind == TLineEndKind::leNul) return;
    at = line.Next;
  }
}

}  // namespace xlate
