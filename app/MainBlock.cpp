#include "app/MainBlock.h"

#include <new>

#include "app/Parameters.h"
#include "app/Usage.h"
#include "app/filemode/FileMode.h"
#include "common/Conversions.h"
#include "common/Exception.h"
#include "platform/Platform.h"

namespace xlate {

Text DecodeParamText(const TRunSettings& aSettings, const ByteString& aText) {
  switch (aSettings.InCoding) {
    case ctANSI:
    case ctUNICODE:
      return AnsiToText(aText);
    case ctUTF8:
      return Utf8ToText(aText);
    case ctOEM:
      return OemToText(aText);
    case ctNone:
      break;
  }
  return Text();
}

ByteString EncodeForConsole(const TRunSettings& aSettings, const Text& aText) {
  return EncodeText(aSettings.OutCoding, aText);
}

ByteString TranslateParamText(const TRunSettings& aSettings, TdllZTA& aService,
                              const ByteString& aText) {
  Text translation = aService.Translate(aSettings.LangInit, aSettings.LangFrom, aSettings.LangTo,
                                        DecodeParamText(aSettings, aText));
  return EncodeForConsole(aSettings, translation);
}

void ReportError(TConsole& aConsole, const Text& aMessage) {
  aConsole.WriteTextLine(u"Error:");
  aConsole.WriteTextLine(aMessage);
  aConsole.WriteTextLine(Text());
  aConsole.WriteTextLine(u"Usage:");
  aConsole.WriteTextLine(UsageText());
}

namespace {

void RunTask(const TRunSettings& aSettings, std::size_t aParameterCount, TdllZTA& aService,
             TConsole& aConsole) {
  if (aSettings.Task == ttTranslate) {
    if (aSettings.UseFiles) {
      TranslateFile(aSettings, aService);
    } else if (aParameterCount > 0) {
      aConsole.WriteLine(TranslateParamText(aSettings, aService, aSettings.Text));
    } else {
      aConsole.WriteTextLine(Text());
      aConsole.WriteTextLine(kDefaultText);
      aConsole.WriteTextLine(Text());
      aConsole.WriteTextLine(UsageText());
    }
  } else if (aSettings.Task == ttList) {
    std::unique_ptr<TStringList> languages = aService.LanguageList(aSettings.LangInit);
    if (aSettings.UseFiles) {
      WriteListFile(aSettings, *languages);
    } else {
      for (const Text& language : *languages) {
        aConsole.WriteLine(EncodeForConsole(aSettings, language));
      }
    }
  }
}

void RunWithService(const TRunSettings& aSettings, std::size_t aParameterCount,
                    TConsole& aConsole) {
  TdllZTA service;
  try {
    RunTask(aSettings, aParameterCount, service, aConsole);
  } catch (const TException&) {
    // A failed unload takes the place of the failure on its way out.
    service.Destroy();
    throw;
  } catch (const std::bad_alloc&) {
    service.Destroy();
    throw;
  }
  service.Destroy();
}

// The report could not be written: say so on standard error, in the OEM
// code page, with the program's file and both messages.
void LastResort(const Text& aWriteFailure, const Text& aMessage) {
  TPlatform& platform = CurrentPlatform();
  Text line = Format(
      u"%s: the error report could not be written (%s): %s\r\n",
      {FileNameOfPath(platform.ProgramPath(), platform.PathSeparators()), aWriteFailure, aMessage});
  ByteString bytes = AnsiToOem(TextToAnsi(line));
  platform.WriteStd(TStdStream::ssError, bytes.data(), bytes.size());
}

}  // namespace

int RunProgram() {
  TPlatform& platform = CurrentPlatform();
  TConsole console(platform);
  Text message;
  try {
    try {
      std::vector<Text> parameters = platform.CommandLineParameters();
      TRunSettings settings = ParseParameters(parameters);
      RunWithService(settings, parameters.size(), console);
      return 0;
    } catch (const TException& e) {
      message = e.Message();
    } catch (const std::bad_alloc&) {
      message = u"Out of memory";
    }
    ReportError(console, message);
  } catch (const TException& reportFailure) {
    LastResort(reportFailure.Message(), message);
    return 1;
  }
  return 0;
}

}  // namespace xlate
