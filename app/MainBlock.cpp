#include "app/MainBlock.h"

#include <cstdint>
#include <initializer_list>
#include <new>

#include "app/Console.h"
#include "app/Parameters.h"
#include "app/RunSettings.h"
#include "app/Usage.h"
#include "app/filemode/FileMode.h"
#include "common/Conversions.h"
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

// aBanner: the run had no parameters, and a translation of the text shows
// the banner and the usage instead. Returns the number of lines of a file
// that failed.
std::uint64_t RunTask(TPlatform& aPlatform, const TRunSettings& aSettings, bool aBanner,
                      TdllZTA& aService, TConsole& aConsole) {
  if (aSettings.Task == ttTranslate) {
    if (aSettings.UseFiles) {
      return TranslateFile(aPlatform, FileTaskOf(aSettings), aService);
    } else if (!aBanner) {
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
      for (const Text& language : *languages) {
        aConsole.WriteLine(EncodeText(aPlatform.SystemText(), aSettings.OutCoding, language));
      }
    }
  }
  return 0;
}

std::uint64_t RunWithService(TPlatform& aPlatform, const TRunSettings& aSettings, bool aBanner,
                             TConsole& aConsole) {
  // The settings' languages are the request: the service is made for them.
  const TTranslationRequest& request = aSettings;
  TdllZTA service(aPlatform, request);
  std::uint64_t failed = 0;
  try {
    failed = RunTask(aPlatform, aSettings, aBanner, service, aConsole);
  } catch (const TException&) {
    // A failed unload takes the place of the failure on its way out.
    service.Destroy();
    throw;
  } catch (const std::bad_alloc&) {
    service.Destroy();
    throw;
  }
  service.Destroy();
  return failed;
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

// The report could not be written: say so on standard error, in the OEM
// code page, with the program's file and both messages.
void LastResort(TPlatform& aPlatform, const Text& aWriteFailure, const Text& aMessage) {
  Text line =
      Format(u"%s: the error report could not be written (%s): %s\r\n",
             {FileNameOfPath(aPlatform.Process().ProgramPath(), aPlatform.Files().PathSeparators()),
              aWriteFailure, aMessage});
  ByteString bytes = AnsiToOem(aPlatform.SystemText(), TextToAnsi(aPlatform.SystemText(), line));
  aPlatform.Streams().WriteStd(TStdStream::ssError, bytes.data(), bytes.size());
}

}  // namespace

int RunProgram(TPlatform& aPlatform) {
  TConsole console(aPlatform);
  Text message;
  const bool strict = aPlatform.Process().EnvironmentValue(u"XLATE_STRICT") == u"1";
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
      const std::uint64_t failed = RunWithService(aPlatform, settings, parameters.empty(), console);
      return strict && failed > 0 ? kExitFailedLines : 0;
    } catch (const TException& e) {
      message = e.Message();
    } catch (const std::bad_alloc&) {
      message = u"Out of memory";
    }
    ReportError(aPlatform, console, message);
  } catch (const TException& reportFailure) {
    LastResort(aPlatform, reportFailure.Message(), message);
    return 1;
  }
  return strict ? kExitReported : 0;
}

}  // namespace xlate
