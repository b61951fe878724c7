#include <gtest/gtest.h>

#include <algorithm>

#include "testsupport/EndToEnd.h"

namespace xlate {
namespace {

// The program with the Apertium-backed library, as the README's first
// command runs it.
class ApertiumEndToEnd : public ::testing::Test {
 protected:
  ProgramFolder folder{XLATE_APERTIUM_LIBRARY};
};

TEST_F(ApertiumEndToEnd, TranslatesTheSentenceOfTheReadme) {
  ProcessResult r = folder.Run({"TEXT=The house is big and my friend reads a book.", "LANGFROM=en",
                                "LANGTO=es", "OCODING=UTF8"},
                               "C.UTF-8");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "La casa es grande y mi amigo lee un libro.\r\n");
  // Three-letter codes, and the same language on both sides.
  EXPECT_EQ(folder.Run({"TEXT=my friend", "LANGFROM=eng", "LANGTO=spa"}, "C.UTF-8").out,
            "Mi amigo\r\n");
  EXPECT_EQ(folder.Run({"TEXT=my friend", "LANGFROM=en", "LANGTO=en"}, "C.UTF-8").out,
            "my friend\r\n");
}

TEST_F(ApertiumEndToEnd, ListsTheLanguagesOfTheInstalledPairs) {
  ProcessResult r = folder.Run({"DO=LIST"}, "C.UTF-8");
  EXPECT_NE(r.out.find("en English\r\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("es Spanish\r\n"), std::string::npos) << r.out;
}

TEST_F(ApertiumEndToEnd, AMissingPairIsAClearError) {
  ProcessResult r = folder.Run({"TEXT=house", "LANGFROM=en", "LANGTO=xx"}, "C.UTF-8");
  EXPECT_EQ(r.out.substr(0, 8), "Error:\r\n");
  EXPECT_NE(r.out.find("installed pairs"), std::string::npos) << r.out;
}

TEST_F(ApertiumEndToEnd, AFileOfTenThousandLinesGivesTenThousandLines) {
  std::string text;
  const char* sentences[] = {"The house is big.", "My friend reads a book.", "",
                             "Where is the station?", "I like green tea and warm bread."};
  for (int i = 0; i < 10000; ++i) text += std::string(sentences[i % 5]) + "\n";
  WriteFileBytes(folder.File("book.txt"), text);
  ProcessResult r =
      folder.Run({"IFILE=book.txt", "LANGFROM=en", "LANGTO=es", "ICODING=UTF8"}, "C.UTF-8");
  EXPECT_EQ(r.out, "");
  const std::string out = ReadFileBytes(folder.File("book.txt.es"));
  EXPECT_EQ(out.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 10000);
  EXPECT_EQ(out.substr(3, 22), "La casa es grande.\r\nMi");
}

}  // namespace
}  // namespace xlate
