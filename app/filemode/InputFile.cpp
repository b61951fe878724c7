#include "app/filemode/InputFile.h"

#include <cstring>

#include "common/CodePages.h"
#include "common/Conversions.h"
#include "common/Exception.h"
#include "common/SystemError.h"

namespace xlate {

namespace {

constexpr std::size_t kReadSize = 1 << 20;

// The first CR, LF or NUL in [aFrom, aEnd), or aEnd.
const char* FindBreak(const char* aFrom, const char* aEnd) {
  const auto size = [](const char* a, const char* b) { return static_cast<std::size_t>(b - a); };
  const char* stop = static_cast<const char*>(std::memchr(aFrom, '\n', size(aFrom, aEnd)));
  if (stop == nullptr) stop = aEnd;
  if (const void* cr = std::memchr(aFrom, '\r', size(aFrom, stop)))
    stop = static_cast<const char*>(cr);
  if (const void* nul = std::memchr(aFrom, '\0', size(aFrom, stop)))
    stop = static_cast<const char*>(nul);
  return stop;
}

const char16_t* FindBreak(const char16_t* aFrom, const char16_t* aEnd) {
  while (aFrom < aEnd && *aFrom != u'\n' && *aFrom != u'\r' && *aFrom != u'\0') ++aFrom;
  return aFrom;
}

}  // namespace

// Splits the text in aData into lines and gives each to aAdd: CR LF, a
// lone CR and a lone LF end a line, and the first NUL ends the text. Unless
// aFinal, a last line without its break is left for more data to come (a CR
// at the very end waits too, as an LF may follow). Returns how many units
// were used; vSearchFrom tells where, in what is left, no break was found.
template <typename Unit, typename Add>
std::size_t TLineSplitter::Split(const Unit* aData, std::size_t aCount, bool aFinal,
                                 const Add& aAdd) {
  std::size_t start = 0;
  std::size_t from = FSearchFrom;
  while (start < aCount) {
    const Unit* found = FindBreak(aData + from, aData + aCount);
    const auto at = static_cast<std::size_t>(found - aData);
    if (at == aCount) {
      if (!aFinal) {
        FSearchFrom = aCount - start;
        return start;
      }
      aAdd(aData + start, aCount - start);
      break;
    }
    if (*found == 0) {
      // What stands before the NUL on its line is a line of its own.
      if (at > start) aAdd(aData + start, at - start);
      FEnded = true;
      break;
    }
    if (*found == '\r' && at + 1 == aCount && !aFinal) {
      FSearchFrom = at - start;
      return start;
    }
    aAdd(aData + start, at - start);
    std::size_t next = at + 1;
    if (*found == '\r' && next < aCount && aData[next] == '\n') ++next;
    start = from = next;
  }
  FSearchFrom = 0;
  return aCount;
}

TLineSplitter::TLineSplitter(TCodingType aCoding, TStringList& vLines)
    : FCoding(aCoding), FLines(vLines), FPlatform(CurrentPlatform()) {}

void TLineSplitter::Feed(const char* aBytes, std::size_t aCount) { Take(aBytes, aCount, false); }

void TLineSplitter::Finish() { Take(nullptr, 0, true); }

void TLineSplitter::Take(const char* aBytes, std::size_t aCount, bool aFinal) {
  if (FEnded || FCoding == ctNone) return;
  if (FCoding == ctUNICODE) {
    TakeUnits(aBytes, aCount, aFinal);
    return;
  }
  FBytes.append(aBytes, aCount);
  if (!FStarted) {
    // A UTF-8 byte-order mark is dropped when it is there.
    if (FCoding == ctUTF8) {
      if (FBytes.size() < 3 && !aFinal) return;
      if (FBytes.compare(0, 3, "\xEF\xBB\xBF") == 0) FBytes.erase(0, 3);
    }
    FStarted = true;
  }
  const std::uint32_t codePage = FCoding == ctUTF8 ? kCodePageUtf8 : FPlatform.AnsiCodePage();
  // CR, LF and NUL are the same bytes in every code page, and no multi-byte
  // sequence contains them, so each line is decoded on its own.
  std::size_t used =
      Split(FBytes.data(), FBytes.size(), aFinal, [&](const char* aLine, std::size_t aSize) {
        if (FCoding == ctOEM) {
          FLines.Add(OemToText(ByteString(aLine, aSize)));
        } else {
          FLines.Add(FPlatform.MultiByteToText(codePage, aLine, aSize));
        }
      });
  FBytes.erase(0, used);
}

void TLineSplitter::TakeUnits(const char* aBytes, std::size_t aCount, bool aFinal) {
  // 16-bit units, low byte first; an odd last byte is ignored.
  const auto* b = reinterpret_cast<const unsigned char*>(aBytes);
  std::size_t i = 0;
  if (FHasOddByte && aCount > 0) {
    FUnits += static_cast<char16_t>(FOddByte | (b[0] << 8));
    FHasOddByte = false;
    i = 1;
  }
  const std::size_t first = FUnits.size();
  FUnits.resize(first + (aCount - i) / 2);
  char16_t* o = &FUnits[first];
  for (; i + 1 < aCount; i += 2) *o++ = static_cast<char16_t>(b[i] | (b[i + 1] << 8));
  if (i < aCount) {
    FOddByte = b[i];
    FHasOddByte = true;
  }
  if (!FStarted) {
    if (FUnits.empty() && !aFinal) return;
    if (!FUnits.empty() && FUnits[0] == 0xFEFF) FUnits.erase(0, 1);
    FStarted = true;
  }
  std::size_t used =
      Split(FUnits.data(), FUnits.size(), aFinal,
            [&](const char16_t* aLine, std::size_t aSize) { FLines.Add(Text(aLine, aSize)); });
  FUnits.erase(0, used);
}

void ReadLines(PlatformFile& aFile, TLineSplitter& vSplitter) {
  std::unique_ptr<char[]> buffer(new char[kReadSize]);
  for (;;) {
    std::size_t got = 0;
    if (!aFile.Read(buffer.get(), kReadSize, got)) throw Exception(u"Stream read error");
    if (got == 0) break;
    vSplitter.Feed(buffer.get(), got);
  }
  vSplitter.Finish();
}

void DecodeFileBytes(TCodingType aCoding, const ByteString& aBytes, TStringList& vLines) {
  vLines.Clear();
  TLineSplitter splitter(aCoding, vLines);
  splitter.Feed(aBytes.data(), aBytes.size());
  splitter.Finish();
}

std::unique_ptr<TStringList> ReadInputFile(const TRunSettings& aSettings) {
  Platform& platform = CurrentPlatform();
  if (!platform.FileExists(aSettings.InFile)) {
    throw Exception(Format(u"File \"%s\" not found", {aSettings.InFile}));
  }
  auto lines = std::make_unique<TStringList>();
  std::unique_ptr<PlatformFile> file = platform.OpenForReading(aSettings.InFile);
  if (!file) {
    Text reason = LastSystemErrorText();
    throw Exception(
        Format(u"Cannot open file \"%s\". %s", {platform.FullPath(aSettings.InFile), reason}));
  }
  // The file is read to its end, whatever size it gave: pipes and growing
  // files read whole. A failed read ends the run before anything is
  // translated or written.
  TLineSplitter splitter(aSettings.InCoding, *lines);
  ReadLines(*file, splitter);
  return lines;
}

}  // namespace xlate
