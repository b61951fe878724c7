#include "app/filemode/InputFile.h"

#include <algorithm>
#include <cstring>

#include "common/CodePages.h"
#include "common/Conversions.h"
#include "common/Exception.h"
#include "common/SystemError.h"

namespace xlate {

namespace {

constexpr std::size_t kMinimumRead = 64 * 1024;

std::size_t CountByte(const char* aText, std::size_t aCount, char aByte) {
  std::size_t count = 0;
  const char* end = aText + aCount;
  for (const char* p = aText; (p = static_cast<const char*>(std::memchr(p, aByte, end - p))); ++p) {
    ++count;
  }
  return count;
}

// An upper bound of the number of lines, to size the list once.
std::size_t CountLineBreaks(const char* aText, std::size_t aCount) {
  return CountByte(aText, aCount, '\n') + CountByte(aText, aCount, '\r');
}

// Splits 8-bit text into lines first and decodes each line on its own, so
// that the whole file is never held as one UTF-16 text beside its lines.
// CR, LF and NUL are the same bytes in every code page, and no multi-byte
// sequence contains them.
template <typename Decode>
void DecodeByteLines(const char* aBytes, std::size_t aCount, TStringList& vLines,
                     const Decode& aDecode) {
  // The first NUL ends the text.
  if (const void* nul = std::memchr(aBytes, '\0', aCount)) {
    aCount = static_cast<std::size_t>(static_cast<const char*>(nul) - aBytes);
  }
  vLines.Reserve(CountLineBreaks(aBytes, aCount) + 1);
  const char* p = aBytes;
  const char* end = aBytes + aCount;
  while (p < end) {
    // The line ends at the first CR or LF; memchr finds both fast.
    const char* lf =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    const char* stop = lf ? lf : end;
    const char* cr =
        static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(stop - p)));
    const char* lineEnd = cr ? cr : stop;
    vLines.Add(aDecode(p, static_cast<std::size_t>(lineEnd - p)));
    p = lineEnd;
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n' && (p == lineEnd || p[-1] == '\r')) ++p;
  }
}

}  // namespace

ByteString ReadWholeFile(PlatformFile& aFile) {
  std::uint64_t size = 0;
  if (!aFile.Size(size)) throw Exception(u"Stream read error");
  ByteString bytes;
  // One byte more than the size, so that the end shows at once.
  bytes.resize(std::max<std::uint64_t>(size + 1, kMinimumRead));
  std::size_t filled = 0;
  for (;;) {
    if (filled == bytes.size()) bytes.resize(bytes.size() * 2);
    std::size_t got = 0;
    if (!aFile.Read(&bytes[filled], bytes.size() - filled, got)) {
      throw Exception(u"Stream read error");
    }
    if (got == 0) break;
    filled += got;
  }
  bytes.resize(filled);
  return bytes;
}

void DecodeFileBytes(TCodingType aCoding, const ByteString& aBytes, TStringList& vLines) {
  Platform& platform = CurrentPlatform();
  vLines.Clear();
  switch (aCoding) {
    case ctUNICODE: {
      // 16-bit units, low byte first; an odd last byte is ignored.
      const auto* b = reinterpret_cast<const unsigned char*>(aBytes.data());
      auto unitAt = [b](std::size_t i) {
        return static_cast<char16_t>(b[2 * i] | (b[2 * i + 1] << 8));
      };
      std::size_t units = aBytes.size() / 2;
      std::size_t start = units > 0 && unitAt(0) == 0xFEFF ? 1 : 0;
      auto shifted = [&](std::size_t i) { return unitAt(start + i); };
      std::size_t breaks = 0;
      for (std::size_t i = start; i < units; ++i)
        breaks += unitAt(i) == u'\n' || unitAt(i) == u'\r';
      vLines.Reserve(breaks + 1);
      ForEachLineAt(units - start, shifted, [&](std::size_t aFirst, std::size_t aLast) {
        Text line(aLast - aFirst, u'\0');
        for (std::size_t i = aFirst; i < aLast; ++i) line[i - aFirst] = shifted(i);
        vLines.Add(std::move(line));
      });
      return;
    }
    case ctUTF8: {
      std::size_t start = aBytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
      DecodeByteLines(aBytes.data() + start, aBytes.size() - start, vLines,
                      [&](const char* aLine, std::size_t aCount) {
                        return platform.MultiByteToText(kCodePageUtf8, aLine, aCount);
                      });
      return;
    }
    case ctANSI: {
      const std::uint32_t ansi = platform.AnsiCodePage();
      DecodeByteLines(aBytes.data(), aBytes.size(), vLines,
                      [&](const char* aLine, std::size_t aCount) {
                        return platform.MultiByteToText(ansi, aLine, aCount);
                      });
      return;
    }
    case ctOEM:
      DecodeByteLines(aBytes.data(), aBytes.size(), vLines,
                      [&](const char* aLine, std::size_t aCount) {
                        return OemToText(ByteString(aLine, aCount));
                      });
      return;
    case ctNone:
      return;
  }
}

std::unique_ptr<TStringList> ReadInputFile(const TRunSettings& aSettings) {
  Platform& platform = CurrentPlatform();
  if (!platform.FileExists(aSettings.InFile)) {
    throw Exception(Format(u"File \"%s\" not found", {aSettings.InFile}));
  }
  auto lines = std::make_unique<TStringList>();
  ByteString bytes;
  {
    std::unique_ptr<PlatformFile> file = platform.OpenForReading(aSettings.InFile);
    if (!file) {
      Text reason = LastSystemErrorText();
      throw Exception(
          Format(u"Cannot open file \"%s\". %s", {platform.FullPath(aSettings.InFile), reason}));
    }
    bytes = ReadWholeFile(*file);
  }  // closed before anything else is done with the bytes
  DecodeFileBytes(aSettings.InCoding, bytes, *lines);
  return lines;
}

}  // namespace xlate
