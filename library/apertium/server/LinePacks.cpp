#include "server/LinePacks.h"

namespace zta {
namespace {

constexpr std::string_view kLineStart = "<p id=\"line";
constexpr std::string_view kLineEnd = "</p>";
constexpr std::string_view kStop = "\n<p>.</p>\n";

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// No markup but the placeholders "<zN>" when they are allowed, and no entity.
bool onlyPlaceholders(std::string_view text, bool placeholders) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '&' || c == '>') return false;
    if (c != '<') continue;
    if (!placeholders || i + 1 >= text.size() || text[i + 1] != 'z') return false;
    std::size_t end = i + 2;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    if (end == i + 2 || end >= text.size() || text[end] != '>') return false;
    i = end;
  }
  return true;
}

std::string opening(std::size_t number) {
  return std::string(kLineStart) + std::to_string(number) + "\">";
}

}  // namespace

bool canPack(std::string_view piece, bool placeholders) {
  if (piece.empty() || piece.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
    return false;
  }
  return onlyPlaceholders(piece, placeholders);
}

std::size_t packedSize(std::string_view piece, std::size_t number) {
  return opening(number).size() + piece.size() + kLineEnd.size() + kStop.size();
}

std::string packLines(const std::vector<std::string_view>& pieces) {
  std::string packed;
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    packed += opening(k);
    packed += pieces[k];
    packed += kLineEnd;
    packed += kStop;
  }
  return packed;
}

std::optional<std::vector<std::string>> unpackLines(std::string_view answer, std::size_t count,
                                                    bool placeholders) {
  std::size_t pos = 0;
  // Takes token after the blanks at pos, or says that it is not there.
  const auto take = [&](std::string_view token) {
    while (pos < answer.size() && isBlank(answer[pos])) ++pos;
    if (answer.substr(pos, token.size()) != token) return false;
    pos += token.size();
    return true;
  };
  std::vector<std::string> lines;
  for (std::size_t k = 0; k < count; ++k) {
    if (!take(opening(k))) return std::nullopt;
    const std::size_t end = answer.find(kLineEnd, pos);
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view line = answer.substr(pos, end - pos);
    // A "<p" inside would be the next line's block run into this one.
    if (!onlyPlaceholders(line, placeholders)) return std::nullopt;
    lines.emplace_back(line);
    pos = end + kLineEnd.size();
    if (!take("<p>") || !take(".") || !take(kLineEnd)) return std::nullopt;
  }
  while (pos < answer.size() && isBlank(answer[pos])) ++pos;
  if (pos != answer.size()) return std::nullopt;
  return lines;
}

}  // namespace zta
