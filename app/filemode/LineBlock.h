#pragma once

#include <chrono>
#include <cstddef>
#include <vector>

#include "app/filemode/Progress.h"
#include "common/Types.h"
#include "service/jxDLLInterface.h"

namespace xlate {

// How much of the input file is held at once.
struct TFileWindow {
  std::size_t Bytes = std::size_t{1} << 18;  // read ahead; a longer line is held whole
  std::size_t Lines = 16384;                 // the most lines in one block
  // The least time between two states of the progress line.
  std::chrono::milliseconds ProgressEvery = std::chrono::milliseconds(200);
};

// A run of consecutive lines of the input file, in file order: what is
// read, translated and written in one go. Translating gives each line its
// own result, its translation or the message of its failure, so that a call
// for many lines at once can take and give back the same block. A line
// comes as its text, or, from a UTF-8 or ANSI file, as the UTF-8 bytes the library
// takes, all in one buffer that a batch takes as it is, which spares
// decoding and encoding them again and a string for each line; its result
// is a text, or the library's UTF-8 bytes. The storage is kept from block
// to block.
class TLineBlock {
 public:
  std::size_t Count() const { return FCount; }
  // The line's text, until it is translated; then its result.
  Text& operator[](std::size_t aIndex) { return FLines[aIndex]; }
  const Text& operator[](std::size_t aIndex) const { return FLines[aIndex]; }
  // The line's result as the library's UTF-8 bytes, when the call that
  // translated it gave them (see TdllZTA::TranslateLines); its Data is null
  // when the result is the line's text.
  const TUtf8Result& Utf8Result(std::size_t aIndex) const { return FResults[aIndex]; }
  // Room for those of every line, for the call that translates them.
  TUtf8Result* Utf8Results();
  // Whether the lines came as UTF-8 bytes, and those of one line.
  bool InUtf8() const { return FInUtf8; }
  ByteString Utf8(std::size_t aIndex) const {
    const TUtf8Lines lines = Utf8Lines();
    return ByteString(lines.Line(aIndex), lines.Size(aIndex));
  }
  // The lines one after the other, for a call that takes them all: for
  // lines that came as UTF-8, they are made here, to take the results that
  // are texts (each set whole).
  Text* Lines() {
    if (FLines.size() < FCount) FLines.resize(FCount);
    return FLines.data();
  }
  // The UTF-8 lines, once the block is read whole (Complete).
  TUtf8Lines Utf8Lines() const { return {FUtf8Lines.data()}; }
  // A new line at the end, empty, for the reader to fill: as a text, or as
  // UTF-8 bytes (well-formed ones), which the reader appends to
  // Utf8Bytes() before it ends the line with EndUtf8Line. One block holds
  // one kind.
  Text& Add();
  ByteString& Utf8Bytes() { return FUtf8; }
  void EndUtf8Line() {
    FInUtf8 = true;
    FUtf8.push_back('\0');
    FUtf8Starts.push_back(FUtf8.size());
    ++FCount;
  }
  // The block is read whole: where its UTF-8 lines start is fixed.
  void Complete();
  // aCount empty lines at the end, as UTF-8: a run of them, as a file of
  // short lines has, added at once.
  void AddEmptyUtf8Lines(std::size_t aCount);
  // Makes the UTF-8 lines so far texts again, for a line that only a text
  // holds as it is: the rest of the block then comes as texts.
  void MakeTexts();
  // The lines that failed: each holds its failure's message in its place,
  // put there by the call that translated the lines, which counts them.
  std::size_t Failed() const { return FFailed; }
  void AddFailures(std::size_t aCount) { FFailed += aCount; }
  // The line's result is written: the storage of a long one is let go now,
  // so that the results of a block do not pile up.
  void LetGo(std::size_t aIndex);
  // Empties the block; the storage of an unusually long line read as a
  // text is let go, so that one long line does not stay held for the rest
  // of the file. (Going through every line of a block of short UTF-8 lines
  // took as long as reading them.)
  void Clear();

 private:
  // The first FCount are the block's; for lines that came as UTF-8, once
  // Lines() made them.
  std::vector<Text> FLines;
  // The same, when FInUtf8: their bytes, each followed by a NUL, and
  // where each starts, with the end of the last.
  ByteString FUtf8;
  std::vector<std::size_t> FUtf8Starts{0};
  // The same as pointers into FUtf8, made once it no longer grows.
  std::vector<const char*> FUtf8Lines;
  std::vector<TUtf8Result> FResults;
  std::size_t FCount = 0;
  std::size_t FFailed = 0;
  bool FInUtf8 = false;
};

// Translates lines of the block from aFirst on, in order, through
// TdllZTA::TranslateLines, and returns the index after the last one
// translated: as many as one batch call takes when the library has the
// batch entry point, else one library call each, until their results pass
// kPartResultBytes (one line at least). The caller writes them before it
// goes on, so that memory stays bounded however long the translations are.
// A line that fails carries the failure's message instead, and is counted
// (Failed); the others go on; any other exception ends the run. Progress
// counts each line. With aUtf8Results, a line the batch translated gets
// its result as UTF-8 bytes (Utf8Result), valid until the next part is
// translated.
// vFailures, when given, gets a record of each line that failed, its Index
// the line's in the block.
std::size_t TranslateBlockPart(TdllZTA& aService, TLineBlock& vBlock, std::size_t aFirst,
                               TProgress& vProgress, bool aUtf8Results = false,
                               std::vector<TLineFailure>* vFailures = nullptr);

}  // namespace xlate
