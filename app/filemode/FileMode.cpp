#include "app/filemode/FileMode.h"

#include "app/filemode/InputFile.h"
#include "app/filemode/OutputFile.h"
#include "app/filemode/Progress.h"
#include "common/Exception.h"
#include "platform/Platform.h"

namespace xlate {

namespace {

// A derived output name can name the input file itself (Windows drops the
// trailing dot of "a.txt."); writing it would replace the input with its
// translation, which nobody asked for.
void RefuseDerivedOutputOverInput(const TRunSettings& aSettings) {
  Platform& platform = CurrentPlatform();
  if (aSettings.OutFileDerived && platform.SameFile(aSettings.InFile, aSettings.OutFile)) {
    throw Exception(Format(u"Output file \"%s\" is the input file; give OFILE",
                           {platform.FullPath(aSettings.OutFile)}));
  }
}

}  // namespace

void TranslateFile(const TRunSettings& aSettings, TdllZTA& aService) {
  RefuseDerivedOutputOverInput(aSettings);
  std::unique_ptr<TStringList> lines = ReadInputFile(aSettings);
  const std::size_t count = lines->Count();
  {
    TProgress progress(CurrentPlatform(), count);
    for (std::size_t i = 0; i < count; ++i) {
      Text& line = (*lines)[i];
      try {
        aService.TranslateInPlace(aSettings.LangInit, aSettings.LangFrom, aSettings.LangTo, line);
      } catch (const Exception& e) {
        line = e.Message();
      }
      progress.LineDone(i + 1);
    }
  }
  WriteOutputFile(aSettings, *lines);
}

void WriteListFile(const TRunSettings& aSettings, const TStringList& aLanguages) {
  RefuseDerivedOutputOverInput(aSettings);
  WriteOutputFile(aSettings, aLanguages);
}

}  // namespace xlate
