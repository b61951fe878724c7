// Reading APY's JSON answers, well-formed and not.
#include <gtest/gtest.h>

#include "server/ApyAnswers.h"

namespace zta {
namespace {

TEST(ApyAnswers, ReadsTheTranslationWithItsEscapes) {
  std::string problem;
  std::optional<std::string> text = readTranslationAnswer(
      R"({"responseData": {"translatedText": "La casa es grande y mi amigo lee un libro."},)"
      R"( "responseDetails": null, "responseStatus": 200})",
      &problem);
  ASSERT_TRUE(text) << problem;
  EXPECT_EQ(*text, "La casa es grande y mi amigo lee un libro.");
  // JSON escapes as APY writes them: \/, \t, \", \\ and \u with a surrogate pair.
  text = readTranslationAnswer(
      R"({"responseData": {"translatedText": "<\/b>\t\"x\\y\" ni\u00f1o \ud83d\ude00"}})",
      &problem);
  ASSERT_TRUE(text) << problem;
  EXPECT_EQ(*text, "</b>\t\"x\\y\" ni\xC3\xB1o \xF0\x9F\x98\x80");
  text = readTranslationAnswer(R"({"responseData": {"translatedText": ""}, "responseStatus": 200})",
                               &problem);
  ASSERT_TRUE(text) << problem;
  EXPECT_EQ(*text, "");
}

TEST(ApyAnswers, SaysWhatIsWrongWithAMalformedTranslationAnswer) {
  const struct {
    const char* body;
    const char* problem;
  } cases[] = {
      {"", "not JSON"},
      {"<html><title>502 Bad Gateway</title></html>", "not JSON"},
      {R"({"responseData": {"translatedText": "La casa)", "not JSON"},  // cut short
      {R"({"responseData": {"translatedText": "a"}} trailing)", "not JSON"},
      {"\"La casa\"", "not a JSON object"},
      {R"([{"translatedText": "a"}])", "not a JSON object"},
      {R"({"responseStatus": 200})", "no responseData object"},
      {R"({"responseData": "La casa"})", "no responseData object"},
      {R"({"responseData": {"text": "La casa"}})", "no translatedText"},
      {R"({"responseData": {"translatedText": null}})", "no translatedText"},
      {R"({"responseData": {"translatedText": 5}})", "no translatedText"},
      {R"({"responseData": {"translatedText": "a"}, "responseStatus": "200"})",
       "responseStatus is not a number"},
      {R"({"responseData": null, "responseDetails": "pipeline gone", "responseStatus": 500})",
       "responseStatus is 500: pipeline gone"},
      {"{\"responseData\": {\"translatedText\": \"bad \xC3 byte\"}}", "not JSON"},
  };
  for (const auto& malformed : cases) {
    std::string problem;
    EXPECT_FALSE(readTranslationAnswer(malformed.body, &problem)) << malformed.body;
    EXPECT_NE(problem.find(malformed.problem), std::string::npos)
        << malformed.body << " gave: " << problem;
  }
}

TEST(ApyAnswers, ReadsThePairListAsModeNames) {
  std::string problem;
  std::optional<std::vector<std::string>> pairs =
      readPairListAnswer(R"({"responseData": [{"sourceLanguage": "spa", "targetLanguage": "eng"},)"
                         R"( {"sourceLanguage": "spa", "targetLanguage": "eng_US"},)"
                         R"( {"sourceLanguage": "eng", "targetLanguage": "spa"}],)"
                         R"( "responseDetails": null, "responseStatus": 200})",
                         &problem);
  ASSERT_TRUE(pairs) << problem;
  EXPECT_EQ(*pairs, (std::vector<std::string>{"spa-eng", "spa-eng_US", "eng-spa"}));
  pairs = readPairListAnswer(R"({"responseData": []})", &problem);
  ASSERT_TRUE(pairs) << problem;
  EXPECT_TRUE(pairs->empty());
}

TEST(ApyAnswers, RefusesAMalformedPairList) {
  const struct {
    const char* body;
    const char* problem;
  } cases[] = {
      {"not json", "not JSON"},
      {R"({"responseData": {"sourceLanguage": "eng", "targetLanguage": "spa"}})",
       "no responseData list"},
      {R"({"responseData": [{"sourceLanguage": "eng"}]})", "lacks"},
      {R"({"responseData": [{"sourceLanguage": "eng", "targetLanguage": 7}]})", "lacks"},
      {R"({"responseData": ["eng-spa"]})", "lacks"},
      {R"({"responseData": [], "responseStatus": 503})", "responseStatus is 503"},
  };
  for (const auto& malformed : cases) {
    std::string problem;
    EXPECT_FALSE(readPairListAnswer(malformed.body, &problem)) << malformed.body;
    EXPECT_NE(problem.find(malformed.problem), std::string::npos)
        << malformed.body << " gave: " << problem;
  }
}

TEST(ApyAnswers, ReadsWhatAnErrorAnswerSays) {
  EXPECT_EQ(readErrorAnswer(R"({"status": "error", "code": 400, "message": "Bad Request",)"
                            R"( "explanation": "That pair is not installed"})"),
            "Bad Request: That pair is not installed");
  EXPECT_EQ(readErrorAnswer(R"({"code": 503, "explanation": "internal error"})"), "internal error");
  EXPECT_EQ(readErrorAnswer(R"({"message": "Bad Request", "explanation": ""})"), "Bad Request");
  EXPECT_EQ(readErrorAnswer("<html><title>404: Not Found</title></html>"), "");
  EXPECT_EQ(readErrorAnswer(R"({"message": 404})"), "");
  EXPECT_EQ(readErrorAnswer(R"(["Bad Request"])"), "");
}

}  // namespace
}  // namespace zta
