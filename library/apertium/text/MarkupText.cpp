#include "text/MarkupText.h"

#include <cctype>

#include "text/Letters.h"

namespace zta {
namespace {

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSpaceOrTab(char c) { return c == ' ' || c == '\t'; }

// Where the entity that starts at line[at] ("&") ends: "&name;", "&#123;"
// or "&#x1F;"; 0 when none starts there.
std::size_t entityEnd(std::string_view line, std::size_t at) {
  std::size_t i = at + 1;
  if (i < line.size() && line[i] == '#') {
    ++i;
    const bool hex = i < line.size() && (line[i] == 'x' || line[i] == 'X');
    if (hex) ++i;
    const std::size_t digits = i;
    while (i < line.size() && i - digits < 8 &&
           (hex ? std::isxdigit(static_cast<unsigned char>(line[i])) != 0 : isDigit(line[i]))) {
      ++i;
    }
    if (i == digits) return 0;
  } else {
    const std::size_t name = i;
    while (i < line.size() && i - name < 32 && (isAsciiLetter(line[i]) || isDigit(line[i]))) ++i;
    if (i == name || !isAsciiLetter(line[name])) return 0;
  }
  return i < line.size() && line[i] == ';' ? i + 1 : 0;
}

bool isNameCharacter(char c) { return isAsciiLetter(c) || isDigit(c) || c == '-' || c == ':'; }

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c; }

// Where word (lower case) starts in text from "from" on, in any case; npos
// when nowhere.
std::size_t findNoCase(std::string_view text, std::size_t from, std::string_view word) {
  for (std::size_t at = from; at + word.size() <= text.size(); ++at) {
    std::size_t k = 0;
    while (k < word.size() && lowerAscii(text[at + k]) == word[k]) ++k;
    if (k == word.size()) return at;
  }
  return std::string_view::npos;
}

// The elements whose contents are not prose: a translation would break the
// script, the style sheet or the code.
bool isRawTextElement(std::string_view name) {
  return name == "script" || name == "style" || name == "pre" || name == "code";
}

// A part of a line that is the value of an alt or title attribute.
struct ValueSpan {
  std::size_t start;
  std::size_t end;
  char quote;
};

// True when the value of the attribute whose "=" is at line[equals] is text
// a reader sees: alt and title, in a start tag.
bool isTextAttribute(std::string_view line, std::size_t from, std::size_t equals,
                     const MarkupState& state) {
  if (!state.element.empty() && state.element.front() == '/') return false;
  std::size_t end = equals;
  while (end > from && isSpaceOrTab(line[end - 1])) --end;
  std::size_t start = end;
  while (start > from && isNameCharacter(line[start - 1])) --start;
  if (start > from && !isSpaceOrTab(line[start - 1])) return false;
  std::string name;
  for (std::size_t i = start; i < end; ++i) name.push_back(lowerAscii(line[i]));
  return name == "alt" || name == "title";
}

// Moves at past the markup that state is inside, and state with it, up to
// where the state is text again or the line ends. A tag runs to its ">"
// (one inside the quoted value of an attribute does not end it); the start
// tag of a raw-text element goes on into its contents, up to its end tag.
// The parts of the line that are values of alt and title attributes go to
// *values.
std::size_t advance(std::string_view line, std::size_t at, MarkupState& state,
                    std::vector<ValueSpan>* values) {
  using Inside = MarkupState::Inside;
  const auto endAt = [&](std::string_view close) {
    const std::size_t found = line.find(close, at);
    if (found == std::string_view::npos) return line.size();
    state.inside = Inside::kText;
    return found + close.size();
  };
  switch (state.inside) {
    case Inside::kText:
      return at;
    case Inside::kComment:
      return endAt("-->");
    case Inside::kCdata:
      return endAt("]]>");
    case Inside::kCueBlock:
      return line.size();
    case Inside::kRawText: {
      const std::string close = "</" + state.element;
      for (std::size_t found = findNoCase(line, at, close); found != std::string_view::npos;
           found = findNoCase(line, found + 1, close)) {
        const std::size_t after = found + close.size();
        if (after == line.size() || !isNameCharacter(line[after])) {
          state.inside = Inside::kTag;
          state.element = "/" + state.element;
          return after;
        }
      }
      return line.size();
    }
    case Inside::kTag: {
      std::size_t valueStart = at;  // where the value open at at starts
      for (std::size_t i = at; i < line.size(); ++i) {
        if (state.quote != '\0') {
          if (line[i] == state.quote) {
            if (state.textValue) values->push_back({valueStart, i, state.quote});
            state.quote = '\0';
            state.textValue = false;
          }
          continue;
        }
        if (line[i] == '>') {
          const bool selfClosing = i > at && line[i - 1] == '/';
          state.inside =
              isRawTextElement(state.element) && !selfClosing ? Inside::kRawText : Inside::kText;
          if (state.inside == Inside::kText) state.element.clear();
          return i + 1;
        }
        if (line[i] == '"' || line[i] == '\'') {
          // A quote opens a value only after "=": elsewhere, as in a "<"
          // of prose that looks like a tag, it is a character.
          std::size_t before = i;
          while (before > at && isSpaceOrTab(line[before - 1])) --before;
          if (before > at && line[before - 1] == '=') {
            state.quote = line[i];
            state.textValue = isTextAttribute(line, at, before - 1, state);
            valueStart = i + 1;
          }
        }
      }
      if (state.quote != '\0' && state.textValue) {
        values->push_back({valueStart, line.size(), state.quote});
      }
      return line.size();
    }
  }
  return line.size();
}

// Where the piece of markup that starts at line[at] in text ends, or 0 when
// none starts there; state goes into what it opens (a tag, comment or
// CDATA section) and the caller moves on through it. A "<" or ">" that
// belongs to no tag is markup of its own, as Apertium's HTML deformatter
// takes it: it is kept, and never read as a word.
std::size_t markupStart(std::string_view line, std::size_t at, TextFormat format,
                        MarkupState& state) {
  using Inside = MarkupState::Inside;
  const char c = line[at];
  const char next = at + 1 < line.size() ? line[at + 1] : '\0';
  if (c == '<') {
    if (line.substr(at, 4) == "<!--") {
      state.inside = Inside::kComment;
      return at + 4;
    }
    if (line.substr(at, 9) == "<![CDATA[") {
      state.inside = Inside::kCdata;
      return at + 9;
    }
    // WebVTT's timestamps inside a cue's text ("<00:00:05.000>") are tags
    // too; a "<" before a number that is no time ("I <3 you") is not.
    std::size_t digits = at + 1;
    while (digits < line.size() && isDigit(line[digits])) ++digits;
    const bool vttTime = formatRules(format).subtitleFrames && digits > at + 1 &&
                         digits < line.size() && line[digits] == ':';
    if (!isAsciiLetter(next) && next != '/' && next != '!' && next != '?' && !vttTime) {
      return at + 1;
    }
    state.inside = Inside::kTag;
    state.quote = '\0';
    state.textValue = false;
    state.element.clear();
    std::size_t end = at + 1;
    if (line[end] == '/') state.element.push_back(line[end++]);
    while (end < line.size() && isNameCharacter(line[end])) {
      state.element.push_back(lowerAscii(line[end++]));
    }
    return end;
  }
  if (c == '>') return at + 1;
  if (c == '&') return entityEnd(line, at);
  // Subtitle override codes of SubStation Alpha, common in SRT files.
  if (formatRules(format).subtitleFrames && c == '{' && next == '\\') {
    const std::size_t close = line.find('}', at);
    return close == std::string_view::npos ? 0 : close + 1;
  }
  return 0;
}

// True when line, at the start of a block of a WebVTT file, starts a block
// that is not a cue: the header ("WEBVTT"), a comment ("NOTE"), a style
// sheet ("STYLE") or a region ("REGION").
bool startsCueBlock(std::string_view line) {
  for (std::string_view word : {"WEBVTT", "NOTE"}) {
    if (line.substr(0, word.size()) == word &&
        (line.size() == word.size() || isSpaceOrTab(line[word.size()]))) {
      return true;
    }
  }
  while (!line.empty() && isSpaceOrTab(line.back())) line.remove_suffix(1);
  return line == "STYLE" || line == "REGION";
}

// The placeholder of the index-th piece of markup (from 0).
std::string placeholder(std::size_t index) { return "<z" + std::to_string(index + 1) + ">"; }

// A timing line's time: hours (any number of digits) and minutes, or only
// minutes (WebVTT), then seconds and milliseconds after "," or ".". Moves
// at past it; false when there is none.
bool skipTime(std::string_view line, std::size_t& at) {
  std::size_t groups = 0;
  for (;;) {
    const std::size_t start = at;
    while (at < line.size() && isDigit(line[at])) ++at;
    if (at == start || (groups > 0 && at - start != 2)) return false;
    ++groups;
    if (at < line.size() && line[at] == ':' && groups < 3) {
      ++at;
      continue;
    }
    break;
  }
  if (groups < 2 || at >= line.size() || (line[at] != ',' && line[at] != '.')) return false;
  const std::size_t millis = ++at;
  while (at < line.size() && isDigit(line[at])) ++at;
  return at - millis == 3;
}

bool isTimingLine(std::string_view line) {
  std::size_t at = 0;
  if (!skipTime(line, at)) return false;
  const std::size_t blanks = at;
  while (at < line.size() && isSpaceOrTab(line[at])) ++at;
  if (at == blanks || line.substr(at, 3) != "-->") return false;
  at += 3;
  const std::size_t after = at;
  while (at < line.size() && isSpaceOrTab(line[at])) ++at;
  if (at == after || !skipTime(line, at)) return false;
  // Position settings may follow after a blank.
  return at == line.size() || isSpaceOrTab(line[at]);
}

// Where the first letter that has a case starts, and whether it is lower
// case; npos when there is none.
std::size_t firstCased(std::string_view text, bool* lower) {
  for (std::size_t at = 0; at < text.size();) {
    std::size_t length = 1;
    const char32_t c = decodeAt(text, at, &length);
    if (isLowerLetter(c) || isUpperLetter(c)) {
      *lower = isLowerLetter(c);
      return at;
    }
    at += length;
  }
  return std::string_view::npos;
}

}  // namespace

