#include <gtest/gtest.h>

#include "app/Parameters.h"
#include "common/Exception.h"
#include "testsupport/ExceptionMessage.h"
#include "testsupport/FakePlatform.h"

namespace xlate {
namespace {

class ParseParametersTest : public ::testing::Test {
 protected:
  TRunSettings Parse(const std::vector<Text>& aParameters) {
    return ParseParameters(platform, aParameters);
  }
  Text LookupParameter(const std::vector<Text>& aParameters, const Text& aKey) {
    return xlate::LookupParameter(platform, aParameters, aKey);
  }
  Text ErrorOf(const std::vector<Text>& aParameters) {
    return MessageOf([&] { ParseParameters(platform, aParameters); });
  }
  TFakePlatform platform;
};

TEST_F(ParseParametersTest, NoParametersGiveTheDefaults) {
  TRunSettings s = Parse({});
  EXPECT_EQ(s.Task, ttTranslate);
  EXPECT_EQ(s.LangFrom, u"en");
  EXPECT_EQ(s.LangTo, u"en");
  EXPECT_EQ(s.LangInit, u"en");
  EXPECT_EQ(s.InCoding, ctANSI);
  EXPECT_EQ(s.OutCoding, ctOEM);
  EXPECT_EQ(s.Text, "Hello, this is xlate, a front end to a translation library.");
  EXPECT_TRUE(s.InFile.empty());
  EXPECT_TRUE(s.OutFile.empty());
  EXPECT_FALSE(s.UseFiles);
}

TEST_F(ParseParametersTest, TaskWordsAreExactAndCaseDecidesWhetherTheDefaultApplies) {
  TRunSettings list = Parse({u"DO=LIST", u"LANGINIT=de"});
  EXPECT_EQ(list.Task, ttList);
  EXPECT_EQ(list.LangInit, u"de");
  EXPECT_EQ(Parse({u"DO=TRANSLATE"}).Task, ttTranslate);
  EXPECT_EQ(ErrorOf({u"DO=list"}), u"Unknown task type");
  // do=LIST sets nothing, but its value blocks the default.
  EXPECT_EQ(ErrorOf({u"do=LIST"}), u"Unknown task type");
  EXPECT_EQ(ErrorOf({u"DO=FOO"}), u"Unknown task type");
  // An empty value leaves the task unknown and lets the default apply.
  EXPECT_EQ(Parse({u"DO="}).Task, ttTranslate);
  // The last one wins, also when it is unknown.
  EXPECT_EQ(ErrorOf({u"DO=LIST", u"DO=x"}), u"Unknown task type");
  EXPECT_EQ(Parse({u"DO=x", u"DO=LIST"}).Task, ttList);
}

TEST_F(ParseParametersTest, OneCodingFillsTheOther) {
  TRunSettings utf8 = Parse({u"ICODING=UTF8"});
  EXPECT_EQ(utf8.InCoding, ctUTF8);
  EXPECT_EQ(utf8.OutCoding, ctUTF8);
  TRunSettings ansi = Parse({u"OCODING=ANSI"});
  EXPECT_EQ(ansi.InCoding, ctANSI);
  EXPECT_EQ(ansi.OutCoding, ctANSI);
  TRunSettings both = Parse({u"ICODING=UNICODE", u"OCODING=OEM"});
  EXPECT_EQ(both.InCoding, ctUNICODE);
  EXPECT_EQ(both.OutCoding, ctOEM);
}

TEST_F(ParseParametersTest, AnUnusableCodingBlocksItsDefault) {
  // utf8 is not a coding word: InCoding stays none, OutCoding gets OEM.
  TRunSettings lower = Parse({u"ICODING=utf8"});
  EXPECT_EQ(lower.InCoding, ctNone);
  EXPECT_EQ(lower.OutCoding, ctOEM);
  // ...unless the other coding fills it.
  TRunSettings filled = Parse({u"ICODING=utf8", u"OCODING=OEM"});
  EXPECT_EQ(filled.InCoding, ctOEM);
  EXPECT_EQ(filled.OutCoding, ctOEM);
  EXPECT_EQ(Parse({u"OCODING=X"}).OutCoding, ctNone);
  EXPECT_EQ(Parse({u"OCODING=X"}).InCoding, ctANSI);
  EXPECT_EQ(ErrorOf({u"ICODING=X", u"OCODING=Y"}), u"Unknown coding type");
  // A bad task is reported before bad codings.
  EXPECT_EQ(ErrorOf({u"DO=x", u"ICODING=X", u"OCODING=Y"}), u"Unknown task type");
  // The last one wins: an unknown word overwrites a good one.
  EXPECT_EQ(ErrorOf({u"ICODING=UTF8", u"OCODING=OEM", u"ICODING=a", u"OCODING=b"}),
            u"Unknown coding type");
}

TEST_F(ParseParametersTest, ParseCodingIsExact) {
  EXPECT_EQ(ParseCoding(u"ANSI"), ctANSI);
  EXPECT_EQ(ParseCoding(u"UTF8"), ctUTF8);
  EXPECT_EQ(ParseCoding(u"UNICODE"), ctUNICODE);
  EXPECT_EQ(ParseCoding(u"OEM"), ctOEM);
  for (const char16_t* word : {u"", u"ansi", u"UTF-8", u"Unicode", u"OEM "}) {
    EXPECT_EQ(ParseCoding(word), ctNone) << U8(word);
  }
}

TEST_F(ParseParametersTest, FileNamesAreDerivedFromLanguagesAsGiven) {
  TRunSettings s = Parse({u"LANGTO=de", u"IFILE=a.txt"});
  EXPECT_EQ(s.OutFile, u"a.txt.de");
  EXPECT_TRUE(s.UseFiles);
  TRunSettings fromOut = Parse({u"OFILE=b.txt", u"LANGFROM=fr"});
  EXPECT_EQ(fromOut.InFile, u"b.txt.fr");
  EXPECT_TRUE(fromOut.UseFiles);
  // The language is still empty when the name is derived.
  TRunSettings alone = Parse({u"IFILE=a.txt"});
  EXPECT_EQ(alone.OutFile, u"a.txt.");
  EXPECT_EQ(alone.LangTo, u"en");
  TRunSettings both = Parse({u"IFILE=a", u"OFILE=b"});
  EXPECT_EQ(both.InFile, u"a");
  EXPECT_EQ(both.OutFile, u"b");
}

TEST_F(ParseParametersTest, LanguageNamesInTheWrongCaseBlockTheirDefault) {
  TRunSettings s = Parse({u"langfrom=de"});
  EXPECT_EQ(s.LangFrom, u"");
  EXPECT_EQ(s.LangTo, u"en");
  // Last one wins for the field; the first one decides the lookup.
  TRunSettings later = Parse({u"LANGTO=de", u"LANGTO="});
  EXPECT_EQ(later.LangTo, u"");
  // Case is ignored beyond ASCII too.
  EXPECT_EQ(LookupParameter({u"\u00e4=1"}, u"\u00c4"), u"1");
  EXPECT_EQ(LookupParameter({u"\u0436=2"}, u"\u0416"), u"2");
}

TEST_F(ParseParametersTest, TextTakesEverythingAfterTheFirstEqualsSign) {
  EXPECT_EQ(Parse({u"TEXT=a=b"}).Text, "a=b");
  // An empty text lets the default apply.
  EXPECT_EQ(Parse({u"TEXT="}).Text, "Hello, this is xlate, a front end to a translation library.");
  // text=x blocks the default without setting the text.
  EXPECT_EQ(Parse({u"text=x"}).Text, "");
}

TEST_F(ParseParametersTest, TextIsStoredInTheAnsiCodePage) {
  platform.Ansi = 1252;
  EXPECT_EQ(Parse({u"TEXT=gr\u00fc\u00dfe \u20ac"}).Text,
            "gr\xFC\xDF"
            "e \x80");
  // A character the code page cannot show becomes "?".
  EXPECT_EQ(Parse({u"TEXT=\u0416"}).Text, "?");
  platform.Ansi = 1251;
  EXPECT_EQ(Parse({u"TEXT=\u0416"}).Text, "\xC6");
}

TEST_F(ParseParametersTest, ParametersWithoutANameAreIgnored) {
  TRunSettings s = Parse({u"hello", u"=LIST", u"DO"});
  EXPECT_EQ(s.Task, ttTranslate);
  // "hello" is ignored, but "DO" without "=" does not block the default,
  // and "=LIST" has an empty name.
  EXPECT_EQ(LookupParameter({u"DO", u"=LIST", u"Do=x"}, u"DO"), u"x");
}

}  // namespace
}  // namespace xlate
