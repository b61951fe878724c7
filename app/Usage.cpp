#include "app/Usage.h"

#include "app/Parameters.h"

namespace xlate {

Text FileNameOfPath(const Text& aPath, const Text& aSeparators) {
  std::size_t last = aPath.find_last_of(aSeparators);
  return last == Text::npos ? aPath : aPath.substr(last + 1);
}

Text UsageTextFor(const Text& aProgramName) {
  Text usage = u"Usage:\r\n" + aProgramName;
  for (const TParameter& parameter : kParameters) {
    usage += u" ";
    usage += parameter.Name;
    usage += u"=" + parameter.UsageValue();
  }
  return usage;
}

namespace {

// The settings read from the environment, by the program and by the
// reference library, one line each.
const char16_t* const kEnvironmentHelp[] = {
    u"Settings of the environment, for xlate:",
    u"  XLATE_STYLE=unix   LF line ends, no UTF-8 byte-order mark, errors as one line on",
    u"                     standard error, exit codes; unknown names and codings are",
    u"                     errors; a line that fails keeps its own text (default classic)",
    u"  XLATE_STRICT=1     exit codes: 2 error reported, 3 lines failed, 4 text lost",
    u"For the reference library (Apertium):",
    u"  ZTA_SERVER=URL...  translate through Apertium APY servers (spaces or commas between)",
    u"  ZTA_FORMAT=FORMAT  what each line is: txt (default), html, srt",
    u"  ZTA_PIVOT=LANG     the language to go through when no pair goes straight; 0: none",
    u"  ZTA_CHAINS=N       pipelines of a pair that share a file (default: one a processor;",
    u"                     one on up to two processors)",
    u"  ZTA_PIN_CHAIN=0    let a pipeline's processes run on any processor",
    u"  ZTA_GLOSSARY=FILE  terms and their translations, a TAB between, one a line",
    u"  ZTA_MEMORY=FILE    a translation memory (SQLite): a line is translated once",
    u"  ZTA_MARK_UNKNOWN=1 mark words Apertium does not know with *",
    u"  ZTA_APERTIUM_MODES=DIR  the folder of Apertium's mode files",
    u"  ZTA_TIMEOUT_MS=N   time limit of a local call (default 20000, plus 50 a KB)",
    u"  ZTA_SERVER_TIMEOUT_MS=N  time limit of a server request (default 60000)",
    u"  ZTA_SERVER_CONNECT_TIMEOUT_MS=N  time limit of connecting (default 5000)",
    u"  ZTA_SERVER_REQUESTS=N  requests in flight in file mode (default 4)",
    u"  ZTA_SERVER_WAIT_MS=N   how long lines wait for a paused server (default 120000)",
    u"  ZTA_SERVER_PAUSE_MS=N  a failing server's pause (default 30000)",
};

}  // namespace

Text HelpText(TPlatform& aPlatform) {
  const Text program =
      FileNameOfPath(aPlatform.Process().ProgramPath(), aPlatform.Files().PathSeparators());
  Text help = UsageTextFor(program);
  help.replace(help.find(u"\r\n"), 2, u"\n");
  help += u"\n\nTranslates a text, or a text file line by line, through the translation library " +
          aPlatform.Libraries().LibraryFileName() + u", or lists its languages.\n";
  help += u"\nParameters (NAME=VALUE, names and keywords upper case):\n";
  for (const TParameter& parameter : kParameters) {
    help += u"  " + Text(parameter.Name) + u"=" + parameter.UsageValue() + u"\n      " +
            parameter.Help + u"\n";
  }
  help += u"\nAlone on the command line:\n";
  help += u"  --help      this text (-h, -?, /? as well)\n";
  help += u"  --version   the version and the library's file\n";
  help += u"  --pairs     the directions the library translates, one a line\n";
  help += u"  (nothing)   the banner and the usage\n\n";
  for (const char16_t* line : kEnvironmentHelp) help += Text(line) + u"\n";
  help += u"\nExamples:\n";
  help += u"  " + program + u" TEXT=\"The house is big.\" LANGFROM=en LANGTO=es OCODING=UTF8\n";
  help += u"  " + program +
          u" IFILE=book.txt LANGFROM=en LANGTO=es ICODING=UTF8 OCODING=UTF8   (into book.txt.es)\n";
  help += u"  ZTA_FORMAT=srt " + program +
          u" IFILE=film.srt OFILE=film.es.srt LANGFROM=en LANGTO=es ICODING=UTF8 OCODING=UTF8\n";
  help += u"\nMore in the manual page: man xlate (doc/xlate.1 in the sources).";
  return help;
}

Text UsageText(TPlatform& aPlatform) {
  return UsageTextFor(
      FileNameOfPath(aPlatform.Process().ProgramPath(), aPlatform.Files().PathSeparators()));
}

}  // namespace xlate
