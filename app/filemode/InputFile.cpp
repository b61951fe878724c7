#include "app/filemode/InputFile.h"

#include <algorithm>
#include <cstring>

#include "common/CodePages.h"
#include "common/Codings.h"
#include "common/Conversions.h"
#include "common/Exception.h"
#include "common/LineScan.h"
#include "common/Utf8.h"

namespace xlate {

bool IsStdStreamName(const Text& aName) { return aName == u"-"; }

std::unique_ptr<TPlatformFile> OpenInputFile(TPlatform& aPlatform, const Text& aName,
                                             TReadShare aShare) {
  if (IsStdStreamName(aName)) {
    std::unique_ptr<TPlatformFile> input;
    if (const TErrorCode code = aPlatform.Streams().OpenStdInput(input)) {
      throw TException(Format(u"Cannot open standard input. %s",
                              {SystemErrorText(aPlatform.SystemText(), code)}));
    }
    return input;
  }
  if (!aPlatform.Files().FileExists(aName)) {
    // A folder is no file either; the message says which it is.
    if (aPlatform.Files().FolderExists(aName)) {
      throw TException(Format(u"File \"%s\" not found; it is a folder, not a file", {aName}));
    }
    throw TException(Format(u"File \"%s\" not found", {aName}));
  }
  std::unique_ptr<TPlatformFile> file;
  if (const TErrorCode code = aPlatform.Files().OpenForReading(aName, aShare, file)) {
    throw TException(
        Format(u"Cannot open file \"%s\". %s",
               {aPlatform.Files().FullPath(aName), SystemErrorText(aPlatform.SystemText(), code)}));
  }
  return file;
}

TLineReader::TLineReader(TPlatform& aPlatform, TPlatformFile& aFile, const Text& aName,
                         TCodingType aCoding, const TFileWindow& aWindow)
    : FFile(aFile),
      FName(aName),
      FFullPath(aName.empty() || IsStdStreamName(aName) ? aName
                                                        : aPlatform.Files().FullPath(aName)),
      FCoding(CodingOf(aCoding)),
      FForm(FCoding.FileForm),
      FSwapUnits(FCoding.UnitSize == 2 && FCoding.ByteOrder != kMachineByteOrder),
      FByteOrder(FCoding.ByteOrder),
      FMark(FCoding.Mark, FCoding.MarkSize),
      FText(aPlatform.SystemText()),
      FCodePage(CodePageOf(FText, FForm)),
      FWindow(aWindow),
      FCapacity(WindowCapacity()) {
  FWindow.Lines = std::max<std::size_t>(1, FWindow.Lines);
  FBuffer.reset(new char16_t[FCapacity / 2]);
  // The buffer holds the units in the machine's order: so is the mark
  // looked for.
  if (FSwapUnits) {
    for (std::size_t i = 0; i + 1 < FMark.size(); i += 2) std::swap(FMark[i], FMark[i + 1]);
  }
}

bool TLineReader::ReadBlock(TLineBlock& vBlock) {
  const bool any = FillBlock(vBlock);
  vBlock.Complete();
  // Once a line longer than the window is in the block, the buffer that
  // held it goes back to the window's size before the line is translated.
  const std::size_t window = WindowCapacity();
  if (FCapacity > window && FEnd - FStart < window / 2) Resize(window);
  return any;
}

bool TLineReader::FillBlock(TLineBlock& vBlock) {
  vBlock.Clear();
  char* bytes = reinterpret_cast<char*>(FBuffer.get());
  for (;;) {
    if (!FEnded && FForm != TByteForm::bfNone && (FStarted || DropMark())) {
      if (FCoding.UnitSize == 2) {
        SplitLines(FBuffer.get(), FEnd / 2, vBlock);
      } else {
        SplitLines(bytes, FEnd, vBlock);
      }
    }
    // After a NUL, the rest of the file is read before the last lines are
    // given, so that none of them is translated when text follows.
    if (FEnded) CheckPadding();
    if (!FEnded && vBlock.Count() >= FWindow.Lines) return true;
    if (FAtEnd) {
      // The last line, without a break after it. An odd last byte of a
      // UTF-16 file is half a unit: it stays visible as U+FFFD.
      if (FStarted && !FEnded && FForm != TByteForm::bfNone) {
        if (FCoding.UnitSize == 2) {
          const bool oddByte = (FEnd - FStart) % 2 == 1;
          if (oddByte) {
            Text last(FBuffer.get() + FStart / 2, FEnd / 2 - FStart / 2);
            last += u'\uFFFD';
            AddLine(last.data(), last.size(), vBlock);
            --FEnd;  // given: the buffer ends with whole units again
          } else if (FEnd / 2 > FStart / 2) {
            AddLine(FBuffer.get() + FStart / 2, FEnd / 2 - FStart / 2, vBlock);
          }
        } else if (FEnd > FStart) {
          AddLine(bytes + FStart, FEnd - FStart, vBlock);
        }
      }
      FStart = FSearchFrom = FEnd;
      return vBlock.Count() > 0;
    }
    if (!FEnded && vBlock.Count() > 0) return true;
    Refill();
    bytes = reinterpret_cast<char*>(FBuffer.get());
  }
}

// Whatever follows the NUL that ended the text must be zero bytes: NUL
// characters in every coding, and an odd last byte of a UTF-16 file too.
void TLineReader::CheckPadding() {
  const char* bytes = reinterpret_cast<const char*>(FBuffer.get());
  for (std::size_t i = FStart; i < FEnd; ++i) {
    if (bytes[i] != '\0') {
      throw TException(
          Format(u"File \"%s\" holds a NUL character in line %d followed by more "
                 u"text; is ICODING right?",
                 {FName, FNulLine}));
    }
  }
  FStart = FSearchFrom = FEnd;
}

// Gives the whole lines of the units [FStart, aCount) to the block, up to
// its most lines, and leaves the rest for more to come.
template <typename Unit>
void TLineReader::SplitLines(const Unit* aData, std::size_t aCount, TLineBlock& vBlock) {
  constexpr std::size_t kSize = sizeof(Unit);
  std::size_t start = FStart / kSize;
  if (FSkipLF && start < aCount) {
    FSkipLF = false;
    if (aData[start] == '\n') ++start;
  }
  std::size_t from = std::max(start, FSearchFrom / kSize);
  // Empty lines of a file read as UTF-8 go in runs; a CR that may yet be
  // followed by its LF is left for the line-by-line way.
  const bool emptyRuns = kSize == 1 && (FForm == TByteForm::bfUtf8 || FForm == TByteForm::bfAnsi);
  while (vBlock.Count() < FWindow.Lines) {
    if (emptyRuns && start == from && from < aCount &&
        (aData[from] == '\n' || aData[from] == '\r')) {
      const std::size_t room = FWindow.Lines - vBlock.Count();
      std::size_t run = 0;
      std::size_t at = from;
      while (run < room) {
        if (at < aCount && aData[at] == '\n') {
          at += 1;
        } else if (aCount - at >= 2 && aData[at] == '\r' && aData[at + 1] == '\n') {
          at += 2;
        } else {
          break;
        }
        ++run;
      }
      if (run > 0) {
        FLines += run;
        vBlock.AddEmptyUtf8Lines(run);
        start = from = at;
        continue;
      }
    }
    const TLineEnd<Unit> line = FindLineEnd(aData + from, aData + aCount);
    const auto at = static_cast<std::size_t>(line.End - aData);
    if (line.Kind == TLineEndKind::leOpen) {
      from = aCount;
      break;
    }
    if (line.Kind == TLineEndKind::leNul) {
      // What stands before the NUL on its line is a line of its own; what
      // follows it is left for CheckPadding.
      FNulLine = FLines + 1;
      if (at > start) AddLine(aData + start, at - start, vBlock);
      FEnded = true;
      start = from = at + 1;
      break;
    }
    AddLine(aData + start, at - start, vBlock);
    // A CR that ends the units read so far may yet be followed by its LF.
    if (line.CrAtEnd) FSkipLF = true;
    start = from = static_cast<std::size_t>(line.Next - aData);
  }
  FStart = start * kSize;
  FSearchFrom = from * kSize;
}

void TLineReader::AddLine(const char* aBytes, std::size_t aCount, TLineBlock& vBlock) {
  ++FLines;
  // CR, LF and NUL are the same bytes in every code page, and no multi-byte
  // sequence contains them, so each line is decoded on its own.
  switch (FForm) {
    case TByteForm::bfUtf8: {
      // Kept as the library takes it: well-formed bytes as they are, and
      // malformed ones as decoding and encoding them again make them.
      ByteString& bytes = vBlock.Utf8Bytes();
      if (aCount == 0) {
        // An empty line, the line's end alone.
      } else if (IsValidUtf8(aBytes, aCount)) {
        bytes.append(aBytes, aCount);
      } else {
        const Text text = FText.MultiByteToText(kCodePageUtf8, aBytes, aCount);
        FText.AppendTextAsMultiByte(kCodePageUtf8, text.data(), text.size(), bytes);
      }
      vBlock.EndUtf8Line();
      return;
    }
    case TByteForm::bfAnsi:
      // As UTF-8 too, which the library takes and a UTF-8 or UTF-16 output
      // takes from its results: made straight from the code page, they
      // spare a text for each line.
      if (aCount > 0) FText.AppendMultiByteAsUtf8(FCodePage, aBytes, aCount, vBlock.Utf8Bytes());
      vBlock.EndUtf8Line();
      return;
    case TByteForm::bfOem:
    case TByteForm::bfNone:
    case TByteForm::bfUtf16Le:  // two-byte units come as units, not here
      vBlock.Add() = DecodeBytes(FText, FForm, aBytes, aCount);
      return;
  }
}

void TLineReader::AddLine(const char16_t* aUnits, std::size_t aCount, TLineBlock& vBlock) {
  ++FLines;
  // As the UTF-8 bytes the library takes, made here rather than when the
  // block is sent: the reading side does the encoding. A line with an
  // unpaired surrogate, which its UTF-8 bytes hold as U+FFFD, stays a text,
  // so that a message of its failure names it as it stands; its block then
  // holds texts.
  if (vBlock.Count() == 0 || vBlock.InUtf8()) {
    if (!HasUnpairedSurrogate(aUnits, aCount)) {
      if (aCount > 0)
        FText.AppendTextAsMultiByte(kCodePageUtf8, aUnits, aCount, vBlock.Utf8Bytes());
      vBlock.EndUtf8Line();
      return;
    }
    vBlock.MakeTexts();
  }
  vBlock.Add().assign(aUnits, aCount);
}

// Drops a byte-order mark at the start when it is there; false while too
// few bytes are read to tell.
bool TLineReader::DropMark() {
  const char* bytes = reinterpret_cast<const char*>(FBuffer.get()) + FStart;
  const std::size_t have = FEnd - FStart;
  const std::size_t size = FMark.size();
  if (have < size && !FAtEnd) return false;
  if (size > 0 && have >= size && std::memcmp(bytes, FMark.data(), size) == 0) {
    FStart += size;
  } else if (size == 2 && have >= size && bytes[0] == FMark[1] && bytes[1] == FMark[0]) {
    // The mark of the other byte order (FE FF for UTF-16 read low byte
    // first): the file is in that order, and is read so. Read in the
    // coding's order, every unit would be another character.
    FStart += size;
    FSwapUnits = !FSwapUnits;
    char* units = reinterpret_cast<char*>(FBuffer.get());
    for (std::size_t i = FStart; i + 1 < FEnd; i += 2) std::swap(units[i], units[i + 1]);
    FByteOrder =
        FByteOrder == TByteOrder::boLowFirst ? TByteOrder::boHighFirst : TByteOrder::boLowFirst;
  }
  FSearchFrom = FStart;
  FStarted = true;
  return true;
}

// Reads once into the buffer, after what is left of it. A buffer full of
// one unfinished line grows to hold it.
void TLineReader::Refill() {
  if (FEnded || FForm == TByteForm::bfNone) FStart = FSearchFrom = FEnd = 0;  // read, and ignored
  if (FEnd - FStart == FCapacity) {
    Resize(FCapacity * 2);
  } else if (FStart > 0) {
    char* bytes = reinterpret_cast<char*>(FBuffer.get());
    std::memmove(bytes, bytes + FStart, FEnd - FStart);
    FSearchFrom -= FStart;
    FEnd -= FStart;
    FStart = 0;
  }
  char* bytes = reinterpret_cast<char*>(FBuffer.get());
  std::size_t got = 0;
  if (const TErrorCode code = FFile.Read(bytes + FEnd, FCapacity - FEnd, got)) {
    throw TException(
        Format(u"Stream read error in file \"%s\". %s", {FFullPath, SystemErrorText(FText, code)}));
  }
  if (FSwapUnits) {
    // The units just completed, from the file's byte order to the machine's.
    for (std::size_t i = FEnd / 2; i < (FEnd + got) / 2; ++i) {
      FBuffer[i] = UnitOf(bytes + 2 * i, FByteOrder);
    }
  }
  FEnd += got;
  FBytesRead += got;
  if (got == 0) FAtEnd = true;
}

std::size_t TLineReader::WindowCapacity() const {
  return std::max<std::size_t>(2, FWindow.Bytes + (FWindow.Bytes & 1));
}

// A buffer of aCapacity bytes, holding what is left at its start.
void TLineReader::Resize(std::size_t aCapacity) {
  const std::size_t left = FEnd - FStart;
  std::unique_ptr<char16_t[]> buffer(new char16_t[aCapacity / 2]);
  std::memcpy(buffer.get(), reinterpret_cast<const char*>(FBuffer.get()) + FStart, left);
  FBuffer = std::move(buffer);
  FCapacity = aCapacity;
  FSearchFrom -= FStart;
  FStart = 0;
  FEnd = left;
}

}  // namespace xlate
