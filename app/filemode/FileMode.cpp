#include "app/filemode/FileMode.h"

#include "app/filemode/BlockSource.h"
#include "app/filemode/InputFile.h"
#include "app/filemode/LineBreaks.h"
#include "app/filemode/OutputFile.h"
#include "app/filemode/Progress.h"
#include "common/Conversions.h"
#include "common/Exception.h"
#include "platform/Platform.h"

namespace xlate {

namespace {

// A derived output name must stay beside the input: a language code with
// a path separator in it would lead it into another folder. And it can
// name the input file itself (Windows drops the trailing dot of "a.txt.");
// writing it would replace the input with its translation, which nobody
// asked for.
void CheckDerivedOutputName(TPlatform& aPlatform, const TFileTask& aTask,
                            const TTranslationRequest& aRequest) {
  if (!aTask.OutFileDerived) return;
  const Text separators = aPlatform.Files().PathSeparators() + u"/";
  if (aRequest.LangTo.find_first_of(separators) != Text::npos) {
    throw TException(
        Format(u"LANGTO \"%s\" holds a path separator and cannot be part of the output "
               u"file name; give OFILE",
               {aRequest.LangTo}));
  }
  if (aPlatform.Files().SameFile(aTask.InFile, aTask.OutFile)) {
    throw TException(Format(u"Output file \"%s\" is the input file; give OFILE",
                            {aPlatform.Files().FullPath(aTask.OutFile)}));
  }
}

// An output name made from the input's only makes sense beside a file:
// "/dev/stdin.es", "/dev/tty.es" or "fifo.es" would be a new file in /dev or
// beside a pipe, which nobody asked for. Refused before anything is
// written.
void CheckInputGivesAName(const TFileTask& aTask, TPlatformFile& aInput) {
  if (!aTask.OutFileDerived || aInput.Identity().Regular) return;
  throw TException(
      Format(u"Input file \"%s\" is not a regular file, and no output file name is made from "
             u"it; give OFILE (OFILE=- for standard output)",
             {aTask.InFile}));
}

// An output written as it goes (a stream the program was given, a device,
// a pipe) into the very file being read would have its own lines read back
// as input: a file that grows without end, or lines read after they were
// overwritten. It is refused before anything is written. (Two names of one
// regular file are not such a case: the output is then a new file that
// replaces the input at the end, and the file is translated in place.)
void CheckOutputIsNotInput(TPlatform& aPlatform, const TFileTask& aTask, TPlatformFile& aInput,
                           TOutputFile& aOutput) {
  const TFileIdentity input = aInput.Identity();
  if (input.GivesBack && input.SameAs(aOutput.Identity())) {
    throw TException(Format(
        u"Output file \"%s\" is the input file \"%s\" itself, which would "
        u"read back what is written; give another OFILE",
        {aTask.OutFile,
         IsStdStreamName(aTask.InFile) ? aTask.InFile : aPlatform.Files().FullPath(aTask.InFile)}));
  }
}

// Failed lines carry their message in the output, and the run goes on; one
// line on standard error tells that there are some.
void ReportFailedLines(TPlatform& aPlatform, std::uint64_t aFailed, std::uint64_t aLines) {
  const std::string line = std::to_string(aFailed) + " of " + std::to_string(aLines) +
                           (aLines == 1 ? " line" : " lines") + " failed; " +
                           (aFailed == 1 ? "its message stands" : "their messages stand") +
                           " in the output\r\n";
  aPlatform.Streams().WriteStd(TStdStream::ssError, line.data(), line.size());
}

// The most failed lines named one by one on standard error: about a
// screenful; the rest are counted.
constexpr std::size_t kFailuresListed = 20;

// The unix style's account of failed lines: the first of them by number
// with their messages, one line each, then how many more there were.
class TFailureList {
 public:
  void Add(std::uint64_t aLineNumber, Text aMessage) {
    if (FListed.size() < kFailuresListed) {
      FlattenLineBreaks(aMessage);
      FListed.push_back({aLineNumber, std::move(aMessage)});
    }
  }
  void Write(TPlatform& aPlatform, std::uint64_t aFailed, std::uint64_t aLines) const {
    std::string text;
    for (const auto& failure : FListed) {
      text += "xlate: line " + std::to_string(failure.first) + ": " +
              ConsoleBytes(aPlatform, failure.second) + "\n";
    }
    if (aFailed > FListed.size()) {
      text += "xlate: ... and " + std::to_string(aFailed - FListed.size()) + " more\n";
    }
    text += "xlate: " + std::to_string(aFailed) + " of " + std::to_string(aLines) +
            (aLines == 1 ? " line" : " lines") + " failed; " +
            (aFailed == 1 ? "it stands" : "they stand") + " untranslated in the output\n";
    aPlatform.Streams().WriteStd(TStdStream::ssError, text.data(), text.size());
  }

