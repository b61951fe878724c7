// The input-file reader splits the bytes into lines before decoding each,
// a window of the file at a time; that must give exactly the lines of
// decoding the whole file first, and fail exactly when text follows a NUL.
#include <cstdint>
#include <string>
#include <utility>

#include "app/filemode/InputFile.h"
#include "common/CodePages.h"
#include "common/Codings.h"
#include "common/Conversions.h"
#include "common/Exception.h"
#include "common/Utf8.h"
#include "fuzz/FuzzSupport.h"
#include "testsupport/ReadLines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
  using namespace xlate;
  if (aSize < 1) return 0;
  TFakePlatform& platform = FuzzPlatform();
  // Each coding of the table, and ctNone.
  const std::size_t row = aData[0] % (kCodingCount + 1);
  const TCoding& entry = row == 0 ? CodingOf(ctNone) : kCodings[row - 1];
  const TCodingType coding = entry.Type;
  platform.Ansi = (aData[0] & 8) ? 1251 : 1252;
  platform.Oem = (aData[0] & 16) ? 866 : 850;
  platform.ReadChunk = 1 + (aData[0] >> 5) * 100;
  const std::string bytes(reinterpret_cast<const char*>(aData) + 1, aSize - 1);
  platform.Entries[u"in"].Bytes = bytes;

  // The whole file decoded at once, by the coding's form.
  Text whole;
  switch (entry.FileForm) {
    case TByteForm::bfUtf16Le: {
      // A file that starts with the big-endian mark is read big-endian.
      std::string units = bytes;
      if (units.compare(0, 2, "\xFE\xFF") == 0) {
        for (std::size_t i = 0; i + 1 < units.size(); i += 2) std::swap(units[i], units[i + 1]);
      }
      whole = Units(reinterpret_cast<const unsigned char*>(units.data()), units.size());
      if (!whole.empty() && whole[0] == 0xFEFF) whole.erase(0, 1);
      break;
    }
    case TByteForm::bfUtf8:
      whole = DecodeUtf8(bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes);
      break;
    case TByteForm::bfAnsi:
      whole = AnsiToText(platform, bytes);
      break;
    case TByteForm::bfOem:
      whole = OemToText(platform, bytes);
      break;
    case TByteForm::bfNone:
      break;
  }
  // The first NUL ends the text when only zero bytes follow it; anything
  // else after it is an error. An odd last byte of UTF-16 is U+FFFD.
  const bool oddByte = entry.UnitSize == 2 && bytes.size() % 2 == 1;
  const std::size_t nul = whole.find(u'\0');
  bool fails = false;
  if (nul != Text::npos) {
    fails = whole.find_first_not_of(u'\0', nul) != Text::npos || (oddByte && bytes.back() != 0);
  } else if (oddByte) {
    whole += u'\uFFFD';
  }
  TStringList expected;
  expected.SetText(whole);

  std::unique_ptr<TStringList> lines;
  try {
    lines = ReadInputFile(platform, u"in", coding);
  } catch (const TException&) {
  }
  Check((lines == nullptr) == fails, "text after a NUL is not an error exactly");
  if (lines)
    Check(lines->Lines() == expected.Lines(), "line-by-line decoding differs from the whole");
  // A small window of the file, ending anywhere, gives the same lines.
  TStringList windowed;
  bool windowFails = false;
  try {
    DecodeFileBytes(platform, coding, bytes, windowed,
                    TFileWindow{1 + static_cast<std::size_t>(aData[0] % 23), 1 + aData[0] % 3u});
  } catch (const TException&) {
    windowFails = true;
  }
  Check(windowFails == fails, "text after a NUL is not an error exactly in a small window");
  if (!fails) {
    Check(windowed.Lines() == expected.Lines(),
          "decoding in a small window differs from the whole");
  }
  return 0;
}
