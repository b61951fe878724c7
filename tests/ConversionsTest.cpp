#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "common/CodePageTables.h"
#include "common/CodePages.h"
#include "common/Codings.h"
#include "common/Conversions.h"
#include "common/Exception.h"
#include "common/SystemError.h"
#include "common/Utf8.h"
#include "testsupport/FakePlatform.h"
#if !defined(_WIN32)
#include "platform/posix/LocaleCodePages.h"
#include "testsupport/IconvReference.h"
#endif

namespace xlate {
namespace {

TEST(Utf8, DecodesEachMalformedSequenceToOneReplacement) {
  const Text r = u"\uFFFD";
  EXPECT_EQ(DecodeUtf8("a\xC3"), u"a" + r);  // truncated at the end
  EXPECT_EQ(DecodeUtf8("\xE2\x82"
                       "A"),
            r + u"A");                                       // truncated in the middle
  EXPECT_EQ(DecodeUtf8("\xC0\xAF"), r + r);                  // overlong lead, stray byte
  EXPECT_EQ(DecodeUtf8("\xE0\x80\x80"), r + r + r);          // overlong three-byte form
  EXPECT_EQ(DecodeUtf8("\xED\xA0\x80"), r + r + r);          // an encoded surrogate
  EXPECT_EQ(DecodeUtf8("\xF4\x90\x80\x80"), r + r + r + r);  // above U+10FFFF
  EXPECT_EQ(DecodeUtf8("\xF0\x9F\x98"), r);                  // one cut-off sequence
  EXPECT_EQ(DecodeUtf8("\x80\xBF"), r + r);
  EXPECT_EQ(DecodeUtf8("\xFF\xFE"), r + r);
  // None of them is well-formed, also after a run of ASCII.
  for (const std::string bad : {"a\xC3",
                                "\xE2\x82"
                                "A",
                                "\xC0\xAF", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                "\xF0\x9F\x98", "\x80\xBF", "\xFF\xFE"}) {
    for (const std::string& text : {bad, std::string(20, 'x') + bad}) {
      EXPECT_FALSE(IsValidUtf8(text.data(), text.size())) << text;
    }
  }
}

TEST(Utf8, DecodesValidTextIncludingSupplementaryCharactersAndTheMark) {
  EXPECT_EQ(DecodeUtf8("\xEF\xBB\xBF"
                       "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"),
            u"\uFEFFa\u00e4\u20ac\U0001F600");
  EXPECT_EQ(DecodeUtf8(std::string("a\0b", 3)), Text(u"a\0b", 3));
  // Well-formed, up to the edges of each range.
  const std::string valid = std::string(20, 'x') +
                            "\xEF\xBB\xBF\xC2\x80\xE0\xA0\x80\xED\x9F\xBF\xF0\x90\x80\x80"
                            "\xF4\x8F\xBF\xBF" +
                            std::string(17, 'y');
  EXPECT_TRUE(IsValidUtf8(valid.data(), valid.size()));
}

TEST(Utf8, LongTextsDecodeAlikeWhereverTheirPiecesEnd) {
  // Long texts are decoded in pieces; a four-byte sequence followed by a
  // stray continuation byte must come out the same at every offset.
  for (std::size_t lead = 1015; lead < 1030; ++lead) {
    const std::string bytes = std::string(lead, 'a') + "\xF2\x8B\x97\x8B\x97" + "\xC3\xA4x";
    EXPECT_EQ(DecodeUtf8(bytes), Text(lead, u'a') + u"\U0008B5CB\uFFFD\u00e4x") << lead;
  }
}

TEST(Utf8, EncodesPairsAsFourBytesAndLoneSurrogatesAsReplacement) {
  EXPECT_EQ(EncodeUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(EncodeUtf8(Text(1, char16_t(0xD800)) + u"a"),
            "\xEF\xBF\xBD"
            "a");
  EXPECT_EQ(EncodeUtf8(Text(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
  EXPECT_EQ(EncodeUtf8(Text(1, char16_t(0xDBFF))), "\xEF\xBF\xBD");
  // A pair that long texts would cut in two stays together.
  for (std::size_t lead = 1020; lead < 1026; ++lead) {
    EXPECT_EQ(EncodeUtf8(Text(lead, u'a') + u"\U0001F600"),
              std::string(lead, 'a') + "\xF0\x9F\x98\x80");
  }
  EXPECT_EQ(EncodeUtf8(u"\u007f\u0080\u07ff\u0800\uffff"),
            "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF");
  // Which texts those are, at every place in a text long enough to be
  // looked at eight units at a time.
  for (std::size_t at = 0; at < 20; ++at) {
    const Text before(at, u'\u00e9');
    const Text after(20 - at, u'\ud7ff');
    for (const Text& middle : {Text(u"\U0001F600"), Text(u"\uE000\uFFFD")}) {
      const Text text = before + middle + after;
      EXPECT_FALSE(HasUnpairedSurrogate(text.data(), text.size())) << at;
    }
    for (const Text& middle : {Text(1, char16_t(0xD800)), Text(1, char16_t(0xDFFF)),
                               Text{char16_t(0xDC00), char16_t(0xD800)}}) {
      const Text text = before + middle + after;
      EXPECT_TRUE(HasUnpairedSurrogate(text.data(), text.size())) << at;
      EXPECT_TRUE(HasUnpairedSurrogate(text.data(), at + middle.size())) << at;
    }
  }
}

#if !defined(_WIN32)
// The check against the C library's iconv runs where iconv is: on POSIX,
// whose build converts with these tables (the Windows build converts with
// the system's own).
class TCodePageTable : public ::testing::TestWithParam<std::uint32_t> {};

// Every byte of each code page decodes as the C library's iconv decodes
// it, and encodes back to the byte. Where iconv has no character, Windows
// gives the byte its own value (0x81 in 1252 is U+0081) or, in a few pages,
// a private-use character (0xAA in 1253 is U+F8F9); it encodes back too.
TEST_P(TCodePageTable, MatchesIconvForEveryByte) {
  const std::uint32_t cp = GetParam();
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    Text decoded = CodePageToText(cp, &byte, 1);
    ASSERT_EQ(decoded.size(), 1u);
    EXPECT_EQ(TextToCodePage(cp, decoded.data(), 1), std::string(1, byte))
        << "code page " << cp << " byte " << b;
    char16_t expected;
    if (IconvDecodeByte(cp, static_cast<unsigned char>(b), expected)) {
      EXPECT_EQ(decoded[0], expected) << "code page " << cp << " byte " << b;
    } else {
      const bool privateUse = decoded[0] >= 0xE000 && decoded[0] <= 0xF8FF;
      EXPECT_TRUE(decoded[0] == static_cast<char16_t>(b) || privateUse)
          << "code page " << cp << " byte " << b;
    }
  }
  // Straight to UTF-8, every byte among runs of ASCII of every length,
  // gives what encoding the text of the bytes gives.
  std::string all;
  for (int b = 255; b >= 0; --b)
    all += std::string(static_cast<std::size_t>(b % 19), 'a') + char(b);
  ByteString utf8 = "x";
  AppendCodePageAsUtf8(cp, all.data(), all.size(), utf8);
  const Text text = CodePageToText(cp, all.data(), all.size());
  EXPECT_EQ(utf8, "x" + EncodeUtf8(text)) << "code page " << cp;
}

INSTANTIATE_TEST_SUITE_P(RequiredPages, TCodePageTable,
                         ::testing::Values(1250u, 1251u, 1252u, 437u, 850u, 852u, 866u));
INSTANTIATE_TEST_SUITE_P(FurtherPages, TCodePageTable,
                         ::testing::Values(1253u, 1254u, 1256u, 1257u, 737u, 775u, 855u, 857u, 858u,
                                           862u, 874u));

// Wine's copy of a Windows code page file (c_NNNN.nls), the source of the
// tables: the character of each byte and the byte of each UTF-16 unit,
// best fit included.
struct WineCodePage {
  std::vector<std::uint16_t> characters;
  std::string bytes;
};

bool ReadWineCodePage(std::uint32_t aCodePage, WineCodePage& vPage) {
  std::ifstream in("/usr/share/wine/nls/c_" + std::to_string(aCodePage) + ".nls", std::ios::binary);
  if (!in) return false;
  const std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  auto word = [&data](std::size_t aIndex) -> std::size_t {
    if (2 * aIndex + 1 >= data.size()) return 0;
    return static_cast<unsigned char>(data[2 * aIndex]) |
           static_cast<unsigned char>(data[2 * aIndex + 1]) << 8;
  };
  // A header of word(0) words, then the offset of the unit-to-byte table
  // and the 256 characters of the bytes.
  const std::size_t start = word(0);
  const std::size_t wide = 2 * (start + word(start) + 1);
  if (word(2) != 1 || data.size() < wide + 0x10000) {
    ADD_FAILURE() << "c_" << aCodePage << ".nls is no single-byte code page file";
    return false;
  }
  for (std::size_t b = 0; b < 256; ++b) vPage.characters.push_back(word(start + 1 + b));
  vPage.bytes = data.substr(wide, 0x10000);
  return true;
}

TEST(CodePageTables, MatchWinesCodePageFilesForEveryByteAndCharacter) {
  int compared = 0;
  for (std::size_t i = 0; i < kCodePageTableCount; ++i) {
    const std::uint32_t cp = kCodePageTables[i].CodePage;
    WineCodePage wine;
    if (!ReadWineCodePage(cp, wine)) continue;
    ++compared;
    for (int b = 0; b < 256; ++b) {
      const char byte = static_cast<char>(b);
      EXPECT_EQ(CodePageToText(cp, &byte, 1), Text(1, static_cast<char16_t>(wine.characters[b])))
          << "code page " << cp << " byte " << b;
    }
    int mismatches = 0;
    for (std::uint32_t unit = 1; unit < 0x10000 && mismatches < 10; ++unit) {
      const char16_t c = static_cast<char16_t>(unit);
      if (TextToCodePage(cp, &c, 1) != std::string(1, wine.bytes[unit])) {
        ++mismatches;
        ADD_FAILURE() << "code page " << cp << " U+" << std::hex << unit;
      }
    }
  }
  if (compared == 0) GTEST_SKIP() << "Wine's code page files are not installed";
}
#endif

// A character the page lacks takes the page's best-fit byte (e-acute in
// 1251 is "e", l-stroke in 1252 "l"), else "?".
TEST(CodePages, CharactersACodePageCannotShowTakeTheBestFitOrAQuestionMark) {
  const Text text = u"a\u0416\U0001F600\u00e9\u0142";
  EXPECT_EQ(TextToCodePage(1252, text.data(), text.size()), "a??\xE9l");
  EXPECT_EQ(TextToCodePage(1251, text.data(), text.size()), "a\xC6?el");
}

TEST(CodePages, ConvertBytesKeepsTheLength) {
  // u-umlaut, the euro sign and S-caron from 1252 to 850, which has no
  // euro sign and shows S-caron as "S"; the light shade of 850 is the
  // broken bar in 1252.
  EXPECT_EQ(ConvertBytes(1252, 850, "\xFC\x80x\x8A"), "\x81?xS");
  EXPECT_EQ(ConvertBytes(850, 1252, "\x81\xB0"), "\xFC\xA6");
  EXPECT_EQ(ConvertBytes(1251, 866, "\xC6\xE6"), "\x86\xA6");
  // Arabic alef from 1256 to 720, the OEM page of Arabic systems.
  EXPECT_EQ(ConvertBytes(1256, 720, "\xC7"), "\x9F");
  EXPECT_EQ(ConvertBytes(1252, 1252, "\x81\x80"), "\x81\x80");
  // Only ASCII bytes of UTF-8 stand for a character on their own.
  EXPECT_EQ(ConvertBytes(65001, 437, "a\xC3\xA4"), "a??");
  EXPECT_EQ(ConvertBytes(437, 65001, "a\x84"), "a?");
}

#if !defined(_WIN32)
// How the POSIX build picks code pages from its locale; on Windows they
// are the system's.
TEST(LocaleCodePages, ChoosesTheWindowsCodePagesOfTheLocale) {
  struct Case {
    const char* locale;
    std::uint32_t ansi, oem;
  };
  for (const Case& c : {
           Case{"en_US.CP1252", 1252, 437},
           Case{"de_DE.CP1252", 1252, 850},
           Case{"ru_RU.CP1251", 1251, 866},
           Case{"pl_PL.CP1250", 1250, 852},
           Case{"en_US.UTF-8", 65001, 65001},
           Case{"C.UTF-8", 65001, 65001},
           Case{"de_DE.utf8", 65001, 65001},
           Case{"", 65001, 65001},
           Case{"C", 65001, 65001},
           Case{"POSIX", 65001, 65001},
           Case{"C.CP1251", 1251, 437},
           Case{"ru_RU.KOI8-R", 1251, 866},
           Case{"de_DE", 1252, 850},
           Case{"fr_FR.ISO-8859-15@euro", 1252, 850},
           Case{"el_GR.ISO-8859-7", 1253, 737},
           Case{"tr_TR.windows-1254", 1254, 857},
           Case{"en_GB.cp1251", 1251, 437},
           Case{"xx_YY.CP1252", 1252, 437},
           Case{"cs_CZ.ISO-8859-2", 1250, 852},
       }) {
    TLocaleCodePages pages = CodePagesForLocale(c.locale);
    EXPECT_EQ(pages.Ansi, c.ansi) << c.locale;
    EXPECT_EQ(pages.Oem, c.oem) << c.locale;
  }
  EXPECT_EQ(LocaleFromEnvironment("", "ru_RU.CP1251", "de_DE.UTF-8"), "ru_RU.CP1251");
  EXPECT_EQ(LocaleFromEnvironment("C", "ru_RU.CP1251", nullptr), "C");
  EXPECT_EQ(LocaleFromEnvironment(nullptr, nullptr, nullptr), "");
}
#endif

class PlatformConversions : public ::testing::Test {
 protected:
  ByteString AnsiToOem(const ByteString& aBytes) { return xlate::AnsiToOem(platform, aBytes); }
  ByteString OemToAnsi(const ByteString& aBytes) { return xlate::OemToAnsi(platform, aBytes); }
  Text OemToText(const ByteString& aBytes) { return xlate::OemToText(platform, aBytes); }
  ByteString EncodeText(TCodingType aCoding, const Text& aText) {
    return xlate::EncodeText(platform, aCoding, aText);
  }
  TFakePlatform platform;
};

TEST_F(PlatformConversions, AnsiToOemAndBackGoThroughThePlatformsCodePages) {
  platform.Ansi = 1252;
  platform.Oem = 850;
  EXPECT_EQ(AnsiToOem("gr\xFC\xDF"), "gr\x81\xE1");
  EXPECT_EQ(OemToAnsi("gr\x81\xE1"), "gr\xFC\xDF");
  EXPECT_EQ(AnsiToOem(""), "");
  EXPECT_EQ(OemToText("\x81"), u"\u00fc");
  EXPECT_EQ(EncodeText(ctOEM, u"\u00fc"), "\x81");
  EXPECT_EQ(EncodeText(ctANSI, u"\u00fc"), "\xFC");
  EXPECT_EQ(EncodeText(ctUNICODE, u"\u00fc"), "\xFC");
  EXPECT_EQ(EncodeText(ctUTF8, u"\u00fc"), "\xC3\xBC");
  EXPECT_EQ(EncodeText(ctNone, u"\u00fc"), "");
}

TEST(Codings, Utf16LeIsLowByteFirstBothWays) {
  TFakePlatform platform;
  const Text text = u"a\u20ac\U0001F600";
  const std::string bytes("a\0\xAC\x20\x3D\xD8\x00\xDE", 8);
  ByteString out = "x";
  AppendEncoded(platform, TByteForm::bfUtf16Le, text.data(), text.size(), out);
  EXPECT_EQ(out, "x" + bytes);
  EXPECT_EQ(DecodeBytes(platform, TByteForm::bfUtf16Le, bytes.data(), bytes.size()), text);
  // The other order, which the file reader and writer take from a row.
  ByteString high;
  AppendUnits(text.data(), text.size(), TByteOrder::boHighFirst, high);
  EXPECT_EQ(high, std::string("\0a\x20\xAC\xD8\x3D\xDE\x00", 8));
  EXPECT_EQ(UnitOf(high.data() + 2, TByteOrder::boHighFirst), u'\u20ac');
  EXPECT_EQ(UnitOf(bytes.data() + 2, TByteOrder::boLowFirst), u'\u20ac');
}

TEST(Format, FillsPlaceholdersInOrder) {
  EXPECT_EQ(Format(u"%s=%d (%x) %% %s", {Text(u"a"), -5, 255u, u"b"}), u"a=-5 (FF) % b");
  // %x writes a code as a 32-bit pattern.
  EXPECT_EQ(Format(u"%x", {-1}), u"FFFFFFFF");
  EXPECT_EQ(Format(u"%s and %s", {u"only"}), u"only and %s");
  const Text address = Format(u"%p", {reinterpret_cast<const void*>(0xAB)});
  EXPECT_EQ(address.size(), sizeof(void*) * 2);
  EXPECT_EQ(address.substr(address.size() - 3), u"0AB");
}

TEST(SystemError, TrimsTrailingBlanksControlsAndPeriods) {
  EXPECT_EQ(TrimSystemMessage(u"Access is denied.\r\n"), u"Access is denied");
  EXPECT_EQ(TrimSystemMessage(u"Done... \t."), u"Done");
  EXPECT_EQ(TrimSystemMessage(u"  a.b  "), u"  a.b");
  EXPECT_EQ(TrimSystemMessage(u""), u"");
  // A message that does not fit the 256-unit buffer counts as none.
  EXPECT_EQ(TrimSystemMessage(Text(255, u'x')), Text(255, u'x'));
  EXPECT_EQ(TrimSystemMessage(Text(256, u'x')), u"");
}

}  // namespace
}  // namespace xlate
