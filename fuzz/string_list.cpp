// The string list: lines never hold a line break or NUL, and reading the
// text back and assigning it again gives the same lines.
#include <cstdint>

#include "common/StringList.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
  using namespace xlate;
  TStringList list;
  list.SetText(Units(aData, aSize));
  for (const Text& line : list.Lines()) {
    Check(line.find_first_of(Text(u"\r\n\0", 3)) == Text::npos, "a line holds a break or NUL");
  }
  TStringList again;
  again.SetText(list.GetText());
  Check(again.Lines() == list.Lines(), "the text does not read back");
  return 0;
}