bool isSubtitleFrame(std::string_view line) {
  while (!line.empty() && isSpaceOrTab(line.front())) line.remove_prefix(1);
  while (!line.empty() && isSpaceOrTab(line.back())) line.remove_suffix(1);
  if (line.empty()) return false;
  bool digitsOnly = true;
  for (char c : line) digitsOnly = digitsOnly && isDigit(c);
  if (digitsOnly) return true;
  if (line.substr(0, 6) == "WEBVTT" && (line.size() == 6 || isSpaceOrTab(line[6]))) return true;
  return isTimingLine(line);
}

MarkedLine::MarkedLine(std::string_view line, TextFormat format, const Glossary* glossary) {
  MarkupState state;
  *this = MarkedLine(line, format, state, glossary);
}

MarkedLine::MarkedLine(std::string_view line, TextFormat format, MarkupState& state,
                       const Glossary* glossary) {
  using Inside = MarkupState::Inside;
  const bool markup = formatRules(format).markup;
  placeholders_ = markup || glossary != nullptr;
  if (formatRules(format).subtitleFrames) {
    bool blank = true;
    for (char c : line) blank = blank && (isSpaceOrTab(c) || c == '\r' || c == '\n');
    // A blank line ends a cue or block, and whatever its markup left open.
    if (blank) {
      state = MarkupState();
      carrier_ = std::string(line);
      stretches_.emplace_back(line);
      return;
    }
    const bool blockStart = state.blockStart;
    state.blockStart = false;
    const bool kept = state.inside == Inside::kCueBlock || (blockStart && startsCueBlock(line));
    // A cue number or timing line starts a cue's text afresh.
    if (kept || isSubtitleFrame(line)) {
      state.inside = kept ? Inside::kCueBlock : Inside::kText;
      state.quote = '\0';
      state.textValue = false;
      state.element.clear();
      carrier_ = placeholder(0);
      markup_.emplace_back(line);
      stretches_.resize(2);
      return;
    }
  }
  std::string stretch;
  const auto addPiece = [&](std::string piece) {
    carrier_ += placeholder(markup_.size());
    markup_.push_back(std::move(piece));
    stretches_.push_back(std::move(stretch));
    stretch.clear();
  };
  for (std::size_t at = 0; at < line.size();) {
    std::size_t end = at;
    if (state.inside == Inside::kText) {
      end = markup ? markupStart(line, at, format, state) : 0;
      if (end == 0 && glossary != nullptr) {
        if (std::optional<Glossary::Match> term = glossary->matchAt(line, at)) {
          addPiece(std::move(term->target));
          ++terms_;
          at += term->length;
          continue;
        }
      }
      if (end == 0) {
        stretch.push_back(line[at]);
        carrier_.push_back(line[at]);
        ++at;
        continue;
      }
    }
    std::vector<ValueSpan> values;
    while (end < line.size() && state.inside != Inside::kText) {
      end = advance(line, end, state, &values);
    }
    for (const ValueSpan& value : values) {
      values_.push_back(
          Value{markup_.size(), value.start - at, value.end - value.start, value.quote});
    }
    addPiece(std::string(line.substr(at, end - at)));
    at = end;
  }
  stretches_.push_back(std::move(stretch));
}

