// Reading the JSON answers of an Apertium APY server:
//
//   POST /translate  {"responseData": {"translatedText": "..."},
//                     "responseDetails": null, "responseStatus": 200}
//   GET /listPairs   {"responseData": [{"sourceLanguage": "eng",
//                     "targetLanguage": "spa"}, ...], "responseStatus": 200}
//   an error         {"status": "error", "code": 400, "message": "Bad Request",
//                     "explanation": "That pair is not installed"}
//
// Each reader checks the whole shape it relies on; anything else is
// "not the expected answer", with a short description of what is wrong.
#ifndef XLATE_LIBRARY_APERTIUM_APY_ANSWERS_H
#define XLATE_LIBRARY_APERTIUM_APY_ANSWERS_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zta {

// The translatedText of a /translate answer, or nothing with *problem set
// (also when it holds a NUL character).
std::optional<std::string> readTranslationAnswer(std::string_view body, std::string* problem);

// The pairs of a /listPairs answer as mode names ("eng-spa", "spa-eng_US"),
// or nothing with *problem set.
std::optional<std::vector<std::string>> readPairListAnswer(std::string_view body,
                                                           std::string* problem);

// What an error answer says: "Bad Request: That pair is not installed", or
// only one of the two where the other is missing; empty when the body is not
// an error answer of that form.
std::string readErrorAnswer(std::string_view body);

}  // namespace zta

#endif
