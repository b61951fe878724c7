// Language codes and the catalog of installed pairs.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "engine/PairCatalog.h"
#include "text/LanguageCodes.h"

namespace zta {
namespace {

TEST(ParseLanguageCode, TakesTwoAndThreeLetterCodesInAnyCase) {
  EXPECT_EQ(parseLanguageCode("en"), (Language{"eng", ""}));
  EXPECT_EQ(parseLanguageCode("eng"), (Language{"eng", ""}));
  EXPECT_EQ(parseLanguageCode("ES"), (Language{"spa", ""}));
  EXPECT_EQ(parseLanguageCode(" spa "), (Language{"spa", ""}));
  EXPECT_EQ(parseLanguageCode("xyz"), (Language{"xyz", ""}));  // a pair may use any code
}

TEST(ParseLanguageCode, KeepsAVariant) {
  EXPECT_EQ(parseLanguageCode("en_US"), (Language{"eng", "US"}));
  EXPECT_EQ(parseLanguageCode("eng-US"), (Language{"eng", "US"}));
}

TEST(ParseLanguageCode, RejectsWhatIsNotALanguageCode) {
  for (const char* bad : {"", "e", "engl", "e1", "en_", "en_U S", "qq", "12"}) {
    EXPECT_FALSE(parseLanguageCode(bad)) << bad;
  }
}

TEST(DisplayCode, PrefersTheTwoLetterCode) {
  EXPECT_EQ(displayCode({"eng", ""}), "en");
  EXPECT_EQ(displayCode({"spa", ""}), "es");
  EXPECT_EQ(displayCode({"eng", "US"}), "en_US");
  EXPECT_EQ(displayCode({"ast", ""}), "ast");  // Asturian has no two-letter code
  EXPECT_EQ(displayCode({"xyz", ""}), "xyz");
  EXPECT_EQ(languageName({"spa", ""}), "Spanish");
  EXPECT_EQ(languageName({"xyz", ""}), "");
}

class PairCatalogTest : public ::testing::Test {
 protected:
  PairCatalog catalog_ = PairCatalog::fromModeNames(
      {"spa-eng_US", "eng-spa", "spa-eng", "eng-spa-tagger", "README", "cat-spa"});
};

TEST_F(PairCatalogTest, KeepsOnlySourceTargetNames) {
  ASSERT_EQ(catalog_.pairs().size(), 4u);
  EXPECT_EQ(catalog_.installedPairsText(), "ca-es, en-es, es-en, es-en_US");
}

TEST_F(PairCatalogTest, FindsPairsAndPrefersThePlainOneToAVariant) {
  const LanguagePair* pair = catalog_.find({"eng", ""}, {"spa", ""});
  ASSERT_NE(pair, nullptr);
  EXPECT_EQ(pair->modeName, "eng-spa");
  pair = catalog_.find({"spa", ""}, {"eng", ""});
  ASSERT_NE(pair, nullptr);
  EXPECT_EQ(pair->modeName, "spa-eng");
  pair = catalog_.find({"spa", ""}, {"eng", "us"});
  ASSERT_NE(pair, nullptr);
  EXPECT_EQ(pair->modeName, "spa-eng_US");
  EXPECT_EQ(catalog_.find({"eng", ""}, {"deu", ""}), nullptr);
  EXPECT_EQ(catalog_.find({"spa", ""}, {"cat", ""}), nullptr);  // only cat-spa is there
  EXPECT_EQ(catalog_.find({"eng", "GB"}, {"spa", ""}), nullptr);
}

TEST(PairCatalog, TakesAVariantPairWhenNoPlainOneIsInstalled) {
  const PairCatalog catalog = PairCatalog::fromModeNames({"por-spa", "spa-por_BR"});
  const LanguagePair* pair = catalog.find({"spa", ""}, {"por", ""});
  ASSERT_NE(pair, nullptr);
  EXPECT_EQ(pair->modeName, "spa-por_BR");
}

TEST(PairCatalog, PicksThePivotByItsRule) {
  const PairCatalog catalog = PairCatalog::fromModeNames(
      {"eng-spa", "spa-por", "eng-cat", "cat-por", "eng-epo", "epo-ita", "eng-glg", "glg-ita",
       "cat-ita", "ita-cat", "eng-fra", "fra-oci_aran", "eng-ron", "ron-oci"});
  const struct {
    Language source, target;
    std::optional<Language> pivot;
    const char* first;  // empty: no route
    const char* second;
  } cases[] = {
      {{"eng", ""}, {"por", ""}, std::nullopt, "eng-spa", "spa-por"},  // Spanish before Catalan
      {{"eng", ""}, {"por", ""}, Language{"cat", ""}, "eng-cat", "cat-por"},
      {{"eng", ""}, {"por", ""}, Language{"epo", ""}, "", ""},         // only the one asked for
      {{"eng", ""}, {"ita", ""}, std::nullopt, "eng-cat", "cat-ita"},  // Catalan before others
      {{"eng", ""}, {"oci", ""}, std::nullopt, "eng-ron", "ron-oci"},  // plain before a variant
      {{"eng", ""}, {"oci", "aran"}, std::nullopt, "eng-fra", "fra-oci_aran"},
      {{"por", ""}, {"eng", ""}, std::nullopt, "", ""},
  };
  for (const auto& c : cases) {
    const auto route = catalog.findPivot(c.source, c.target, c.pivot);
    SCOPED_TRACE(c.source.code + "-" + c.target.code + (c.pivot ? " via " + c.pivot->code : ""));
    if (*c.first == '\0') {
      EXPECT_FALSE(route.has_value());
      continue;
    }
    ASSERT_TRUE(route.has_value());
    EXPECT_EQ(route->first.modeName, c.first);
    EXPECT_EQ(route->second.modeName, c.second);
  }
  EXPECT_EQ(debianPairPackage({"cat", ""}, {"eng", ""}), "apertium-eng-cat");
  EXPECT_EQ(debianPairPackage({"spa", ""}, {"por", ""}), "apertium-es-pt");
  EXPECT_EQ(debianPairPackage({"eng", ""}, {"por", ""}), "");
}

TEST_F(PairCatalogTest, ListsEachLanguageOnceByDisplayCode) {
  std::vector<std::string> codes;
  for (const Language& language : catalog_.languages()) codes.push_back(displayCode(language));
  EXPECT_EQ(codes, (std::vector<std::string>{"ca", "en", "es"}));
}

TEST(PairCatalog, ReadsTheModeFilesOfADirectory) {
  test::TempDirectory directory;
  directory.writeFile("eng-spa.mode", "lt-proc x");
  directory.writeFile("spa-eng.mode", "lt-proc y");
  directory.writeFile("notes.txt", "");
  const PairCatalog catalog = PairCatalog::fromModesDirectory(directory.path());
  ASSERT_EQ(catalog.pairs().size(), 2u);
  EXPECT_EQ(catalog.pairs()[0].modePath, directory.path() + "/eng-spa.mode");
  EXPECT_TRUE(PairCatalog::fromModesDirectory(directory.path() + "/missing").pairs().empty());
  EXPECT_EQ(PairCatalog::fromModeNames({}).installedPairsText(), "none");
}

}  // namespace
}  // namespace zta
