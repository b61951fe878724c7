// The manual page keeps up with the program: every parameter of the usage
// text, and every setting the reference library reads, is described there.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/Parameters.h"
#include "app/Usage.h"
#include "common/CodePages.h"
#include "platform/posix/LocaleCodePages.h"

namespace xlate {
namespace {

std::string FileText(const std::string& aPath) {
  std::ifstream in(aPath, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool IsCapitalOrUnderscore(char aChar) { return (aChar >= 'A' && aChar <= 'Z') || aChar == '_'; }

// The upper-case names followed by "=" in aText ("LANGFROM="), each with
// its "=".
std::vector<std::string> ParameterNames(const std::string& aText) {
  std::vector<std::string> found;
  for (std::size_t at = aText.find('='); at != std::string::npos; at = aText.find('=', at + 1)) {
    std::size_t begin = at;
    while (begin > 0 && aText[begin - 1] >= 'A' && aText[begin - 1] <= 'Z') --begin;
    if (begin < at) found.push_back(aText.substr(begin, at + 1 - begin));
  }
  return found;
}

// The quoted names "ZTA_..." in aText, without their quotes.
std::vector<std::string> QuotedSettings(const std::string& aText) {
  std::vector<std::string> found;
  for (std::size_t at = aText.find("\"ZTA_"); at != std::string::npos;
       at = aText.find("\"ZTA_", at + 1)) {
    std::size_t end = at + 1;
    while (end < aText.size() && IsCapitalOrUnderscore(aText[end])) ++end;
    if (end < aText.size() && aText[end] == '"')
      found.push_back(aText.substr(at + 1, end - at - 1));
  }
  return found;
}

TEST(ManPage, DescribesEveryParameterAndEveryLibrarySetting) {
  const std::string page = FileText(XLATE_MAN_PAGE);
  ASSERT_FALSE(page.empty()) << XLATE_MAN_PAGE;

  const Text usage = UsageTextFor(u"xlate");
  const std::string usageText(usage.begin(), usage.end());
  EXPECT_EQ(ParameterNames(usageText).size(), 9u);
  std::vector<std::string> parameters;
  for (const TParameter& known : kParameters) {
    const Text name = known.Name;
    parameters.push_back(std::string(name.begin(), name.end()) + "=");
  }
  EXPECT_EQ(parameters, ParameterNames(usageText));
  for (const std::string& parameter : parameters) {
    // An entry of its own: a line such as ".BI LANGFROM= code".
    const bool entry = page.find("\n.B " + parameter) != std::string::npos ||
                       page.find("\n.BI " + parameter) != std::string::npos ||
                       page.find("\n.BR " + parameter) != std::string::npos;
    EXPECT_TRUE(entry) << parameter;
  }

  // Every "ZTA_..." the library reads.
  const std::vector<std::string> settings = QuotedSettings(FileText(XLATE_LIBRARY_SETTINGS_SOURCE));
  EXPECT_GE(settings.size(), 7u);
  for (const std::string& setting : settings) {
    EXPECT_NE(page.find(".B " + setting + "\n"), std::string::npos) << setting;
  }
}

std::string CodePageName(std::uint32_t aCodePage) {
  return aCodePage == kCodePageUtf8 ? "UTF-8" : std::to_string(aCodePage);
}

// Every locale the page names with its code pages (".B ru_RU.CP1251" and on
// the next line "1251 and 866") gets those code pages from the program.
TEST(ManPage, StatesTheCodePagesTheProgramTakesFromTheLocale) {
  const std::string page = FileText(XLATE_MAN_PAGE);
  std::istringstream lines(page);
  std::string line, locale;
  std::vector<std::string> named;
  while (std::getline(lines, line)) {
    if (line.rfind(".B ", 0) == 0) {
      locale = line.substr(3);
      continue;
    }
    if (!locale.empty() && line.find(" and ") != std::string::npos &&
        line.find_first_not_of("0123456789UTF- and") == std::string::npos) {
      const TLocaleCodePages pages = CodePagesForLocale(locale);
      EXPECT_EQ(line, CodePageName(pages.Ansi) + " and " + CodePageName(pages.Oem)) << locale;
      named.push_back(locale);
    }
    locale.clear();
  }
  for (const char* expected : {"C", "POSIX", "de_DE.CP1252"}) {
    EXPECT_TRUE(std::find(named.begin(), named.end(), expected) != named.end())
        << "the page gives no code pages for " << expected;
  }
}

}  // namespace
}  // namespace xlate
