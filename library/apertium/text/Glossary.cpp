#include "text/Glossary.h"

#include <algorithm>

#include "library/kit/Utf8Check.h"
#include "text/Letters.h"

namespace zta {
namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

// text with its first character made a capital; the same text when it has
// no capital.
std::string withCapital(std::string_view text) {
  std::size_t length = 1;
  const char32_t first = decodeAt(text, 0, &length);
  return encodeUtf8(upperOf(first)) + std::string(text.substr(length));
}

bool isWordAt(std::string_view text, std::size_t at) {
  std::size_t length = 1;
  return isWordCharacter(decodeAt(text, at, &length));
}

}  // namespace

Glossary Glossary::fromText(std::string_view text, std::vector<std::string>* problems) {
  Glossary glossary;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a byte-order mark
  std::map<std::string, std::size_t> seen;                         // each source term and its line
  std::size_t number = 0;
  while (!text.empty()) {
    ++number;
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const std::string_view content = trimmed(line);
    if (content.empty() || content.front() == '#') continue;
    const auto leftOut = [&](const std::string& why) {
      problems->push_back("line " + std::to_string(number) + ": " + why + "; the line is left out");
    };
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) {
      leftOut("no tab between the term and its translation");
      continue;
    }
    if (line.find('\t', tab + 1) != std::string_view::npos &&
        !trimmed(line.substr(line.find('\t', tab + 1))).empty()) {
      leftOut("more than one tab");
      continue;
    }
    const std::string_view source = trimmed(line.substr(0, tab));
    const std::string_view target = trimmed(line.substr(tab + 1));
    if (source.empty() || target.empty()) {
      leftOut(source.empty() ? "no term before the tab" : "no translation after the tab");
      continue;
    }
    if (!zta_kit::IsValidUtf8(line)) {
      leftOut("not UTF-8");
      continue;
    }
    const auto [before, added] = seen.emplace(std::string(source), number);
    if (!added) {
      leftOut("the term of line " + std::to_string(before->second) + " again");
      continue;
    }
    std::size_t length = 1;
    const char32_t first = decodeAt(source, 0, &length);
    glossary.byFirst_[first].push_back({std::string(source), std::string(target), false});
    ++glossary.count_;
    if (isLowerLetter(first) && upperOf(first) != first) {
      glossary.byFirst_[upperOf(first)].push_back({withCapital(source), withCapital(target), true});
    }
  }
  for (auto& [first, entries] : glossary.byFirst_) {
    // Longest first; of the same length, a term as the file gives it before
    // the capitalized form of another.
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
      if (a.source.size() != b.source.size()) return a.source.size() > b.source.size();
      return !a.capitalized && b.capitalized;
    });
  }
  return glossary;
}

std::optional<Glossary::Match> Glossary::matchAt(std::string_view text, std::size_t at) const {
  std::size_t length = 1;
  const auto found = byFirst_.find(decodeAt(text, at, &length));
  if (found == byFirst_.end()) return std::nullopt;
  const bool wordBefore = at > 0 && isWordAt(text, previousCharacter(text, at));
  for (const Entry& entry : found->second) {
    if (text.compare(at, entry.source.size(), entry.source) != 0) continue;
    if (wordBefore && isWordAt(entry.source, 0)) continue;
    const std::size_t end = at + entry.source.size();
    if (end < text.size() && isWordAt(text, end) &&
        isWordAt(entry.source, previousCharacter(entry.source, entry.source.size()))) {
      continue;
    }
    return Match{entry.source.size(), entry.target};
  }
  return std::nullopt;
}

}  // namespace zta
