#include "app/filemode/LineBreaks.h"

#include "common/LineScan.h"

namespace xlate {

void FlattenLineBreaks(Text& vLine) {
  if (vLine.empty()) return;
  char16_t* const begin = &vLine[0];
  char16_t* const end = begin + vLine.size();
  // Almost no line has a break: it is told by the search alone, and
  // nothing is moved before the first break.
  if (FindBreak(begin, static_cast<const char16_t*>(end)) == end) return;
  TLineEnd<char16_t> line = FindLineEnd<char16_t>(begin, end);
  char16_t* to = begin + (line.End - begin);
  for (;;) {
    switch (line.Kind) {
      case TLineEndKind::leOpen:
        vLine.resize(static_cast<std::size_t>(to - begin));
        return;
      case TLineEndKind::leBreak:
        *to++ = u' ';
        break;
      case TLineEndKind::leNul:
        *to++ = u'\0';
        ++line.Next;  // the NUL is kept, and the scan goes on after it
        break;
    }
    const char16_t* from = line.Next;
    line = FindLineEnd<char16_t>(from, end);
    while (from != line.End) *to++ = *from++;
  }
}

}  // namespace xlate
