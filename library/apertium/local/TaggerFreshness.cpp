#include "local/TaggerFreshness.h"

namespace zta {
namespace {

constexpr std::string_view kNewClassNote = "Error: A new ambiguity class was found.";
constexpr std::string_view kClassLine = "\nNew ambiguity class: ";

}  // namespace

bool isHmmTagger(const std::vector<std::string>& stage) {
  if (stage.empty()) return false;
  const std::string& program = stage.front();
  if (program.substr(program.find_last_of('/') + 1) != "apertium-tagger") return false;
  bool tags = false;
  for (std::size_t i = 1; i < stage.size(); ++i) {
    const std::string& arg = stage[i];
    if (arg == "-g" || arg == "--tagger") tags = true;
    if (arg == "-d" || arg == "--debug") return false;  // its notes are its own already
    if (arg.size() < 2 || arg[0] != '-' || arg == "-z" || arg == "--null-flush" || arg == "-g" ||
        arg == "--tagger" || arg == "-f" || arg == "--first" || arg == "-m" || arg == "--mark" ||
        arg == "-p" || arg == "--show-superficial") {
      continue;
    }
    return false;  // another kind of tagger, or options whose output is not known here
  }
  return tags;
}

std::vector<std::string> takeNewClassNotes(std::string& said) {
  std::vector<std::string> classes;
  std::size_t at = 0;
  while ((at = said.find(kNewClassNote, at)) != std::string::npos) {
    const std::size_t classLine = said.find(kClassLine, at);
    const std::size_t end =
        classLine == std::string::npos ? std::string::npos : said.find('\n', classLine + 1);
    classes.push_back(classLine == std::string::npos
                          ? std::string(kSeveralClasses)
                          : said.substr(classLine + kClassLine.size(),
                                        end == std::string::npos
                                            ? std::string::npos
                                            : end - classLine - kClassLine.size()));
    said.erase(at, end == std::string::npos ? std::string::npos : end + 1 - at);
  }
  return classes;
}

}  // namespace zta
