#include "local/ChainStages.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <vector>

#include "local/Pipeline.h"

namespace zta {
namespace {

bool isWordBlankStage(const std::vector<std::string>& stage) {
  const std::string& program = stage.front();
  const std::string name = program.substr(program.find_last_of('/') + 1);
  return stage.size() == 1 &&
         (name == "apertium-wblank-attach" || name == "apertium-wblank-detach");
}

}  // namespace

bool nullFlushStagesFromScript(const std::string& script, bool markUnknownWords,
                               StageList* stages) {
  const std::string generatorOption = markUnknownWords ? "-g" : "-n";
  std::optional<StageList> parsed = parseModeScript(script, {generatorOption, ""});
  if (!parsed) {
    *stages = {{"/bin/sh", "-c", script, "sh", generatorOption, ""}};
    return true;
  }
  parsed->erase(std::remove_if(parsed->begin(), parsed->end(), isWordBlankStage), parsed->end());
  if (parsed->empty()) return false;
  *stages = std::move(*parsed);
  return true;
}

bool apertiumNullFlushStages(const LanguagePair& pair, const LocalSettings& settings,
                             StageList* stages, std::string* error) {
  std::string script;
  std::string why;
  if (!runForOutput({"apertium-wblank-mode", "-z", pair.modePath}, std::chrono::seconds(10),
                    &script, &why)) {
    *error = "cannot read the mode " + pair.modeName + ": " + why;
    return false;
  }
  while (!script.empty() && (script.back() == '\n' || script.back() == '\r')) script.pop_back();
  if (script.empty() || !nullFlushStagesFromScript(script, settings.markUnknownWords, stages)) {
    *error = "the mode " + pair.modeName + " holds no pipeline";
    return false;
  }
  return true;
}

}  // namespace zta
