#include "common/StringList.h"

namespace xlate {

void TStringList::SetText(const char16_t* aText, std::size_t aCount) {
  FLines.clear();
  const char16_t* p = aText;
  const char16_t* end = aText + aCount;
  while (p < end && *p != u'\0') {
    const char16_t* start = p;
    while (p < end && *p != u'\r' && *p != u'\n' && *p != u'\0') ++p;
    FLines.emplace_back(start, p);
    if (p < end && *p == u'\r') {
      ++p;
      if (p < end && *p == u'\n') ++p;
    } else if (p < end && *p == u'\n') {
      ++p;
    }
  }
}

Text TStringList::GetText() const {
  std::size_t size = 0;
  for (const Text& line : FLines) size += line.size() + 2;
  Text out;
  out.reserve(size);
  for (const Text& line : FLines) {
    out += line;
    out += u"\r\n";
  }
  return out;
}

}  // namespace xlate
