#include "text/TextPieces.h"

namespace zta {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool endsWith(std::string_view text, std::size_t end, std::string_view tail) {
  return end >= tail.size() && text.substr(end - tail.size(), tail.size()) == tail;
}

// True when text[0, end) ends a sentence: ".", "!", "?" or an ellipsis,
// perhaps followed by a few closing quotes or brackets.
bool endsSentence(std::string_view text, std::size_t end) {
  static constexpr std::string_view kEllipsis = "\xE2\x80\xA6";
  static constexpr std::string_view kMultiByteClosers[] = {"\xE2\x80\x9D", "\xE2\x80\x99",
                                                           "\xC2\xBB"};  // ” ’ »
  for (int closers = 0; closers <= 3 && end > 0; ++closers) {
    const char last = text[end - 1];
    if (last == '.' || last == '!' || last == '?' || endsWith(text, end, kEllipsis)) return true;
    if (last == '"' || last == '\'' || last == ')' || last == ']') {
      --end;
      continue;
    }
    bool skipped = false;
    for (std::string_view closer : kMultiByteClosers) {
      if (endsWith(text, end, closer)) {
        end -= closer.size();
        skipped = true;
        break;
      }
    }
    if (!skipped) return false;
  }
  return false;
}

// Where the first piece of rest (longer than maxBytes, starting with no
// blank) ends: a sentence end in the last three quarters of the window, else
// the last word end in it, else the last UTF-8 character boundary.
std::size_t pieceEnd(std::string_view rest, std::size_t maxBytes) {
  std::size_t sentenceEnd = 0;
  std::size_t wordEnd = 0;
  for (std::size_t at = 1; at <= maxBytes; ++at) {
    if (isBlank(rest[at]) && !isBlank(rest[at - 1])) {
      wordEnd = at;
      if (endsSentence(rest, at)) sentenceEnd = at;
    }
  }
  if (sentenceEnd > 0 && sentenceEnd >= maxBytes / 4) return sentenceEnd;
  if (wordEnd > 0) return wordEnd;
  std::size_t cut = maxBytes;
  while (cut > 0 && (static_cast<unsigned char>(rest[cut]) & 0xC0) == 0x80) --cut;
  return cut > 0 ? cut : maxBytes;
}

}  // namespace

std::vector<TextSegment> splitIntoPieces(std::string_view text, std::size_t maxPieceBytes) {
  if (maxPieceBytes < 4) maxPieceBytes = 4;  // room for any UTF-8 character
  std::vector<TextSegment> segments;
  std::size_t lead = 0;
  while (lead < text.size() && isBlank(text[lead])) ++lead;
  if (lead == text.size()) {
    if (!text.empty()) segments.push_back({text, true});
    return segments;
  }
  std::size_t trail = 0;
  while (isBlank(text[text.size() - 1 - trail])) ++trail;
  if (lead > 0) segments.push_back({text.substr(0, lead), true});

  std::string_view rest = text.substr(lead, text.size() - lead - trail);
  while (rest.size() > maxPieceBytes) {
    const std::size_t end = pieceEnd(rest, maxPieceBytes);
    segments.push_back({rest.substr(0, end), false});
    std::size_t next = end;
    while (next < rest.size() && isBlank(rest[next])) ++next;
    if (next > end) segments.push_back({rest.substr(end, next - end), true});
    rest.remove_prefix(next);
  }
  segments.push_back({rest, false});
  if (trail > 0) segments.push_back({text.substr(text.size() - trail), true});
  return segments;
}

}  // namespace zta
