#include "local/ModeScript.h"

#include <cstring>

namespace zta {
namespace {

bool isDigit(char c) { return c >= '1' && c <= '9'; }

// Characters that mean more than a plain word to sh when unquoted.
bool isShellSpecial(char c) { return std::strchr(";&<>()`*?[]{}!", c) != nullptr; }

// Characters that are special only at the start of a word.
bool isSpecialAtWordStart(char c) { return c == '~' || c == '#'; }

class ScriptReader {
 public:
  ScriptReader(std::string_view script, const std::vector<std::string>& positional)
      : script_(script), positional_(positional) {}

  std::optional<StageList> read() {
    StageList stages(1);
    while (pos_ < script_.size()) {
      const char c = script_[pos_];
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
        endWord(stages.back());
        ++pos_;
      } else if (c == '|') {
        endWord(stages.back());
        if (stages.back().empty()) return std::nullopt;
        stages.emplace_back();
        ++pos_;
      } else if (c == '\'') {
        const std::size_t end = script_.find('\'', pos_ + 1);
        if (end == std::string_view::npos) return std::nullopt;
        word_.append(script_.substr(pos_ + 1, end - pos_ - 1));
        inWord_ = true;
        pos_ = end + 1;
      } else if (c == '"') {
        if (!readDoubleQuoted()) return std::nullopt;
      } else if (c == '\\') {
        if (pos_ + 1 >= script_.size()) return std::nullopt;
        if (script_[pos_ + 1] != '\n') {
          word_.push_back(script_[pos_ + 1]);
          inWord_ = true;
        }
        pos_ += 2;
      } else if (c == '$') {
        if (pos_ + 1 >= script_.size() || !isDigit(script_[pos_ + 1])) return std::nullopt;
        const std::string& value = parameter(script_[pos_ + 1]);
        word_ += value;
        if (!value.empty()) inWord_ = true;
        pos_ += 2;
      } else if (isShellSpecial(c) || (!inWord_ && isSpecialAtWordStart(c)) ||
                 (c == '=' && stages.back().empty())) {
        return std::nullopt;  // sh syntax this reader does not follow (= makes an assignment)
      } else {
        word_.push_back(c);
        inWord_ = true;
        ++pos_;
      }
    }
    endWord(stages.back());
    if (stages.back().empty()) return std::nullopt;
    return stages;
  }

 private:
  bool readDoubleQuoted() {
    ++pos_;
    inWord_ = true;  // "" is an empty word
    while (pos_ < script_.size() && script_[pos_] != '"') {
      const char c = script_[pos_];
      if (c == '\\' && pos_ + 1 < script_.size() && std::strchr("$`\"\\", script_[pos_ + 1])) {
        word_.push_back(script_[pos_ + 1]);
        pos_ += 2;
      } else if (c == '$') {
        if (pos_ + 1 >= script_.size() || !isDigit(script_[pos_ + 1])) return false;
        word_ += parameter(script_[pos_ + 1]);
        pos_ += 2;
      } else if (c == '`') {
        return false;
      } else {
        word_.push_back(c);
        ++pos_;
      }
    }
    if (pos_ >= script_.size()) return false;
    ++pos_;
    return true;
  }

  const std::string& parameter(char digit) const {
    static const std::string kEmpty;
    const std::size_t index = static_cast<std::size_t>(digit - '1');
    return index < positional_.size() ? positional_[index] : kEmpty;
  }

  void endWord(std::vector<std::string>& stage) {
    if (inWord_) stage.push_back(word_);
    word_.clear();
    inWord_ = false;
  }

  std::string_view script_;
  const std::vector<std::string>& positional_;
  std::size_t pos_ = 0;
  std::string word_;
  bool inWord_ = false;
};

}  // namespace

std::optional<StageList> parseModeScript(std::string_view script,
                                         const std::vector<std::string>& positional) {
  return ScriptReader(script, positional).read();
}

}  // namespace zta