bool MarkedLine::stretchesHaveText() const {
  for (const std::string& stretch : stretches_) {
    for (char c : stretch) {
      if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return true;
    }
  }
  return false;
}

bool MarkedLine::hasText() const {
  if (terms_ > 0 || stretchesHaveText()) return true;
  for (const std::string& value : values()) {
    for (char c : value) {
      if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return true;
    }
  }
  return false;
}

std::vector<std::string> MarkedLine::values() const {
  std::vector<std::string> texts;
  for (const Value& value : values_) {
    texts.push_back(markup_[value.piece].substr(value.offset, value.length));
  }
  return texts;
}

std::string MarkedLine::markupWith(std::size_t index,
                                   const std::vector<std::string>& valueTranslations) const {
  std::string piece = markup_[index];
  // From the last value to the first, so that the offsets before stay right.
  for (std::size_t k = values_.size(); k-- > 0;) {
    const Value& value = values_[k];
    if (value.piece != index || k >= valueTranslations.size()) continue;
    std::string text;
    for (char c : valueTranslations[k]) {
      if (c == value.quote) {
        text += c == '"' ? "&quot;" : "&#39;";  // a quote of the translation ends no value
      } else {
        text.push_back(c);
      }
    }
    piece.replace(value.offset, value.length, text);
  }
  return piece;
}

