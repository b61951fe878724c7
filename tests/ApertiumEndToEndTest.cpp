#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "testsupport/EndToEnd.h"

namespace xlate {
namespace {

// The program with the Apertium-backed library, as the README's first
// command runs it.
class ApertiumEndToEnd : public ::testing::Test {
 protected:
  TProgramFolder folder{XLATE_APERTIUM_LIBRARY};
};

TEST_F(ApertiumEndToEnd, TranslatesTheSentenceOfTheReadme) {
  TProcessResult r = folder.Run({"TEXT=The house is big and my friend reads a book.", "LANGFROM=en",
                                 "LANGTO=es", "OCODING=UTF8"},
                                "C.UTF-8");
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Out, "La casa es grande y mi amigo lee un libro.\r\n");
  // Three-letter codes, and the same language on both sides; a text that
  // starts in lower case keeps its lower-case start.
  EXPECT_EQ(folder.Run({"TEXT=my friend", "LANGFROM=eng", "LANGTO=spa"}, "C.UTF-8").Out,
            "mi amigo\r\n");
  EXPECT_EQ(folder.Run({"TEXT=my friend", "LANGFROM=en", "LANGTO=en"}, "C.UTF-8").Out,
            "my friend\r\n");
}

TEST_F(ApertiumEndToEnd, ListsTheLanguagesOfTheInstalledPairs) {
  TProcessResult r = folder.Run({"DO=LIST"}, "C.UTF-8");
  EXPECT_NE(r.Out.find("en English\r\n"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("es Spanish\r\n"), std::string::npos) << r.Out;
}

// --pairs: the directions, one a line, each pair of the engine among them.
TEST_F(ApertiumEndToEnd, ListsTheDirectionsOfTheInstalledPairs) {
  TProcessResult r = folder.Run({"--pairs"}, "C.UTF-8");
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Out.rfind("Error:", 0), std::string::npos) << r.Out;
  EXPECT_NE(("\n" + r.Out).find("\nen-es\r\n"), std::string::npos) << r.Out;
  EXPECT_NE(("\n" + r.Out).find("\nes-en\r\n"), std::string::npos) << r.Out;
}

TEST_F(ApertiumEndToEnd, AMissingPairIsAClearError) {
  TProcessResult r = folder.Run({"TEXT=house", "LANGFROM=en", "LANGTO=xx"}, "C.UTF-8");
  EXPECT_EQ(r.Out.substr(0, 8), "Error:\r\n");
  EXPECT_NE(r.Out.find("installed pairs"), std::string::npos) << r.Out;
}

TEST_F(ApertiumEndToEnd, AFileOfTenThousandLinesGivesTenThousandLines) {
  std::string text;
  const char* sentences[] = {"The house is big.", "My friend reads a book.", "",
                             "Where is the station?", "I like green tea and warm bread."};
  for (int i = 0; i < 10000; ++i) text += std::string(sentences[i % 5]) + "\n";
  WriteFileBytes(folder.File("book.txt"), text);
  TProcessResult r =
      folder.Run({"IFILE=book.txt", "LANGFROM=en", "LANGTO=es", "ICODING=UTF8"}, "C.UTF-8");
  EXPECT_EQ(r.Out, "");
  const std::string out = ReadFileBytes(folder.File("book.txt.es"));
  EXPECT_EQ(out.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 10000);
  EXPECT_EQ(out.substr(3, 22), "La casa es grande.\r\nMi");
}

TEST_F(ApertiumEndToEnd, TranslatesUnderACodePageLocaleThatIsNotInstalled) {
  // The program has tables of its own for de_DE.CP1252; Apertium's programs
  // cannot start under a locale that is not installed.
  const std::vector<std::string> arguments = {"TEXT=The boy is near the station.", "LANGFROM=en",
                                              "LANGTO=es"};
  const TProcessResult r = folder.Run(arguments, "de_DE.CP1252");
  EXPECT_EQ(r.Out.find("Error"), std::string::npos) << r.Out;
  EXPECT_EQ(r.Out, folder.Run(arguments, "C.UTF-8").Out);
}

TEST_F(ApertiumEndToEnd, AnHtmlTagThatGoesOnIntoTheNextLineOfAFileStaysWhole) {
  WriteFileBytes(folder.File("page.html"),
                 "<p>Look at <a class=\"big\"\n   href=\"house.html\" title=\"x\">the house</a>\n");
  TProcessOptions options;
  options.Environment["ZTA_FORMAT"] = "html";
  const TProcessResult r =
      folder.Run({"IFILE=page.html", "OFILE=out.html", "LANGFROM=en", "LANGTO=es", "ICODING=UTF8"},
                 "C.UTF-8", options);
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(ReadFileBytes(folder.File("out.html")),
            "\xEF\xBB\xBF<p>Cariz en <a class=\"big\"\r\n   href=\"house.html\" "
            "title=\"x\">la casa</a>\r\n");
}

TEST_F(ApertiumEndToEnd, AGlossaryKeepsAndForcesTermsAndNamesItsBadLineOnce) {
  WriteFileBytes(folder.File("terms.tsv"),
                 "Free Software Foundation\tFree Software Foundation\n"
                 "source code\tc\xC3\xB3"
                 "digo fuente\n"
                 "a line without a tab\n");
  WriteFileBytes(folder.File("gpl.txt"),
                 "software for all its users.  We, the Free Software Foundation, use the\n"
                 "or can get the source code.  And you must show them these terms so they\n");
  TProcessOptions options;
  options.Environment["ZTA_GLOSSARY"] = "terms.tsv";
  const TProcessResult r =
      folder.Run({"IFILE=gpl.txt", "OFILE=out.txt", "LANGFROM=en", "LANGTO=es", "ICODING=UTF8"},
                 "C.UTF-8", options);
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(r.Err,
            "ZTA_GLOSSARY terms.tsv, line 3: no tab between the term and its translation; the line "
            "is left out\n");
  EXPECT_EQ(ReadFileBytes(folder.File("out.txt")),
            "\xEF\xBB\xBF"
            "software para todos sus usuarios.  Nosotros, el Free Software Foundation, uso el\r\n"
            "o puede coger el c\xC3\xB3"
            "digo fuente.  Y  les tienes que asomar estos denomina tan ellos\r\n");
  // A glossary that cannot be read fails the translation.
  options.Environment["ZTA_GLOSSARY"] = "missing.tsv";
  const TProcessResult missing =
      folder.Run({"TEXT=The house.", "LANGFROM=en", "LANGTO=es"}, "C.UTF-8", options);
  EXPECT_EQ(missing.Out.substr(0, 8), "Error:\r\n");
  EXPECT_NE(missing.Out.find("ZTA_GLOSSARY=\"missing.tsv\" cannot be read"), std::string::npos)
      << missing.Out;
}

// The pairs the suite installs (scripts/packages.txt, groups run and
// pairs), each with lines of which some came out differently after the
// others, when Apertium's tagger carried what one line did over to the
// next; a pair that is not installed is left out.
struct PairLines {
  const char* mode;  // its mode file in /usr/share/apertium/modes
  const char* from;
  const char* to;
  std::vector<std::string> lines;
};

TEST_F(ApertiumEndToEnd, EveryLineOfAFileTranslatesAsItDoesAloneWithAnyNumberOfChains) {
  const std::vector<PairLines> table = {
      {"eng-spa",
       "en",
       "es",
       {"Last week, the old teacher found the red car near the river.",
        "-v Print shell input lines as they are read.",
        "environment do not remain in effect after the command completes."}},
      {"pt-es",
       "pt",
       "es",
       {"Abaixo (p. ex., :-), bash provas para um par\xC3\xA2metro que \xC3\xA9 unset ou null.",
        "O , o operador converte emparejar letras mai\xC3\xBAsculas a lowercase.",
        "Descriptor de lima mais sumo que ou igual a 10 e o atribuir a varname.",
        "Resultados de nome da expans\xC3\xA3o de palavra existe e \xC3\xA9 uma lima regular.",
        "Verdadeiro se a lima existe e \xC3\xA9 um bloco lima especial.",
        "A sintaxe para controlar encuadernaciones chaves no inputrc a lima \xC3\xA9 singela."}},
      {"gl-pt",
       "gl",
       "pt",
       {"Bash \xC3\x89 Copyright (C) 1989-2022 pola Fundaci\xC3\xB3n de Software Libre, Inc.",
        "-i Se o -i a opci\xC3\xB3n \xC3\xA9 presente, a cuncha \xC3\xA9 interactiva.",
        "Para seleccionar porci\xC3\xB3ns daquela li\xC3\xB1"
        "a para inclusi\xC3\xB3n \xC3\xA1 "
        "corrente un.",
        "O fechando dobre citar nunha dobre-serie citada."}},
      {"ita-cat",
       "it",
       "ca",
       {"Non so se il programma funziona con questo file.",
        "Se il buffer \xC3\xA8 pieno, il kernel blocca il processo.",
        "Il widget chiama il callback se il mouse si muove.",
        "Ancora abortisce per default o se l'handler mai ritorni.",
        "Il parser legge lo stream e scrive il token.",
        "Se lo script fallisce, il daemon riparte da solo.",
        "Lo switch manda il frame al router se la porta \xC3\xA8 libera."}},
      {"eo-en",
       "eo",
       "en",
       {"Batego estas Kopirajto (C) 1989-2022 de la Libera Softvara Fundamento, Inc.",
        "1003.1). Batego povas esti formita esti POSIX-conformant de nerepago.",
        "La obuso, kiu estas uzita en averto kaj eraraj mesa\xC4\x9Doj."}},
  };
  int pairs = 0;
  for (const PairLines& row : table) {
    if (!std::filesystem::exists(std::string("/usr/share/apertium/modes/") + row.mode + ".mode")) {
      continue;
    }
    ++pairs;
    const std::string from = std::string("LANGFROM=") + row.from;
    const std::string to = std::string("LANGTO=") + row.to;
    std::vector<std::string> alone;
    for (const std::string& line : row.lines) {
      const TProcessResult r =
          folder.Run({"TEXT=" + line, from, to, "ICODING=UTF8", "OCODING=UTF8"}, "C.UTF-8");
      ASSERT_EQ(r.Out.find("Error:"), std::string::npos) << row.mode << ": " << r.Out;
      alone.push_back(r.Out);
    }
    // 64 lines: four chains get 16 each, the least a chain is started for.
    std::string text;
    std::string expected = "\xEF\xBB\xBF";
    for (std::size_t i = 0; i < 64; ++i) {
      text += row.lines[i % row.lines.size()] + "\n";
      expected += alone[i % row.lines.size()];
    }
    WriteFileBytes(folder.File("lines.txt"), text);
    for (const char* chains : {"1", "2", "4"}) {
      TProcessOptions options;
      options.Environment["ZTA_CHAINS"] = chains;
      const TProcessResult r =
          folder.Run({"IFILE=lines.txt", "OFILE=out.txt", from, to, "ICODING=UTF8", "OCODING=UTF8"},
                     "C.UTF-8", options);
      EXPECT_EQ(r.Out, "");
      EXPECT_EQ(ReadFileBytes(folder.File("out.txt")), expected)
          << row.mode << " with ZTA_CHAINS=" << chains;
    }
  }
  if (pairs == 0) GTEST_SKIP() << "none of the pairs is installed";
}

}  // namespace
}  // namespace xlate
