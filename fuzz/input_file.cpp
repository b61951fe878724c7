// The input-file reader splits the bytes into lines before decoding each;
// that must give exactly the lines of decoding the whole file first.
#include <cstdint>

#include "app/filemode/InputFile.h"
#include "common/CodePages.h"
#include "common/Conversions.h"
#include "common/Exception.h"
#include "common/Utf8.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
  using namespace xlate;
  if (aSize < 1) return 0;
  FakePlatform& platform = FuzzPlatform();
  static const TCodingType kCodings[] = {ctNone, ctANSI, ctUTF8, ctUNICODE, ctOEM};
  TRunSettings settings;
  settings.InCoding = kCodings[aData[0] % 5];
  settings.InFile = u"in";
  platform.ansi = (aData[0] & 8) ? 1251 : 1252;
  platform.oem = (aData[0] & 16) ? 866 : 850;
  platform.readChunk = 1 + (aData[0] >> 5) * 100;
  const std::string bytes(reinterpret_cast<const char*>(aData) + 1, aSize - 1);
  platform.files[u"in"].bytes = bytes;

  std::unique_ptr<TStringList> lines = ReadInputFile(settings);

  Text whole;
  switch (settings.InCoding) {
    case ctUNICODE:
      whole = Units(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
      if (!whole.empty() && whole[0] == 0xFEFF) whole.erase(0, 1);
      break;
    case ctUTF8:
      whole = DecodeUtf8(bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes);
      break;
    case ctANSI:
      whole = AnsiToText(bytes);
      break;
    case ctOEM:
      whole = OemToText(bytes);
      break;
    case ctNone:
      break;
  }
  TStringList expected;
  expected.SetText(whole);
  Check(lines->Lines() == expected.Lines(), "line-by-line decoding differs from the whole");
  return 0;
}