std::optional<std::string> MarkedLine::rebuild(
    std::string_view translation, const std::function<std::string(std::size_t)>& pieceOf,
    bool capitalI) const {
  if (!placeholders_) return keepLowerStart(stretches_.front(), std::string(translation), capitalI);
  std::string out;
  std::size_t from = 0;
  for (std::size_t index = 0; index <= markup_.size(); ++index) {
    // The next placeholder in the translation must be this one's.
    std::size_t found = std::string_view::npos;
    for (std::size_t at = translation.find("<z", from); at != std::string_view::npos;
         at = translation.find("<z", at + 1)) {
      std::size_t end = at + 2;
      while (end < translation.size() && isDigit(translation[end])) ++end;
      if (end > at + 2 && end < translation.size() && translation[end] == '>') {
        found = at;
        break;
      }
    }
    if (index == markup_.size()) {
      if (found != std::string_view::npos) return std::nullopt;  // one more than there were
      found = translation.size();
    } else if (found == std::string_view::npos ||
               translation.substr(found, placeholder(index).size()) != placeholder(index)) {
      return std::nullopt;
    }
    out += keepLowerStart(stretches_[index], std::string(translation.substr(from, found - from)),
                          capitalI);
    if (index == markup_.size()) break;
    out += pieceOf(index);
    from = found + placeholder(index).size();
  }
  return out;
}

std::optional<std::string> MarkedLine::restore(std::string_view translation,
                                               const std::vector<std::string>& valueTranslations,
                                               bool capitalI) const {
  return rebuild(
      translation, [&](std::size_t index) { return markupWith(index, valueTranslations); },
      capitalI);
}

std::optional<std::string> MarkedLine::carried(std::string_view translation, bool capitalI) const {
  return rebuild(translation, placeholder, capitalI);
}

std::string MarkedLine::join(const std::vector<std::string>& translations,
                             const std::vector<std::string>& valueTranslations,
                             bool capitalI) const {
  std::string out;
  for (std::size_t index = 0; index < stretches_.size(); ++index) {
    out += keepLowerStart(stretches_[index],
                          index < translations.size() ? translations[index] : stretches_[index],
                          capitalI);
    if (index < markup_.size()) out += markupWith(index, valueTranslations);
  }
  return out;
}

std::string keepLowerStart(std::string_view source, std::string translation, bool capitalI) {
  bool lower = false;
  if (firstCased(source, &lower) == std::string_view::npos || !lower) return translation;
  const std::size_t at = firstCased(translation, &lower);
  if (at == std::string_view::npos || lower) return translation;
  // The first word as written: all in capitals ("GNU", and "I" where the
  // translation is English) it is a name or the pronoun, not a sentence's
  // start.
  std::size_t capitals = 0;
  std::size_t end = at;
  bool allCapitals = true;
  while (end < translation.size()) {
    std::size_t length = 1;
    const char32_t c = decodeAt(translation, end, &length);
    if (!isLowerLetter(c) && !isUpperLetter(c)) break;
    allCapitals = allCapitals && isUpperLetter(c);
    ++capitals;
    end += length;
  }
  if (allCapitals && (capitals >= 2 || (capitalI && translation.compare(at, end - at, "I") == 0))) {
    return translation;
  }
  std::size_t length = 1;
  const char32_t c = decodeAt(translation, at, &length);
  return translation.replace(at, length, encodeUtf8(lowerOf(c)));
}

}  // namespace zta
