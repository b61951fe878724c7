#include <gtest/gtest.h>

#include <cstdint>

#include "common/Exception.h"
#include "library/testdouble/DoubleCore.h"
#include "service/jxDLLInterface.h"
#include "testsupport/ExceptionMessage.h"
#include "testsupport/FakePlatform.h"
#include "testsupport/TestService.h"

namespace xlate {
namespace {

class ServiceTest : public ::testing::Test {
 protected:
  ServiceTest() {
    zta_double::Reset();
    platform.Symbols = TestDoubleSymbols();
  }

  // The message of the exception that aAction raises.
  template <typename Action>
  Text ErrorOf(Action aAction) {
    return MessageOf(aAction);
  }

  std::vector<std::uint32_t> MaxSizesOf(const std::string& aEntry) {
    std::vector<std::uint32_t> sizes;
    for (const zta_double::TCall& call : zta_double::Calls()) {
      if (call.Entry == aEntry) sizes.push_back(call.MaxSize);
    }
    return sizes;
  }

  Text Translate(TdllZTA& aService, const Text& aText) { return aService.Translate(aText); }

  // aLines through TranslateLines, with or without the library's batch
  // entry point; the double's calls are in zta_double::Calls(). Each line
  // is reported done once.
  std::vector<Text> TranslateLines(bool aBatch, std::vector<Text> aLines) {
    zta_double::Reset();
    platform.Symbols = TestDoubleSymbols();
    if (!aBatch) platform.Symbols.erase("ztaTranslateBatch");
    TTestService service(platform, enDe);
    EXPECT_EQ(service.HasBatchEntryPoint(), aBatch);
    std::size_t failed = 0;
    std::size_t reported = 0;
    for (std::size_t done = 0; done < aLines.size();) {
      done += service.TranslateLines({aLines.data() + done, aLines.size() - done}, failed,
                                     [&reported](std::size_t aCount) { reported += aCount; });
    }
    EXPECT_EQ(reported, aLines.size());
    return aLines;
  }

