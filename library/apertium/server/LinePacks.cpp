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

// Plain text's "<", ">" and "&" as entities, and back.
constexpr std::string_view kEntities[][2] = {{"&", "&amp;"}, {"<", "&lt;"}, {">", "&gt;"}};

void appendEscaped(std::string& out, std::string_view text) {
  for (const char c : text) {
    bool escaped = false;
    for (const auto& entity : kEntities) {
      if (c == entity[0][0]) {
        out += entity[1];
        escaped = true;
      }
    }
    if (!escaped) out += c;
  }
}

// Nothing when the text holds markup or another entity.
std::optional<std::string> unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '<' || text[i] == '>') return std::nullopt;
    if (text[i] != '&') {
      out += text[i];
      continue;
    }
    bool known = false;
    for (const auto& entity : kEntities) {
      if (text.substr(i, entity[1].size()) == entity[1]) {
        out += entity[0];
        i += entity[1].size() - 1;
        known = true;
        break;
      }
    }
    if (!known) return std::nullopt;
  }
  return out;
}

std::string opening(std::size_t number) {
  return std::string(kLineStart) + std::to_string(number) + "\">";
}

}  // namespace

bool canPack(std::string_view piece, bool placeholders) {
  if (piece.empty() || piece.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
    return false;
  }
  return !placeholders || onlyPlaceholders(piece, placeholders);
}

std::size_t packedSize(std::string_view piece, std::size_t number, bool placeholders) {
  std::size_t size = piece.size();
  if (!placeholders) {
    for (const char c : piece) size += c == '&' ? 4 : (c == '<' || c == '>') ? 3 : 0;
  }
  return opening(number).size() + size + kLineEnd.size() + kStop.size();
}

std::string packLines(const std::vector<std::string_view>& pieces, bool placeholders) {
  std::string packed;
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    packed += opening(k);
    if (placeholders) {
      packed += pieces[k];
    } else {
      appendEscaped(packed, pieces[k]);
    }
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
    if (placeholders) {
      if (!onlyPlaceholders(line, placeholders)) return std::nullopt;
      lines.emplace_back(line);
    } else {
      std::optional<std::string> text = unescaped(line);
      if (!text) return std::nullopt;
      lines.push_back(std::move(*text));
    }
    pos = end + kLineEnd.size();
    if (!take("<p>") || !take(".") || !take(kLineEnd)) return std::nullopt;
  }
  while (pos < answer.size() && isBlank(answer[pos])) ++pos;
  if (pos != answer.size()) return std::nullopt;
  return lines;
}

}  // namespace zta
