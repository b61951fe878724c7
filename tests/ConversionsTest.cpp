#include <gtest/gtest.h>

#include "common/CodePages.h"
#include "common/Conversions.h"
#include "common/Exception.h"
#include "common/SystemError.h"
#include "common/Utf8.h"
#include "tests/FakePlatform.h"
#if !defined(_WIN32)
#include "platform/IconvReference.h"
#include "platform/posix/LocaleCodePages.h"
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
}

TEST(Utf8, DecodesValidTextIncludingSupplementaryCharactersAndTheMark) {
  EXPECT_EQ(DecodeUtf8("\xEF\xBB\xBF"
                       "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"),
            u"\uFEFFa\u00e4\u20ac\U0001F600");
  EXPECT_EQ(DecodeUtf8(std::string("a\0b", 3)), Text(u"a\0b", 3));
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
}

#if !defined(_WIN32)
// The check against the C library's iconv runs where iconv is: on POSIX,
// whose build converts with these tables (the Windows build converts with
// the system's own).
class CodePageTable : public ::testing::TestWithParam<std::uint32_t> {};

// Every byte of each code page decodes as the C library's iconv decodes
// it, and encodes back to the byte; where iconv has no character, the byte
// keeps its own value, as Windows maps the holes of its code pages.
TEST_P(CodePageTable, MatchesIconvForEveryByte) {
  const std::uint32_t cp = GetParam();
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    Text decoded = CodePageToText(cp, &byte, 1);
    ASSERT_EQ(decoded.size(), 1u);
    char16_t expected;
    if (IconvDecodeByte(cp, static_cast<unsigned char>(b), expected)) {
      EXPECT_EQ(decoded[0], expected) << "code page " << cp << " byte " << b;
      EXPECT_EQ(TextToCodePage(cp, decoded.data(), 1), std::string(1, byte))
          << "code page " << cp << " byte " << b;
    } else {
      EXPECT_EQ(decoded[0], static_cast<char16_t>(b)) << "code page " << cp << " byte " << b;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(RequiredPages, CodePageTable,
                         ::testing::Values(1250u, 1251u, 1252u, 437u, 850u, 852u, 866u));
INSTANTIATE_TEST_SUITE_P(FurtherPages, CodePageTable,
                         ::testing::Values(1253u, 1254u, 1256u, 1257u, 737u, 775u, 855u, 857u, 858u,
                                           862u, 874u));
#endif

TEST(CodePages, CharactersACodePageCannotShowBecomeQuestionMarks) {
  const Text text = u"a\u0416\U0001F600\u00e9";
  EXPECT_EQ(TextToCodePage(1252, text.data(), text.size()), "a??\xE9");
  EXPECT_EQ(TextToCodePage(1251, text.data(), text.size()), "a\xC6??");
}

TEST(CodePages, ConvertBytesKeepsTheLength) {
  // u-umlaut and the euro sign from 1252 to 850, which has no euro sign.
  EXPECT_EQ(ConvertBytes(1252, 850, "\xFC\x80x"), "\x81?x");
  EXPECT_EQ(ConvertBytes(850, 1252, "\x81\xB0"), "\xFC?");
  EXPECT_EQ(ConvertBytes(1251, 866, "\xC6\xE6"), "\x86\xA6");
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
           Case{"", 1252, 437},
           Case{"C", 1252, 437},
           Case{"POSIX", 1252, 437},
           Case{"ru_RU.KOI8-R", 1251, 866},
           Case{"de_DE", 1252, 850},
           Case{"fr_FR.ISO-8859-15@euro", 1252, 850},
           Case{"el_GR.ISO-8859-7", 1253, 737},
           Case{"tr_TR.windows-1254", 1254, 857},
           Case{"en_GB.cp1251", 1251, 437},
           Case{"xx_YY.CP1252", 1252, 437},
           Case{"cs_CZ.ISO-8859-2", 1250, 852},
       }) {
    LocaleCodePages pages = CodePagesForLocale(c.locale);
    EXPECT_EQ(pages.ansi, c.ansi) << c.locale;
    EXPECT_EQ(pages.oem, c.oem) << c.locale;
  }
  EXPECT_EQ(LocaleFromEnvironment("", "ru_RU.CP1251", "de_DE.UTF-8"), "ru_RU.CP1251");
  EXPECT_EQ(LocaleFromEnvironment("C", "ru_RU.CP1251", nullptr), "C");
  EXPECT_EQ(LocaleFromEnvironment(nullptr, nullptr, nullptr), "");
}
#endif

class PlatformConversions : public ::testing::Test {
 protected:
  FakePlatform platform;
  ScopedPlatform scoped{platform};
};

TEST_F(PlatformConversions, AnsiToOemAndBackGoThroughThePlatformsCodePages) {
  platform.ansi = 1252;
  platform.oem = 850;
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
