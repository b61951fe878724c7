// A glossary of terms for one run (ZTA_GLOSSARY): each term of the source
// language with the words that stand for it in the translation. A term
// found in a text is taken out before the engine translates it, as markup
// is (MarkupText.h), and its target put in its place afterwards; a term
// whose target is the same as its source is so kept as it is.
//
// The file is tab-separated text in UTF-8, the form translation services
// take glossaries in: one "source term<TAB>target term" a line, blanks
// around either term ignored. Blank lines and lines that start with "#"
// are left out; so is a line with no tab, more than one, an empty term, or
// bytes that are not UTF-8, and a term given a second time: each such line
// is named in the problems.
//
// A term matches as written, as whole words: a word character (a letter, a
// digit or a hyphen, Letters.h) at an end of the term must not go on in the
// text. A term that starts in lower case matches with a capital first
// letter too (at the start of a sentence), and its target then starts with
// a capital. Where several terms start at the same place, the longest wins.
#ifndef XLATE_LIBRARY_APERTIUM_TEXT_GLOSSARY_H
#define XLATE_LIBRARY_APERTIUM_TEXT_GLOSSARY_H

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zta {

class Glossary {
 public:
  struct Match {
    std::size_t length = 0;  // of the term in the text, in bytes
    std::string target;
  };

  // The glossary of a file's text; each line left out is described in
  // *problems ("line 3: no tab between the term and its translation").
  static Glossary fromText(std::string_view text, std::vector<std::string>* problems);

  bool empty() const { return byFirst_.empty(); }
  std::size_t size() const { return count_; }

  // The term that starts at text[at], the longest where several do;
  // nothing when none does.
  std::optional<Match> matchAt(std::string_view text, std::size_t at) const;

 private:
  struct Entry {
    std::string source;  // as the text must hold it
    std::string target;  // what is put in its place
    bool capitalized;    // the form with a capital of a term given in lower case
  };
  // The entries by their first character, longest first.
  std::map<char32_t, std::vector<Entry>> byFirst_;
  std::size_t count_ = 0;
};

}  // namespace zta

#endif
