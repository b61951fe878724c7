#include "server/ApyAnswers.h"

#include <nlohmann/json.hpp>

namespace zta {
namespace {

using Json = nlohmann::json;

// The parsed body, or a discarded value when it is not JSON. Never throws.
Json parse(std::string_view body) {
  return Json::parse(body.begin(), body.end(), nullptr, /*allow_exceptions=*/false);
}

// Checks the responseStatus that APY puts into a successful answer.
bool statusIsOk(const Json& answer, std::string* problem) {
  const auto status = answer.find("responseStatus");
  if (status == answer.end()) return true;  // not every server sends it
  if (!status->is_number_integer()) {
    *problem = "responseStatus is not a number";
    return false;
  }
  if (status->get<long long>() != 200) {
    *problem = "responseStatus is " + std::to_string(status->get<long long>());
    const auto details = answer.find("responseDetails");
    if (details != answer.end() && details->is_string()) {
      *problem += ": " + details->get<std::string>();
    }
    return false;
  }
  return true;
}

const Json* member(const Json& object, const char* name) {
  if (!object.is_object()) return nullptr;
  const auto found = object.find(name);
  return found == object.end() ? nullptr : &*found;
}

// Parses an answer that must be a JSON object with a successful status.
bool readAnswer(std::string_view body, Json& answer, std::string* problem) {
  answer = parse(body);
  if (answer.is_discarded()) {
    *problem = "not JSON";
    return false;
  }
  if (!answer.is_object()) {
    *problem = "not a JSON object";
    return false;
  }
  return statusIsOk(answer, problem);
}

}  // namespace

std::optional<std::string> readTranslationAnswer(std::string_view body, std::string* problem) {
  Json answer;
  if (!readAnswer(body, answer, problem)) return std::nullopt;
  const Json* data = member(answer, "responseData");
  if (data == nullptr || !data->is_object()) {
    *problem = "no responseData object";
    return std::nullopt;
  }
  const Json* text = member(*data, "translatedText");
  if (text == nullptr || !text->is_string()) {
    *problem = "no translatedText string in responseData";
    return std::nullopt;
  }
  // A NUL ("\u0000") would end the translation where the caller reads it,
  // cutting it short without a word: the answer is refused instead.
  std::string translation = text->get<std::string>();
  if (translation.find('\0') != std::string::npos) {
    *problem = "translatedText holds a NUL character";
    return std::nullopt;
  }
  return translation;
}

std::optional<std::vector<std::string>> readPairListAnswer(std::string_view body,
                                                           std::string* problem) {
  Json answer;
  if (!readAnswer(body, answer, problem)) return std::nullopt;
  const Json* data = member(answer, "responseData");
  if (data == nullptr || !data->is_array()) {
    *problem = "no responseData list";
    return std::nullopt;
  }
  std::vector<std::string> pairs;
  for (const Json& entry : *data) {
    const Json* source = member(entry, "sourceLanguage");
    const Json* target = member(entry, "targetLanguage");
    if (source == nullptr || target == nullptr || !source->is_string() || !target->is_string()) {
      *problem = "an entry of responseData lacks sourceLanguage or targetLanguage";
      return std::nullopt;
    }
    pairs.push_back(source->get<std::string>() + "-" + target->get<std::string>());
  }
  return pairs;
}

std::string readErrorAnswer(std::string_view body) {
  const Json answer = parse(body);
  if (answer.is_discarded() || !answer.is_object()) return std::string();
  std::string text;
  for (const char* name : {"message", "explanation"}) {
    const Json* part = member(answer, name);
    if (part == nullptr || !part->is_string() || part->get<std::string>().empty()) continue;
    if (!text.empty()) text += ": ";
    text += part->get<std::string>();
  }
  return text;
}

}  // namespace zta
