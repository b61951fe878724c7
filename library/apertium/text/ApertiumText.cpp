#include "text/ApertiumText.h"

#include <cstring>

namespace zta {
namespace {

bool isMarkupCharacter(char c) { return c != '\0' && std::strchr("$/<>@[\\]^{}", c) != nullptr; }

bool isBlankCharacter(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '~';
}

// True when the character at index pos is preceded by an odd number of
// backslashes, i.e. is itself escaped.
bool isEscapedAt(std::string_view stream, std::size_t pos) {
  std::size_t backslashes = 0;
  while (pos > backslashes && stream[pos - backslashes - 1] == '\\') ++backslashes;
  return backslashes % 2 == 1;
}

// The length of the placeholder "<zN>" at text[at], or 0 when none is there.
std::size_t placeholderAt(std::string_view text, std::size_t at) {
  if (text.substr(at, 2) != "<z") return 0;
  std::size_t end = at + 2;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  return end > at + 2 && end < text.size() && text[end] == '>' ? end + 1 - at : 0;
}

}  // namespace

std::string escapeForApertium(std::string_view text, bool placeholders) {
  std::string out;
  out.reserve(text.size() + text.size() / 8 + 8);
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    const auto placeholderLength = [&](std::size_t at) {
      return placeholders ? placeholderAt(text, at) : 0;
    };
    if (isBlankCharacter(c) || placeholderLength(i) > 0) {
      std::size_t end = i;
      std::string run;
      bool markup = false;
      while (end < text.size()) {
        if (const std::size_t length = placeholderLength(end); length > 0) {
          run.append(text.substr(end, length));
          end += length;
          markup = true;
        } else if (isBlankCharacter(text[end]) || text[end] == '\0') {
          if (text[end] != '\0') run.push_back(text[end]);
          ++end;
        } else {
          break;
        }
      }
      if (run == " " && !markup) {
        out.push_back(' ');
      } else {
        out.push_back('[');
        out += run;
        out.push_back(']');
      }
      i = end;
      continue;
    }
    if (c != '\0') {
      if (isMarkupCharacter(c)) out.push_back('\\');
      out.push_back(c);
    }
    ++i;
  }
  return out;
}

std::string unescapeFromApertium(std::string_view stream) {
  std::string out;
  out.reserve(stream.size());
  for (std::size_t i = 0; i < stream.size(); ++i) {
    const char c = stream[i];
    if (c == '\\' && i + 1 < stream.size()) {
      out.push_back(stream[++i]);
    } else if (c != '[' && c != ']') {
      out.push_back(c);
    }
  }
  return out;
}

std::string frameRequest(std::string_view text, bool placeholders) {
  std::string request = escapeForApertium(text, placeholders);
  request += ".[]";
  request.push_back('\0');
  return request;
}

std::optional<std::string> unframeReply(std::string_view reply) {
  constexpr std::string_view kClosingBlank = "[]";
  if (reply.size() < kClosingBlank.size() ||
      reply.substr(reply.size() - kClosingBlank.size()) != kClosingBlank ||
      isEscapedAt(reply, reply.size() - kClosingBlank.size())) {
    return std::nullopt;
  }
  std::string_view body = reply.substr(0, reply.size() - kClosingBlank.size());
  if (!body.empty() && body.back() == '.' && !isEscapedAt(body, body.size() - 1)) {
    body.remove_suffix(1);
  }
  return unescapeFromApertium(body);
}

bool isBlankText(std::string_view text) {
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  }
  return true;
}

}  // namespace zta
