#include "app/MainBlock.h"

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <new>

#include "app/Console.h"
#include "app/Parameters.h"
#include "app/RunSettings.h"
#include "app/Usage.h"
#include "app/filemode/FileMode.h"
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

TFileTask FileTaskOf(const TRunSettings& aSettings) {
  TFileTask task;
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
                    TdllZTA& aService, TConsole& aConsole) {
  TRunOutcome outcome;
  if (aSettings.Task == ttTranslate) {
    if (aSettings.UseFiles) {
      outcome.FailedLines = TranslateFile(aPlatform, FileTaskOf(aSettings), aService);
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
      WriteListFile(aPlatform, FileTaskOf(aSettings), aService);
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
                           TConsole& aConsole) {
  // The settings' languages are the request: the service is made for them.
  const TTranslationRequest& request = aSettings;
  TdllZTA service(aPlatform, request);
  TRunOutcome outcome;
  try {
    outcome = RunTask(aPlatform, aSettings, aBanner, service, aConsole);
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

// A line on standard error in the console's coding.
void WriteErrorLine(TPlatform& aPlatform, const Text& aText) {
  const ByteString bytes =
      AnsiToOem(aPlatform.SystemText(), TextToAnsi(aPlatform.SystemText(), aText + u"\r\n"));
  aPlatform.Streams().WriteStd(TStdStream::ssError, bytes.data(), bytes.size());
}

// The exit codes under XLATE_STRICT=1; without it, every run that ends
// here ends with 0.
constexpr int kExitReported = 2;
constexpr int kExitFailedLines = 3;
constexpr int kExitLost = 4;  // a text dropped, or the library ended the process

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
                const Text& aMessage) {
  const Text cause = WriteFailureCause(aPlatform, aWriteCode);
  Text line = Format(aOutputFailed ? u"%s: standard output could not be written (%s): %s\r\n"
                                   : u"%s: the error report could not be written (%s): %s\r\n",
                     {ProgramFileName(aPlatform), cause, aMessage});
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

}  // namespace

int RunProgram(TPlatform& aPlatform) {
  TConsole console(aPlatform);
  Text message;
  const bool strict = aPlatform.Process().EnvironmentValue(u"XLATE_STRICT") == u"1";
  const TExitWatch exitWatch(aPlatform, strict);
  std::uint32_t outputFailure = 0;
  try {
    try {
      std::vector<Text> parameters = aPlatform.Process().CommandLineParameters();
      if (parameters.size() == 1 && IsOneOf(parameters[0], {u"--help", u"-h", u"-?", u"/?"})) {
        parameters.clear();  // the banner and the usage, as without parameters
      }
      if (parameters.size() == 1 && IsOneOf(parameters[0], {u"--version", u"-V"})) {
        WriteVersion(aPlatform, console);
        return 0;
      }
      for (const Text& warning : ParameterWarnings(aPlatform, parameters)) {
        WriteErrorLine(aPlatform, warning);
      }
      TRunSettings settings = ParseParameters(aPlatform, parameters);
      const TRunOutcome outcome = RunWithService(aPlatform, settings, parameters.empty(), console);
      if (!strict) return 0;
      return outcome.FailedLines > 0 ? kExitFailedLines : outcome.Dropped ? kExitLost : 0;
    } catch (const TException& e) {
      message = e.Message();
    } catch (const std::bad_alloc&) {
      message = u"Out of memory";
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
