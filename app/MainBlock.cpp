#include "app/MainBlock.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <new>

#include "app/Console.h"
#include "app/Parameters.h"
#include "app/RunSettings.h"
#include "app/Usage.h"
#include "app/filemode/FileMode.h"
#include "app/filemode/LineBreaks.h"
#include "app/filemode/OutputFile.h"
#include "common/Conversions.h"
#include "common/ErrorCodes.h"
#include "common/Exception.h"
#include "service/jxDLLInterface.h"

namespace xlate {

namespace {

ByteString TranslateParamText(TPlatform& aPlatform, const TRunSettings& aSettings,
                              TdllZTA& aService, const ByteString& aText) {
  Text translation =
      aService.Translate(DecodeText(aPlatform.SystemText(), aSettings.InCoding, aText));
  return EncodeText(aPlatform.SystemText(), aSettings.OutCoding, translation);
}

void ReportError(TPlatform& aPlatform, TConsole& aConsole, const Text& aMessage) {
  aConsole.WriteTextLine(u"Error:");
  aConsole.WriteTextLine(aMessage);
  aConsole.WriteTextLine(Text());
  aConsole.WriteTextLine(u"Usage:");
  aConsole.WriteTextLine(UsageText(aPlatform));
}

TFileTask FileTaskOf(const TRunSettings& aSettings, TOutputStyle aStyle) {
  TFileTask task;
  task.Style = aStyle;
  task.InFile = aSettings.InFile;
  task.OutFile = aSettings.OutFile;
  task.OutFileDerived = aSettings.OutFileDerived;
  task.InCoding = aSettings.InCoding;
  task.OutCoding = aSettings.OutCoding;
  return task;
}

// What a run leaves untranslated: lines of a file that failed, and on the
// console a text or its translation that a coding without a known word
// drops (the text becomes empty, the translation an empty line).
struct TRunOutcome {
  std::uint64_t FailedLines = 0;
  bool Dropped = false;
};

// aBanner: the run had no parameters, and a translation of the text shows
// the banner and the usage instead.
TRunOutcome RunTask(TPlatform& aPlatform, const TRunSettings& aSettings, bool aBanner,
                    TOutputStyle aStyle, TdllZTA& aService, TConsole& aConsole) {
  TRunOutcome outcome;
  if (aSettings.Task == ttTranslate) {
    if (aSettings.UseFiles) {
      outcome.FailedLines = TranslateFile(aPlatform, FileTaskOf(aSettings, aStyle), aService);
    } else if (!aBanner) {
      outcome.Dropped = aSettings.InCoding == ctNone || aSettings.OutCoding == ctNone;
      aConsole.WriteLine(TranslateParamText(aPlatform, aSettings, aService, aSettings.Text));
    } else {
      aConsole.WriteTextLine(Text());
      aConsole.WriteTextLine(kDefaultText);
      aConsole.WriteTextLine(Text());
      aConsole.WriteTextLine(UsageText(aPlatform));
    }
  } else if (aSettings.Task == ttList) {
    if (aSettings.UseFiles) {
      WriteListFile(aPlatform, FileTaskOf(aSettings, aStyle), aService);
    } else {
      std::unique_ptr<TStringList> languages = aService.LanguageList();
      outcome.Dropped = aSettings.OutCoding == ctNone && languages->Count() > 0;
      for (const Text& language : *languages) {
        aConsole.WriteLine(EncodeText(aPlatform.SystemText(), aSettings.OutCoding, language));
      }
    }
  }
  return outcome;
}

TRunOutcome RunWithService(TPlatform& aPlatform, const TRunSettings& aSettings, bool aBanner,
                           TOutputStyle aStyle, TConsole& aConsole) {
  // The settings' languages are the request: the service is made for them.
  const TTranslationRequest& request = aSettings;
  TdllZTA service(aPlatform, request);
  TRunOutcome outcome;
  try {
    outcome = RunTask(aPlatform, aSettings, aBanner, aStyle, service, aConsole);
  } catch (const TException&) {
    // A failed unload takes the place of the failure on its way out.
    service.Destroy();
    throw;
  } catch (const std::bad_alloc&) {
    service.Destroy();
    throw;
  }
  service.Destroy();
  return outcome;
}

bool IsOneOf(const Text& aWord, std::initializer_list<const char16_t*> aWords) {
  for (const char16_t* word : aWords) {
    if (aWord == word) return true;
  }
  return false;
}

// "xlate VERSION", and the file of the library when it loads.
void WriteVersion(TPlatform& aPlatform, TConsole& aConsole) {
  const char kVersion[] = XLATE_VERSION;
  Text line = u"xlate " + Text(kVersion, kVersion + sizeof kVersion - 1);
  try {
    // The version asks nothing of the library but where it is.
    TdllZTA service(aPlatform, TTranslationRequest());
    const Text path = service.LibraryPath();
    service.Destroy();
    line += u" (library " + (path.empty() ? aPlatform.Libraries().LibraryFileName() : path) + u")";
  } catch (const TException&) {
    // No library: the version alone.
  }
  aConsole.WriteTextLine(line);
}

// A line on standard error in the console's coding, ended by CR LF (by LF
// when aLfOnly).
void WriteErrorLine(TPlatform& aPlatform, const Text& aText, bool aLfOnly = false) {
  const ByteString bytes =
      AnsiToOem(aPlatform.SystemText(),
                TextToAnsi(aPlatform.SystemText(), aText + (aLfOnly ? u"\n" : u"\r\n")));
  aPlatform.Streams().WriteStd(TStdStream::ssError, bytes.data(), bytes.size());
}

// Lines separated by LF, each written as a console line.
void WriteTextLines(TConsole& aConsole, const Text& aText) {
  std::size_t start = 0;
  for (std::size_t end = aText.find(u'\n'); end != Text::npos; end = aText.find(u'\n', start)) {
    aConsole.WriteTextLine(aText.substr(start, end - start));
    start = end + 1;
  }
  aConsole.WriteTextLine(aText.substr(start));
}

// The directions the library translates, one a console line in the output
// coding; a library that cannot list them says so.
void WritePairs(TPlatform& aPlatform, TConsole& aConsole) {
  TRunSettings settings = ParseParameters(aPlatform, {});
  const TTranslationRequest& request = settings;
  TdllZTA service(aPlatform, request);
  if (!service.HasPairList()) {
    service.Destroy();
    throw TException(
        u"The translation library does not list the directions it translates; DO=LIST lists "
        u"its languages");
  }
  std::unique_ptr<TStringList> pairs = service.PairList();
  service.Destroy();
  for (const Text& pair : *pairs) {
    aConsole.WriteLine(EncodeText(aPlatform.SystemText(), settings.OutCoding, pair));
  }
}

// The exit codes under XLATE_STRICT=1; without it, every run that ends
// here ends with 0.
constexpr int kExitReported = 2;
constexpr int kExitFailedLines = 3;
constexpr int kExitLost = 4;  // a text dropped, or the library ended the process
// Output that could not be written, in the unix style.
constexpr int kExitOutputLost = 1;

Text ProgramFileName(TPlatform& aPlatform) {
  return FileNameOfPath(aPlatform.Process().ProgramPath(), aPlatform.Files().PathSeparators());
}

// Why standard output could not be written, from the code of the failed
// write: the system's words for it where the console's message has none.
Text WriteFailureCause(TPlatform& aPlatform, std::uint32_t aCode) {
  if (aPlatform.Streams().WasClosed(TStdStream::ssOutput)) return u"standard output is closed";
  if (aCode == kNotOpenForOutput) return u"standard output is not open";
  Text message = IoErrorMessage(aCode);
  if (message != Format(u"I/O error %d", {aCode})) return message;
  Text system = SystemErrorText(aPlatform.SystemText(), aCode);
  return system.empty() ? message : system;
}

// The report could not be written: say so on standard error, in the OEM
// code page, with the program's file, the cause and the message. When what
// failed in the first place was writing the output itself, that is what is
// said: there was a report to write only because of it.
void LastResort(TPlatform& aPlatform, std::uint32_t aWriteCode, bool aOutputFailed,
                const Text& aMessage, bool aLfOnly = false) {
  const Text cause = WriteFailureCause(aPlatform, aWriteCode);
  Text line = Format(aOutputFailed ? u"%s: standard output could not be written (%s): %s"
                                   : u"%s: the error report could not be written (%s): %s",
                     {ProgramFileName(aPlatform), cause, aMessage});
  line += aLfOnly ? u"\n" : u"\r\n";
  ByteString bytes = AnsiToOem(aPlatform.SystemText(), TextToAnsi(aPlatform.SystemText(), line));
  aPlatform.Streams().WriteStd(TStdStream::ssError, bytes.data(), bytes.size());
}

// The run's platform and strictness, for the at-exit check below.
TPlatform* gExitPlatform = nullptr;
bool gExitStrict = false;

// The library called exit() in the middle of a call: nothing after that
// call was done, and an output file was not written (the old one stays).
// Said on standard error; under XLATE_STRICT=1 the exit code says so too,
// whatever code the library chose.
void LibraryEndedTheProcess() {
  if (gExitPlatform == nullptr) return;
  WriteErrorLine(*gExitPlatform,
                 ProgramFileName(*gExitPlatform) +
                     u": the translation library ended the process in the middle of a call; "
                     u"the work was not finished");
  if (gExitStrict) std::_Exit(kExitLost);
}

// Watches for exit() inside a library call while the run lasts.
class TExitWatch {
 public:
  TExitWatch(TPlatform& aPlatform, bool aStrict) {
    gExitPlatform = &aPlatform;
    gExitStrict = aStrict;
    SetExitInsideCallHandler(&LibraryEndedTheProcess);
  }
  ~TExitWatch() {
    SetExitInsideCallHandler(nullptr);
    gExitPlatform = nullptr;
  }
  TExitWatch(const TExitWatch&) = delete;
  TExitWatch& operator=(const TExitWatch&) = delete;
};

// The unix style's objections to a command line: what the warnings say,
// and a parameter that is not NAME=VALUE. Each is an error there, as an
// unknown option is to any Unix tool.
std::vector<Text> UnixObjections(TPlatform& aPlatform, const std::vector<Text>& aParameters) {
  std::vector<Text> objections = ParameterWarnings(aPlatform, aParameters);
  for (const Text& parameter : aParameters) {
    const std::size_t equals = parameter.find(u'=');
    if (equals == Text::npos || equals == 0) {
      objections.push_back(Format(u"xlate: %s is not a parameter (NAME=VALUE; --help lists them)",
                                  {aPlatform.Process().ArgumentAsText(parameter)}));
    }
  }
  return objections;
}

// The unix style's error report: the message, its line breaks made spaces,
// as one line on standard error.
void ReportUnixError(TPlatform& aPlatform, Text aMessage) {
  FlattenLineBreaks(aMessage);
  WriteErrorLine(aPlatform, u"xlate: " + aMessage, true);
}

}  // namespace

int RunProgram(TPlatform& aPlatform) {
  // XLATE_STYLE=unix: LF line ends and UTF-8 without a mark, errors on
  // standard error alone and told by the exit code, unknown names and
  // codings refused, failed lines of a file kept as they were.
  const bool unix = aPlatform.Process().EnvironmentValue(u"XLATE_STYLE") == u"unix";
  const TOutputStyle style = unix ? TOutputStyle::osUnix : TOutputStyle::osClassic;
  TConsole console(aPlatform, unix);
  Text message;
  const bool strict = unix || aPlatform.Process().EnvironmentValue(u"XLATE_STRICT") == u"1";
  const TExitWatch exitWatch(aPlatform, strict);
  std::uint32_t outputFailure = 0;
  try {
    try {
      std::vector<Text> parameters = aPlatform.Process().CommandLineParameters();
      if (unix) {
        // An empty parameter sets nothing, and is no mistake either.
        parameters.erase(std::remove(parameters.begin(), parameters.end(), Text()),
                         parameters.end());
      }
      if (parameters.size() == 1 && IsOneOf(parameters[0], {u"--help", u"-h", u"-?", u"/?"})) {
        WriteTextLines(console, HelpText(aPlatform));
        return 0;
      }
      if (parameters.size() == 1 && IsOneOf(parameters[0], {u"--version", u"-V"})) {
        WriteVersion(aPlatform, console);
        return 0;
      }
      if (parameters.size() == 1 && IsOneOf(parameters[0], {u"--pairs"})) {
        WritePairs(aPlatform, console);
        return 0;
      }
      if (unix) {
        const std::vector<Text> objections = UnixObjections(aPlatform, parameters);
        for (const Text& objection : objections) WriteErrorLine(aPlatform, objection, true);
        if (!objections.empty()) return kExitReported;
      } else {
        for (const Text& warning : ParameterWarnings(aPlatform, parameters)) {
          WriteErrorLine(aPlatform, warning);
        }
      }
      TRunSettings settings = ParseParameters(aPlatform, parameters);
      const TRunOutcome outcome =
          RunWithService(aPlatform, settings, parameters.empty(), style, console);
      if (!strict) return 0;
      return outcome.FailedLines > 0 ? kExitFailedLines : outcome.Dropped ? kExitLost : 0;
    } catch (const TException& e) {
      message = e.Message();
    } catch (const std::bad_alloc&) {
      message = u"Out of memory";
    }
    if (unix) {
      // The console's own failure is told as such; nothing more goes to
      // standard output.
      outputFailure = console.FailedCode();
      if (outputFailure != 0) {
        LastResort(aPlatform, outputFailure, true, message, true);
        return kExitOutputLost;
      }
      ReportUnixError(aPlatform, message);
      return kExitReported;
    }
    // The failure was a write of the output to the console.
    outputFailure = console.FailedCode();
    ReportError(aPlatform, console, message);
  } catch (const TException&) {
    LastResort(aPlatform, console.FailedCode(), outputFailure != 0, message);
    return 1;
  }
  return strict ? kExitReported : 0;
}

}  // namespace xlate