  TFakePlatform platform;
  const TTranslationRequest enDe{u"en", u"en", u"de"};
};

TEST_F(ServiceTest, TranslatesWithTheCodingsOfTheContract) {
  platform.Ansi = 1252;
  TdllZTA service(platform, {u"\u00e9", u"en", u"de"});
  EXPECT_EQ(platform.LoadedLibraries, 1);
  // The text goes in UTF-8 and the result comes back as UTF-8; the codes go
  // in the ANSI code page.
  EXPECT_EQ(service.Translate(u"gr\u00fc\u00df \u20ac"), u"[en>de] gr\u00fc\u00df \u20ac");
  ASSERT_EQ(zta_double::Calls().size(), 1u);
  EXPECT_EQ(zta_double::Calls()[0].Text, "\xE9|en|de|gr\xC3\xBC\xC3\x9F \xE2\x82\xAC");
  EXPECT_EQ(zta_double::Calls()[0].MaxSize, 1024u);
  service.Destroy();
  EXPECT_EQ(platform.LoadedLibraries, 0);
}

TEST_F(ServiceTest, AnEmptyTextIsPassedAsAnEmptyString) {
  TdllZTA service(platform, enDe);
  EXPECT_EQ(Translate(service, u""), u"[en>de] ");
  EXPECT_EQ(zta_double::Calls()[0].Text, "en|en|de|");
}

TEST_F(ServiceTest, TheBufferDoublesUntilTheResultFits) {
  TdllZTA service(platform, enDe);
  EXPECT_EQ(Translate(service, u"@size 1023").size(), 1023u);
  EXPECT_EQ(MaxSizesOf("ztaTranslate"), (std::vector<std::uint32_t>{1024}));
  zta_double::Reset();
  Text big = Translate(service, u"@size 3000");
  EXPECT_EQ(big.size(), 3000u);
  EXPECT_EQ(big.substr(0, 3), u"abc");
  EXPECT_EQ(MaxSizesOf("ztaTranslate"), (std::vector<std::uint32_t>{1024, 2048, 4096}));
  zta_double::Reset();
  EXPECT_EQ(Translate(service, u"@busy 5"), u"busy done");
  EXPECT_EQ(MaxSizesOf("ztaTranslate"),
            (std::vector<std::uint32_t>{1024, 2048, 4096, 8192, 16384, 32768}));
}

TEST_F(ServiceTest, ALibraryThatAlwaysReportsTooSmallFailsWithItsOwnText) {
  TdllZTA service(platform, enDe);
  const Text error = ErrorOf([&] { Translate(service, u"@fail 1 buffer too small"); });
  std::vector<std::uint32_t> sizes = MaxSizesOf("ztaTranslate");
#if SIZE_MAX > UINT32_MAX
  // 1024 up to 2^31, never wrapping around to 0; then the library's text.
  EXPECT_EQ(error,
            u"Can't get translation of text \"@fail 1 buffer too small\" because of "
            u"\"buffer too small\"");
  ASSERT_EQ(sizes.size(), 22u);
  EXPECT_EQ(sizes.back(), 2147483648u);
#else
  // A 32-bit process runs out of address space on the way: the buffer
  // that cannot be allocated ends the loop before 2^31.
  EXPECT_EQ(error, u"Out of memory");
  ASSERT_GE(sizes.size(), 11u);
  ASSERT_LE(sizes.size(), 22u);
  for (std::size_t i = 1; i < sizes.size(); ++i) EXPECT_EQ(sizes[i], 2 * sizes[i - 1]);
#endif
  EXPECT_EQ(sizes.front(), 1024u);
}

TEST_F(ServiceTest, AResultIsNeverReadPastTheBuffer) {
  TdllZTA service(platform, enDe);
  EXPECT_EQ(Translate(service, u"@nonul"), Text(1024, u'x'));
}

TEST_F(ServiceTest, BooleansAreReadFromTheLowByteOnly) {
  TdllZTA service(platform, enDe);
  EXPECT_EQ(ErrorOf([&] { Translate(service, u"@falselow"); }),
            u"Can't get translation of text \"@falselow\" because of \"low byte false\"");
  EXPECT_EQ(Translate(service, u"@truehigh"), u"high bits true");
}

TEST_F(ServiceTest, FailuresCarryTheLibrarysErrorText) {
  TdllZTA service(platform, enDe);
  EXPECT_EQ(
      ErrorOf([&] { Translate(service, u"@fail 7 short message"); }),
      u"Can't get translation of text \"@fail 7 short message\" because of \"short message\"");
  EXPECT_EQ(MaxSizesOf("ztaErrorText"), (std::vector<std::uint32_t>{1024}));
  // Error texts grow their buffer like any other result.
  zta_double::Reset();
  Text message = ErrorOf([&] { Translate(service, u"@bigerror"); });
  EXPECT_NE(message.find(u" big error\""), Text::npos);
  EXPECT_EQ(MaxSizesOf("ztaErrorText"), (std::vector<std::uint32_t>{1024, 2048, 4096}));
  EXPECT_EQ(service.ErrorText(8).size(), 3000u);
}

TEST_F(ServiceTest, AnErrorTextThatCannotBeFetchedRecursesOneLevel) {
  TdllZTA service(platform, enDe);
  // 7 fails; the text of 7 fails with 9; the text of 9 fails with 11.
  EXPECT_EQ(ErrorOf([&] { Translate(service, u"@errchain"); }),
            u"Can't get error text because of error code = 11");
  // The text of an unknown code fails with 13, whose text the double has
  // not either: the inner call's code is what the caller sees.
  EXPECT_EQ(ErrorOf([&] { service.ErrorText(99); }),
            u"Can't get error text because of error code = 13");
  // With a known text for the second code, the outer message carries it.
  zta_double::Reset();
  ErrorOf([&] { Translate(service, u"@fail 13 thirteen"); });
  EXPECT_EQ(ErrorOf([&] { service.ErrorText(99); }),
            u"Can't get error text because of \"thirteen\"");
  // And afterwards the object is not stuck inside an ErrorText call.
  EXPECT_EQ(service.ErrorText(13), u"thirteen");
}

TEST_F(ServiceTest, ABatchGivesEveryLineWhatLineByLineTranslationGives) {
  struct Row {
    std::vector<Text> lines;
    std::vector<std::uint32_t> batchSizes;  // aMaxSize of each batch call
    bool eachLineAlone;                     // the batch failed, every line was called alone
  };
  const Row rows[] = {
      // Failing lines get their own messages; the others their translations.
      {{u"a", u"@fail 7 short message", u"gr\u00fc\u00df", u"", u"@fail 3"}, {1024}, false},
      // The records grow the buffer; so does a library that keeps saying so.
      {{u"@size 3000", u"b"}, {1024, 2048, 4096}, false},
      {{u"c", u"@batchbusy 2"}, {1024, 2048, 4096}, false},
      {{u"@busy 3", u"@nonul"}, {1024, 2048}, false},
      // A batch that fails as a whole, or whose records are not readable,
      // or for one of whose lines the library has no error text.
      {{u"d", u"@batchfail 9 whole batch", u"e"}, {1024}, true},
      {{u"@batchnonul"}, {1024}, true},
      {{u"@errchain", u"g"}, {1024}, true},
  };
  for (const Row& row : rows) {
    const std::vector<Text> alone = TranslateLines(false, row.lines);
    EXPECT_TRUE(MaxSizesOf("ztaTranslateBatch").empty());
    EXPECT_EQ(TranslateLines(true, row.lines), alone) << U8(row.lines[0]);
    EXPECT_EQ(MaxSizesOf("ztaTranslateBatch"), row.batchSizes) << U8(row.lines[0]);
    EXPECT_EQ(MaxSizesOf("ztaTranslate").empty(), !row.eachLineAlone) << U8(row.lines[0]);
  }
  EXPECT_EQ(TranslateLines(true, rows[0].lines),
            (std::vector<Text>{
                u"[en>de] a",
                u"Can't get translation of text \"@fail 7 short message\" because of \"short "
                u"message\"",
                u"[en>de] gr\u00fc\u00df", u"[en>de] ",
                u"Can't get translation of text \"@fail 3\" because of \"failure 3\""}));
  // Batch commands are plain text to a line translated alone.
  EXPECT_EQ(TranslateLines(true, rows[4].lines)[1], u"[en>de] @batchfail 9 whole batch");
  EXPECT_TRUE(TranslateLines(true, {}).empty());
  EXPECT_TRUE(zta_double::Calls().empty());
}

TEST_F(ServiceTest, TranslateAndGetErrorClearsBothOutputs) {
  TTestService service(platform, enDe);
  Text translation = u"old", error = u"old";
  EXPECT_FALSE(service.TranslateAndGetError(u"@fail 7 bad", translation, error));
  EXPECT_EQ(translation, u"");
  EXPECT_EQ(error, u"Can't get translation of text \"@fail 7 bad\" because of \"bad\"");
  EXPECT_TRUE(service.TranslateAndGetError(u"x", translation, error));
  EXPECT_EQ(translation, u"[en>de] x");
  EXPECT_EQ(error, u"");
}

TEST_F(ServiceTest, LanguageListSplitsTheResultIntoLines) {
  TdllZTA service(platform, {u"de", u"", u""});
  std::unique_ptr<TStringList> list = service.LanguageList();
  EXPECT_EQ(list->Lines(), (std::vector<Text>{u"en English", u"de German", u"fr French"}));
  EXPECT_EQ(zta_double::Calls()[0].Text, "de");
  TdllZTA failing(platform, {u"@fail 3 no list", u"", u""});
  EXPECT_EQ(ErrorOf([&] { failing.LanguageList(); }),
            u"Can't get list of known languges because of \"no list\"");
}

TEST_F(ServiceTest, PostTextConvertsBothWays) {
  platform.Ansi = 1252;
  TTestService service(platform, enDe);
  EXPECT_EQ(service.ToPOSTText(u"a b\u00e4&"), u"a+b%C3%A4%26");
  EXPECT_EQ(service.FromPOSTText(u"a+b%C3%A4%26"), u"a b\u00e4&");
  EXPECT_EQ(ErrorOf([&] { service.ToPOSTText(u"@fail 4 nope"); }),
            u"Can't get POST Text of text \"@fail 4 nope\" because of \"nope\"");
  EXPECT_EQ(ErrorOf([&] { service.FromPOSTText(u"@fail 4 nope"); }),
            u"Can't get Text of POST text \"@fail 4 nope\" because of \"nope\"");
}

TEST_F(ServiceTest, AMissingLibraryLeavesNoHandleOpen) {
  platform.LibraryPresent = false;
  EXPECT_EQ(ErrorOf([this] { TdllZTA service(platform, enDe); }),
            u"Can't load libjxZTAccess.so because of \"The specified module could not be found\"");
  EXPECT_EQ(platform.LoadedLibraries, 0);
}

TEST_F(ServiceTest, AMissingEntryPointUnloadsTheLibraryAndStopsBinding) {
  platform.Symbols.erase("ztaFromPostText");
  EXPECT_EQ(ErrorOf([this] { TdllZTA service(platform, enDe); }),
            u"Can't find ztaFromPostText in libjxZTAccess.so because of \"The specified procedure "
            u"could not be found\"");
  EXPECT_EQ(platform.LoadedLibraries, 0);
  // The entry points are bound in order, and the first missing one is named.
  platform.Symbols = TestDoubleSymbols();
  platform.Symbols.erase("ztaErrorText");
  platform.Symbols.erase("ztaTranslate");
  EXPECT_EQ(ErrorOf([this] { TdllZTA service(platform, enDe); }),
            u"Can't find ztaErrorText in libjxZTAccess.so because of \"The specified procedure "
            u"could not be found\"");
}

TEST_F(ServiceTest, AFailedUnloadIsRaisedAndReplacesAConstructionFailure) {
  {
    TdllZTA service(platform, enDe);
    platform.FreeFails = true;
    EXPECT_EQ(ErrorOf([&] { service.Destroy(); }),
              u"Can't unload libjxZTAccess.so because of \"Unloading failed\"");
    // Destroying the object afterwards does not try again.
  }
  platform.Symbols.erase("ztaTranslate");
  EXPECT_EQ(ErrorOf([this] { TdllZTA service(platform, enDe); }),
            u"Can't unload libjxZTAccess.so because of \"Unloading failed\"");
}

}  // namespace
}  // namespace xlate