 private:
  // Standard error takes the messages in the console's code page.
  static std::string ConsoleBytes(TPlatform& aPlatform, const Text& aText) {
    return AnsiToOem(aPlatform.SystemText(), TextToAnsi(aPlatform.SystemText(), aText));
  }
  std::vector<std::pair<std::uint64_t, Text>> FListed;
};

// A file is read and written in its coding; without one, reading would give
// no lines and writing an empty file, in place of what stood there.
void CheckFileCoding(TCodingType aCoding) {
  if (aCoding == ctNone) throw TException(u"Unknown coding type");
}

}  // namespace

std::uint64_t TranslateFile(TPlatform& aPlatform, const TFileTask& aTask, TdllZTA& aService,
                            const TFileWindow& aWindow) {
  CheckFileCoding(aTask.InCoding);
  CheckFileCoding(aTask.OutCoding);
  CheckDerivedOutputName(aPlatform, aTask, aService.Request());
  const bool stdInput = IsStdStreamName(aTask.InFile);
  const bool stdOutput = IsStdStreamName(aTask.OutFile);
  const bool inPlace =
      !stdInput && !stdOutput && aPlatform.Files().SameFile(aTask.InFile, aTask.OutFile);
  // The input is read, translated and written a block at a time. It stays
  // open, and locked, until the output has replaced what stood under its
  // name: in place, that is the input itself.
  // Other runs may read the input at the same time, unless it is to be
  // replaced.
  std::unique_ptr<TPlatformFile> input = OpenInputFile(
      aPlatform, aTask.InFile, inPlace ? TReadShare::rsExclusive : TReadShare::rsShared);
  CheckInputGivesAName(aTask, *input);
  std::uint64_t size = 0;
  if (input->Size(size) != kSuccess) size = 0;
  TOutputFile output(aPlatform, aTask.OutFile, aTask.OutCoding, inPlace ? input.get() : nullptr,
                     aTask.Style);
  CheckOutputIsNotInput(aPlatform, aTask, *input, output);
  TLineReader reader(aPlatform, *input, aTask.InFile, aTask.InCoding, aWindow);
  std::uint64_t lines = 0;
  std::uint64_t failed = 0;
  // In the unix style a failed line keeps its own text.
  const bool keepSource = aTask.Style == TOutputStyle::osUnix;
  std::vector<TLineFailure> partFailures;
  TFailureList failureList;
  {
    TBlockSource source(aPlatform.Process(), reader, input->Identity().Regular);
    // Not on the terminal that may be showing the output itself: standard
    // output, or a terminal named as the output (/dev/tty, /dev/stderr, CON),
    // which is the one standard error shows on, or one beside it.
    TProgress progress(aPlatform.Streams(), size, !stdOutput && !output.Identity().Terminal,
                       aWindow.ProgressEvery);
    while (TLineBlock* next = source.Next()) {
      TLineBlock& block = *next;
      progress.BlockStarted(block.Count(), source.BytesUsed());
      // A part of the block at a time, its results written and let go
      // before the next is translated: lines whose translations are much
      // longer than they are do not pile up.
      // Results the library gives as UTF-8 go to the output as they are: to
      // a UTF-8 output always, to another when the lines have no text that
      // a result the same as its line could keep.
      const bool utf8Results = output.WritesUtf8() || block.InUtf8();
      for (std::size_t first = 0; first < block.Count();) {
        partFailures.clear();
        const std::size_t end = TranslateBlockPart(aService, block, first, progress, utf8Results,
                                                   keepSource ? &partFailures : nullptr);
        for (TLineFailure& failure : partFailures) {
          failureList.Add(lines + failure.Index + 1, std::move(failure.Message));
          block[failure.Index] = std::move(failure.Line);
        }
        for (std::size_t i = first; i < end; ++i) {
          const TUtf8Result* result = utf8Results ? &block.Utf8Result(i) : nullptr;
          if (result != nullptr && result->Data != nullptr && result->Size == 0) {
            // A run of empty results, as a file of short lines has, is
            // written as one.
            std::size_t run = 1;
            while (i + run < end && block.Utf8Result(i + run).Data != nullptr &&
                   block.Utf8Result(i + run).Size == 0) {
              ++run;
            }
            output.WriteEmptyLines(run);
            i += run - 1;
          } else if (result != nullptr && result->Data != nullptr) {
            // A result that is the line as sent is as well-formed, and as
            // free of line breaks, as the reader made the line.
            output.WriteUtf8Line(result->Data, result->Size, result->Sent);
          } else {
            FlattenLineBreaks(block[i]);
            output.WriteLine(block[i]);
            block.LetGo(i);
          }
        }
        first = end;
      }
      output.Flush();
      lines += block.Count();
      failed += block.Failed();
    }
  }  // the progress line is cleared before the summary, and the reading is over
  output.Finish();
  if (failed > 0 && keepSource) {
    failureList.Write(aPlatform, failed, lines);
  } else if (failed > 0) {
    ReportFailedLines(aPlatform, failed, lines);
  }
  return failed;
}

void WriteListFile(TPlatform& aPlatform, const TFileTask& aTask, TdllZTA& aService) {
  const std::unique_ptr<TStringList> languages = aService.LanguageList();
  CheckFileCoding(aTask.OutCoding);
  CheckDerivedOutputName(aPlatform, aTask, aService.Request());
  WriteOutputFile(aPlatform, aTask.OutFile, aTask.OutCoding, *languages, aTask.Style);
}

}  // namespace xlate
