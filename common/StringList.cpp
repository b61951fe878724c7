#include "common/StringList.h"

#include "common/LineScan.h"

namespace xlate {

void TStringList::SetText(const char16_t* aText, std::size_t aCount) {
  FLines.clear();
  ForEachLine(aText, aCount, [this](const char16_t* aStart, const char16_t* aEnd) {
    FLines.emplace_back(aStart, aEnd);
  });
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
